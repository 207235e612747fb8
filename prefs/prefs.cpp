#include "prefs.h"

#include "CustomUnits.h"
#include "MainForm.h"
#include "NumberFormat.h"
#include "PopupHelp.h"
#include "SettingsStore.h"
#include "kestmsgdlg.h"
#include "ui_prefs.h"

#include <QLineEdit>
#include <QMenu>
#include <QShowEvent>

#include <exception>

namespace {
// The right-click menu of a control: its own (or that of its page), the dialog's help menu,
// or the main window's edit menu, which then acts on the control.
enum class TContextMenu
{
    Own,
    Help,
    MainEdit
};

// Help numbers of the dialog's controls, found by name so that the custom units page's
// controls get theirs once the page is in place.
struct TContextHelp
{
    const char* Control;
    int Number;
    TContextMenu Menu;
};

constexpr TContextHelp kContextHelp[] = {
    {"LblPrecision", 201, TContextMenu::Help},      {"SpinPrecision", 201, TContextMenu::Own},
    {"rdoAuto", 203, TContextMenu::Help},           {"rdoScientific", 204, TContextMenu::Help},
    {"rdoFixedNoThou", 205, TContextMenu::Help},    {"rdoFixedThou", 206, TContextMenu::Help},
    {"RdoUpdateNever", 207, TContextMenu::Help},    {"RdoUpdateMonthly", 207, TContextMenu::Help},
    {"RdoUpdate2Monthly", 207, TContextMenu::Help}, {"VSUnits", 208, TContextMenu::Own},
    {"CmbCategory", 209, TContextMenu::Help},       {"EditName", 210, TContextMenu::Own},
    {"CmbBaseUnit", 211, TContextMenu::Help},       {"EditFactor", 212, TContextMenu::MainEdit},
};

constexpr const char* kHelpContextProperty = "helpContext";
constexpr const char* kHelpMenuBoundProperty = "helpMenuBound";
} // namespace

TPrefsForm::TPrefsForm(TMainForm* mainForm, QWidget* parent)
    : QDialog(parent ? parent : mainForm), ui(std::make_unique<Ui::TPrefsForm>()), FMainForm(mainForm)
{
    ui->setupUi(this);
    // A fixed dialog frame with a close box and the context-help button.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowContextHelpButtonHint);

    const QList<QRadioButton*> notations = {ui->rdoAuto, ui->rdoScientific, ui->rdoFixedThou, ui->rdoFixedNoThou};
    for (QRadioButton* button : notations) {
        // Checking a button, by the user or by FormShow, runs the handler once.
        connect(button, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                rdoScientificClick();
        });
    }
    // Every change of the text counts: the box reports the texts it writes itself, its
    // editor the texts typed, including those the box does not accept as a value.
    connect(ui->SpinPrecision, &QSpinBox::textChanged, this, &TPrefsForm::SpinPrecisionChange);
    connect(ui->SpinPrecision->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
            &TPrefsForm::SpinPrecisionChange);
    connect(ui->BtnOK, &QPushButton::clicked, this, &TPrefsForm::BtnOKClick);
    connect(ui->BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BtnHelp, &QPushButton::clicked, this, &TPrefsForm::BtnHelpClick);
    connect(ui->BtnUpdateCheck, &QPushButton::clicked, this, &TPrefsForm::BtnUpdateCheckClick);

    FHelpPopup = new QMenu(this);
    FHelpPopup->setObjectName(QStringLiteral("HelpPopup"));
    QAction* whatsThis = FHelpPopup->addAction(QStringLiteral("&What's This?"));
    whatsThis->setObjectName(QStringLiteral("Whatsthis1"));
    connect(whatsThis, &QAction::triggered, this, &TPrefsForm::Whatsthis1Click);

    auto* customUnits = new TCustomUnitsPage(ui->TabCustom);
    customUnits->Setup(&FMainForm->Catalogue(), [this] { return FMainForm->FormatSettings(); });
    connect(customUnits, &TCustomUnitsPage::WhatsThisRequested, this, [this](int helpContext, const QPoint& position) {
        SetHelpPopupContext(helpContext, position);
        Whatsthis1Click();
    });
    ui->CustomHostLayout->addWidget(customUnits);

    FormCreate();
    setFixedSize(sizeHint().expandedTo(QSize(384, 335)));
}

TPrefsForm::~TPrefsForm()
{
    FormDestroy();
}

void TPrefsForm::FormCreate()
{
    ui->PageControl1->setCurrentWidget(ui->TabFormats);
    ui->PageControl1->setTabVisible(ui->PageControl1->indexOf(ui->TabCustom), !FMainForm->ReadOnly());
    BindContextHelp();
    FMainForm->RestoreSettings();
}

void TPrefsForm::FormDestroy()
{
    // Runs at shut-down while the main window still exists. A store that cannot be written
    // is reported; the exception must not leave the destructor.
    try {
        FMainForm->SaveSettings();
    } catch (const std::exception& error) {
        BeepMessageDlg(QString::fromUtf8(error.what()), TMsgDlgType::mtError);
    }
}

QVBoxLayout* TPrefsForm::CustomHostLayout() const
{
    return ui->CustomHostLayout;
}

void TPrefsForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TPrefsForm::FormShow()
{
    ui->SpinPrecision->setValue(FMainForm->Precision);

    switch (FMainForm->NumberFormat) {
    case 1:
        ui->rdoFixedNoThou->setChecked(true);
        break;
    case 2:
        ui->rdoFixedThou->setChecked(true);
        break;
    case 3:
        ui->rdoScientific->setChecked(true);
        break;
    default:
        ui->rdoAuto->setChecked(true);
        break;
    }
    UpdateFormatExample();

    switch (FMainForm->UpdateCheck) {
    case 0:
        ui->RdoUpdateNever->setChecked(true);
        break;
    case 2:
        ui->RdoUpdate2Monthly->setChecked(true);
        break;
    default:
        ui->RdoUpdateMonthly->setChecked(true);
        break;
    }

    findChild<TCustomUnitsPage*>()->BuildWorkingCopy();
    BindContextHelp();
    ui->PageControl1->setCurrentWidget(ui->TabFormats);
}

