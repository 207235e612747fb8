#include "CatUnits.h"
#include "CatalogueBytes.h"
#include "ConvArith.h"
#include "UnitSource.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <optional>

// The shipped unit data: its source agrees with GNU units, the built units.dat is that
// source and covers everyday engineering, and "morvex data" turns it into text and back.
class TestUnitsData : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void everyUnitIsCrossChecked();
    void agreesWithGnuUnits_data();
    void agreesWithGnuUnits();

    void shippedFileIsBuiltFromSource();
    void shippedCategories_data();
    void shippedCategories();
    void temperatureHasTheFourScales();
    void wellKnownConversions_data();
    void wellKnownConversions();

    void commandLineRoundTrip_data();
    void commandLineRoundTrip();
    void commandLineFailures_data();
    void commandLineFailures();
    void dumpLeavesOldFilesAlone();
    void dumpHandsOtherFilesToTheGlossary();
    void dumpKnowsGlossaryFromUnitMark();

private:
    struct TRun
    {
        int ExitCode = -1;
        QByteArray Out;
        QString Err;
    };
    TRun Morvex(const QStringList& args) const;
    QString Tmp(const QString& name) const { return FTemp.filePath(name); }
    const TConvCategory& Shipped(const QString& category) const;

    QString FSourcePath;
    QString FBinDir;
    QTemporaryDir FTemp;
    TUnitSource FSource;
    QByteArray FShippedBytes;
    TConvCategories FShipped;
};

void TestUnitsData::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(FTemp.isValid());
    const QString sourceDir = qEnvironmentVariable("MORVEX_SOURCE_DIR");
    FBinDir = qEnvironmentVariable("MORVEX_BIN_DIR");
    QVERIFY2(!sourceDir.isEmpty() && !FBinDir.isEmpty(), "run through ctest: MORVEX_SOURCE_DIR and MORVEX_BIN_DIR");

    FSourcePath = sourceDir + QStringLiteral("/data/units.txt");
    QFile source(FSourcePath);
    QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(FSourcePath));
    FSource = ParseUnitSource(source.readAll(), FSourcePath);

    FShippedBytes = Bytes::ReadFile(FBinDir + QStringLiteral("/units.dat"));
    ReadCatalogueFileBytes(FShippedBytes, FShipped, false);
}

