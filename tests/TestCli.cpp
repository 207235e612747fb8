#include "CatUnits.h"
#include "CatalogueFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <optional>

namespace {

// Data files written byte by byte, so that the tests do not depend on the writer they check.
struct TUnitRec
{
    QByteArray Name;
    double Factor;
};
struct TCatRec
{
    QByteArray Name;
    QList<TUnitRec> Units;
};

void PutInt(QByteArray& out, qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void PutDouble(QByteArray& out, double value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

void PutName(QByteArray& out, const QByteArray& name)
{
    PutInt(out, qint32(name.size()));
    out.append(name);
}

QByteArray DataFile(const QList<TCatRec>& categories)
{
    QByteArray out("11");
    PutInt(out, qint32(categories.size()));
    for (const TCatRec& category : categories) {
        PutName(out, category.Name);
        PutInt(out, qint32(category.Units.size()));
        for (const TUnitRec& unit : category.Units) {
            PutName(out, unit.Name);
            PutDouble(out, unit.Factor);
        }
    }
    return out;
}

// The older layout: numbered categories, units pointing at them by number.
QByteArray LegacyUnitsFile(const QList<QPair<quint8, QByteArray>>& categories,
                           const QList<QPair<quint8, TUnitRec>>& units)
{
    QByteArray out("10");
    PutInt(out, qint32(categories.size()));
    for (const auto& [number, name] : categories) {
        out.append(char(number));
        PutName(out, name);
    }
    PutInt(out, qint32(units.size()));
    for (const auto& [number, unit] : units) {
        out.append("\xAB\xCD", 2);
        out.append(char(number));
        PutName(out, unit.Name);
        PutDouble(out, unit.Factor);
    }
    return out;
}

QByteArray LegacyCustomFile(const QList<QPair<quint8, TUnitRec>>& units)
{
    QByteArray out("10");
    PutInt(out, qint32(units.size()));
    for (const auto& [number, unit] : units) {
        out.append("\0\0", 2);
        out.append(char(number));
        PutName(out, unit.Name);
        PutDouble(out, unit.Factor);
    }
    return out;
}

const QList<TCatRec> kShipped = {
    {"Temperature", {{"Degrees Celsius", 1}, {"Degrees Fahrenheit", 1}, {"Degrees Kelvin", 1}, {"Degrees Rankine", 1}}},
    {"Length", {{"Metre", 1}, {"Kilometre", 0.001}, {"Foot", 3.280839895013123}}},
    {"Speed", {{"Metre", 1}, {"Kilometre", 0.001}}},
};
// A unit of the user's own in a shipped category, one in a category of its own, and one
// that a shipped unit hides.
const QList<TCatRec> kCustom = {
    {"length", {{"Furlong", 0.004970969537898672}, {"FOOT", 99}}},
    {"Horse Racing", {{"Furlong", 1}, {"Mile", 0.125}}},
};

struct TRun
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Lines(const QString& text)
{
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void convert_data();
    void convert();
    void listings_data();
    void listings();
    void dataFileFailures_data();
    void dataFileFailures();
    void legacyFilesFollowReadOnly();
    void readOnlyCustomFileStopsConversion();

    void format_data();
    void format();
    void parse_data();
    void parse();
    void outputThatCannotBeWrittenFails();
    void hexRoundTrip_data();
    void hexRoundTrip();
    void regionalSeparators_data();
    void regionalSeparators();
    void usageErrors_data();
    void usageErrors();

private:
    TRun Run(const QStringList& args, const QByteArray& input = {}, const QStringList& env = {});

    QString FMorvex;
    QTemporaryDir FDir;
    QString FData; // units.dat and custom.dat of kShipped and kCustom
};

TRun TestCli::Run(const QStringList& args, const QByteArray& input, const QStringList& env)
{
    QProcess process;
    if (!env.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& pair : env)
            environment.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        process.setProcessEnvironment(environment);
    }
    process.start(FMorvex, args);
    TRun run;
    if (!process.waitForStarted())
        return run;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.ExitCode = process.exitCode();
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TestCli::initTestCase()
{
    const QString bin = qEnvironmentVariable("MORVEX_BIN_DIR");
    QVERIFY2(!bin.isEmpty(), "MORVEX_BIN_DIR is not set");
    FMorvex = QDir(bin).filePath(QStringLiteral("morvex"));
    QVERIFY2(QFileInfo(FMorvex).isExecutable(), qPrintable(FMorvex));
    QVERIFY(FDir.isValid());
    FData = FDir.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(FData));
    WriteFile(FData + QStringLiteral("/units.dat"), DataFile(kShipped));
    WriteFile(FData + QStringLiteral("/custom.dat"), DataFile(kCustom));
}

void TestCli::convert_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("errContains");

    using L = QStringList;
    QTest::newRow("celsius to fahrenheit") << L{"100", "Degrees Celsius", "Degrees Fahrenheit"} << 0 << "212\n"
                                           << "";
    QTest::newRow("celsius to kelvin") << L{"100", "Degrees Celsius", "Degrees Kelvin"} << 0 << "373.15\n"
                                       << "";
    QTest::newRow("celsius to rankine") << L{"100", "Degrees Celsius", "Degrees Rankine"} << 0 << "671.67\n"
                                        << "";
    QTest::newRow("negative value") << L{"-40", "Degrees Celsius", "Degrees Fahrenheit"} << 0 << "-40\n"
                                    << "";
    QTest::newRow("names ignore case") << L{"0", "DEGREES KELVIN", "degrees celsius"} << 0 << "-273.15\n"
                                       << "";
    QTest::newRow("linear") << L{"2", "Kilometre", "Foot", "--category", "Length"} << 0 << "6561.67979002625\n"
                            << "";
    QTest::newRow("one shared category") << L{"1", "Foot", "Metre"} << 0 << "0.3048\n"
                                         << "";
    QTest::newRow("custom unit") << L{"1", "furlong", "metre", "--category", "LENGTH"} << 0 << "201.168\n"
                                 << "";
    QTest::newRow("custom category") << L{"1", "Mile", "Furlong"} << 0 << "8\n"
                                     << "";
    QTest::newRow("shipped unit wins over custom")
        << L{"1", "Metre", "Foot", "--category", "Length"} << 0 << "3.28083989501312\n"
        << "";
    QTest::newRow("notation and digits") << L{"1234567.891", "Metre", "Metre",       "--category", "Length",
                                              "--notation",  "2",     "--precision", "2"}
                                         << 0 << "1,234,567.89\n"
                                         << "";
    QTest::newRow("typed separators") << L{"1.234,5", "Foot",       "Foot", "--decimal",   ",", "--thousands",
                                           ".",       "--notation", "1",    "--precision", "1"}
                                      << 0 << "1234,5\n"
                                      << "";

    QTest::newRow("unreadable value") << L{"abc", "Foot", "Metre"} << 1 << "N/A\n"
                                      << "";
    QTest::newRow("result out of range") << L{"1e308", "Kilometre", "Foot"} << 1 << "N/A\n"
                                         << "";

    QTest::newRow("ambiguous") << L{"1", "Metre", "Kilometre"} << 2 << ""
                               << "(Length, Speed)";
    QTest::newRow("ambiguous asks for --category") << L{"1", "metre", "kilometre"} << 2 << ""
                                                   << "--category";
    QTest::newRow("ambiguous settled") << L{"1", "Metre", "Kilometre", "--category", "speed"} << 0 << "0.001\n"
                                       << "";
    QTest::newRow("unknown unit") << L{"1", "Parsec", "Metre"} << 2 << ""
                                  << "Parsec";
    QTest::newRow("unknown category") << L{"1", "Metre", "Foot", "--category", "Area"} << 2 << ""
                                      << "Area";
    QTest::newRow("unit not in category") << L{"1", "Metre", "Foot", "--category", "Speed"} << 2 << ""
                                          << "Foot";
    QTest::newRow("different categories") << L{"1", "Foot", "Degrees Celsius"} << 2 << ""
                                          << "one category";
    QTest::newRow("missing argument") << L{"1", "Foot"} << 2 << ""
                                      << "VALUE FROM TO";
}

void TestCli::convert()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, errContains);

    const TRun run = Run(QStringList{QStringLiteral("convert"), QStringLiteral("--data-dir"), FData} + args);
    QCOMPARE(run.ExitCode, exitCode);
    QCOMPARE(run.Out, out);
    if (!errContains.isEmpty())
        QVERIFY2(run.Err.contains(errContains), qPrintable(run.Err));
    if (exitCode == 0)
        QCOMPARE(run.Err, QString());
}

