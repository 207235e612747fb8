// The main window's commands: menus, tool bar, the two pop-up menus with "What's This?" and
// editing, help, the copy command that follows the active tab, the calculator, the links,
// the about box and page, and the tooltips of list items too long for their list.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "HelpWindow.h"
#include "MakerLinks.h"
#include "PopupHelp.h"
#include "about.h"
#include "prefs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

namespace {

constexpr const char* kHelpContextProperty = "helpContext";
constexpr const char* kCopyConversionCaption = "C&opy Conversion to Clipboard";
constexpr const char* kCopyTermCaption = "C&opy Term && Definition to Clipboard";

// Help numbers of the window's controls and which pop-up menu each uses.
struct TControlHelp
{
    const char* Control;
    int Number;
    bool EditMenu;
};

constexpr TControlHelp kControlHelp[] = {
    {"EditFromValue", 101, true}, {"EditToValue", 102, true},   {"EditToUnit", 103, true},
    {"LstToUnits", 103, false},   {"EditTerm", 104, true},      {"LstTerms", 104, false},
    {"CmbFromUnit", 105, true},   {"LstFromUnits", 105, false}, {"CmbCats", 106, false},
};

bool ClipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasText();
}

// The wait cursor for the life of the object.
class TWaitCursor
{
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

} // namespace

