#include "CatUnits.h"
#include "CatalogueBytes.h"
#include "CatalogueFiles.h"

#include <QBuffer>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <limits>
#include <memory>

using namespace Bytes;

namespace {

// One line a category ("Name", "[T]" when IsTemperature) and one a unit
// ("Category/Unit=factor", " custom" when Custom), in catalogue order.
QStringList Listing(const TConvCategories& catalogue)
{
    QStringList lines;
    for (int c = 0; c < catalogue.Count(); ++c) {
        const TConvCategory* category = catalogue.Categories(c);
        lines << category->Name + (category->IsTemperature ? "[T]" : "");
        for (int u = 0; u < category->UnitCount(); ++u) {
            const TConvUnit* unit = category->Units(u);
            if (unit->Category != category || category->Catalogue != &catalogue)
                lines << "broken back reference";
            lines << category->Name + "/" + unit->Name + "=" +
                         QString::number(unit->Factor, 'g', QLocale::FloatingPointShortest) +
                         (unit->Custom ? " custom" : "");
        }
    }
    return lines;
}

// Builds a catalogue from lines "Category|Unit|factor|c" (c: custom, s: shipped).
void Fill(TConvCategories& catalogue, const QStringList& lines)
{
    for (const QString& line : lines) {
        const QStringList f = line.split('|');
        TConvCategory* category = catalogue.FindCategory(f[0]);
        if (category == nullptr)
            category = catalogue.AddCategory(f[0]);
        category->AddUnit(f[1], f[3] == "c", f[2].toDouble());
    }
}

// A small valid body (after the version mark), in file order that is not catalogue order.
QByteArray SmallBody()
{
    return I32(2) + Category("Length", {Unit("Metre", 1.0), Unit("foot", 3.28084)}) +
           Category("temperature", {Unit("Degrees Celsius", 1.0)});
}

QByteArray Shipped()
{
    return File({Category("Length", {Unit("Metre", 1.0), Unit("Foot", 3.28084)}),
                 Category("Temperature", {Unit("Degrees Celsius", 1.0), Unit("Degrees Kelvin", 1.0)})});
}

const QStringList kShippedListing = {"Length",         "Length/Foot=3.28084",           "Length/Metre=1",
                                     "Temperature[T]", "Temperature/Degrees Celsius=1", "Temperature/Degrees Kelvin=1"};

QString ErrorText(const char* message)
{
    return QString::fromLatin1(kErrorOpeningDataFile) + '\r' + QString::fromLatin1(message);
}

// A device that cannot tell its size, like a pipe.
class TSequentialDevice : public QIODevice
{
public:
    explicit TSequentialDevice(const QByteArray& bytes) : FBytes(bytes) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return FBytes.size() - FAt + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, FBytes.size() - FAt);
        if (count <= 0)
            return -1;
        memcpy(data, FBytes.constData() + FAt, size_t(count));
        FAt += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray FBytes;
    qint64 FAt = 0;
};

} // namespace

class TestDataFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void readsRecords_data();
    void readsRecords();
    void acceptsOddButValidFiles_data();
    void acceptsOddButValidFiles();
    void refusesDamagedFiles_data();
    void refusesDamagedFiles();
    void loadsIntoFilledCatalogue();
    void namesKeepEveryByte();
    void writesRecords_data();
    void writesRecords();
    void writerRefusesUnstorableNames_data();
    void writerRefusesUnstorableNames();

    void loadCatalogue_data();
    void loadCatalogue();
    void droppedCustomUnitIsNotSavedAgain();
    void saveCustomUnits_data();
    void saveCustomUnits();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
};

void TestDataFiles::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestDataFiles::readsRecords_data()
{
    QTest::addColumn<bool>("custom");
    QTest::newRow("units.dat") << false;
    QTest::newRow("custom.dat") << true;
}

void TestDataFiles::readsRecords()
{
    QFETCH(bool, custom);
    QByteArray body = SmallBody();
    QBuffer buffer(&body);
    QVERIFY(buffer.open(QIODevice::ReadOnly));

    TConvCategories catalogue;
    catalogue.LoadFromStream(buffer, custom);

    const QString flag = custom ? " custom" : "";
    QCOMPARE(Listing(catalogue), (QStringList{"Length", "Length/foot=3.28084" + flag, "Length/Metre=1" + flag,
                                              "temperature[T]", "temperature/Degrees Celsius=1" + flag}));
    QCOMPARE(buffer.pos(), body.size());
}

