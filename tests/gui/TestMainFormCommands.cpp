// The main window's commands: menus and tool bar, the copy command per tab, the edit menu
// and edit pop-up rules, "What's This?" numbers, links, help, about, preferences and the
// tooltips of long list items.
#include "gui/MainFormFixture.h"

#include "HelpWindow.h"
#include "MakerLinks.h"
#include "PopupHelp.h"
#include "Version.h"
#include "about.h"
#include "prefs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace Fixture;

// Receives the links the program opens instead of the system.
class TUrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Urls;

public Q_SLOTS:
    void Open(const QUrl& url) { Urls.append(url); }
};

class TestMainFormCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TSettingsSandbox> FSettings;
    std::unique_ptr<TMainForm> FForm;
    TUrlRecorder FUrls;
    QList<int> FPopups;

    QAction* Action(const char* name) const { return Child<QAction>(*FForm, name); }
    void ShowTab(const char* sheet) const
    {
        Child<QTabWidget>(*FForm, "PageControl")->setCurrentWidget(Child<QWidget>(*FForm, sheet));
    }

    // The menu's items as captions, separators as "-".
    static QStringList Captions(const QMenu* menu)
    {
        QStringList captions;
        for (const QAction* action : menu->actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return captions;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        for (const char* scheme : {"mailto", "https", "http"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &FUrls, "Open");
        SetPopupHelpHook([this](int number, const QPoint&) { FPopups.append(number); });
    }

    void cleanupTestCase()
    {
        for (const char* scheme : {"mailto", "https", "http"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
        SetPopupHelpHook({});
    }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        // Every test starts without stored settings.
        FSettings = std::make_unique<TSettingsSandbox>();
        WriteStandardData(FDir->path());
        FForm = StartForm(FDir->path());
        FUrls.Urls.clear();
        FPopups.clear();
        QGuiApplication::clipboard()->clear();
    }

    void cleanup()
    {
        FForm.reset();
        FDir.reset();
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");

        QTest::newRow("Preferences1") << "Preferences1"
                                      << "&Preferences..." << QKeySequence();
        QTest::newRow("OpenCalculator1") << "OpenCalculator1"
                                         << "Open &Calculator" << QKeySequence(Qt::Key_F6);
        QTest::newRow("Exit1") << "Exit1"
                               << "E&xit" << QKeySequence(Qt::ALT | Qt::Key_F4);
        QTest::newRow("Cut2") << "Cut2"
                              << "Cu&t" << QKeySequence();
        QTest::newRow("Copy2") << "Copy2"
                               << "&Copy" << QKeySequence();
        QTest::newRow("Paste2") << "Paste2"
                                << "&Paste" << QKeySequence();
        QTest::newRow("CopyConversiontoClipboard1")
            << "CopyConversiontoClipboard1"
            << "C&opy Conversion to Clipboard" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
        QTest::newRow("Contents1") << "Contents1"
                                   << "&Contents" << QKeySequence(Qt::Key_F1);
        QTest::newRow("About1") << "About1"
                                << "&About..." << QKeySequence();
        QTest::newRow("SendFeedback1") << "SendFeedback1"
                                       << "&Send Feedback..." << QKeySequence();
        QTest::newRow("CheckforUpdate1") << "CheckforUpdate1"
                                         << "Check for &Updates..." << QKeySequence();
        QTest::newRow("WhatsThis1") << "WhatsThis1"
                                    << "&What's This?" << QKeySequence();
        QTest::newRow("SelectAll1") << "SelectAll1"
                                    << "Select &All" << QKeySequence();
    }

    void menuItems()
    {
        QFETCH(QString, name);
        QAction* action = Action(name.toLatin1().constData());
        QTEST(action->text(), "caption");
        QTEST(action->shortcut(), "shortcut");
    }

    void menuLayout()
    {
        const auto* bar = Child<QMenuBar>(*FForm, "MainMenu1");
        QStringList titles;
        for (const QAction* action : bar->actions())
            titles << action->text();
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Help"}));
        QCOMPARE(Captions(Child<QMenu>(*FForm, "File1")),
                 (QStringList{"Preferences1", "OpenCalculator1", "-", "Exit1"}));
        QCOMPARE(Captions(Child<QMenu>(*FForm, "Edit1")),
                 (QStringList{"Cut2", "Copy2", "Paste2", "-", "CopyConversiontoClipboard1"}));
        QCOMPARE(Captions(Child<QMenu>(*FForm, "Help1")),
                 (QStringList{"Contents1", "About1", "-", "SendFeedback1", "-", "CheckforUpdate1"}));
        QCOMPARE(Captions(FForm->HelpPopup()), QStringList{"WhatsThis1"});
        QCOMPARE(Captions(FForm->EditHelpPopup()), (QStringList{"WhatsThis2", "-", "Undo1", "-", "Cut1", "Copy1",
                                                                "Paste1", "Delete1", "-", "SelectAll1"}));
    }

    void toolBar_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::newRow("copy") << "BtnCopyOutput"
                              << " Copy Output"
                              << "Copy the current output to the clipboard (Ctrl+Shift+C)";
        QTest::newRow("calculator") << "BtnCalculator"
                                    << " Calculator"
                                    << "Open Calculator (F6)";
        QTest::newRow("website") << "BtnWebsite"
                                 << " Morvex Website"
                                 << "Visit Morvex's website";
        QTest::newRow("friend") << "ToolButton1"
                                << " Send to a Friend"
                                << "Let a friend know about the program";
    }

    void toolBar()
    {
        QFETCH(QString, name);
        const auto* button = Child<QToolButton>(*FForm, name.toLatin1().constData());
        QTEST(button->text(), "caption");
        QTEST(button->toolTip(), "hint");
        QVERIFY(!button->icon().isNull());
    }

    void copyCommandFollowsTab_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("clipboard");

        QTest::newRow("converter") << "SheetUnits"
                                   << "C&opy Conversion to Clipboard" << true
                                   << "1 Degrees Celsius = 1 Degrees Celsius";
        QTest::newRow("glossary") << "SheetRef"
                                  << "C&opy Term && Definition to Clipboard" << true
                                  << "Beam:\r\n\r\nA structural member carrying loads across a span.";
        // The caption stays that of the tab before.
        QTest::newRow("about") << "SheetAbout"
                               << "C&opy Term && Definition to Clipboard" << false << "";
    }

    void copyCommandFollowsTab()
    {
        QFETCH(QString, sheet);
        QFETCH(bool, enabled);
        QFETCH(QString, clipboard);
        QCOMPARE(Action("CopyConversiontoClipboard1")->text(), QStringLiteral("C&opy Conversion to Clipboard"));
        Child<QLineEdit>(*FForm, "EditFromValue")->setText(QStringLiteral("1"));
        ShowTab("SheetRef");
        ShowTab(sheet.toLatin1().constData());
        QTEST(Action("CopyConversiontoClipboard1")->text(), "caption");
        QCOMPARE(Action("CopyConversiontoClipboard1")->isEnabled(), enabled);
        QCOMPARE(Child<QToolButton>(*FForm, "BtnCopyOutput")->isEnabled(), enabled);
        // The shortcut.
        QTest::keyClick(FForm.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        FForm->CopyConversiontoClipboard1Click();
        QString copied = QGuiApplication::clipboard()->text();
        if (sheet == QLatin1String("SheetRef"))
            copied = copied.left(clipboard.size());
        QCOMPARE(copied, clipboard);
    }

    void editPopupRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selectionStart");
        QTest::addColumn<int>("selectionLength");
        QTest::addColumn<QString>("clipboard");
        // Enabled states of Cut, Copy, Delete, Paste, Select All.
        QTest::addColumn<QList<bool>>("enabled");

        QTest::newRow("part selected") << "12.5" << 1 << 2 << "" << QList<bool>{true, true, true, false, true};
        QTest::newRow("nothing selected") << "12.5" << 0 << 0 << "" << QList<bool>{false, false, false, false, true};
        QTest::newRow("all selected, clipboard text")
            << "12.5" << 0 << 4 << "3" << QList<bool>{true, true, true, true, false};
        QTest::newRow("empty box") << "" << 0 << 0 << "3" << QList<bool>{false, false, false, true, false};
    }

    void editPopupRules()
    {
        QFETCH(QString, text);
        QFETCH(int, selectionStart);
        QFETCH(int, selectionLength);
        QFETCH(QString, clipboard);
        QFETCH(QList<bool>, enabled);
        if (!clipboard.isEmpty())
            QGuiApplication::clipboard()->setText(clipboard);
        auto* edit = Child<QLineEdit>(*FForm, "EditFromValue");
        edit->setText(text);
        edit->setSelection(selectionStart, selectionLength);
        FForm->EditContextPopup(edit, edit->mapToGlobal(QPoint(2, 2)));
        FForm->EditHelpPopup()->close();
        const QList<bool> states = {Action("Cut1")->isEnabled(), Action("Copy1")->isEnabled(),
                                    Action("Delete1")->isEnabled(), Action("Paste1")->isEnabled(),
                                    Action("SelectAll1")->isEnabled()};
        QCOMPARE(states, enabled);

        // The combo box keeps the states the items had.
        auto* combo = Child<QComboBox>(*FForm, "CmbFromUnit");
        FForm->EditContextPopup(combo, combo->mapToGlobal(QPoint(2, 2)));
        FForm->EditHelpPopup()->close();
        const QList<bool> after = {Action("Cut1")->isEnabled(), Action("Copy1")->isEnabled(),
                                   Action("Delete1")->isEnabled(), Action("Paste1")->isEnabled(),
                                   Action("SelectAll1")->isEnabled()};
        QCOMPARE(after, enabled);
    }

    void editPopupItemsActOnTheirBox()
    {
        auto* edit = Child<QLineEdit>(*FForm, "EditToValue");
        edit->setText(QStringLiteral("42"));
        FForm->EditContextPopup(edit, edit->mapToGlobal(QPoint(2, 2)));
        FForm->EditHelpPopup()->close();
        Action("SelectAll1")->trigger();
        QCOMPARE(edit->selectedText(), QStringLiteral("42"));
        // The items follow the selection from the next opening on.
        FForm->EditContextPopup(edit, edit->mapToGlobal(QPoint(2, 2)));
        FForm->EditHelpPopup()->close();
        Action("Copy1")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("42"));
        Action("Delete1")->trigger();
        QCOMPARE(edit->text(), QString());
        FForm->EditContextPopup(edit, edit->mapToGlobal(QPoint(2, 2)));
        FForm->EditHelpPopup()->close();
        Action("Paste1")->trigger();
        QCOMPARE(edit->text(), QStringLiteral("42"));
        // On the combo box they do nothing.
        auto* combo = Child<QComboBox>(*FForm, "CmbFromUnit");
        const QString unit = combo->currentText();
        FForm->EditContextPopup(combo, combo->mapToGlobal(QPoint(2, 2)));
        FForm->EditHelpPopup()->close();
        Action("Delete1")->trigger();
        Action("Paste1")->trigger();
        QCOMPARE(combo->currentText(), unit);
    }

    void editMenuRules_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QList<bool>>("enabled"); // Cut, Copy, Paste

        QTest::newRow("edit with selection") << "EditFromValue" << true << "" << QList<bool>{true, true, false};
        QTest::newRow("edit, clipboard text") << "EditFromValue" << false << "7" << QList<bool>{false, false, true};
        QTest::newRow("list") << "LstFromUnits" << true << "7" << QList<bool>{false, false, false};
        QTest::newRow("category box") << "CmbCats" << true << "7" << QList<bool>{false, false, false};
    }

    void editMenuRules()
    {
        QFETCH(QString, focus);
        QFETCH(bool, select);
        QFETCH(QString, clipboard);
        QFETCH(QList<bool>, enabled);
        if (!clipboard.isEmpty())
            QGuiApplication::clipboard()->setText(clipboard);
        auto* edit = Child<QLineEdit>(*FForm, "EditFromValue");
        edit->setText(QStringLiteral("5"));
        if (select)
            edit->selectAll();
        else
            edit->deselect();
        FForm->activateWindow();
        auto* control = Child<QWidget>(*FForm, focus.toLatin1().constData());
        control->setFocus();
        QTRY_COMPARE(FForm->focusWidget(), control);
        FForm->Edit1Click();
        const QList<bool> states = {Action("Cut2")->isEnabled(), Action("Copy2")->isEnabled(),
                                    Action("Paste2")->isEnabled()};
        QCOMPARE(states, enabled);
    }

    void whatsThisNumbers_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("editMenu");
        QTest::addColumn<int>("number");

        QTest::newRow("EditFromValue") << "EditFromValue" << true << 101;
        QTest::newRow("EditToValue") << "EditToValue" << true << 102;
        QTest::newRow("EditToUnit") << "EditToUnit" << true << 103;
        QTest::newRow("LstToUnits") << "LstToUnits" << false << 103;
        QTest::newRow("EditTerm") << "EditTerm" << true << 104;
        QTest::newRow("LstTerms") << "LstTerms" << false << 104;
        QTest::newRow("CmbFromUnit") << "CmbFromUnit" << true << 105;
        QTest::newRow("LstFromUnits") << "LstFromUnits" << false << 105;
        QTest::newRow("CmbCats") << "CmbCats" << false << 106;
    }

    void whatsThisNumbers()
    {
        QFETCH(QString, control);
        QFETCH(bool, editMenu);
        QFETCH(int, number);
        auto* widget = Child<QWidget>(*FForm, control.toLatin1().constData());
        // As the right click does: the control asks for its menu.
        Q_EMIT widget->customContextMenuRequested(QPoint(3, 3));
        QMenu* opened = editMenu ? FForm->EditHelpPopup() : FForm->HelpPopup();
        QMenu* other = editMenu ? FForm->HelpPopup() : FForm->EditHelpPopup();
        QVERIFY(opened->isVisible());
        QVERIFY(!other->isVisible());
        opened->close();
        Action(editMenu ? "WhatsThis2" : "WhatsThis1")->trigger();
        QCOMPARE(FPopups, QList<int>{number});
        if (editMenu)
            QCOMPARE(FForm->PopupControl(), widget);
    }

    void links_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("url");

        QTest::newRow("website") << "BtnWebsite" << MakerLinks::WebSite();
        QTest::newRow("send to a friend")
            << "ToolButton1"
            << "mailto:?subject=Engineering%20Tools%20Utility&body=%0D%0A%0D%0ADownload%20a%20useful%20conversion%"
               "20calculator%20and%20terminology%20application%20at%20" +
                   MakerLinks::WebSite() + "tips/toolsapp/";
        QTest::newRow("feedback") << "SendFeedback1"
                                  << "mailto:" + MakerLinks::InfoMail() + "?subject=Morvex%20Tools%20Feedback";
    }

    void links()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, url);
        if (auto* button = FForm->findChild<QToolButton*>(trigger))
            button->click();
        else
            Action(trigger.toLatin1().constData())->trigger();
        QCOMPARE(FUrls.Urls.size(), 1);
        QCOMPARE(QString::fromLatin1(FUrls.Urls.first().toEncoded()), url);
    }

    void logoOpensTheWebSite()
    {
        auto* logo = Child<QLabel>(*FForm, "ImgLogo");
        QTest::mouseClick(logo, Qt::LeftButton);
        QCOMPARE(FUrls.Urls, QList<QUrl>{QUrl(MakerLinks::WebSite())});
    }

    void aboutBoxShowsTheVersion()
    {
        QString version;
        QTimer::singleShot(0, this, [&version] {
            auto* about = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
            if (about != nullptr) {
                version = about->VersionText();
                about->reject();
            }
        });
        Action("About1")->trigger();
        QCOMPARE(version, QStringLiteral("Version: " MORVEX_PRODUCT_VERSION " (" MORVEX_FILE_VERSION ")"));
    }

    void aboutPageLoadsOnce()
    {
        auto* browser = Child<QTextBrowser>(*FForm, "WebBrowser");
        QVERIFY(browser->toPlainText().isEmpty());
        ShowTab("SheetAbout");
        QVERIFY(!browser->toPlainText().isEmpty());
        browser->setPlainText(QStringLiteral("scrolled and read"));
        ShowTab("SheetUnits");
        ShowTab("SheetAbout");
        QCOMPARE(browser->toPlainText(), QStringLiteral("scrolled and read"));
    }

    void helpWithoutHelpFile()
    {
        TMessageRecorder messages;
        Action("Contents1")->trigger();
        QCOMPARE(messages.Messages.size(), size_t(1));
        QCOMPARE(messages.Messages.front().Text, QString::fromLatin1(kUnableToFindHtmlHelp));
        QCOMPARE(messages.Messages.front().Type, TMsgDlgType::mtError);
    }

    void helpOpensTheContents()
    {
        const QString built = qEnvironmentVariable("MORVEX_BIN_DIR") + QStringLiteral("/morvextools.qch");
        if (!QFileInfo::exists(built))
            QSKIP("the build has no help file");
        QVERIFY(QFile::copy(built, FDir->filePath(QStringLiteral("morvextools.qch"))));
        TMessageRecorder messages;
        Action("Contents1")->trigger();
        QVERIFY(messages.Messages.empty());
        THelpWindow* help = CurrentHelpWindow();
        QVERIFY(help != nullptr);
        QVERIFY(!help->IndexShown());
        QVERIFY2(help->CurrentPage().path().endsWith(QLatin1String(".htm")) ||
                     help->CurrentPage().path().endsWith(QLatin1String(".html")),
                 qPrintable(help->CurrentPage().toString()));
        delete help;
    }

    void preferences_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("factor");
        QTest::newRow("OK") << true << "1,000.00";
        QTest::newRow("Cancel") << false << "1000";
    }

    void preferences()
    {
        QFETCH(bool, ok);
        auto prefs = std::make_unique<TPrefsForm>(FForm.get());
        auto* cats = Child<QComboBox>(*FForm, "CmbCats");
        cats->setCurrentIndex(cats->findText(QStringLiteral("Length")));
        ClickItem(Child<QListWidget>(*FForm, "LstFromUnits"), QStringLiteral("Metres"));
        ClickItem(Child<QListWidget>(*FForm, "LstToUnits"), QStringLiteral("Millimetres"));
        QCOMPARE(Child<QLineEdit>(*FForm, "EditFactor")->text(), QStringLiteral("1000"));

        QTimer::singleShot(0, this, [&prefs, ok] {
            prefs->findChild<QRadioButton*>(QStringLiteral("rdoFixedThou"))->setChecked(true);
            prefs->findChild<QSpinBox*>(QStringLiteral("SpinPrecision"))->setValue(2);
            prefs->findChild<QPushButton*>(QLatin1String(ok ? "BtnOK" : "BtnCancel"))->click();
        });
        Action("Preferences1")->trigger();
        QVERIFY(!prefs->isVisible());
        if (!ok || QLocale::system().groupSeparator() == QLatin1String(","))
            QTEST(Child<QLineEdit>(*FForm, "EditFactor")->text(), "factor");
        QCOMPARE(FForm->NumberFormat, quint8(ok ? 2 : 0));
        QCOMPARE(FForm->Precision, ok ? 2 : 15);
        QCOMPARE(Selected(), QStringLiteral("Metres"));
        prefs.reset();
    }

    void selectionAfterTheCatalogueChanged_data()
    {
        QTest::addColumn<QString>("from");
        // Cubits, the output unit in both, is freed by the dialog, and its memory is likely
        // reused by the unit added next.
        QTest::newRow("input and output unit replaced") << "Cubits";
        QTest::newRow("output unit replaced") << "Metres";
    }

    void selectionAfterTheCatalogueChanged()
    {
        QFETCH(QString, from);
        TConvCategory* length = FForm->Catalogue().FindCategory(QStringLiteral("Length"));
        length->AddUnit(QStringLiteral("Cubits"), true, 1 / 0.4572);
        FForm->RefreshAfterPreferences();
        auto* cats = Child<QComboBox>(*FForm, "CmbCats");
        cats->setCurrentIndex(cats->findText(QStringLiteral("Length")));
        ClickItem(Child<QListWidget>(*FForm, "LstFromUnits"), from);
        ClickItem(Child<QListWidget>(*FForm, "LstToUnits"), QStringLiteral("Cubits"));
        QCOMPARE(FForm->ToUnit->Name, QStringLiteral("Cubits"));

        // As the dialog's OK does: the custom unit goes, another comes.
        length->RemoveUnit(FForm->ToUnit, false);
        length->AddUnit(QStringLiteral("Spans"), true, 1 / 0.2286);
        FForm->RefreshAfterPreferences();
        QVERIFY(FForm->FromUnit != nullptr && FForm->ToUnit != nullptr);
        QVERIFY(FForm->FromUnit->Name != QLatin1String("Spans"));
        QVERIFY(FForm->ToUnit->Name != QLatin1String("Spans"));
        if (from != QLatin1String("Cubits"))
            QCOMPARE(FForm->FromUnit->Name, from);
        QVERIFY(length->IndexOfUnit(FForm->FromUnit->Name) >= 0);
        QCOMPARE(FForm->ToUnit->Category, FForm->FromUnit->Category);
        QCOMPARE(Selected(), FForm->FromUnit->Name);
        QCOMPARE(SelectedText(Child<QListWidget>(*FForm, "LstToUnits")), FForm->ToUnit->Name);
    }

    void longListItemTooltip_data()
    {
        QTest::addColumn<int>("spare"); // list width less the text's width
        QTest::addColumn<bool>("shown");
        QTest::newRow("30 pixels spare") << 30 << false;
        QTest::newRow("25 pixels spare") << 25 << false;
        QTest::newRow("20 pixels spare") << 20 << true;
        QTest::newRow("wider than the list") << -40 << true;
    }

    void longListItemTooltip()
    {
        QFETCH(int, spare);
        QFETCH(bool, shown);
        QListWidget list;
        const QString name = QStringLiteral("Pounds per square inch absolute");
        list.addItems({QStringLiteral("Bar"), name});
        const int textWidth = list.fontMetrics().horizontalAdvance(name);
        list.resize(textWidth + spare, 100);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QRect row = list.visualItemRect(list.item(1));
        QString text;
        QRect rect;
        QCOMPARE(TMainForm::ListItemHint(&list, QPoint(2, row.center().y()), &text, &rect), shown);
        if (shown) {
            QCOMPARE(text, name);
            QCOMPARE(rect.top(), row.top());
            QCOMPARE(rect.height(), row.height());
        }
        // Below the last item there is none.
        QVERIFY(!TMainForm::ListItemHint(&list, QPoint(2, row.bottom() + 30), &text, &rect));
    }

private:
    QString Selected() const { return SelectedText(Child<QListWidget>(*FForm, "LstFromUnits")); }
};

QTEST_MAIN(TestMainFormCommands)
#include "TestMainFormCommands.moc"