void TMainForm::ConnectCommands()
{
    connect(ui->Preferences1, &QAction::triggered, this, &TMainForm::Preferences1Click);
    connect(ui->OpenCalculator1, &QAction::triggered, this, &TMainForm::OpenCalculator1Click);
    connect(ui->Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
    connect(ui->Edit1, &QMenu::aboutToShow, this, &TMainForm::Edit1Click);
    connect(ui->Cut2, &QAction::triggered, this, &TMainForm::Cut2Click);
    connect(ui->Copy2, &QAction::triggered, this, &TMainForm::Copy2Click);
    connect(ui->Paste2, &QAction::triggered, this, &TMainForm::Paste2Click);
    connect(ui->CopyConversiontoClipboard1, &QAction::triggered, this, &TMainForm::CopyConversiontoClipboard1Click);
    connect(ui->Contents1, &QAction::triggered, this, &TMainForm::Contents1Click);
    connect(ui->About1, &QAction::triggered, this, &TMainForm::About1Click);
    connect(ui->SendFeedback1, &QAction::triggered, this, &TMainForm::SendFeedback1Click);
    connect(ui->CheckforUpdate1, &QAction::triggered, this, &TMainForm::CheckforUpdate1Click);
    // The window's shortcuts work wherever the focus is inside it.
    for (QAction* action : {ui->OpenCalculator1, ui->Exit1, ui->CopyConversiontoClipboard1, ui->Contents1})
        action->setShortcutContext(Qt::WindowShortcut);

    // The tool bar: flat buttons with image and caption.
    struct TButton
    {
        const char* Name;
        const char* Caption;
        const char* Hint;
        const char* Icon;
        void (TMainForm::*Handler)();
    };
    const TButton buttons[] = {
        {"BtnCopyOutput", " Copy Output", "Copy the current output to the clipboard (Ctrl+Shift+C)",
         ":/images/copy.png", &TMainForm::CopyConversiontoClipboard1Click},
        {"BtnCalculator", " Calculator", "Open Calculator (F6)", ":/images/calculator.png",
         &TMainForm::OpenCalculator1Click},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
        {"BtnWebsite", " Morvex Website", "Visit Morvex's website", ":/images/website.png",
         &TMainForm::BtnWebsiteClick},
        {"ToolButton1", " Send to a Friend", "Let a friend know about the program", ":/images/mail.png",
         &TMainForm::ToolButton1Click},
    };
    ui->ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (const TButton& entry : buttons) {
        if (entry.Name == nullptr) {
            ui->ToolBar1->addSeparator();
            continue;
        }
        auto* button = new QToolButton(ui->ToolBar1);
        button->setObjectName(QLatin1String(entry.Name));
        button->setText(QLatin1String(entry.Caption));
        button->setToolTip(QLatin1String(entry.Hint));
        button->setIcon(QIcon(QLatin1String(entry.Icon)));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, entry.Handler);
        ui->ToolBar1->addWidget(button);
    }

    // The pop-up menus.
    FHelpPopup = new QMenu(this);
    FHelpPopup->setObjectName(QStringLiteral("HelpPopup"));
    FHelpPopup->addAction(ui->WhatsThis1);
    FEditHelpPopup = new QMenu(this);
    FEditHelpPopup->setObjectName(QStringLiteral("EditHelpPopup"));
    FEditHelpPopup->addAction(ui->WhatsThis2);
    FEditHelpPopup->addSeparator();
    FEditHelpPopup->addAction(ui->Undo1);
    FEditHelpPopup->addSeparator();
    FEditHelpPopup->addActions({ui->Cut1, ui->Copy1, ui->Paste1, ui->Delete1});
    FEditHelpPopup->addSeparator();
    FEditHelpPopup->addAction(ui->SelectAll1);
    connect(FEditHelpPopup, &QMenu::aboutToShow, this, &TMainForm::EditHelpPopupPopup);
    connect(ui->WhatsThis1, &QAction::triggered, this, &TMainForm::WhatsThis1Click);
    connect(ui->WhatsThis2, &QAction::triggered, this, &TMainForm::WhatsThis2Click);
    connect(ui->Undo1, &QAction::triggered, this, &TMainForm::Undo1Click);
    connect(ui->Cut1, &QAction::triggered, this, &TMainForm::Cut1Click);
    connect(ui->Copy1, &QAction::triggered, this, &TMainForm::Copy1Click);
    connect(ui->Paste1, &QAction::triggered, this, &TMainForm::Paste1Click);
    connect(ui->Delete1, &QAction::triggered, this, &TMainForm::Delete1Click);
    connect(ui->SelectAll1, &QAction::triggered, this, &TMainForm::SelectAll1Click);

    for (const TControlHelp& entry : kControlHelp) {
        auto* control = findChild<QWidget*>(QLatin1String(entry.Control));
        control->setProperty(kHelpContextProperty, entry.Number);
        const bool editMenu = entry.EditMenu;
        const auto popup = [this, control, editMenu](QWidget* source, const QPoint& position) {
            const QPoint global = source->mapToGlobal(position);
            if (editMenu)
                EditContextPopup(control, global);
            else
                ItemContextPopup(control, global);
        };
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(control, &QWidget::customContextMenuRequested, this,
                [control, popup](const QPoint& position) { popup(control, position); });
        // An editable combo box receives the right click in its text box.
        if (auto* combo = qobject_cast<QComboBox*>(control); combo != nullptr && combo->lineEdit() != nullptr) {
            QLineEdit* edit = combo->lineEdit();
            edit->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(edit, &QWidget::customContextMenuRequested, this,
                    [edit, popup](const QPoint& position) { popup(edit, position); });
        }
    }
    ApplyWhatsThisTexts(this);

    // Long list items show their whole text as a tooltip.
    for (QListWidget* list : {ui->LstFromUnits, ui->LstToUnits})
        list->viewport()->installEventFilter(this);

    connect(ui->PageControl, &QTabWidget::currentChanged, this, [this] {
        PageControlChange();
        if (ui->PageControl->currentWidget() == ui->SheetAbout)
            SheetAboutShow();
    });
    ui->CopyConversiontoClipboard1->setText(QLatin1String(kCopyConversionCaption));

    // Links of the logos and footers.
    for (QWidget* logo : {static_cast<QWidget*>(ui->ImgLogo), static_cast<QWidget*>(ui->ImgLogo2)}) {
        logo->setCursor(Qt::PointingHandCursor);
        logo->installEventFilter(this);
    }
    for (QLabel* label : {ui->LblFooter1, ui->LblTermFooter2}) {
        label->setOpenExternalLinks(false);
        connect(label, &QLabel::linkActivated, this, [this] { BtnWebsiteClick(); });
    }
}

// ---- File menu -------------------------------------------------------------------------

void TMainForm::Preferences1Click()
{
    // The one dialog object of the program, created right after the window.
    auto* prefs = findChild<TPrefsForm*>(QString(), Qt::FindDirectChildrenOnly);
    if (prefs == nullptr)
        return;
    if (prefs->exec() == QDialog::Accepted)
        RefreshAfterPreferences();
}