void TestDataFiles::acceptsOddButValidFiles_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("listing");

    QTest::newRow("no categories") << I32(0) << QStringList{};
    QTest::newRow("negative category count") << I32(-5) + QByteArray("junk") << QStringList{};
    QTest::newRow("category without units") << I32(1) + Category("Area", {}) << QStringList{"Area"};
    QTest::newRow("negative unit count") << I32(1) + Name("Area") + I32(-1) << QStringList{"Area"};
    QTest::newRow("bytes after the records are ignored")
        << I32(1) + Category("Area", {Unit("Acre", 2.5)}) + QByteArray(7, 'x') << QStringList{"Area", "Area/Acre=2.5"};
    QTest::newRow("Windows-1252 names") << I32(1) + Category("L\xE4nge", {Unit("\xB5m", 1e6), Unit("Fu\xDF \x80", 1.0)})
                                        << QStringList{QStringLiteral("L\u00E4nge"),
                                                       QStringLiteral("L\u00E4nge/Fu\u00DF \u20AC=1"),
                                                       QStringLiteral("L\u00E4nge/\u00B5m=1e+06")};
    QTest::newRow("zero, infinite and NaN factors load as they are")
        << I32(1) + Category("Odd", {Unit("A", 0.0), Unit("B", std::numeric_limits<double>::infinity()),
                                     Unit("C", std::numeric_limits<double>::quiet_NaN())})
        << QStringList{"Odd", "Odd/A=0", "Odd/B=inf", "Odd/C=nan"};
    QTest::newRow("reverse order is sorted") << I32(3) + Category("c", {Unit("z", 1), Unit("y", 2), Unit("X", 3)}) +
                                                    Category("B", {Unit("u", 1)}) + Category("a", {Unit("u", 1)})
                                             << QStringList{"a", "a/u=1", "B", "B/u=1", "c", "c/X=3", "c/y=2", "c/z=1"};
}

void TestDataFiles::acceptsOddButValidFiles()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, listing);
    QBuffer buffer(&body);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    TConvCategories catalogue;
    catalogue.LoadFromStream(buffer, false);
    QCOMPARE(Listing(catalogue), listing);
}

void TestDataFiles::refusesDamagedFiles_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("sequential");
    QTest::addColumn<QString>("message");

    const QString invalid = QString::fromLatin1(kInvalidDataFile);
    const QByteArray body = SmallBody();
    constexpr qint32 kHuge = std::numeric_limits<qint32>::max();
    constexpr qint32 kMostNegative = std::numeric_limits<qint32>::min();

    struct TCase
    {
        QString name;
        QByteArray body;
        QString message;
    };
    QList<TCase> cases;
    for (int size = 0; size < body.size(); ++size)
        cases.append({QString("cut after %1 bytes").arg(size), body.left(size), invalid});
    cases.append({"huge category count", I32(kHuge) + Category("A", {Unit("u", 1)}), invalid});
    cases.append({"huge unit count", I32(1) + Name("A") + I32(kHuge) + Unit("u", 1), invalid});
    cases.append({"category name of length 0", I32(1) + I32(0) + I32(0), invalid});
    cases.append({"unit name of length 0", I32(1) + Name("A") + I32(1) + I32(0) + F64(1), invalid});
    cases.append({"negative name length", I32(1) + I32(-1) + QByteArray(16, 'a'), invalid});
    cases.append({"most negative name length", I32(1) + I32(kMostNegative) + QByteArray(16, 'a'), invalid});
    cases.append({"name longer than the file", I32(1) + I32(20) + QByteArray("Length") + I32(0), invalid});
    cases.append({"huge name length", I32(1) + I32(kHuge) + QByteArray("Length") + I32(0), invalid});
    cases.append({"factor cut short", I32(1) + Name("A") + I32(1) + Name("u") + QByteArray(7, '\0'), invalid});
    cases.append({"duplicate category ignoring case",
                  I32(2) + Category("Length", {Unit("m", 1)}) + Category("LENGTH", {Unit("m", 1)}),
                  "A category with name 'LENGTH' already exists."});
    cases.append({"duplicate unit ignoring case", I32(1) + Category("Length", {Unit("Metre", 1), Unit("metre", 2)}),
                  "A unit with the name 'metre' already exists."});
    cases.append({"first duplicate of an unsorted file is named",
                  I32(1) + Category("L", {Unit("c", 1), Unit("a", 1), Unit("C", 1), Unit("A", 1)}),
                  "A unit with the name 'C' already exists."});
    cases.append({"duplicate before damage is named",
                  I32(3) + Category("b", {Unit("u", 1)}) + Category("B", {Unit("u", 1)}) + I32(1),
                  "A category with name 'B' already exists."});

    cases.append({"repeated unit before damage is named",
                  I32(1) + Name("L") + I32(4) + Unit("b", 1) + Unit("a", 1) + Unit("B", 1),
                  "A unit with the name 'B' already exists."});
    cases.append(
        {"damage before a repeat", I32(1) + Name("L") + I32(3) + Unit("b", 1) + Unit("a", 1) + I32(1), invalid});
    cases.append({"repeated category before a unit repeat",
                  I32(3) + Category("b", {Unit("u", 1)}) + Category("B", {Unit("u", 1)}) +
                      Category("c", {Unit("u", 1), Unit("U", 1)}),
                  "A category with name 'B' already exists."});

    for (const TCase& c : cases) {
        QTest::newRow(qPrintable(c.name)) << c.body << false << c.message;
        QTest::newRow(qPrintable(c.name + ", sequential")) << c.body << true << c.message;
    }
}