void TestCli::listings_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");

    using L = QStringList;
    QTest::newRow("categories in name order") << L{"categories"} << 0 << "Horse Racing\nLength\nSpeed\nTemperature\n";
    QTest::newRow("units of one category")
        << L{"units", "LENGTH"} << 0
        << "Foot\t3.280839895013123\tbuilt-in\nFurlong\t0.004970969537898672\tcustom\nKilometre\t0.001\tbuilt-in\n"
           "Metre\t1\tbuilt-in\n";
    QTest::newRow("units of a custom category")
        << L{"units", "Horse Racing"} << 0 << "Furlong\t1\tcustom\nMile\t0.125\tcustom\n";
    QTest::newRow("all units") << L{"units"} << 0
                               << "Horse Racing\tFurlong\t1\tcustom\n"
                                  "Horse Racing\tMile\t0.125\tcustom\n"
                                  "Length\tFoot\t3.280839895013123\tbuilt-in\n"
                                  "Length\tFurlong\t0.004970969537898672\tcustom\n"
                                  "Length\tKilometre\t0.001\tbuilt-in\n"
                                  "Length\tMetre\t1\tbuilt-in\n"
                                  "Speed\tKilometre\t0.001\tbuilt-in\n"
                                  "Speed\tMetre\t1\tbuilt-in\n"
                                  "Temperature\tDegrees Celsius\t1\tbuilt-in\n"
                                  "Temperature\tDegrees Fahrenheit\t1\tbuilt-in\n"
                                  "Temperature\tDegrees Kelvin\t1\tbuilt-in\n"
                                  "Temperature\tDegrees Rankine\t1\tbuilt-in\n";
    QTest::newRow("unknown category") << L{"units", "Area"} << 2 << "";
    QTest::newRow("two categories") << L{"units", "Length", "Speed"} << 2 << "";
    QTest::newRow("categories takes no argument") << L{"categories", "Length"} << 2 << "";
}

