#include "CatUnits.h"
#include "CatalogueBytes.h"
#include "CatalogueFiles.h"
#include "legacycatunits.h"

#include <QBuffer>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

using namespace Bytes;

namespace {

// Two categories and three units; the units are in neither name nor category order.
QByteArray OldShipped()
{
    return OldUnits({OldCategory(1, "Length"), OldCategory(2, "Mass")},
                    {OldUnit(1, "Metre", 1.0), OldUnit(2, "Kilogram", 1.0), OldUnit(1, "Foot", 3.28084)});
}

QByteArray OldUserUnits()
{
    return OldCustom({OldUnit(2, "Stone", 0.157473)});
}

QByteArray NewShipped()
{
    return File(
        {Category("Length", {Unit("Foot", 3.28084), Unit("Metre", 1.0)}), Category("Mass", {Unit("Kilogram", 1.0)})});
}

QByteArray NewUserUnits()
{
    return File({Category("Mass", {Unit("Stone", 0.157473)})});
}

struct TOutcome
{
    bool Result = false;
    QString Message; // of the exception, if one came
};

TOutcome Convert(const QString& folder)
{
    TOutcome outcome;
    try {
        outcome.Result = ConvertLegacyFiles(folder + "units.dat", folder + "custom.dat");
    } catch (const EConvError& error) {
        outcome.Message = error.Message();
    }
    return outcome;
}

} // namespace

class TestLegacy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void convertsBothFiles_data();
    void convertsBothFiles();
    void damagedFilesAreNotRewritten_data();
    void damagedFilesAreNotRewritten();
    void streamChecksItsArguments();
    void loaderUsesConvertedFiles();
    void currentCustomFileLoadsAtNextStart();
};