QStringList TMainForm::CalculatorPrograms()
{
    return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"), QStringLiteral("galculator"),
            QStringLiteral("qalculate-gtk"), QStringLiteral("xcalc")};
}

void TMainForm::OpenCalculator1Click()
{
    // Whether a calculator started is not reported: there is nothing the user could do.
    const TWaitCursor wait;
    for (const QString& program : CalculatorPrograms()) {
        if (QProcess::startDetached(program, {}))
            break;
    }
}

void TMainForm::Exit1Click()
{
    close();
    RequestTerminate();
}

// ---- Edit menu -------------------------------------------------------------------------

namespace {

// The focused control as an edit box: a text box of the window, the text part of an
// editable combo box excluded (it is a combo box to the menu).
QLineEdit* FocusedLineEdit(QWidget* focused)
{
    auto* edit = qobject_cast<QLineEdit*>(focused);
    if (edit != nullptr && qobject_cast<QComboBox*>(edit->parentWidget()) != nullptr)
        return nullptr;
    return edit;
}

} // namespace

void TMainForm::Edit1Click()
{
    QWidget* focused = focusWidget();
    QLineEdit* edit = FocusedLineEdit(focused);
    auto* memo = qobject_cast<QPlainTextEdit*>(focused);
    bool selection = false;
    if (edit != nullptr)
        selection = edit->hasSelectedText();
    else if (memo != nullptr)
        selection = memo->textCursor().hasSelection();
    const bool editBox = edit != nullptr || memo != nullptr;
    ui->Cut2->setEnabled(editBox && selection);
    ui->Copy2->setEnabled(editBox && selection);
    ui->Paste2->setEnabled(editBox && ClipboardHasText());
}

void TMainForm::Cut2Click()
{
    QWidget* focused = focusWidget();
    if (QLineEdit* edit = FocusedLineEdit(focused))
        edit->cut();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(focused))
        memo->cut();
}

void TMainForm::Copy2Click()
{
    QWidget* focused = focusWidget();
    if (QLineEdit* edit = FocusedLineEdit(focused))
        edit->copy();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(focused))
        memo->copy();
}

void TMainForm::Paste2Click()
{
    QWidget* focused = focusWidget();
    if (QLineEdit* edit = FocusedLineEdit(focused))
        edit->paste();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(focused))
        memo->paste();
}

void TMainForm::PageControlChange()
{
    QWidget* page = ui->PageControl->currentWidget();
    const bool converter = page == ui->SheetUnits;
    const bool glossary = page == ui->SheetRef;
    if (converter)
        ui->CopyConversiontoClipboard1->setText(QLatin1String(kCopyConversionCaption));
    else if (glossary)
        ui->CopyConversiontoClipboard1->setText(QLatin1String(kCopyTermCaption));
    ui->CopyConversiontoClipboard1->setEnabled(converter || glossary);
    findChild<QToolButton*>(QStringLiteral("BtnCopyOutput"))->setEnabled(converter || glossary);
}

void TMainForm::CopyConversiontoClipboard1Click()
{
    // The shortcut reaches here even while the item is disabled on the about tab.
    if (!ui->CopyConversiontoClipboard1->isEnabled())
        return;
    if (ui->PageControl->currentWidget() == ui->SheetUnits)
        CopyConversion();
    else
        CopyTerm();
}

// ---- Help menu and links ---------------------------------------------------------------

void TMainForm::ShowHelpTopic(const QString& topic)
{
    ::ShowHelpTopic(FHtmlHelpPath, topic, this);
}

void TMainForm::Contents1Click()
{
    ShowHelpTopic(QStringLiteral("AContents"));
}

void TMainForm::About1Click()
{
    ShowAboutBox(this, ui->ImgLogo->pixmap(), ui->ImgLogo->toolTip());
}

void TMainForm::SendFeedback1Click()
{
    OpenLink(MakerLinks::FeedbackUrl());
}

void TMainForm::CheckforUpdate1Click()
{
    CheckForUpdates();
}

void TMainForm::BtnWebsiteClick()
{
    OpenLink(QUrl(MakerLinks::WebSite()));
}

void TMainForm::ToolButton1Click()
{
    OpenLink(MakerLinks::SendToFriendUrl());
}