void TestCli::listings()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);

    const TRun run = Run(args + QStringList{QStringLiteral("--data-dir"), FData});
    QCOMPARE(run.ExitCode, exitCode);
    QCOMPARE(run.Out, out);
}

void TestCli::dataFileFailures_data()
{
    QTest::addColumn<std::optional<QByteArray>>("units");
    QTest::addColumn<std::optional<QByteArray>>("custom");
    QTest::addColumn<QString>("reason"); // the failure's own message; empty: any

    const QByteArray good = DataFile(kShipped);
    auto withCount = [](qint32 count) {
        QByteArray out("11");
        PutInt(out, count);
        return out;
    };
    // One category whose name has the given length field, followed by a few bytes.
    auto withNameLength = [](qint32 length) {
        QByteArray out("11");
        PutInt(out, 1);
        PutInt(out, length);
        out.append("Length");
        PutInt(out, 0);
        return out;
    };
    const QString invalid = QString::fromLatin1(kInvalidDataFile);
    const std::optional<QByteArray> none;

    QTest::newRow("units.dat missing") << none << none << "";
    // Beside a good custom.dat, so that the old-layout conversion does not stop at opening it.
    const std::optional<QByteArray> goodCustom = DataFile(kCustom);
    QTest::newRow("units.dat empty") << std::optional(QByteArray()) << goodCustom << invalid;
    QTest::newRow("units.dat wrong version") << std::optional(QByteArray("12\0\0\0\0", 6)) << goodCustom << invalid;
    QTest::newRow("units.dat one byte") << std::optional(QByteArray("1")) << goodCustom << invalid;
    QTest::newRow("units.dat wrong version, no custom.dat") << std::optional(QByteArray("12\0\0\0\0", 6)) << none << "";
    QTest::newRow("units.dat ends early") << std::optional(withCount(3)) << none << "";
    QTest::newRow("units.dat huge count") << std::optional(withCount(0x7fffffff)) << none << "";
    QTest::newRow("name length 0") << std::optional(withNameLength(0)) << none << "";
    QTest::newRow("name length negative") << std::optional(withNameLength(-5)) << none << "";
    QTest::newRow("name length huge") << std::optional(withNameLength(0x7fffffff)) << none << "";
    QTest::newRow("duplicate category") << std::optional(
                                               DataFile({{"Length", {{"Metre", 1}}}, {"LENGTH", {{"Foot", 3}}}}))
                                        << none << QString::fromLatin1(kCategoryExists).arg(QStringLiteral("LENGTH"));
    QTest::newRow("duplicate unit") << std::optional(DataFile({{"Length", {{"Metre", 1}, {"metre", 2}}}})) << none
                                    << QString::fromLatin1(kUnitExists).arg(QStringLiteral("metre"));
    QTest::newRow("custom.dat wrong version")
        << std::optional(good) << std::optional(QByteArray("10\0\0\0\0", 6)) << invalid;
    QTest::newRow("custom.dat ends early") << std::optional(good) << std::optional(withCount(1)) << "";
    QTest::newRow("custom.dat duplicate unit")
        << std::optional(good) << std::optional(DataFile({{"Length", {{"Furlong", 1}, {"FURLONG", 2}}}}))
        << QString::fromLatin1(kUnitExists).arg(QStringLiteral("FURLONG"));
}

