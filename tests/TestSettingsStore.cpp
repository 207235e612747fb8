#include "SettingsStore.h"
#include "defreg.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir FDir;
    int FFileNumber = 0;
    QString FPath;

    // A fresh settings file holding the given INI text (nothing at all when empty).
    std::unique_ptr<QSettings> Settings(const QByteArray& ini = {})
    {
        FPath = FDir.filePath(QStringLiteral("Tools%1.conf").arg(++FFileNumber));
        if (!ini.isEmpty()) {
            QFile file(FPath);
            if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size())
                qFatal("cannot write the fixture");
        }
        return std::make_unique<QSettings>(FPath, QSettings::IniFormat);
    }

    QByteArray FileText() const
    {
        QFile file(FPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(FDir.isValid());
        // The default store of the program must land in the temporary folder too.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FDir.filePath(QStringLiteral("user")));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FDir.filePath(QStringLiteral("user")));
    }

    void firstRunLoadsNothing()
    {
        auto settings = Settings();
        const TSettingsLoad load = SettingsStore::LoadSettings(*settings);
        QVERIFY(!load.KeyExisted);
        QCOMPARE(load.Values, TStoredSettings());
    }

    void keyWithoutValuesGivesTableDefaults()
    {
        // Any value makes the key exist; the rest then take the table's defaults, which
        // differ from the first-run values of the window (precision 7, not 15).
        auto settings = Settings("[General]\nLastUpdateCheck=0\n");
        const TSettingsLoad load = SettingsStore::LoadSettings(*settings);
        QVERIFY(load.KeyExisted);
        const TStoredSettings& v = load.Values;
        QCOMPARE(v.Precision, 7);
        QCOMPARE(v.NumberFormat, quint8(0));
        QCOMPARE(v.UpdateCheck, 1);
        QCOMPARE(v.Term, std::optional<int>(-1));
        QVERIFY(!v.PosX && !v.PosY && !v.PosW && !v.PosH);
        QVERIFY(v.Category.isEmpty() && v.FromUnitName.isEmpty() && v.ToUnitName.isEmpty());
        QVERIFY(v.RecentUnits.isEmpty());
    }

    void recentListAloneMakesTheKeyExist()
    {
        auto settings = Settings("[MRU]\nFrom0=Metre\n");
        QVERIFY(SettingsStore::LoadSettings(*settings).KeyExisted);
    }

    void saveThenLoadRestoresEveryValue()
    {
        TStoredSettings saved;
        saved.PosX = -1200; // a position off every screen is kept as it is
        saved.PosY = 40;
        saved.PosW = 640;
        saved.PosH = 380;
        saved.Term = 42;
        saved.UpdateCheck = 2;
        saved.Precision = 20;
        saved.NumberFormat = 3;
        saved.Category = QStringLiteral("*All units");
        saved.FromUnitName = QStringLiteral("Pounds per square inch, gauge");
        saved.ToUnitName = QStringLiteral("Ångström");
        saved.RecentUnits = {QStringLiteral("Foot"), QStringLiteral("Metre, 1"), QStringLiteral("@Inch")};
        {
            auto settings = Settings();
            SettingsStore::SaveSettings(*settings, saved);
        }
        auto settings = std::make_unique<QSettings>(FPath, QSettings::IniFormat);
        const TSettingsLoad load = SettingsStore::LoadSettings(*settings);
        QVERIFY(load.KeyExisted);
        QCOMPARE(load.Values, saved);
    }

    void saveWritesEveryTableValue()
    {
        TStoredSettings values;
        values.PosX = 1;
        values.PosY = 2;
        values.PosW = 3;
        values.PosH = 4;
        values.Term = 0;
        values.RecentUnits = {QStringLiteral("Metre")};
        auto settings = Settings();
        SettingsStore::SaveSettings(*settings, values);
        QStringList expected = {
            QStringLiteral("Category"),     QStringLiteral("FromUnitName"), QStringLiteral("MRU/From0"),
            QStringLiteral("NumberFormat"), QStringLiteral("PosH"),         QStringLiteral("PosW"),
            QStringLiteral("PosX"),         QStringLiteral("PosY"),         QStringLiteral("Precision"),
            QStringLiteral("Term"),         QStringLiteral("ToUnitName"),   QStringLiteral("UpdateCheck")};
        QStringList keys = settings->allKeys();
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);
    }

    void saveNeverDeletesValues()
    {
        // An older, longer recent list and a term from an earlier run stay when this run
        // has a shorter list and no term selected; other programs' values stay too.
        auto settings = Settings("[General]\nTerm=17\nLastUpdateCheck=\"45000,5\"\nUnitDataVersion=1.5\n"
                                 "[MRU]\nFrom0=A\nFrom1=B\nFrom2=C\nFrom3=D\n");
        TStoredSettings values;
        values.Term.reset();
        values.RecentUnits = {QStringLiteral("X"), QStringLiteral("Y")};
        SettingsStore::SaveSettings(*settings, values);

        QSettings reread(FPath, QSettings::IniFormat);
        QCOMPARE(reread.value(QStringLiteral("Term")).toString(), QStringLiteral("17"));
        QCOMPARE(reread.value(QStringLiteral("LastUpdateCheck")).toString(), QStringLiteral("45000,5"));
        QCOMPARE(reread.value(QStringLiteral("UnitDataVersion")).toString(), QStringLiteral("1.5"));
        const TSettingsLoad load = SettingsStore::LoadSettings(reread);
        QCOMPARE(load.Values.Term, std::optional<int>(17));
        QCOMPARE(load.Values.RecentUnits, (QStringList{"X", "Y", "C", "D"}));
    }

    void rangeRules_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("numberFormat");
        QTest::addColumn<int>("updateCheck");

        QTest::newRow("in range") << QByteArray("Precision=0\nNumberFormat=3\nUpdateCheck=0") << 0 << 3 << 0;
        QTest::newRow("upper bounds") << QByteArray("Precision=20\nNumberFormat=0\nUpdateCheck=2") << 20 << 0 << 2;
        QTest::newRow("above range") << QByteArray("Precision=25\nNumberFormat=9\nUpdateCheck=3") << 7 << 0 << 1;
        QTest::newRow("negative") << QByteArray("Precision=-1\nNumberFormat=-1\nUpdateCheck=-1") << 7 << 0 << 1;
        QTest::newRow("just above") << QByteArray("Precision=21\nNumberFormat=4\nUpdateCheck=3") << 7 << 0 << 1;
        QTest::newRow("DWORD pattern of -1") << QByteArray("Precision=4294967295") << 7 << 0 << 1;
        QTest::newRow("huge") << QByteArray("Precision=99999999999999999999\nNumberFormat=256") << 7 << 0 << 1;
    }

    void rangeRules()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, precision);
        QFETCH(int, numberFormat);
        QFETCH(int, updateCheck);
        auto settings = Settings("[General]\n" + ini + "\n");
        const TStoredSettings v = SettingsStore::LoadSettings(*settings).Values;
        QCOMPARE(v.Precision, precision);
        QCOMPARE(int(v.NumberFormat), numberFormat);
        QCOMPARE(v.UpdateCheck, updateCheck);
    }

    void unreadableValuesCountAsMissing_data()
    {
        QTest::addColumn<QByteArray>("ini");

        QTest::newRow("words") << QByteArray("Precision=high\nPosX=left\nTerm=none\nNumberFormat=sci");
        QTest::newRow("fractions") << QByteArray("Precision=3.5\nPosX=1.0\nTerm=2e3\nNumberFormat=1,5");
        QTest::newRow("empty") << QByteArray("Precision=\nPosX=\nTerm=\nNumberFormat=");
        QTest::newRow("hexadecimal") << QByteArray("Precision=0x10\nPosX=0x10\nTerm=0x10\nNumberFormat=0x1");
        QTest::newRow("lists") << QByteArray("Precision=1, 2\nPosX=1, 2\nTerm=1, 2\nNumberFormat=1, 2\n"
                                             "Category=Length, Area\nFromUnitName=a, b\nToUnitName=c, d");
        QTest::newRow("other stored types") << QByteArray(
            "Precision=@ByteArray(5)\nPosX=@ByteArray(5)\nTerm=@ByteArray(5)\nNumberFormat=@ByteArray(1)\n"
            "Category=@ByteArray(Length)\nFromUnitName=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
    }

    void unreadableValuesCountAsMissing()
    {
        QFETCH(QByteArray, ini);
        auto settings = Settings("[General]\nUpdateCheck=2\n" + ini + "\n");
        const TSettingsLoad load = SettingsStore::LoadSettings(*settings);
        QVERIFY(load.KeyExisted);
        const TStoredSettings& v = load.Values;
        QCOMPARE(v.Precision, 7);
        QCOMPARE(int(v.NumberFormat), 0);
        QCOMPARE(v.Term, std::optional<int>(-1));
        QVERIFY(!v.PosX.has_value());
        QCOMPARE(v.Category, QString());
        QCOMPARE(v.FromUnitName, QString());
        QCOMPARE(v.ToUnitName, QString());
        // A bad value does not stop the values after it.
        QCOMPARE(v.UpdateCheck, 2);
    }

    void numericTextIsAString()
    {
        // A text store cannot tell "12" the unit name from 12 the number: it stays a name.
        auto settings = Settings("[General]\nFromUnitName=12\nCategory=\"Length, Area\"\n");
        const TStoredSettings v = SettingsStore::LoadSettings(*settings).Values;
        QCOMPARE(v.FromUnitName, QStringLiteral("12"));
        QCOMPARE(v.Category, QStringLiteral("Length, Area"));
    }

    void recentListGaps_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("three") << QByteArray("From0=A\nFrom1=B\nFrom2=C") << QStringList{"A", "B", "C"};
        QTest::newRow("three and From8") << QByteArray("From0=A\nFrom1=B\nFrom2=C\nFrom8=I")
                                         << QStringList{"A", "B", "C", "I"};
        QTest::newRow("From9 ignored") << QByteArray("From0=A\nFrom9=J") << QStringList{"A"};
        QTest::newRow("gap at start") << QByteArray("From1=B\nFrom5=F") << QStringList{"B", "F"};
        QTest::newRow("nine") << QByteArray("From0=A\nFrom1=B\nFrom2=C\nFrom3=D\nFrom4=E\nFrom5=F\nFrom6=G\nFrom7="
                                            "H\nFrom8=I")
                              << QStringList{"A", "B", "C", "D", "E", "F", "G", "H", "I"};
        QTest::newRow("other names ignored") << QByteArray("From0=A\nfrom1=B\nFrom01=C\nTo2=D") << QStringList{"A"};
        QTest::newRow("unreadable skipped") << QByteArray("From0=A\nFrom1=B, C\nFrom2=D") << QStringList{"A", "D"};
    }

    void recentListGaps()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, expected);
        auto settings = Settings("[MRU]\n" + ini + "\n");
        QCOMPARE(SettingsStore::LoadSettings(*settings).Values.RecentUnits, expected);
    }

    void saveFailureIsReported()
    {
        // A store that cannot be written must not be reported as saved. The folder of this
        // file is a plain file, which no user, however privileged, can write into.
        auto blocker = Settings("[General]\nPrecision=7\n");
        QSettings settings(FPath + QStringLiteral("/Tools.conf"), QSettings::IniFormat);
        TStoredSettings values;
        values.Precision = 3;
        QVERIFY_THROWS_EXCEPTION(ERegistryError, SettingsStore::SaveSettings(settings, values));
        QVERIFY_THROWS_EXCEPTION(ERegistryError,
                                 WriteRegistryString(settings, QStringLiteral("LastUpdateCheck"), QStringLiteral("1")));
    }

    void plainStringHelpers_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected");

        QTest::newRow("no key") << QByteArray() << QStringLiteral("default");
        QTest::newRow("missing value") << QByteArray("[General]\nOther=1\n") << QStringLiteral("default");
        QTest::newRow("stored") << QByteArray("[General]\nUnitDataVersion=1.6\n") << QStringLiteral("1.6");
        QTest::newRow("empty string") << QByteArray("[General]\nUnitDataVersion=\n") << QString();
        QTest::newRow("not a string") << QByteArray("[General]\nUnitDataVersion=1, 6\n") << QStringLiteral("default");
    }

    void plainStringHelpers()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, expected);
        auto settings = Settings(ini);
        QCOMPARE(ReadRegistryString(*settings, QStringLiteral("UnitDataVersion"), QStringLiteral("default")), expected);
    }

    void plainWriteCreatesTheKey()
    {
        {
            auto settings = Settings();
            WriteRegistryString(*settings, QStringLiteral("LastUpdateCheck"), QStringLiteral("45123,25"));
        }
        QVERIFY(FileText().contains("LastUpdateCheck"));
        QSettings reread(FPath, QSettings::IniFormat);
        QCOMPARE(ReadRegistryString(reread, QStringLiteral("LastUpdateCheck"), QStringLiteral("0")),
                 QStringLiteral("45123,25"));
    }

    void defaultStoreIsTheUsersMorvexTools()
    {
        // The program's own store: one save, then every reader sees it.
        TStoredSettings values;
        values.Precision = 4;
        values.FromUnitName = QStringLiteral("Metre");
        SettingsStore::SaveSettings(values);
        const TSettingsLoad load = SettingsStore::LoadSettings();
        QVERIFY(load.KeyExisted);
        QCOMPARE(load.Values.Precision, 4);
        QCOMPARE(ReadRegistryString(SettingNames::FromUnitName, QString()), QStringLiteral("Metre"));
        WriteRegistryString(SettingNames::LastUpdateCheck, QStringLiteral("2"));
        QCOMPARE(ReadRegistryString(SettingNames::LastUpdateCheck, QStringLiteral("0")), QStringLiteral("2"));
        QVERIFY(OpenMorvexSettings()->fileName().startsWith(FDir.path()));
    }

    void restoredIndex_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");

        const QStringList categories = {"*All units", "Length", "Pressure", "Temperature"};
        QTest::newRow("all units") << categories << "*All units" << 0;
        QTest::newRow("same case") << categories << "Pressure" << 2;
        QTest::newRow("other case") << categories << "pRESSURE" << 2;
        QTest::newRow("accented other case") << QStringList{"Metre", "Ångström"} << "ångström" << 1;
        QTest::newRow("gone") << categories << "Viscosity" << 0;
        QTest::newRow("empty text") << categories << "" << 0;
        QTest::newRow("first of two") << QStringList{"A", "Bar", "BAR"} << "bar" << 1;
        QTest::newRow("no entries") << QStringList() << "Length" << -1;
    }

    void restoredIndex()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, stored);
        QFETCH(int, expected);
        QCOMPARE(SettingsStore::RestoredIndex(entries, stored), expected);
    }

    void restoredGeometry_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("largeFonts");
        QTest::addColumn<QRect>("expected");

        const QRect current(10, 20, 619, 343);
        QTest::newRow("nothing stored") << false << false << current;
        QTest::newRow("stored") << true << false << QRect(-3000, 5000, 700, 400);
        QTest::newRow("large fonts keep the size") << true << true << QRect(-3000, 5000, 619, 343);
    }

    void restoredGeometry()
    {
        QFETCH(bool, stored);
        QFETCH(bool, largeFonts);
        QFETCH(QRect, expected);
        TStoredSettings values;
        if (stored) {
            values.PosX = -3000;
            values.PosY = 5000;
            values.PosW = 700;
            values.PosH = 400;
        }
        QCOMPARE(SettingsStore::RestoredGeometry(values, QRect(10, 20, 619, 343), largeFonts), expected);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