TestUnitsData::TRun TestUnitsData::Morvex(const QStringList& args) const
{
    QProcess process;
    process.start(FBinDir + QStringLiteral("/morvex"), args);
    TRun run;
    if (!process.waitForStarted() || !process.waitForFinished(60000))
        return run;
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

const TConvCategory& TestUnitsData::Shipped(const QString& category) const
{
    const TConvCategory* found = FShipped.FindCategory(category);
    if (found == nullptr)
        throw std::runtime_error("no category " + category.toStdString());
    return *found;
}

namespace {

// The unit every other one of its category is measured against: the first with factor 1
// that GNU units knows.
const TSourceUnit* ReferenceOf(const TUnitSource& source, const QString& category)
{
    for (const TSourceUnit& unit : source.Units) {
        if (unit.Category == category && unit.Factor == 1 && !unit.Gnu.isEmpty())
            return &unit;
    }
    return nullptr;
}

// How many of `want` make one `have`, as GNU units says; nullopt and a reason otherwise.
std::optional<long double> AskGnuUnits(const QString& have, const QString& want, const QString& home, QString& error)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Neither the locale nor a personal units file may change the answer.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.remove(QStringLiteral("MYUNITSFILE"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("units"), {QStringLiteral("-t"), QStringLiteral("-o"), QStringLiteral("%.17g"),
                                            QStringLiteral("--"), have, want});
    if (!process.waitForStarted()) {
        error = QStringLiteral("GNU units ('units', Debian package units) is needed by this test and did not start");
        return std::nullopt;
    }
    process.waitForFinished(30000);
    const QString out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    bool ok = false;
    const double value = out.toDouble(&ok); // always the C locale
    if (!ok || process.exitCode() != 0) {
        error = QStringLiteral("units '%1' '%2' answered '%3' %4")
                    .arg(have, want, out, QString::fromUtf8(process.readAllStandardError()).trimmed());
        return std::nullopt;
    }
    return value;
}

} // namespace

void TestUnitsData::everyUnitIsCrossChecked()
{
    QStringList problems;
    QStringList categories;
    for (const TSourceUnit& unit : FSource.Units) {
        if (unit.Gnu.isEmpty() && unit.NoCounterpart.isEmpty())
            problems << QStringLiteral("line %1: '%2' has neither a GNU units name nor a reason for lacking one")
                            .arg(unit.Line)
                            .arg(unit.Name);
        if (!categories.contains(unit.Category))
            categories << unit.Category;
    }
    for (const QString& category : categories) {
        if (ReferenceOf(FSource, category) == nullptr)
            problems << QStringLiteral("'%1' has no unit of factor 1 with a GNU units name").arg(category);
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestUnitsData::agreesWithGnuUnits_data()
{
    QTest::addColumn<QString>("category");
    QStringList seen;
    for (const TSourceUnit& unit : FSource.Units) {
        if (!seen.contains(unit.Category)) {
            seen << unit.Category;
            QTest::newRow(qPrintable(unit.Category)) << unit.Category;
        }
    }
}

void TestUnitsData::agreesWithGnuUnits()
{
    QFETCH(QString, category);
    const TSourceUnit* reference = ReferenceOf(FSource, category);
    QVERIFY(reference != nullptr);

    QStringList mismatches;
    for (const TSourceUnit& unit : FSource.Units) {
        if (unit.Category != category || unit.Gnu.isEmpty())
            continue;
        QString error;
        const auto gnu = AskGnuUnits(unit.Gnu, reference->Gnu, FTemp.path(), error);
        if (!gnu) {
            if (error.contains(QLatin1String("did not start")))
                QFAIL(qPrintable(error));
            mismatches << QStringLiteral("line %1: %2").arg(unit.Line).arg(error);
            continue;
        }
        // The factor counts units in one base unit; GNU units gives base units in one unit.
        const long double ours = 1.0L / unit.Factor;
        const long double relative = std::fabs(ours - *gnu) / std::fabs(*gnu);
        const long double tolerance = unit.Exact ? 1e-15L : 1e-12L;
        if (!(relative <= tolerance))
            mismatches << QStringLiteral("line %1: '%2' is %3 %4, GNU units says %5 (relative difference %6)")
                              .arg(unit.Line)
                              .arg(unit.Name)
                              .arg(double(ours), 0, 'g', 17)
                              .arg(reference->Name)
                              .arg(double(*gnu), 0, 'g', 17)
                              .arg(double(relative), 0, 'g', 3);
    }
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QLatin1Char('\n'))));
}

void TestUnitsData::shippedFileIsBuiltFromSource()
{
    TConvCategories built;
    BuildCatalogue(FSource, FSourcePath, built, false);
    QCOMPARE(FShippedBytes, CatalogueFileBytes(built, TUnitFilter::ufAll));
}