// Every command that reads the catalogue ends with exit code 3 and the program's message,
// its carriage return turned into a line break.
void TestCli::dataFileFailures()
{
    QFETCH(std::optional<QByteArray>, units);
    QFETCH(std::optional<QByteArray>, custom);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (units)
        WriteFile(dir.filePath(QStringLiteral("units.dat")), *units);
    if (custom)
        WriteFile(dir.filePath(QStringLiteral("custom.dat")), *custom);

    const QList<QStringList> commands = {
        {QStringLiteral("categories")},
        {QStringLiteral("units")},
        {QStringLiteral("convert"), QStringLiteral("1"), QStringLiteral("Metre"), QStringLiteral("Metre")}};
    for (const QStringList& command : commands) {
        const TRun run = Run(command + QStringList{QStringLiteral("--data-dir"), dir.path()});
        QCOMPARE(run.ExitCode, 3);
        QCOMPARE(run.Out, QString());
        QVERIFY2(!run.Err.contains(u'\r'), qPrintable(run.Err));
        const QStringList lines = Lines(run.Err);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString::fromLatin1(kErrorOpeningDataFile));
        if (!reason.isEmpty())
            QCOMPARE(lines[1], reason);
        else
            QVERIFY(!lines[1].isEmpty());
    }
}

void TestCli::legacyFilesFollowReadOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString unitsPath = dir.filePath(QStringLiteral("units.dat"));
    const QString customPath = dir.filePath(QStringLiteral("custom.dat"));
    const QByteArray oldUnits =
        LegacyUnitsFile({{7, "Length"}, {9, "Mass"}}, {{7, {"Metre", 1}}, {7, {"Foot", 3.28}}, {9, {"Gram", 1}}});
    const QByteArray oldCustom = LegacyCustomFile({{9, {"Pound", 0.0022}}});
    WriteFile(unitsPath, oldUnits);
    WriteFile(customPath, oldCustom);

    // Asked to stay read-only: the files are out of date and stay as they are.
    TRun run =
        Run({QStringLiteral("categories"), QStringLiteral("--readonly"), QStringLiteral("--data-dir"), dir.path()});
    QCOMPARE(run.ExitCode, 3);
    QCOMPARE(run.Err, QString::fromLatin1(kReadOnlyOutOfDate) + u'\n');
    QCOMPARE(ReadFile(unitsPath), oldUnits);
    QCOMPARE(ReadFile(customPath), oldCustom);

    // Writable files are brought to the current layout and then read.
    run = Run({QStringLiteral("units"), QStringLiteral("--data-dir"), dir.path()});
    QCOMPARE(run.Err, QString());
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Out, QStringLiteral("Length\tFoot\t3.28\tbuilt-in\nLength\tMetre\t1\tbuilt-in\n"
                                     "Mass\tGram\t1\tbuilt-in\nMass\tPound\t0.0022\tcustom\n"));
    QVERIFY(ReadFile(unitsPath).startsWith("11"));
    QVERIFY(ReadFile(customPath).startsWith("11"));
}