void TPrefsForm::rdoScientificClick()
{
    const bool fixed = ui->rdoFixedNoThou->isChecked() || ui->rdoFixedThou->isChecked();
    ui->LblPrecision->setText(QString::fromLatin1(fixed ? kDecimalDigitsCaption : kTotalDigitsCaption));
    UpdateFormatExample();
}

void TPrefsForm::SpinPrecisionChange()
{
    UpdateFormatExample();
}

void TPrefsForm::UpdateFormatExample()
{
    TFormatSettings settings = FMainForm->FormatSettings();
    settings.NumberFormat = CheckedNotation();
    settings.Precision = qBound(0, SpinPrecisionValue(), SettingDefaults::PrecisionMax);
    ui->LblFormatEg->setText(FormatValue(kFormatSample, settings));
}

int TPrefsForm::SpinPrecisionValue() const
{
    bool ok = false;
    const int value = ui->SpinPrecision->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

quint8 TPrefsForm::CheckedNotation() const
{
    if (ui->rdoScientific->isChecked())
        return quint8(TNumberFormat::nfScientific);
    if (ui->rdoFixedThou->isChecked())
        return quint8(TNumberFormat::nfFixedThousands);
    if (ui->rdoFixedNoThou->isChecked())
        return quint8(TNumberFormat::nfFixed);
    return quint8(TNumberFormat::nfAutomatic);
}

int TPrefsForm::CheckedUpdateCheck() const
{
    if (ui->RdoUpdateNever->isChecked())
        return 0;
    if (ui->RdoUpdateMonthly->isChecked())
        return 1;
    return 2;
}

void TPrefsForm::BtnOKClick()
{
    // Edits of the custom units that cannot be committed as a whole keep the dialog open.
    auto* customUnits = findChild<TCustomUnitsPage*>();
    if (!customUnits->ValidateWorkingCopy())
        return;
    // A number typed past the box's range while it still has the focus is not brought into
    // range by the box; the window must never get digits it cannot format.
    FMainForm->Precision = qBound(0, SpinPrecisionValue(), SettingDefaults::PrecisionMax);
    FMainForm->NumberFormat = CheckedNotation();
    FMainForm->UpdateCheck = CheckedUpdateCheck();
    std::vector<TUnitRename> renames;
    try {
        customUnits->CommitCustomUnits(&renames);
    } catch (...) {
        // The catalogue may be changed in part and units the converter points at freed;
        // custom.dat is unchanged, so the main window reads the catalogue back from the
        // files (which drops every reference into it) before the error is shown.
        FMainForm->ReloadCatalogue();
        throw;
    }
    // The converter follows the units renamed in place.
    FMainForm->FollowUnitRenames(renames);
    accept();
}

QString TPrefsForm::HelpTopic() const
{
    QWidget* page = ui->PageControl1->currentWidget();
    if (page == ui->TabFormats)
        return QString::fromLatin1(kHelpTopicFormats);
    if (page == ui->TabCustom)
        return QString::fromLatin1(kHelpTopicCustom);
    return QString::fromLatin1(kHelpTopicUpdate);
}

void TPrefsForm::BtnHelpClick()
{
    FMainForm->ShowHelpTopic(HelpTopic());
}

void TPrefsForm::BtnUpdateCheckClick()
{
    // The wizard opens over the dialog; the frequency chosen here is not stored by this.
    FMainForm->CheckForUpdates();
}

void TPrefsForm::BindContextHelp()
{
    for (const TContextHelp& entry : kContextHelp) {
        auto* control = findChild<QWidget*>(QString::fromLatin1(entry.Control));
        if (!control)
            continue;
        control->setProperty(kHelpContextProperty, entry.Number);
        if (entry.Menu == TContextMenu::Own || control->property(kHelpMenuBoundProperty).toBool())
            continue;
        control->setProperty(kHelpMenuBoundProperty, true);
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        if (entry.Menu == TContextMenu::Help) {
            connect(control, &QWidget::customContextMenuRequested, this, [this, control](const QPoint& position) {
                HelpContextPopup(control, control->mapToGlobal(position));
            });
        } else {
            // The main window's edit menu: the control becomes the menu's control, for
            // "What's This?" (its help number) and for the editing items. The menu is a
            // pop-up, which the dialog's modality does not block.
            connect(control, &QWidget::customContextMenuRequested, this, [this, control](const QPoint& position) {
                FMainForm->EditContextPopup(control, control->mapToGlobal(position));
            });
        }
    }
    // The title bar's context-help button shows these texts for the control clicked.
    ApplyWhatsThisTexts(this);
}

void TPrefsForm::HelpContextPopup(QWidget* sender, const QPoint& globalPosition)
{
    SetHelpPopupContext(sender->property(kHelpContextProperty).toInt(), globalPosition);
    FHelpPopup->popup(globalPosition);
}

void TPrefsForm::SetHelpPopupContext(int helpContext, const QPoint& globalPosition)
{
    FHelpPopup->setProperty(kHelpContextProperty, helpContext);
    FHelpPopupPosition = globalPosition;
}

int TPrefsForm::HelpPopupContext() const
{
    return FHelpPopup->property(kHelpContextProperty).toInt();
}

void TPrefsForm::Whatsthis1Click()
{
    ShowPopupHelp(HelpPopupContext(), FHelpPopupPosition);
}