void TestDataFiles::refusesDamagedFiles()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, sequential);
    QFETCH(QString, message);

    std::unique_ptr<QIODevice> buffer;
    if (sequential)
        buffer = std::make_unique<TSequentialDevice>(body);
    else
        buffer = std::make_unique<QBuffer>(&body);
    QVERIFY(buffer->open(QIODevice::ReadOnly));
    TConvCategories catalogue;
    try {
        catalogue.LoadFromStream(*buffer, false);
        QFAIL("a damaged file was read");
    } catch (const EConvError& error) {
        QCOMPARE(error.Message(), message);
    }
    QCOMPARE(catalogue.Count(), 0);
}

void TestDataFiles::loadsIntoFilledCatalogue()
{
    QByteArray first = SmallBody();
    QByteArray second = I32(2) + Category("Area", {Unit("Acre", 2.5)}) + Category("Bits", {Unit("Byte", 8)});
    QByteArray clash = I32(2) + Category("Cells", {Unit("Cell", 1)}) + Category("LENGTH", {Unit("Rod", 1)});
    TConvCategories catalogue;
    for (QByteArray* body : {&first, &second}) {
        QBuffer buffer(body);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        catalogue.LoadFromStream(buffer, false);
    }
    QCOMPARE(Listing(catalogue),
             (QStringList{"Area", "Area/Acre=2.5", "Bits", "Bits/Byte=8", "Length", "Length/foot=3.28084",
                          "Length/Metre=1", "temperature[T]", "temperature/Degrees Celsius=1"}));

    QBuffer buffer(&clash);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    try {
        catalogue.LoadFromStream(buffer, false);
        QFAIL("a taken category name was accepted");
    } catch (const EConvError& error) {
        QCOMPARE(error.Message(), QStringLiteral("A category with name 'LENGTH' already exists."));
    }
    QCOMPARE(catalogue.Count(), 0);
}

void TestDataFiles::namesKeepEveryByte()
{
    // Every byte value, the five the code page leaves unassigned among them, reads and
    // writes back unchanged.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    QByteArray body = I32(1) + Category(all.mid(1), {Unit(all.left(128), 1.0), Unit(all.mid(128), 2.0)});
    QBuffer input(&body);
    QVERIFY(input.open(QIODevice::ReadOnly));
    TConvCategories catalogue;
    catalogue.LoadFromStream(input, false);
    QCOMPARE(catalogue.Categories(0)->Units(0)->Name.size(), 128);

    QByteArray written;
    QBuffer output(&written);
    QVERIFY(output.open(QIODevice::WriteOnly));
    catalogue.SaveToStream(output, TUnitFilter::ufAll);
    QCOMPARE(written.toHex(' '), body.toHex(' '));
}

