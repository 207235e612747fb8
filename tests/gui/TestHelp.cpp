#include "HelpWindow.h"
#include "MakerLinks.h"
#include "PopupHelp.h"
#include "Version.h"
#include "about.h"
#include "kestmsgdlg.h"

#include <QDesktopServices>
#include <QFile>
#include <QHelpEngine>
#include <QLabel>
#include <QLibraryInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

// Receives the links the program hands to the system.
class TLinkCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Opened;

public Q_SLOTS:
    void Open(const QUrl& url) { Opened.append(url); }
};

class TestHelp : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir FDir;
    QStringList FMessages;
    QList<int> FPopups;
    TLinkCatcher FLinks;

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = FDir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the fixture %s", qPrintable(path));
        return path;
    }

    // Compiles a small help file with the given pages (each with the keyword ids given for
    // it, separated by spaces) and returns its path.
    QString MakeHelpFile(const QString& name, const QList<QPair<QString, QString>>& pages)
    {
        QByteArray keywords, files;
        for (const auto& [page, ids] : pages) {
            WriteFile(page, "<html><body><p>Page " + page.toUtf8() + "</p></body></html>");
            files += "<file>" + page.toUtf8() + "</file>";
            for (const QString& id : ids.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                keywords += "<keyword name=\"Name of " + id.toUtf8() + "\" id=\"" + id.toUtf8() + "\" ref=\"" +
                            page.toUtf8() + "\"/>";
        }
        const QByteArray qhp = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><QtHelpProject version=\"1.0\">"
                               "<namespace>test." +
                               name.toUtf8() +
                               "</namespace><virtualFolder>doc</virtualFolder><filterSection>"
                               "<keywords>" +
                               keywords + "</keywords><files>" + files + "</files></filterSection></QtHelpProject>";
        const QString project = WriteFile(name + QStringLiteral(".qhp"), qhp);
        const QString output = FDir.filePath(name + QStringLiteral(".qch"));
        const QString generator =
            QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/qhelpgenerator");
        QProcess process;
        process.start(generator, {project, QStringLiteral("-o"), output});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            qFatal("qhelpgenerator failed: %s", process.readAllStandardError().constData());
        return output;
    }

    QString ShippedHelpFile() const
    {
        return qEnvironmentVariable("MORVEX_BIN_DIR") + QStringLiteral("/morvextools.qch");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(FDir.isValid());
        SetMessageDlgHook([this](const QString& text, TMsgDlgType type) {
            FMessages.append(text);
            return type == TMsgDlgType::mtError ? QMessageBox::Ok : QMessageBox::NoButton;
        });
        SetPopupHelpHook([this](int number, const QPoint&) { FPopups.append(number); });
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &FLinks, "Open");
    }

    void cleanupTestCase()
    {
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        SetMessageDlgHook({});
        SetPopupHelpHook({});
    }

    void init()
    {
        FMessages.clear();
        FPopups.clear();
        FLinks.Opened.clear();
    }

    void topicLookup_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("expectedPage"); // empty: the index

        QTest::newRow("by identifier") << "full"
                                       << "APrefsUpdate"
                                       << "update.htm";
        QTest::newRow("identifier on the contents page") << "full"
                                                         << "AContents"
                                                         << "contents.htm";
        QTest::newRow("by keyword name") << "full"
                                         << "Name of APrefs"
                                         << "prefs.htm";
        QTest::newRow("unknown topic falls back to contents") << "full"
                                                              << "ANoSuchTopic"
                                                              << "contents.htm";
        QTest::newRow("empty topic falls back to contents") << "full"
                                                            << ""
                                                            << "contents.htm";
        QTest::newRow("no contents page: index") << "nocontents"
                                                 << "ANoSuchTopic"
                                                 << "";
        QTest::newRow("no contents page, known topic") << "nocontents"
                                                       << "APrefs"
                                                       << "prefs.htm";
    }

    void topicLookup()
    {
        QFETCH(QString, fixture);
        QFETCH(QString, topic);
        QFETCH(QString, expectedPage);
        QString file;
        if (fixture == QLatin1String("full"))
            file = MakeHelpFile(fixture, {{QStringLiteral("contents.htm"), QStringLiteral("AContents")},
                                          {QStringLiteral("prefs.htm"), QStringLiteral("APrefs")},
                                          {QStringLiteral("update.htm"), QStringLiteral("APrefsUpdate")}});
        else
            file = MakeHelpFile(fixture, {{QStringLiteral("intro.htm"), QString()},
                                          {QStringLiteral("prefs.htm"), QStringLiteral("APrefs")}});

        THelpWindow window;
        QVERIFY(window.Load(file));
        const THelpTarget target = FindHelpTopic(*window.Engine(), topic);
        QCOMPARE(target.Url.fileName(), expectedPage);
        QCOMPARE(target.ShowIndex(), expectedPage.isEmpty());

        window.ShowTopic(topic);
        QCOMPARE(window.IndexShown(), expectedPage.isEmpty());
        if (!expectedPage.isEmpty()) {
            QCOMPARE(window.CurrentPage().fileName(), expectedPage);
            QVERIFY(window.findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("Page ") + expectedPage));
        }
    }

    void shippedHelpHasEveryTopic_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("expectedPage");
        QTest::newRow("contents") << "AContents"
                                  << "contents.htm";
        QTest::newRow("number formats") << "APrefs"
                                        << "prefs.htm";
        QTest::newRow("custom units") << "APrefsCustom"
                                      << "prefs-custom.htm";
        QTest::newRow("update reminder") << "APrefsUpdate"
                                         << "prefs-update.htm";
    }

    void shippedHelpHasEveryTopic()
    {
        QFETCH(QString, topic);
        QFETCH(QString, expectedPage);
        if (!QFile::exists(ShippedHelpFile()))
            QSKIP("the help file has not been built");
        THelpWindow window;
        QVERIFY(window.Load(ShippedHelpFile()));
        QCOMPARE(FindHelpTopic(*window.Engine(), topic).Url.fileName(), expectedPage);
    }

    void showHelpTopicOpensTheWindow()
    {
        const QString file =
            MakeHelpFile(QStringLiteral("shown"), {{QStringLiteral("contents.htm"), QString()},
                                                   {QStringLiteral("prefs.htm"), QStringLiteral("APrefs")}});
        QWidget owner;
        owner.show();
        QVERIFY(ShowHelpTopic(file, QStringLiteral("APrefs"), &owner));
        QVERIFY(FMessages.isEmpty());
        THelpWindow* window = CurrentHelpWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->parentWidget(), &owner);
        QCOMPARE(window->CurrentPage().fileName(), QStringLiteral("prefs.htm"));

        // The same window serves the next request.
        QVERIFY(ShowHelpTopic(file, QStringLiteral("AContents"), &owner));
        QCOMPARE(CurrentHelpWindow(), window);
        QCOMPARE(window->CurrentPage().fileName(), QStringLiteral("contents.htm"));
        window->close();
        QTRY_VERIFY(!CurrentHelpWindow());
    }

    void unusableHelpShowsTheMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("not a help file") << QByteArray("This is not a compiled help file.\n");
    }

    void unusableHelpShowsTheMessage()
    {
        QFETCH(QByteArray, bytes);
        const QString file = bytes.isEmpty() ? FDir.filePath(QStringLiteral("missing.qch"))
                                             : WriteFile(QStringLiteral("broken.qch"), bytes);
        QVERIFY(!ShowHelpTopic(file, QStringLiteral("AContents")));
        QCOMPARE(FMessages, QStringList{QString::fromLatin1(kUnableToFindHtmlHelp)});
        // Lines are separated by carriage returns, which the message box shows as breaks.
        QVERIFY(FMessages.first().startsWith(
            QLatin1String("Unable to find the required hhctrl.ocx library.\rPlease update your system")));
        QVERIFY(!CurrentHelpWindow());
    }

    void everyContextNumberHasAText()
    {
        SetPopupHelpFile(qEnvironmentVariable("MORVEX_SOURCE_DIR") + QStringLiteral("/data/morvexhints.hlp"));
        for (int number : {101, 102, 103, 104, 105, 106})
            QVERIFY2(!PopupHelpText(number).isEmpty(), qPrintable(QString::number(number)));
        for (int number = 201; number <= 212; ++number)
            QVERIFY2(!PopupHelpText(number).isEmpty(), qPrintable(QString::number(number)));
        QVERIFY(PopupHelpText(102) != PopupHelpText(101));
    }

    void popupHelpTexts_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << 101 << "First box.";
        QTest::newRow("quoted comma") << 102 << "Second, with a comma.";
        QTest::newRow("unquoted comma") << 103 << "Third, unquoted";
        QTest::newRow("missing number") << 104 << "";
        QTest::newRow("no number") << 0 << "";
    }

    void popupHelpTexts()
    {
        QFETCH(int, number);
        QFETCH(QString, expected);
        SetPopupHelpFile(WriteFile(QStringLiteral("hints.hlp"),
                                   "[Topics]\n101=First box.\n102=\"Second, with a comma.\"\n"
                                   "103=Third, unquoted\n"));
        QCOMPARE(PopupHelpText(number), expected);
    }

    void popupHelpWithoutFileIsEmpty()
    {
        SetPopupHelpFile(FDir.filePath(QStringLiteral("nowhere.hlp")));
        QCOMPARE(PopupHelpText(101), QString());
    }

    void aboutBoxVersionLine_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("release") << "1.4"
                                 << "1.4.4.0"
                                 << "Version: 1.4 (1.4.4.0)";
        QTest::newRow("this build") << MORVEX_PRODUCT_VERSION << MORVEX_FILE_VERSION
                                    << "Version: " MORVEX_PRODUCT_VERSION " (" MORVEX_FILE_VERSION ")";
    }

    void aboutBoxVersionLine()
    {
        QFETCH(QString, product);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        TAboutForm form(product, file);
        QCOMPARE(form.VersionText(), expected);
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("LblVersion"))->text(), expected);
        QCOMPARE(TAboutForm().VersionText(),
                 QStringLiteral("Version: " MORVEX_PRODUCT_VERSION " (" MORVEX_FILE_VERSION ")"));
    }

    void aboutBoxLogoOpensItsHint()
    {
        TAboutForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("About"));
        auto* logo = form.findChild<QLabel*>(QStringLiteral("ImgLogo"));
        QVERIFY(!logo->pixmap().isNull());
        QCOMPARE(logo->toolTip(), MakerLinks::WebSite());

        // The main window's picture and hint replace ours; a click opens the hint.
        QPixmap picture(10, 10);
        picture.fill(Qt::red);
        form.SetLogo(picture, QStringLiteral("https://logo.example/"));
        QCOMPARE(logo->pixmap().size(), QSize(10, 10));
        form.show();
        QTest::mouseClick(logo, Qt::LeftButton);
        QCOMPARE(FLinks.Opened, QList<QUrl>{QUrl(QStringLiteral("https://logo.example/"))});
    }

    void aboutBoxCloses_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Close button") << false;
        QTest::newRow("Escape") << true;
    }

    void aboutBoxCloses()
    {
        QFETCH(bool, escape);
        TAboutForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* close = form.findChild<QPushButton*>(QStringLiteral("BtnClose"));
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        QVERIFY(close->isDefault());
        if (escape)
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void makerLinks()
    {
        QCOMPARE(MakerLinks::SendToFriendUrl().toEncoded(),
                 QByteArray("mailto:?subject=Engineering%20Tools%20Utility&body=%0D%0A%0D%0ADownload%20a%20useful%"
                            "20conversion%20calculator%20and%20terminology%20application%20at%20") +
                     MakerLinks::ProgramPage().toLatin1());
        QVERIFY(MakerLinks::ProgramPage().endsWith(QLatin1String("/tips/toolsapp/")));
        QCOMPARE(MakerLinks::FeedbackUrl().toEncoded(),
                 "mailto:" + MakerLinks::InfoMail().toLatin1() + "?subject=Morvex%20Tools%20Feedback");
    }

    void aboutPageLoadsOnce()
    {
        QTextBrowser browser;
        QVERIFY(ShowAboutPage(&browser));
        QVERIFY(browser.toPlainText().contains(QStringLiteral("About Morvex")));
        QVERIFY(browser.toHtml().contains(MakerLinks::WebSite()));
        QVERIFY(!browser.toHtml().contains(QStringLiteral("%WEBSITE%")));
        QVERIFY(browser.openExternalLinks());

        // Shown again: the page is not reloaded.
        browser.setPlainText(QStringLiteral("scrolled and selected by the user"));
        QVERIFY(!ShowAboutPage(&browser));
        QCOMPARE(browser.toPlainText(), QStringLiteral("scrolled and selected by the user"));
    }
};

QTEST_MAIN(TestHelp)
#include "TestHelp.moc"