void TestUnitsData::shippedCategories_data()
{
    QTest::addColumn<QString>("category");
    // Everyday engineering, as the converter promises it.
    for (const char* name : {"Length",
                             "Area",
                             "Volume",
                             "Mass",
                             "Time",
                             "Speed",
                             "Acceleration",
                             "Angle",
                             "Solid Angle",
                             "Frequency",
                             "Angular Velocity",
                             "Force",
                             "Pressure and Stress",
                             "Energy and Work",
                             "Power",
                             "Torque",
                             "Density",
                             "Dynamic Viscosity",
                             "Kinematic Viscosity",
                             "Volumetric Flow",
                             "Mass Flow",
                             "Fuel Consumption",
                             "Fuel Economy",
                             "Thermal Conductivity",
                             "Heat Transfer Coefficient",
                             "Specific Heat Capacity",
                             "Heat Flux",
                             "Specific Energy",
                             "Electric Current",
                             "Voltage",
                             "Electric Resistance",
                             "Capacitance",
                             "Inductance",
                             "Electric Charge",
                             "Electric Conductance",
                             "Magnetic Flux",
                             "Magnetic Flux Density",
                             "Illuminance",
                             "Luminance",
                             "Radiation Absorbed Dose",
                             "Radiation Dose Equivalent",
                             "Radioactivity",
                             "Data Storage",
                             "Data Rate",
                             "Mass Concentration",
                             "Molar Concentration",
                             "Moment of Inertia",
                             "Temperature",
                             "Temperature Difference"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestUnitsData::shippedCategories()
{
    QFETCH(QString, category);
    QVERIFY(FShipped.Count() >= 40);
    int units = 0;
    for (int i = 0; i < FShipped.Count(); ++i)
        units += FShipped.Categories(i)->UnitCount();
    QVERIFY2(units >= 800, qPrintable(QString::number(units)));

    const TConvCategory* found = FShipped.FindCategory(category);
    QVERIFY(found != nullptr);
    QCOMPARE(found->Name, category); // spelt as the users see it
    QVERIFY(found->UnitCount() >= 4);
}

void TestUnitsData::temperatureHasTheFourScales()
{
    const TConvCategory& temperature = Shipped(QStringLiteral("Temperature"));
    QVERIFY(temperature.IsTemperature);
    QStringList names;
    for (int i = 0; i < temperature.UnitCount(); ++i) {
        names << temperature.Units(i)->Name;
        QVERIFY(TemperatureScaleOf(*temperature.Units(i)).has_value());
    }
    names.sort();
    QCOMPARE(names, QStringList({"Degrees Celsius", "Degrees Fahrenheit", "Degrees Kelvin", "Degrees Rankine"}));
    QVERIFY(!Shipped(QStringLiteral("Temperature Difference")).IsTemperature);
}

void TestUnitsData::wellKnownConversions_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    // Values from the defining documents, shown at 15 significant digits.
    const auto row = [](const char* tag, const char* category, const char* from, const char* to, const char* value,
                        const char* expected) {
        QTest::newRow(tag) << QString::fromUtf8(category) << QString::fromUtf8(from) << QString::fromUtf8(to)
                           << QString::fromUtf8(value) << QString::fromUtf8(expected);
    };
    row("psi", "Pressure and Stress", "Pounds per square inch (psi)", "Pascals (Pa)", "1", "6894.75729316836");
    row("atm in psi", "Pressure and Stress", "Standard atmospheres (atm)", "Pounds per square inch (psi)", "1",
        "14.6959487755134");
    row("torr", "Pressure and Stress", "Torr", "Standard atmospheres (atm)", "760", "1");
    row("inch", "Length", "Inches (in)", "Centimetres (cm)", "1", "2.54");
    row("mile", "Length", "Miles (mi)", "Kilometres (km)", "1", "1.609344");
    row("nautical mile", "Length", "Nautical miles (NM)", "Feet (ft)", "1", "6076.1154855643");
    row("pound", "Mass", "Pounds (lb)", "Grams (g)", "1", "453.59237");
    row("pound-force", "Force", "Pounds-force (lbf)", "Newtons (N)", "1", "4.4482216152605");
    row("horsepower", "Power", "Horsepower (hp)", "Watts (W)", "1", "745.69987158227");
    row("Btu", "Energy and Work", "British thermal units (Btu)", "Joules (J)", "1", "1055.05585262");
    row("kWh", "Energy and Work", "Kilowatt-hours (kWh)", "Megajoules (MJ)", "1", "3.6");
    row("US gallon", "Volume", "US gallons (gal)", "Litres (L)", "1", "3.785411784");
    row("imperial gallon", "Volume", "Imperial gallons (imp gal)", "Litres (L)", "1", "4.54609");
    row("speed limit", "Speed", "Kilometres per hour (km/h)", "Miles per hour (mph)", "100", "62.1371192237334");
    row("mpg", "Fuel Economy", "Miles per US gallon (mpg US)", "Kilometres per litre (km/L)", "1", "0.425143707430272");
    row("k-value", "Thermal Conductivity", "Btu per hour foot °F (Btu/(h·ft·°F))", "Watts per metre kelvin (W/(m·K))",
        "1", "1.73073466637139");
    row("half turn", "Angle", "Degrees (°)", "Radians (rad)", "180", "3.14159265358979");
    row("gibibyte", "Data Storage", "Gibibytes (GiB)", "Megabytes (MB)", "1", "1073.741824");
    row("curie", "Radioactivity", "Curies (Ci)", "Gigabecquerels (GBq)", "1", "37");
    row("ampere-hour", "Electric Charge", "Ampere-hours (Ah)", "Coulombs (C)", "1", "3600");
    // A reading converts by formula, an interval by factor.
    row("boiling point", "Temperature", "Degrees Celsius", "Degrees Fahrenheit", "100", "212");
    row("equal readings", "Temperature", "Degrees Fahrenheit", "Degrees Celsius", "-40", "-40");
    row("rise of 100 °C", "Temperature Difference", "Degrees Celsius (°C)", "Degrees Fahrenheit (°F)", "100", "180");
    row("rise of 1 K", "Temperature Difference", "Kelvins (K)", "Degrees Rankine (°R)", "1", "1.8");
}

void TestUnitsData::wellKnownConversions()
{
    QFETCH(QString, category);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    const TConvCategory& units = Shipped(category);
    const int fromIndex = units.IndexOfUnit(from);
    const int toIndex = units.IndexOfUnit(to);
    QVERIFY2(fromIndex >= 0, qPrintable(from));
    QVERIFY2(toIndex >= 0, qPrintable(to));
    TFormatSettings format;
    format.NumberFormat = 0;
    format.Precision = 15;
    format.Separators = TSeparators{QLatin1Char('.'), std::nullopt};
    QCOMPARE(Recalculate(value, *units.Units(fromIndex), *units.Units(toIndex), false, format), expected);
}

void TestUnitsData::commandLineRoundTrip_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("buildOptions");
    QTest::newRow("shipped units.dat") << FBinDir + QStringLiteral("/units.dat") << QStringList();
    QTest::newRow("custom.dat") << Tmp(QStringLiteral("custom/custom.dat")) << QStringList{"--custom"};
}

void TestUnitsData::commandLineRoundTrip()
{
    QFETCH(QString, file);
    QFETCH(QStringList, buildOptions);

    if (file.endsWith(QLatin1String("custom/custom.dat"))) {
        QVERIFY(QDir(FTemp.path()).mkpath(QStringLiteral("custom")));
        const QByteArray text = "Length\tCubits\t1 / 0.4572\nMy things\tWidgets\t12\nMy things\tGauge #9\t0.1\n";
        QVERIFY(Bytes::WriteFile(Tmp(QStringLiteral("custom/source.txt")), text));
        const TRun made =
            Morvex(QStringList{"data", "build", Tmp(QStringLiteral("custom/source.txt")), "-o", file} + buildOptions);
        QCOMPARE(made.ExitCode, 0);
    }

    const QString text = Tmp(QStringLiteral("dump.txt"));
    const QString rebuilt = Tmp(QStringLiteral("rebuilt.dat"));
    const TRun dump = Morvex({"data", "dump", file, "-o", text});
    QVERIFY2(dump.ExitCode == 0, qPrintable(dump.Err));
    const TRun build = Morvex(QStringList{"data", "build", text, "-o", rebuilt} + buildOptions);
    QVERIFY2(build.ExitCode == 0, qPrintable(build.Err));
    QCOMPARE(Bytes::ReadFile(rebuilt), Bytes::ReadFile(file));

    // Standard output carries the same text.
    const TRun toStdout = Morvex({"data", "dump", file});
    QCOMPARE(toStdout.ExitCode, 0);
    QCOMPARE(toStdout.Out, Bytes::ReadFile(text));
}

void TestUnitsData::commandLineFailures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    using namespace Bytes;
    QVERIFY(WriteFile(Tmp(QStringLiteral("good.txt")), "Length\tMetres\t1\n"));
    QVERIFY(WriteFile(Tmp(QStringLiteral("dup.txt")), "Length\tMetres\t1\nLength\tmetres\t2\n"));
    QVERIFY(WriteFile(Tmp(QStringLiteral("short.dat")), File({Category("Length", {Unit("Metres", 1)})}).chopped(4)));
    QVERIFY(QDir(FTemp.path()).mkpath(QStringLiteral("lonely")));
    QVERIFY(WriteFile(Tmp(QStringLiteral("lonely/custom.dat")), OldCustom({OldUnit(1, "Slabs", 2)})));
    QVERIFY(WriteFile(Tmp(QStringLiteral("glossary.dat")), "#!not units"));
    const QString existing = Tmp(QStringLiteral("existing.dat"));

    QTest::newRow("no action") << QStringList{"data"} << 2 << "";
    QTest::newRow("unknown action") << QStringList{"data", "frobnicate"} << 2 << "unknown action";
    QTest::newRow("build without output") << QStringList{"data", "build", Tmp("good.txt")} << 2 << "";
    QTest::newRow("build without source") << QStringList{"data", "build", "-o", existing} << 2 << "";
    QTest::newRow("dump without file") << QStringList{"data", "dump"} << 2 << "";
    QTest::newRow("dump of two files") << QStringList{"data", "dump", Tmp("good.txt"), Tmp("dup.txt")} << 2 << "";
    QTest::newRow("unknown option") << QStringList{"data", "build", Tmp("good.txt"), "-o", existing, "--fast"} << 2
                                    << "fast";
    QTest::newRow("glossary dump takes no options")
        << QStringList{"data", "dump", Tmp("glossary.dat"), "--custom"} << 2 << "not a unit data file";
    QTest::newRow("missing source") << QStringList{"data", "build", Tmp("missing.txt"), "-o", existing} << 3
                                    << "missing.txt";
    QTest::newRow("duplicate name") << QStringList{"data", "build", Tmp("dup.txt"), "-o", existing} << 3
                                    << Tmp("dup.txt") +
                                           ":2: " + QString::fromLatin1(kUnitExists).arg(QStringLiteral("metres"));
    QTest::newRow("unwritable output") << QStringList{"data", "build", Tmp("good.txt"), "-o", Tmp("no/such/x.dat")} << 3
                                       << "x.dat";
    QTest::newRow("missing data file") << QStringList{"data", "dump", Tmp("missing.dat")} << 3 << "missing.dat";
    QTest::newRow("truncated data file") << QStringList{"data", "dump", Tmp("short.dat")} << 3
                                         << QString::fromLatin1(kInvalidDataFile);
    QTest::newRow("old custom file without its units file")
        << QStringList{"data", "dump", Tmp("lonely/custom.dat")} << 3 << "units.dat";
}

