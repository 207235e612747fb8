// The window's state between runs: what a first run chooses and writes, what a stored
// state restores, and how stored values that are out of range or no longer match are read.
#include "gui/MainFormFixture.h"

#include "prefs.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Fixture;

namespace {

using TValues = QList<QPair<QString, QVariant>>;

} // namespace

class TestMainFormSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TSettingsSandbox> FSettings;
    std::unique_ptr<TMainForm> FForm;
    std::unique_ptr<TPrefsForm> FPrefs;

    // The program's start: the window, then the preferences dialog object, which restores.
    void Start()
    {
        FForm = std::make_unique<TMainForm>(FDir->path());
        QVERIFY(!FForm->TerminateRequested());
        FPrefs = std::make_unique<TPrefsForm>(FForm.get());
    }

    // The program's end: the dialog object goes first and saves.
    void Stop()
    {
        FPrefs.reset();
        FForm.reset();
    }

    void Store(const TValues& values)
    {
        QSettings settings(FSettings->FileName(), QSettings::IniFormat);
        for (const auto& [name, value] : values)
            settings.setValue(name, value);
    }

    QString Selected(const char* list) const { return SelectedText(Child<QListWidget>(*FForm, list)); }
    QString Category() const { return Child<QComboBox>(*FForm, "CmbCats")->currentText(); }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        FSettings = std::make_unique<TSettingsSandbox>();
        WriteStandardData(FDir->path());
    }

    void cleanup()
    {
        Stop();
        FSettings.reset();
        FDir.reset();
    }

    void firstRunChoosesDefaultsAndWritesEverything()
    {
        Start();
        QCOMPARE(FForm->Precision, 15);
        QCOMPARE(FForm->NumberFormat, quint8(0));
        QCOMPARE(FForm->UpdateCheck, 1);
        QCOMPARE(Category(), QStringLiteral("*All units"));
        QCOMPARE(Selected("LstFromUnits"), QStringLiteral("Degrees Celsius"));
        QCOMPARE(Selected("LstToUnits"), QStringLiteral("Degrees Celsius"));
        const QPoint position = FForm->pos();
        const QSize size = FForm->size();
        Stop();

        QSettings saved(FSettings->FileName(), QSettings::IniFormat);
        const QStringList written = {"PosX",     "PosY",         "PosW",       "PosH",
                                     "Term",     "UpdateCheck",  "Precision",  "NumberFormat",
                                     "Category", "FromUnitName", "ToUnitName", "MRU/From0"};
        for (const QString& name : written)
            QVERIFY2(saved.contains(name), qPrintable(name));
        for (const char* name : {"LastUpdateCheck", "UnitDataVersion", "TermsDataVersion"})
            QVERIFY2(!saved.contains(QLatin1String(name)), name);
        QCOMPARE(saved.value(QStringLiteral("Precision")).toInt(), 15);
        QCOMPARE(saved.value(QStringLiteral("Category")).toString(), QStringLiteral("*All units"));
        QCOMPARE(saved.value(QStringLiteral("ToUnitName")).toString(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(saved.value(QStringLiteral("Term")).toInt(), 2); // "Beam", first in order
        QCOMPARE(QPoint(saved.value(QStringLiteral("PosX")).toInt(), saved.value(QStringLiteral("PosY")).toInt()),
                 position);
        QCOMPARE(QSize(saved.value(QStringLiteral("PosW")).toInt(), saved.value(QStringLiteral("PosH")).toInt()), size);
    }

    void storedStateIsRestored()
    {
        Store({{"PosX", 40},
               {"PosY", 30},
               {"PosW", 900},
               {"PosH", 600},
               {"Term", 3},
               {"UpdateCheck", 2},
               {"Precision", 3},
               {"NumberFormat", 1},
               {"Category", "mass"},
               {"FromUnitName", "pounds"},
               {"ToUnitName", "GRAMS"},
               {"MRU/From0", "Pounds"},
               {"MRU/From1", "Feet"},
               {"MRU/From2", "Hours"},
               {"MRU/From8", "Seconds"}});
        Start();
        QCOMPARE(FForm->pos(), QPoint(40, 30));
        QCOMPARE(FForm->size(), QSize(900, 600));
        QCOMPARE(FForm->UpdateCheck, 2);
        QCOMPARE(FForm->Precision, 3);
        QCOMPARE(FForm->NumberFormat, quint8(1));
        QCOMPARE(Category(), QStringLiteral("Mass"));
        QCOMPARE(ItemTexts(Child<QListWidget>(*FForm, "LstFromUnits")),
                 (QStringList{"Grams", "Kilograms", "Metric tonnes", "Pounds"}));
        QCOMPARE(Selected("LstFromUnits"), QStringLiteral("Pounds"));
        QCOMPARE(Selected("LstToUnits"), QStringLiteral("Grams"));
        QCOMPARE(SelectedText(Child<QListWidget>(*FForm, "LstTerms")), QStringLiteral("Bending moment"));
        // The units are shown in the restored number format.
        QCOMPARE(Child<QLineEdit>(*FForm, "EditFactor")->text(), QStringLiteral("453.592"));
        // Gaps in the recent list are skipped; From8 is the ninth name looked for.
        QCOMPARE(ItemTexts(Child<QComboBox>(*FForm, "CmbFromUnit")),
                 (QStringList{"Pounds", "Feet", "Hours", "Seconds"}));
    }

    void restartFindsTheWindowAsLeft()
    {
        Start();
        auto* cats = Child<QComboBox>(*FForm, "CmbCats");
        cats->setCurrentIndex(cats->findText(QStringLiteral("Length")));
        ClickItem(Child<QListWidget>(*FForm, "LstFromUnits"), QStringLiteral("Feet"));
        ClickItem(Child<QListWidget>(*FForm, "LstToUnits"), QStringLiteral("Millimetres"));
        FForm->SelectTerm(4);
        FForm->NumberFormat = 2;
        FForm->Precision = 4;
        FForm->UpdateCheck = 0;
        const QStringList recent = ItemTexts(Child<QComboBox>(*FForm, "CmbFromUnit"));
        Stop();

        Start();
        QCOMPARE(Category(), QStringLiteral("Length"));
        QCOMPARE(Selected("LstFromUnits"), QStringLiteral("Feet"));
        QCOMPARE(Selected("LstToUnits"), QStringLiteral("Millimetres"));
        QCOMPARE(FForm->SelectedTermNumber(), std::optional<quint64>(4));
        QCOMPARE(FForm->NumberFormat, quint8(2));
        QCOMPARE(FForm->Precision, 4);
        QCOMPARE(FForm->UpdateCheck, 0);
        QCOMPARE(ItemTexts(Child<QComboBox>(*FForm, "CmbFromUnit")), recent);
    }

    void valuesOutOfRangeOrUnreadable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("stored"); // invalid: absent
        QTest::addColumn<int>("restored");

        QTest::newRow("Precision 25") << "Precision" << QVariant(25) << 7;
        QTest::newRow("Precision -1") << "Precision" << QVariant(-1) << 7;
        QTest::newRow("Precision 20") << "Precision" << QVariant(20) << 20;
        QTest::newRow("Precision 0") << "Precision" << QVariant(0) << 0;
        QTest::newRow("Precision missing") << "Precision" << QVariant() << 7;
        QTest::newRow("Precision not a number") << "Precision" << QVariant("many") << 7;
        QTest::newRow("NumberFormat 9") << "NumberFormat" << QVariant(9) << 0;
        QTest::newRow("NumberFormat 3") << "NumberFormat" << QVariant(3) << 3;
        QTest::newRow("UpdateCheck 3") << "UpdateCheck" << QVariant(3) << 1;
        QTest::newRow("UpdateCheck 0") << "UpdateCheck" << QVariant(0) << 0;
    }

    void valuesOutOfRangeOrUnreadable()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, stored);
        QFETCH(int, restored);
        // Something must be stored for the key to exist at all.
        Store({{"Category", "Length"}});
        if (stored.isValid())
            Store({{name, stored}});
        Start();
        const int value = name == QLatin1String("Precision")      ? FForm->Precision
                          : name == QLatin1String("NumberFormat") ? int(FForm->NumberFormat)
                                                                  : FForm->UpdateCheck;
        QCOMPARE(value, restored);
    }

    void storedNamesMatchIgnoringCase_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("restoredCategory");
        QTest::addColumn<QString>("restoredFrom");
        QTest::addColumn<QString>("restoredTo");

        QTest::newRow("all units") << "*All units"
                                   << "Hours"
                                   << "Minutes"
                                   << "*All units"
                                   << "Hours"
                                   << "Minutes";
        QTest::newRow("all units in capitals") << "*ALL UNITS"
                                               << "hours"
                                               << "SECONDS"
                                               << "*All units"
                                               << "Hours"
                                               << "Seconds";
        QTest::newRow("category in small letters") << "time"
                                                   << "Minutes"
                                                   << "Hours"
                                                   << "Time"
                                                   << "Minutes"
                                                   << "Hours";
        // What no longer exists gives the first entry.
        QTest::newRow("gone") << "Volume"
                              << "Gallons"
                              << "Litres"
                              << "*All units"
                              << "Degrees Celsius"
                              << "Degrees Celsius";
        QTest::newRow("unit of another category") << "Length"
                                                  << "Pounds"
                                                  << "Grams"
                                                  << "Length"
                                                  << "Feet"
                                                  << "Feet";
    }

    void storedNamesMatchIgnoringCase()
    {
        QFETCH(QString, category);
        QFETCH(QString, from);
        QFETCH(QString, to);
        Store({{"Category", category}, {"FromUnitName", from}, {"ToUnitName", to}});
        Start();
        QTEST(Category(), "restoredCategory");
        QTEST(Selected("LstFromUnits"), "restoredFrom");
        QTEST(Selected("LstToUnits"), "restoredTo");
    }

    void savedValuesAreNeverDeleted()
    {
        // A shorter recent list leaves the older names in place.
        Store({{"Category", "Time"},
               {"FromUnitName", "Hours"},
               {"MRU/From0", "Hours"},
               {"MRU/From5", "Kilograms"},
               {"MRU/From7", "Feet"}});
        Start();
        Stop();
        QSettings saved(FSettings->FileName(), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("MRU/From0")).toString(), QStringLiteral("Hours"));
        QCOMPARE(saved.value(QStringLiteral("MRU/From7")).toString(), QStringLiteral("Feet"));
    }

    void failedDataFileSavesNothing()
    {
        Store({{"Precision", 4}});
        QFile::remove(FDir->filePath(QStringLiteral("units.dat")));
        TMessageRecorder messages;
        FForm = std::make_unique<TMainForm>(FDir->path());
        QVERIFY(FForm->TerminateRequested());
        FForm->SaveSettings();
        FForm.reset();
        QSettings saved(FSettings->FileName(), QSettings::IniFormat);
        QCOMPARE(saved.allKeys(), QStringList{QStringLiteral("Precision")});
    }
};

QTEST_MAIN(TestMainFormSettings)
#include "TestMainFormSettings.moc"