void TestDataFiles::writesRecords_data()
{
    QTest::addColumn<QStringList>("content");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QByteArray>("expected");

    const QStringList mixed = {"Volume|Litre|1|s", "Length|Metre|1|s", "Length|foot|3.28084|c", "Length|Inch|39.37|s",
                               "area|Plot|0.5|c"};
    QTest::newRow("all, in catalogue order")
        << mixed << int(TUnitFilter::ufAll)
        << I32(3) + Category("area", {Unit("Plot", 0.5)}) +
               Category("Length", {Unit("foot", 3.28084), Unit("Inch", 39.37), Unit("Metre", 1)}) +
               Category("Volume", {Unit("Litre", 1)});
    QTest::newRow("custom only") << mixed << int(TUnitFilter::ufCustom)
                                 << I32(2) + Category("area", {Unit("Plot", 0.5)}) +
                                        Category("Length", {Unit("foot", 3.28084)});
    QTest::newRow("shipped only") << mixed << int(TUnitFilter::ufBuiltIn)
                                  << I32(2) + Category("Length", {Unit("Inch", 39.37), Unit("Metre", 1)}) +
                                         Category("Volume", {Unit("Litre", 1)});
    QTest::newRow("nothing selected") << QStringList{"Length|Metre|1|s"} << int(TUnitFilter::ufCustom) << I32(0);
    QTest::newRow("Windows-1252 names") << QStringList{QStringLiteral("L\u00E4nge|\u00B5m|1000000|s"),
                                                       QStringLiteral("L\u00E4nge|Fu\u00DF \u20AC|2|s")}
                                        << int(TUnitFilter::ufAll)
                                        << I32(1) + Category("L\xE4nge", {Unit("Fu\xDF \x80", 2), Unit("\xB5m", 1e6)});
}

void TestDataFiles::writesRecords()
{
    QFETCH(QStringList, content);
    QFETCH(int, filter);
    QFETCH(QByteArray, expected);

    TConvCategories catalogue;
    Fill(catalogue, content);
    QByteArray written;
    QBuffer buffer(&written);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    catalogue.SaveToStream(buffer, TUnitFilter(filter));
    QCOMPARE(written.toHex(' '), expected.toHex(' '));

    // What was written reads back as the selected part of the catalogue.
    buffer.close();
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    TConvCategories reread;
    reread.LoadFromStream(buffer, false);
    QCOMPARE(buffer.pos(), written.size());
}

void TestDataFiles::writerRefusesUnstorableNames_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("message");

    QTest::newRow("unit outside the code page")
        << "Length" << QStringLiteral("\u03A9m")
        << QStringLiteral("The name '\u03A9m' cannot be stored in the data file.");
    QTest::newRow("category outside the code page")
        << QStringLiteral("\u0414\u043B\u0438\u043D\u0430") << "m"
        << QStringLiteral("The name '\u0414\u043B\u0438\u043D\u0430' cannot be stored in the data file.");
    QTest::newRow("empty unit name") << "Length"
                                     << "" << QStringLiteral("The name '' cannot be stored in the data file.");
}

void TestDataFiles::writerRefusesUnstorableNames()
{
    QFETCH(QString, category);
    QFETCH(QString, unit);
    QFETCH(QString, message);

    TConvCategories catalogue;
    catalogue.AddCategory(category)->AddUnit(unit, true, 2.0);
    QByteArray written;
    QBuffer buffer(&written);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    try {
        catalogue.SaveToStream(buffer, TUnitFilter::ufAll);
        QFAIL("an unstorable name was written");
    } catch (const EConvError& error) {
        QCOMPARE(error.Message(), message);
    }
}