void TestUnitsData::commandLineFailures()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    // A failed build must leave the file it would have written as it was.
    const QString existing = Tmp(QStringLiteral("existing.dat"));
    QVERIFY(Bytes::WriteFile(existing, "previous content"));

    const TRun run = Morvex(args);
    QCOMPARE(run.ExitCode, exitCode);
    QVERIFY2(run.Err.contains(message), qPrintable(run.Err));
    QCOMPARE(Bytes::ReadFile(existing), QByteArray("previous content"));
}

void TestUnitsData::dumpLeavesOldFilesAlone()
{
    using namespace Bytes;
    QVERIFY(QDir(FTemp.path()).mkpath(QStringLiteral("old")));
    const QString unitsPath = Tmp(QStringLiteral("old/units.dat"));
    const QString customPath = Tmp(QStringLiteral("old/custom.dat"));
    const QByteArray oldUnits = OldUnits({OldCategory(3, "Length"), OldCategory(4, "Mass")},
                                         {OldUnit(3, "Metres", 1), OldUnit(4, "Kilograms", 1)});
    const QByteArray oldCustom = OldCustom({OldUnit(4, "Slabs", 0.05)});
    QVERIFY(WriteFile(unitsPath, oldUnits));
    QVERIFY(WriteFile(customPath, oldCustom));

    const TRun units = Morvex({"data", "dump", unitsPath});
    QCOMPARE(units.ExitCode, 0);
    QVERIFY(units.Out.contains("Length\tMetres\t1\n"));
    QVERIFY(units.Out.contains("Mass\tKilograms\t1\n"));

    // custom.dat is known by its name and takes its category numbers from units.dat beside it.
    const TRun custom = Morvex({"data", "dump", customPath});
    QCOMPARE(custom.ExitCode, 0);
    QVERIFY(custom.Out.contains("Mass\tSlabs\t0.05\n"));
    QVERIFY(!custom.Out.contains("Kilograms"));

    QCOMPARE(ReadFile(unitsPath), oldUnits);
    QCOMPARE(ReadFile(customPath), oldCustom);
}