void TestCli::readOnlyCustomFileStopsConversion()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString unitsPath = dir.filePath(QStringLiteral("units.dat"));
    const QString customPath = dir.filePath(QStringLiteral("custom.dat"));
    const QByteArray oldUnits = LegacyUnitsFile({{1, "Length"}}, {{1, {"Metre", 1}}});
    WriteFile(unitsPath, oldUnits);
    WriteFile(customPath, LegacyCustomFile({}));
    QVERIFY(QFile::setPermissions(customPath, QFile::ReadOwner | QFile::ReadUser));
    if (QFileInfo(customPath).isWritable())
        QSKIP("file permissions do not bind this user (running as root?)");

    const TRun run = Run({QStringLiteral("categories"), QStringLiteral("--data-dir"), dir.path()});
    QCOMPARE(run.ExitCode, 3);
    QCOMPARE(run.Err, QString::fromLatin1(kReadOnlyOutOfDate) + u'\n');
    QCOMPARE(ReadFile(unitsPath), oldUnits);
}

void TestCli::format_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");

    using L = QStringList;
    QTest::newRow("defaults") << L{"1234.5678", "0.1", "1e20", "-0"} << QByteArray() << 0
                              << "1234.5678\n0.1\n1E020\n0\n";
    QTest::newRow("hex values") << L{"0x1.8p+3", "-0x1p-2", "0X1P-1074", "+0x1.fffffffffffffp+1023"} << QByteArray()
                                << 0 << "12\n-0.25\n4.94065645841247E-324\n1.79769313486232E308\n";
    QTest::newRow("notation and digits") << L{"--notation", "3", "--precision", "4", "1234.5678"} << QByteArray() << 0
                                         << "1.235E+003\n";
    QTest::newRow("separators") << L{"--notation", "2",           "--precision", "2",           "--decimal",
                                     ",",          "--thousands", " ",           "-1234567.891"}
                                << QByteArray() << 0 << "-1 234 567,89\n";
    QTest::newRow("no thousands") << L{"--notation", "2", "--precision", "0", "--no-thousands", "1234567"}
                                  << QByteArray() << 0 << "1234567\n";
    QTest::newRow("standard input") << L{"--precision", "3"} << QByteArray("3.14159\r\n0x1p4\n2.71828") << 0
                                    << "3.14\n16\n2.72\n";
    QTest::newRow("unreadable values") << L{"1", "abc", "0x", "0x1p", "0x-1p0", "1e999", "0x1p99999", "2"}
                                       << QByteArray() << 1 << "1\nN/A\nN/A\nN/A\nN/A\nN/A\nN/A\n2\n";
}

void TestCli::format()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, out);

    const TRun run = Run(QStringList{QStringLiteral("format")} + args, input);
    QCOMPARE(run.Out, out);
    QCOMPARE(run.ExitCode, exitCode);
}

void TestCli::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");

    using L = QStringList;
    QTest::newRow("grammar") << L{"1,234.5", " -2.5e3 ", "1E", ".", "-0"} << QByteArray() << 0
                             << "0x1.34ap+10\n-0x1.388p+11\n0x1p+0\n0x0p+0\n-0x0p+0\n";
    QTest::newRow("refused") << L{"1.2.3", "abc", "", "1", "--", "--1"} << QByteArray() << 1
                             << "N/A\nN/A\nN/A\n0x1p+0\nN/A\n";
    QTest::newRow("comma region") << L{"--decimal", ",", "--thousands", ".", "1.234,5", "1.5"} << QByteArray() << 0
                                  << "0x1.34ap+10\n0x1.ep+3\n";
    QTest::newRow("comma region, negative")
        << L{"--decimal", ",", "--thousands", ".", "-,5", "-1,5"} << QByteArray() << 0 << "-0x1p-1\n-0x1.8p+0\n";
    QTest::newRow("extremes") << L{"4.9406564584124654e-324", "2.2250738585072014e-308", "1.7976931348623157e308",
                                   "1e-400", "1e309"}
                              << QByteArray() << 1
                              << "0x0.0000000000001p-1022\n0x1p-1022\n0x1.fffffffffffffp+1023\n0x0p+0\nN/A\n";
    QTest::newRow("standard input") << L{} << QByteArray("0.5\r\n  2  \nx\n") << 1 << "0x1p-1\n0x1p+1\nN/A\n";
}