void TestDataFiles::loadCatalogue_data()
{
    // A null QByteArray stands for a missing file.
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QByteArray>("custom");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message"); // with a trailing '*': the start of the message
    QTest::addColumn<QStringList>("listing");

    const QByteArray none;
    const QString invalid = ErrorText(kInvalidDataFile);
    const QByteArray oldUnits = OldUnits({OldCategory(1, "Length")}, {OldUnit(1, "Metre", 1.0)});

    QTest::newRow("six-byte units.dat") << File({}) << none << false << true << QString() << QStringList{};
    QTest::newRow("no custom.dat") << Shipped() << none << false << true << QString() << kShippedListing;
    QTest::newRow("empty custom.dat") << Shipped() << File({}) << false << true << QString() << kShippedListing;
    QTest::newRow("custom unit joins its category")
        << Shipped() << File({Category("LENGTH", {Unit("Cubit", 2.5)})}) << false << true << QString()
        << QStringList{
               "Length",         "Length/Cubit=2.5 custom",       "Length/Foot=3.28084",         "Length/Metre=1",
               "Temperature[T]", "Temperature/Degrees Celsius=1", "Temperature/Degrees Kelvin=1"};
    QTest::newRow("custom unit named like a shipped one is dropped")
        << Shipped() << File({Category("Length", {Unit("FOOT", 99.0)})}) << false << true << QString()
        << kShippedListing;
    QTest::newRow("custom category of its own")
        << File({Category("Length", {Unit("Metre", 1.0)})})
        << File({Category("Temperature", {Unit("Degrees Celsius", 1.0)})}) << false << true << QString()
        << QStringList{"Length", "Length/Metre=1", "Temperature", "Temperature/Degrees Celsius=1 custom"};
    QTest::newRow("read-only with current files") << Shipped() << none << true << true << QString() << kShippedListing;

    QTest::newRow("units.dat missing") << none << none << false << false << ErrorText("Cannot open file \"*")
                                       << QStringList{};
    QTest::newRow("units.dat of another version")
        << QByteArray("12") + Shipped().mid(2) << File({}) << false << false << invalid << QStringList{};
    QTest::newRow("units.dat of another version without custom.dat")
        << QByteArray("12") + Shipped().mid(2) << none << false << false << invalid << QStringList{};
    QTest::newRow("units.dat of one byte") << QByteArray("1") << File({}) << false << false << invalid << QStringList{};
    QTest::newRow("units.dat cut short") << Shipped().left(20) << none << false << false << invalid << QStringList{};
    QTest::newRow("units.dat with a name of length 0")
        << File({Category("Length", {Unit("", 1.0)})}) << none << false << false << invalid << QStringList{};
    QTest::newRow("units.dat with two categories of one name")
        << File({Category("Length", {Unit("m", 1.0)}), Category("length", {Unit("ft", 3.0)})}) << none << false << false
        << ErrorText("A category with name 'length' already exists.") << QStringList{};
    QTest::newRow("old layout in read-only mode")
        << oldUnits << OldCustom({}) << true << false << QString::fromLatin1(kReadOnlyOutOfDate) << QStringList{};
    QTest::newRow("old layout without custom.dat")
        << oldUnits << none << false << false << ErrorText("Cannot open file \"*") << QStringList{};
    QTest::newRow("old layout converted")
        << oldUnits << OldCustom({OldUnit(1, "Cubit", 2.0)}) << false << true << QString()
        << QStringList{"Length", "Length/Cubit=2 custom", "Length/Metre=1"};

    // The shipped units were read before custom.dat failed.
    QTest::newRow("custom.dat of another version")
        << Shipped() << QByteArray("10") + I32(0) << false << false << invalid << kShippedListing;
    QTest::newRow("custom.dat with a duplicate")
        << Shipped() << File({Category("Area", {Unit("Plot", 1.0), Unit("PLOT", 2.0)})}) << false << false
        << ErrorText("A unit with the name 'PLOT' already exists.") << kShippedListing;
    QTest::newRow("custom.dat cut short") << Shipped() << File({Category("Area", {Unit("Plot", 1.0)})}).left(9) << false
                                          << false << invalid << kShippedListing;
}