void TestUnitsData::dumpHandsOtherFilesToTheGlossary()
{
    // A file that is no unit data file by its first two bytes is the glossary's to dump.
    const QString terms = FBinDir + QStringLiteral("/terms.dat");
    if (!QFile::exists(terms))
        QSKIP("no terms.dat built");
    const TRun viaDump = Morvex({"data", "dump", terms});
    const TRun direct = Morvex({"data", "dump-terms", terms});
    QCOMPARE(viaDump.ExitCode, direct.ExitCode);
    QCOMPARE(viaDump.Out, direct.Out);
    QCOMPARE(viaDump.Err, direct.Err);
}

void TestUnitsData::dumpKnowsGlossaryFromUnitMark()
{
    // Term number 11 puts the bytes of the unit data mark at the start of a glossary.
    const QString terms = Tmp(QStringLiteral("eleven.dat"));
    QVERIFY(Bytes::WriteFile(terms, QByteArray("11\x01Gear\x01Toothed wheel.\x01")));
    const TRun viaDump = Morvex({"data", "dump", terms});
    const TRun direct = Morvex({"data", "dump-terms", terms});
    QCOMPARE(direct.ExitCode, 0);
    QCOMPARE(viaDump.ExitCode, 0);
    QCOMPARE(viaDump.Out, direct.Out);
}

QTEST_GUILESS_MAIN(TestUnitsData)
#include "TestUnitsData.moc"