void TestCli::parse()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, out);

    const TRun run = Run(QStringList{QStringLiteral("parse")} + args, input);
    QCOMPARE(run.Out, out);
    QCOMPARE(run.ExitCode, exitCode);
}

// format with 18 digits and parse bring every double back bit for bit.
void TestCli::hexRoundTrip_data()
{
    QTest::addColumn<QStringList>("formatOptions");
    QTest::addColumn<QStringList>("parseOptions");

    QTest::newRow("automatic") << QStringList{"--precision", "18"} << QStringList{};
    QTest::newRow("scientific comma") << QStringList{"--notation", "3", "--precision", "18", "--decimal", ","}
                                      << QStringList{"--decimal", ",", "--thousands", "."};
}

void TestCli::hexRoundTrip()
{
    QFETCH(QStringList, formatOptions);
    QFETCH(QStringList, parseOptions);

    const QStringList values = {"0x1.999999999999ap-4",    "-0x1.5555555555555p-2",   "0x1.fffffffffffffp+1023",
                                "0x0.0000000000001p-1022", "0x0.fffffffffffffp-1022", "0x1p-1022",
                                "0x1.b7cdfd9d7bdbbp+59",   "-0x1.e848p+19",           "0x1.0000000000001p+0"};
    const TRun formatted = Run(QStringList{QStringLiteral("format")} + formatOptions + values);
    QCOMPARE(formatted.ExitCode, 0);
    const TRun parsed = Run(QStringList{QStringLiteral("parse")} + parseOptions, formatted.Out.toUtf8());
    QCOMPARE(parsed.ExitCode, 0);
    QCOMPARE(Lines(parsed.Out), values);
}

// --locale-separators takes the separators from the regional settings of the environment.
void TestCli::regionalSeparators_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("typed");

    QTest::newRow("en_US") << "en_US.UTF-8"
                           << "1,234,567.89"
                           << "1,234.5";
    QTest::newRow("de_DE") << "de_DE.UTF-8"
                           << "1.234.567,89"
                           << "1.234,5";
    QTest::newRow("fr_FR") << "fr_FR.UTF-8" << QString::fromUtf16(u"1\u202F234\u202F567,89")
                           << QString::fromUtf16(u"1\u202F234,5");
}

void TestCli::regionalSeparators()
{
    QFETCH(QString, locale);
    QFETCH(QString, formatted);
    QFETCH(QString, typed);

    const QStringList env = {QStringLiteral("LC_ALL=") + locale};
    TRun run =
        Run({QStringLiteral("format"), QStringLiteral("--locale-separators"), QStringLiteral("--notation"),
             QStringLiteral("2"), QStringLiteral("--precision"), QStringLiteral("2"), QStringLiteral("1234567.891")},
            {}, env);
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Out, formatted + u'\n');

    run = Run({QStringLiteral("parse"), QStringLiteral("--locale-separators"), typed}, {}, env);
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Out, QStringLiteral("0x1.34ap+10\n"));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");

    using L = QStringList;
    QTest::newRow("unknown option") << L{"format", "--bogus", "1"};
    QTest::newRow("precision above 20") << L{"format", "--precision", "21", "1"};
    QTest::newRow("precision not a number") << L{"format", "--precision", "x", "1"};
    QTest::newRow("notation above a byte") << L{"format", "--notation", "256", "1"};
    QTest::newRow("two-character separator") << L{"format", "--decimal", ",,", "1"};
    QTest::newRow("digit as separator") << L{"parse", "--thousands", "1", "1"};
    QTest::newRow("equal separators") << L{"parse", "--decimal", ",", "--thousands", ",", "1"};
    QTest::newRow("thousands and none") << L{"parse", "--thousands", "'", "--no-thousands", "1"};
    QTest::newRow("parse has no notation") << L{"parse", "--notation", "1", "1"};
    QTest::newRow("convert without units") << L{"convert", "1"};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    const TRun run = Run(args);
    QCOMPARE(run.ExitCode, 2);
    QCOMPARE(run.Out, QString());
    QVERIFY(run.Err.contains(QStringLiteral("--help")));
}

// A full disk must not pass for success with nothing written.
void TestCli::outputThatCannotBeWrittenFails()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(FMorvex, {QStringLiteral("categories"), QStringLiteral("--data-dir"), FData});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 3);
    QVERIFY(process.readAllStandardError().contains("cannot write"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