void TestDataFiles::loadCatalogue()
{
    QFETCH(QByteArray, units);
    QFETCH(QByteArray, custom);
    QFETCH(bool, readOnly);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QStringList, listing);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    if (!units.isNull())
        QVERIFY(WriteFile(folder + "units.dat", units));
    if (!custom.isNull())
        QVERIFY(WriteFile(folder + "custom.dat", custom));

    TConvCategories catalogue;
    catalogue.AddCategory("Stale")->AddUnit("Old");
    const TLoadResult result = LoadCatalogueFiles(catalogue, folder, readOnly);

    QCOMPARE(result.Ok, ok);
    if (message.endsWith('*'))
        QVERIFY2(result.Message.startsWith(message.chopped(1)), qPrintable(result.Message));
    else
        QCOMPARE(result.Message, message);
    QCOMPARE(Listing(catalogue), listing);
    // Read-only mode never rewrites a file.
    if (readOnly) {
        QCOMPARE(ReadFile(folder + "units.dat"), units);
        if (!custom.isNull())
            QCOMPARE(ReadFile(folder + "custom.dat"), custom);
    }
}

void TestDataFiles::droppedCustomUnitIsNotSavedAgain()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    QVERIFY(WriteFile(folder + "units.dat", Shipped()));
    QVERIFY(WriteFile(folder + "custom.dat", File({Category("Length", {Unit("Cubit", 2.0), Unit("foot", 99.0)})})));

    TConvCategories catalogue;
    QVERIFY(LoadCatalogueFiles(catalogue, folder, false).Ok);
    SaveCustomUnits(catalogue, folder);

    QCOMPARE(ReadFile(folder + "custom.dat").toHex(' '), File({Category("Length", {Unit("Cubit", 2.0)})}).toHex(' '));
}

void TestDataFiles::saveCustomUnits_data()
{
    QTest::addColumn<QStringList>("content");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no custom units") << QStringList{"Length|Metre|1|s"} << QByteArray::fromHex("31 31 00 00 00 00");
    QTest::newRow("empty catalogue") << QStringList{} << QByteArray::fromHex("31 31 00 00 00 00");
    QTest::newRow("categories with shipped units only are left out")
        << QStringList{"Length|Metre|1|s", "Mass|Stone|0.157|c", "Volume|Litre|1|s", "Area|Plot|0.25|c",
                       "Area|Acre|0.000247|s"}
        << File({Category("Area", {Unit("Plot", 0.25)}), Category("Mass", {Unit("Stone", 0.157)})});
}

void TestDataFiles::saveCustomUnits()
{
    QFETCH(QStringList, content);
    QFETCH(QByteArray, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    QVERIFY(WriteFile(folder + "custom.dat", QByteArray(100, 'x')));

    TConvCategories catalogue;
    Fill(catalogue, content);
    SaveCustomUnits(catalogue, folder);

    QCOMPARE(ReadFile(folder + "custom.dat").toHex(' '), expected.toHex(' '));
    QCOMPARE(CustomUnitsBytes(catalogue), expected);
    // Nothing else is left behind in the folder.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"custom.dat"});
}

void TestDataFiles::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("customIsFolder");
    QTest::addColumn<QString>("message");

    QTest::newRow("name outside the code page")
        << QStringLiteral("\u2126 thing") << false
        << QStringLiteral("The name '\u2126 thing' cannot be stored in the data file.*");
    QTest::newRow("custom.dat cannot be replaced") << "Widget" << true << "Cannot create file \"*";
}

void TestDataFiles::failedSaveKeepsOldFile()
{
    QFETCH(QString, unit);
    QFETCH(bool, customIsFolder);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    const QByteArray old = File({Category("Area", {Unit("Plot", 0.25)})});
    if (customIsFolder)
        QVERIFY(QDir(folder).mkdir("custom.dat"));
    else
        QVERIFY(WriteFile(folder + "custom.dat", old));

    TConvCategories catalogue;
    Fill(catalogue, {"Area|Plot|0.25|c", "Area|" + unit + "|3|c"});
    try {
        SaveCustomUnits(catalogue, folder);
        QFAIL("the save reported success");
    } catch (const EConvError& error) {
        QVERIFY2(error.Message().startsWith(message.chopped(1)), qPrintable(error.Message()));
    }
    if (!customIsFolder)
        QCOMPARE(ReadFile(folder + "custom.dat"), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
             customIsFolder ? QStringList{} : QStringList{"custom.dat"});
}

QTEST_GUILESS_MAIN(TestDataFiles)
#include "TestDataFiles.moc"
