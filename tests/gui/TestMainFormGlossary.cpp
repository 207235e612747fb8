// The glossary page: loading terms.dat, the term list, searching, showing and copying a term,
// reloading, and the files that end the program.
#include "gui/MainFormFixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace Fixture;

class TestMainFormGlossary : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TMainForm> FForm;

    QListWidget* Terms() const { return Child<QListWidget>(*FForm, "LstTerms"); }
    QLineEdit* Search() const { return Child<QLineEdit>(*FForm, "EditTerm"); }
    QLineEdit* TermLabel() const { return Child<QLineEdit>(*FForm, "LblTerm"); }
    QPlainTextEdit* Memo() const { return Child<QPlainTextEdit>(*FForm, "MemoTerm"); }

    void Start(const QByteArray& terms)
    {
        WriteFile(FDir->filePath(QStringLiteral("units.dat")), UnitsFile(StandardUnits()));
        WriteFile(FDir->filePath(QStringLiteral("terms.dat")), terms);
        FForm = StartForm(FDir->path());
    }

    std::unique_ptr<TSettingsSandbox> FSettings;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        FSettings = std::make_unique<TSettingsSandbox>();
    }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
    }

    void cleanup()
    {
        FForm.reset();
        FDir.reset();
    }

    void loading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("shownTerm"); // empty: no term shown
        QTest::addColumn<QString>("shownDefinition");
        QTest::addColumn<quint64>("tableSize");

        QTest::newRow("one group") << TermsFile({{"1", "Stress", "Force per area."}}) << QStringList{"Stress"}
                                   << "Stress"
                                   << "Force per area." << quint64(2);
        QTest::newRow("numbers out of order")
            << TermsFile({{"5", "strain", "Relative deformation."}, {"2", "Load", "A force on a structure."}})
            << QStringList{"Load", "strain"} << "Load"
            << "A force on a structure." << quint64(6);
        QTest::newRow("later number replaces earlier")
            << TermsFile({{"3", "Old", "Old text."}, {"3", "New", "New text."}}) << QStringList{"New"} << "New"
            << "New text." << quint64(4);
        QTest::newRow("file ends after the term") << QByteArray("1\x01"
                                                                "Creep\x01")
                                                  << QStringList{"Creep"} << "Creep"
                                                  << "" << quint64(2);
        QTest::newRow("trailing bytes ignored") << QByteArray("1\x01"
                                                              "Creep\x01"
                                                              "Slow strain.\x01"
                                                              "2\x01"
                                                              "Fati")
                                                << QStringList{"Creep"} << "Creep"
                                                << "Slow strain." << quint64(3);
        QTest::newRow("empty file") << QByteArray() << QStringList{} << ""
                                    << "" << quint64(0);
        QTest::newRow("number 0 is listed, never shown")
            << TermsFile({{"0", "Aardvark", "Not a term."}, {"1", "Zinc", "A metal."}})
            << QStringList{"Aardvark", "Zinc"} << ""
            << "" << quint64(2);
        // The table is sparse: a large number costs no more than a small one.
        QTest::newRow("large number") << TermsFile({{"4000000000", "Far", "Far away."}}) << QStringList{"Far"} << "Far"
                                      << "Far away." << quint64(4000000001);

        // A file of exactly two 500-byte pieces.
        QByteArray exact = TermsFile({{"1", "Alpha", QByteArray(480, 'a')}, {"2", "Beta", QByteArray()}});
        exact += TermsFile({{"3", "Gamma", QByteArray(1000 - exact.size() - 9, 'g')}});
        QTest::newRow("multiple of 500 bytes") << exact << QStringList{"Alpha", "Beta", "Gamma"} << "Alpha"
                                               << QString(480, QLatin1Char('a')) << quint64(4);
    }

    void loading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, listed);
        QFETCH(QString, shownTerm);
        QFETCH(QString, shownDefinition);
        QFETCH(quint64, tableSize);

        if (QByteArray(QTest::currentDataTag()) == "multiple of 500 bytes")
            QCOMPARE(file.size(), 1000);
        TMessageRecorder messages;
        Start(file);
        QVERIFY(messages.Messages.empty());
        QVERIFY(!FForm->TerminateRequested());
        QCOMPARE(ItemTexts(Terms()), listed);
        QCOMPARE(FForm->Terms().Size(), tableSize);
        QCOMPARE(!TermLabel()->isHidden(), !shownTerm.isEmpty());
        if (!shownTerm.isEmpty()) {
            QCOMPARE(TermLabel()->text(), shownTerm);
            QCOMPARE(Memo()->toPlainText(), shownDefinition);
        }
        // The glossary loaded, so the units did too.
        QVERIFY(FForm->FromUnit != nullptr);
    }

    // Terms are listed in the catalogue's order of names, also where that order is not the
    // order of the letters' codes (accented letters under a collating locale).
    void orderFollowsNameComparison_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        QTest::newRow("German") << "de_DE";
    }

    void orderFollowsNameComparison()
    {
        QFETCH(QString, locale);

        SetNamesLocale(QLocale(locale));
        const QStringList names = {"Zebra", "\u00e9clair", "Eagle", "apple", "\u00c9a", "b", "Apple", "eclair"};
        std::vector<TTermRow> rows;
        for (int i = 0; i < names.size(); ++i)
            rows.push_back({QByteArray::number(i + 1), names[i].toLatin1(), "x"});
        Start(TermsFile(rows));
        QStringList expected = names;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const QString& a, const QString& b) { return CompareNames(a, b) < 0; });
        const QStringList listed = ItemTexts(Terms());
        SetNamesLocale(QLocale::system());
        QCOMPARE(listed, expected);
    }

    void search_data()
    {
        QTest::addColumn<QStringList>("typed"); // typed one after the other
        QTest::addColumn<QString>("shown");

        QTest::newRow("lower-case start") << QStringList{"be"} << "Beam";
        QTest::newRow("first of a shared start") << QStringList{"b"} << "Beam";
        QTest::newRow("longer start") << QStringList{"bend"} << "Bending moment";
        QTest::newRow("no term continues") << QStringList{"ben", "x"} << "Bending moment";
        QTest::newRow("nothing matches") << QStringList{"q"} << "Beam";
        QTest::newRow("emptied box shows the first") << QStringList{"vis", "\b\b\b"} << "Beam";
    }

    void search()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, shown);

        Start(StandardTerms());
        QString expectedText;
        for (const QString& keys : typed) {
            for (const QChar key : keys) {
                if (key == QLatin1Char('\b')) {
                    QTest::keyClick(Search(), Qt::Key_Backspace);
                    expectedText.chop(1);
                } else {
                    QTest::keyClicks(Search(), QString(key));
                    expectedText += key;
                }
            }
        }
        QCOMPARE(SelectedText(Terms()), shown);
        QCOMPARE(TermLabel()->text(), shown);
        // The program never changes what the user typed.
        QCOMPARE(Search()->text(), expectedText);
    }

    void showsTermOnSelection_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("click") << "click";
        QTest::newRow("double click") << "double";
        QTest::newRow("arrow key") << "key";
    }

    void showsTermOnSelection()
    {
        QFETCH(QString, how);

        Start(StandardTerms());
        QCOMPARE(ItemTexts(Terms()), QStringList({"Beam", "Bending moment", "Torque", "Viscosity"}));
        if (how == QLatin1String("key")) {
            QTest::keyClick(Terms(), Qt::Key_Down);
        } else {
            QListWidgetItem* item = Terms()->item(1);
            const QPoint at = Terms()->visualItemRect(item).center();
            if (how == QLatin1String("double")) {
                QTest::mouseDClick(Terms()->viewport(), Qt::LeftButton, {}, at);
            } else {
                QTest::mouseClick(Terms()->viewport(), Qt::LeftButton, {}, at);
            }
        }
        QCOMPARE(TermLabel()->text(), QStringLiteral("Bending moment"));
        QCOMPARE(Memo()->toPlainText(), QStringLiteral("The moment that bends a beam at a section."));
        QCOMPARE(FForm->SelectedTermNumber(), std::optional<quint64>(3));
    }

    void definitionLineBreaks()
    {
        Start(StandardTerms());
        QVERIFY(FForm->SelectTerm(4));
        QCOMPARE(Memo()->toPlainText(), QStringLiteral("A fluid's resistance to shear.\nMeasured in pascal seconds."));
        QCOMPARE(Memo()->document()->blockCount(), 2);
        QVERIFY(!FForm->SelectTerm(9));
        QVERIFY(!FForm->SelectTerm(-1));
        QCOMPARE(FForm->SelectedTermNumber(), std::optional<quint64>(4));
    }

    void copyTerm_data()
    {
        QTest::addColumn<QByteArray>("definition");
        QTest::addColumn<QString>("clipboard");

        QTest::newRow("two lines") << QByteArray("First line.\r\nSecond line.")
                                   << "Hoop stress:\r\n\r\nFirst line.\r\nSecond line.\r\n";
        QTest::newRow("one line") << QByteArray("Only line.") << "Hoop stress:\r\n\r\nOnly line.\r\n";
        QTest::newRow("empty definition") << QByteArray() << "Hoop stress:\r\n\r\n";
    }

    void copyTerm()
    {
        QFETCH(QByteArray, definition);
        QFETCH(QString, clipboard);

        Start(TermsFile({{"7", "Hoop stress", definition}}));
        FForm->CopyTerm();
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    }

    void reloadTerms()
    {
        Start(StandardTerms());
        QTest::keyClicks(Search(), QStringLiteral("tor"));
        QCOMPARE(TermLabel()->text(), QStringLiteral("Torque"));
        WriteFile(FDir->filePath(QStringLiteral("terms.dat")),
                  TermsFile({{"1", "Torque", "A moment about an axis."}, {"9", "Anchor", "A fixing."}}));
        FForm->ReloadTerms();
        QCOMPARE(ItemTexts(Terms()), QStringList({"Anchor", "Torque"}));
        QCOMPARE(TermLabel()->text(), QStringLiteral("Anchor"));
        QCOMPARE(Search()->text(), QStringLiteral("tor"));
        QVERIFY(!FForm->TerminateRequested());
    }

    // A glossary that cannot be read ends the program before anything else is loaded.
    void unreadableGlossary_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");

        const QString unable = QLatin1String(kUnableToOpenTerms);
        QTest::newRow("missing") << true << QByteArray() << unable;
        QTest::newRow("number not a number") << false << TermsFile({{"1", "A", "a"}, {"x2", "B", "b"}}) << unable;
        QTest::newRow("negative number") << false << TermsFile({{"-3", "A", "a"}}) << unable;
    }

    void unreadableGlossary()
    {
        QFETCH(bool, missing);
        QFETCH(QByteArray, file);
        QFETCH(QString, message);

        TMessageRecorder messages;
        WriteFile(FDir->filePath(QStringLiteral("units.dat")), UnitsFile(StandardUnits()));
        if (!missing)
            WriteFile(FDir->filePath(QStringLiteral("terms.dat")), file);
        FForm = StartForm(FDir->path());
        QVERIFY(FForm->TerminateRequested());
        QCOMPARE(int(messages.Messages.size()), 1);
        QVERIFY2(messages.Messages[0].Text.startsWith(message), qPrintable(messages.Messages[0].Text));
        QCOMPARE(messages.Messages[0].Type, TMsgDlgType::mtError);
        QCOMPARE(FForm->Catalogue().Count(), 0);
        QCOMPARE(Terms()->count(), 0);
        QCOMPARE(Child<QListWidget>(*FForm, "LstFromUnits")->count(), 0);
    }

    void failedReloadEmptiesTheList()
    {
        Start(StandardTerms());
        TMessageRecorder messages;
        QFile::remove(FDir->filePath(QStringLiteral("terms.dat")));
        FForm->ReloadTerms();
        QCOMPARE(int(messages.Messages.size()), 1);
        QCOMPARE(messages.Messages[0].Text, QLatin1String(kUnableToOpenTerms));
        QVERIFY(FForm->TerminateRequested());
        QCOMPARE(Terms()->count(), 0);
        QTest::keyClicks(Search(), QStringLiteral("b"));
        FForm->CopyTerm();
    }
};

QTEST_MAIN(TestMainFormGlossary)
#include "TestMainFormGlossary.moc"