void TMainForm::ImgLogoClick()
{
    BtnWebsiteClick();
}

void TMainForm::SheetAboutShow()
{
    ShowAboutPage(ui->WebBrowser);
}

// ---- Pop-up menus ----------------------------------------------------------------------

int TMainForm::HelpPopupContext() const
{
    return FHelpPopup->property(kHelpContextProperty).toInt();
}

void TMainForm::ItemContextPopup(QWidget* control, const QPoint& globalPosition)
{
    FHelpPopup->setProperty(kHelpContextProperty, control->property(kHelpContextProperty).toInt());
    FHelpPopupPosition = globalPosition;
    FHelpPopup->popup(globalPosition);
}

void TMainForm::EditContextPopup(QWidget* control, const QPoint& globalPosition)
{
    FPopupControl = control;
    FHelpPopup->setProperty(kHelpContextProperty, control->property(kHelpContextProperty).toInt());
    FHelpPopupPosition = globalPosition;
    FEditHelpPopup->popup(globalPosition);
}

void TMainForm::EditHelpPopupPopup()
{
    // Any other control (the combo box) leaves the items as they were.
    auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data());
    auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data());
    if (edit != nullptr) {
        const bool selection = edit->hasSelectedText();
        ui->Cut1->setEnabled(selection);
        ui->Copy1->setEnabled(selection);
        ui->Delete1->setEnabled(selection);
        ui->Undo1->setEnabled(edit->isUndoAvailable());
        ui->SelectAll1->setEnabled(edit->selectedText().size() != edit->text().size());
    } else if (memo != nullptr) {
        const QTextCursor cursor = memo->textCursor();
        const bool selection = cursor.hasSelection();
        ui->Cut1->setEnabled(selection);
        ui->Copy1->setEnabled(selection);
        ui->Delete1->setEnabled(selection);
        ui->Undo1->setEnabled(memo->document()->isUndoAvailable());
        ui->SelectAll1->setEnabled(cursor.selectedText().size() != memo->toPlainText().size());
    } else {
        return;
    }
    ui->Paste1->setEnabled(ClipboardHasText());
}

void TMainForm::WhatsThis1Click()
{
    ShowPopupHelp(HelpPopupContext(), FHelpPopupPosition);
}

void TMainForm::WhatsThis2Click()
{
    WhatsThis1Click();
}

void TMainForm::Undo1Click()
{
    if (auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data()))
        edit->undo();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data()))
        memo->undo();
}

void TMainForm::Cut1Click()
{
    if (auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data()))
        edit->cut();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data()))
        memo->cut();
}

void TMainForm::Copy1Click()
{
    if (auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data()))
        edit->copy();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data()))
        memo->copy();
}

void TMainForm::Paste1Click()
{
    if (auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data()))
        edit->paste();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data()))
        memo->paste();
}

void TMainForm::Delete1Click()
{
    if (auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data()))
        edit->del();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data()))
        memo->textCursor().removeSelectedText();
}

void TMainForm::SelectAll1Click()
{
    if (auto* edit = qobject_cast<QLineEdit*>(FPopupControl.data()))
        edit->selectAll();
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(FPopupControl.data()))
        memo->selectAll();
}

// ---- Tooltips of long list items -------------------------------------------------------

bool TMainForm::ListItemHint(const QListWidget* list, const QPoint& position, QString* text, QRect* rect)
{
    const QListWidgetItem* item = list->itemAt(position);
    if (item == nullptr)
        return false;
    const int width = list->fontMetrics().horizontalAdvance(item->text());
    if (width <= list->width() - kListHintMargin)
        return false;
    if (text != nullptr)
        *text = item->text();
    if (rect != nullptr) {
        const QRect row = list->visualItemRect(item);
        *rect = QRect(0, row.top(), list->viewport()->width(), row.height());
    }
    return true;
}

bool TMainForm::ShowListItemHint(QListWidget* list, QHelpEvent* event)
{
    QString text;
    QRect rect;
    if (!ListItemHint(list, event->pos(), &text, &rect))
        return false;
    QToolTip::showText(event->globalPos(), text, list->viewport(), rect, kListHintHideMs);
    return true;
}