void TestLegacy::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestLegacy::convertsBothFiles_data()
{
    // A null QByteArray stands for a missing file.
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QByteArray>("custom");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("message"); // with a trailing '*': the start of the message
    QTest::addColumn<QByteArray>("newUnits");
    QTest::addColumn<QByteArray>("newCustom");

    const QByteArray none;
    const QString invalid = QString::fromLatin1(kInvalidDataFile);

    QTest::newRow("two categories, three units, one custom unit")
        << OldShipped() << OldUserUnits() << true << QString() << NewShipped() << NewUserUnits();
    QTest::newRow("no custom units") << OldShipped() << OldCustom({}) << true << QString() << NewShipped()
                                     << QByteArray::fromHex("31 31 00 00 00 00");
    QTest::newRow("unit of a number missing from the table is dropped")
        << OldUnits({OldCategory(1, "Length")}, {OldUnit(1, "Metre", 1.0), OldUnit(9, "Lost", 2.0)})
        << OldCustom({OldUnit(9, "Lost too", 3.0), OldUnit(1, "Cubit", 2.5)}) << true << QString()
        << File({Category("Length", {Unit("Metre", 1.0)})}) << File({Category("Length", {Unit("Cubit", 2.5)})});
    QTest::newRow("category without units is not written")
        << OldUnits({OldCategory(5, "Area"), OldCategory(1, "Length")}, {OldUnit(1, "Metre", 1.0)}) << OldCustom({})
        << true << QString() << File({Category("Length", {Unit("Metre", 1.0)})}) << File({});
    QTest::newRow("first category of a number wins")
        << OldUnits({OldCategory(1, "Length"), OldCategory(1, "Mass")}, {OldUnit(1, "Metre", 1.0)})
        << OldCustom({OldUnit(1, "Cubit", 2.5)}) << true << QString()
        << File({Category("Length", {Unit("Metre", 1.0)})}) << File({Category("Length", {Unit("Cubit", 2.5)})});
    QTest::newRow("custom unit may start a category's custom list only")
        << OldUnits({OldCategory(1, "Length"), OldCategory(2, "Area")}, {OldUnit(1, "Metre", 1.0)})
        << OldCustom({OldUnit(2, "Plot", 0.25)}) << true << QString()
        << File({Category("Length", {Unit("Metre", 1.0)})}) << File({Category("Area", {Unit("Plot", 0.25)})});
    QTest::newRow("category number 255") << OldUnits({OldCategory(255, "Length")}, {OldUnit(255, "Metre", 1.0)})
                                         << OldCustom({}) << true << QString()
                                         << File({Category("Length", {Unit("Metre", 1.0)})}) << File({});
    for (const QByteArray& unused : {QByteArray("\xFF\xFF"), QByteArray("ab"), QByteArray("\x01\x02")}) {
        QTest::addRow("unused bytes %s", unused.toHex().constData())
            << OldUnits({OldCategory(1, "Length")}, {OldUnit(1, "Metre", 1.0, unused)})
            << OldCustom({OldUnit(1, "Cubit", 2.5, unused)}) << true << QString()
            << File({Category("Length", {Unit("Metre", 1.0)})}) << File({Category("Length", {Unit("Cubit", 2.5)})});
    }

    // Failures: a file is rewritten only when it was read completely.
    QTest::newRow("units.dat in neither layout")
        << QByteArray("12") + OldShipped().mid(2) << OldUserUnits() << false << QString()
        << QByteArray("12") + OldShipped().mid(2) << OldUserUnits();
    QTest::newRow("custom.dat already current")
        << OldShipped() << NewUserUnits() << false << QString() << NewShipped() << NewUserUnits();
    QTest::newRow("duplicate category") << OldUnits({OldCategory(1, "Length"), OldCategory(2, "LENGTH")}, {})
                                        << OldCustom({}) << false << "A category with name 'LENGTH' already exists."
                                        << OldUnits({OldCategory(1, "Length"), OldCategory(2, "LENGTH")}, {})
                                        << OldCustom({});
    QTest::newRow("duplicate unit") << OldUnits({OldCategory(1, "Length")},
                                                {OldUnit(1, "Metre", 1.0), OldUnit(1, "metre", 2.0)})
                                    << OldCustom({}) << false << "A unit with the name 'metre' already exists."
                                    << OldUnits({OldCategory(1, "Length")},
                                                {OldUnit(1, "Metre", 1.0), OldUnit(1, "metre", 2.0)})
                                    << OldCustom({});
    QTest::newRow("custom unit named like a shipped one")
        << OldShipped() << OldCustom({OldUnit(1, "FOOT", 3.0)}) << false
        << "A unit with the name 'FOOT' already exists." << NewShipped() << OldCustom({OldUnit(1, "FOOT", 3.0)});
    QTest::newRow("category name of length 0") << OldUnits({OldCategory(1, "")}, {}) << OldCustom({}) << false
                                               << invalid << OldUnits({OldCategory(1, "")}, {}) << OldCustom({});
    QTest::newRow("unit name of length 0") << OldShipped() << OldCustom({OldUnit(1, "", 3.0)}) << false << invalid
                                           << NewShipped() << OldCustom({OldUnit(1, "", 3.0)});
    QTest::newRow("huge unit count") << OldUnits({OldCategory(1, "Length")}, {}).chopped(4) + I32(0x7FFFFFFF)
                                     << OldCustom({}) << false << invalid
                                     << OldUnits({OldCategory(1, "Length")}, {}).chopped(4) + I32(0x7FFFFFFF)
                                     << OldCustom({});
    QTest::newRow("custom.dat missing") << OldShipped() << none << false << "Cannot open file \"*" << OldShipped()
                                        << none;
    QTest::newRow("units.dat missing") << none << OldUserUnits() << false << "Cannot open file \"*" << none
                                       << OldUserUnits();
}

void TestLegacy::convertsBothFiles()
{
    QFETCH(QByteArray, units);
    QFETCH(QByteArray, custom);
    QFETCH(bool, result);
    QFETCH(QString, message);
    QFETCH(QByteArray, newUnits);
    QFETCH(QByteArray, newCustom);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    if (!units.isNull())
        QVERIFY(WriteFile(folder + "units.dat", units));
    if (!custom.isNull())
        QVERIFY(WriteFile(folder + "custom.dat", custom));

    const TOutcome outcome = Convert(folder);

    QCOMPARE(outcome.Result, result);
    if (message.endsWith('*'))
        QVERIFY2(outcome.Message.startsWith(message.chopped(1)), qPrintable(outcome.Message));
    else
        QCOMPARE(outcome.Message, message);
    QCOMPARE(ReadFile(folder + "units.dat").toHex(' '),
             (newUnits.isNull() ? QByteArray("<missing>") : newUnits).toHex(' '));
    QCOMPARE(ReadFile(folder + "custom.dat").toHex(' '),
             (newCustom.isNull() ? QByteArray("<missing>") : newCustom).toHex(' '));
    // No temporary file is left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), int(!units.isNull()) + int(!custom.isNull()));
}

void TestLegacy::damagedFilesAreNotRewritten_data()
{
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QByteArray>("custom");
    QTest::addColumn<QByteArray>("newUnits"); // units.dat afterwards

    // Every cut of either file; a cut custom.dat still finds units.dat converted.
    const QByteArray shipped = OldShipped();
    for (int size = 0; size < shipped.size(); ++size)
        QTest::addRow("units.dat cut after %d bytes", size)
            << shipped.left(size) << OldUserUnits() << shipped.left(size);
    const QByteArray user = OldUserUnits();
    for (int size = 0; size < user.size(); ++size)
        QTest::addRow("custom.dat cut after %d bytes", size) << shipped << user.left(size) << NewShipped();
}

void TestLegacy::damagedFilesAreNotRewritten()
{
    QFETCH(QByteArray, units);
    QFETCH(QByteArray, custom);
    QFETCH(QByteArray, newUnits);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    QVERIFY(WriteFile(folder + "units.dat", units));
    QVERIFY(WriteFile(folder + "custom.dat", custom));

    const TOutcome outcome = Convert(folder);

    QCOMPARE(outcome.Result, false);
    // Too short for the mark: not the old layout; otherwise a damaged file.
    const QByteArray cut = units.size() < OldShipped().size() ? units : custom;
    QCOMPARE(outcome.Message, cut.size() < 2 ? QString() : QString::fromLatin1(kInvalidDataFile));
    QCOMPARE(ReadFile(folder + "units.dat").toHex(' '), newUnits.toHex(' '));
    QCOMPARE(ReadFile(folder + "custom.dat").toHex(' '), custom.toHex(' '));
}

void TestLegacy::streamChecksItsArguments()
{
    QByteArray in = OldShipped();
    QByteArray out;
    QBuffer input(&in);
    QBuffer output(&out);
    QVERIFY(input.open(QIODevice::ReadOnly));
    QVERIFY(output.open(QIODevice::WriteOnly));
    TConvCategories cats;
    TCatIDs catIDs;

    try {
        ConvertLegacyStream(input, output, nullptr, &catIDs, false);
        QFAIL("missing Cats accepted");
    } catch (const std::invalid_argument& error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("Cats cannot be nil"));
    }
    try {
        ConvertLegacyStream(input, output, &cats, nullptr, false);
        QFAIL("missing CatIDs accepted");
    } catch (const std::invalid_argument& error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("CatIDs cannot be nil"));
    }
    QCOMPARE(input.pos(), 0);

    // The pairs are kept in file order for the custom pass.
    QVERIFY(ConvertLegacyStream(input, output, &cats, &catIDs, false));
    QCOMPARE(catIDs, (TCatIDs{{"Length", 1}, {"Mass", 2}}));
    QCOMPARE(out.toHex(' '), NewShipped().toHex(' '));
}

void TestLegacy::loaderUsesConvertedFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    QVERIFY(WriteFile(folder + "units.dat", OldShipped()));
    QVERIFY(WriteFile(folder + "custom.dat", OldUserUnits()));

    TConvCategories catalogue;
    const TLoadResult result = LoadCatalogueFiles(catalogue, folder, false);

    QVERIFY2(result.Ok, qPrintable(result.Message));
    QCOMPARE(catalogue.Count(), 2);
    QCOMPARE(catalogue.Categories(0)->UnitCount() + catalogue.Categories(1)->UnitCount(), 4);
    QCOMPARE(catalogue.FindCategory("Mass")->Units(catalogue.FindCategory("Mass")->IndexOfUnit("Stone"))->Custom, true);
    QVERIFY(ReadFile(folder + "units.dat").startsWith("11"));
    QVERIFY(ReadFile(folder + "custom.dat").startsWith("11"));
}

void TestLegacy::currentCustomFileLoadsAtNextStart()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + '/';
    QVERIFY(WriteFile(folder + "units.dat", OldShipped()));
    QVERIFY(WriteFile(folder + "custom.dat", NewUserUnits()));

    TConvCategories catalogue;
    const TLoadResult first = LoadCatalogueFiles(catalogue, folder, false);
    QCOMPARE(first.Ok, false);
    QCOMPARE(first.Message, QString::fromLatin1(kErrorOpeningDataFile) + '\r' + QString::fromLatin1(kInvalidDataFile));
    QCOMPARE(ReadFile(folder + "units.dat"), NewShipped());

    const TLoadResult second = LoadCatalogueFiles(catalogue, folder, false);
    QVERIFY2(second.Ok, qPrintable(second.Message));
    QCOMPARE(catalogue.FindCategory("Mass")->UnitCount(), 2);
}

QTEST_GUILESS_MAIN(TestLegacy)
#include "TestLegacy.moc"
