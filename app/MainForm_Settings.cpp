// The window's state between runs: restored once at start-up after the data is loaded,
// saved once at shut-down while the window still exists.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "SettingsStore.h"
#include "lrgfonts.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include <limits>

namespace {

QStringList Texts(const QListWidget* list)
{
    QStringList texts;
    texts.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QStringList Texts(const QComboBox* combo)
{
    QStringList texts;
    texts.reserve(combo->count());
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

} // namespace

void TMainForm::RestoreSettings()
{
    // First run: the first input unit and the first unit of its category.
    if (!LoadSettings()) {
        SelectFromUnit(nullptr);
        SelectToUnit(nullptr);
    }
}

bool TMainForm::LoadSettings()
{
    const TSettingsLoad load = SettingsStore::LoadSettings();
    const bool largeFonts = IsLargeFonts();
    if (!load.KeyExisted) {
        if (largeFonts)
            FitToPages();
        return false;
    }
    const TStoredSettings& v = load.Values;

    // The position is applied as stored, even outside every screen. The size is the
    // window's own, without the frame the system draws around it.
    const QRect restored = SettingsStore::RestoredGeometry(v, QRect(pos(), size()), largeFonts);
    move(restored.topLeft());
    if (largeFonts)
        FitToPages();
    else
        resize(restored.size());

    if (v.Term && *v.Term >= 0)
        SelectTerm(*v.Term);

    // The number format before the units, so that they are shown in it.
    UpdateCheck = v.UpdateCheck;
    Precision = v.Precision;
    NumberFormat = v.NumberFormat;

    const int category = SettingsStore::RestoredIndex(Texts(ui->CmbCats), v.Category);
    if (category >= 0) {
        FSelecting = true;
        ui->CmbCats->setCurrentIndex(category);
        FSelecting = false;
        CmbCatsChange();
    }

    // The input unit may belong to another category: its click refills the output list
    // before the output unit is looked up there.
    SelectListRow(ui->LstFromUnits, SettingsStore::RestoredIndex(Texts(ui->LstFromUnits), v.FromUnitName));
    LstFromUnitsClick();
    SelectListRow(ui->LstToUnits, SettingsStore::RestoredIndex(Texts(ui->LstToUnits), v.ToUnitName));
    LstToUnitsClick();

    QComboBox* combo = ui->CmbFromUnit;
    const QString text = combo->currentText();
    FRecentUpdating = true;
    combo->clear();
    combo->addItems(v.RecentUnits);
    combo->setEditText(text);
    combo->lineEdit()->setCursorPosition(0);
    FRecentUpdating = false;
    return true;
}

void TMainForm::SaveSettings()
{
    // After a data file failed to load the lists are empty: saving them would replace the
    // stored units with none.
    if (FTerminateExitCode != 0)
        return;
    TStoredSettings v;
    v.PosX = pos().x();
    v.PosY = pos().y();
    v.PosW = width();
    v.PosH = height();
    v.FromUnitName = FromUnit != nullptr ? FromUnit->Name : QString();
    v.ToUnitName = ToUnit != nullptr ? ToUnit->Name : QString();
    v.Category = ui->CmbCats->currentText();
    // A term number the store's integer cannot hold is not stored rather than stored wrong.
    const std::optional<quint64> term = SelectedTermNumber();
    if (term && *term <= quint64(std::numeric_limits<int>::max()))
        v.Term = int(*term);
    else
        v.Term.reset();
    v.Precision = Precision;
    v.NumberFormat = NumberFormat;
    v.UpdateCheck = UpdateCheck;
    v.RecentUnits = Texts(ui->CmbFromUnit);
    SettingsStore::SaveSettings(v);
}

void TMainForm::FitToPages()
{
    // The page control sits in the central widget's layout; the window is sized around it
    // with the same margin on every side.
    const QRect pages(ui->PageControl->mapTo(this, QPoint(0, 0)), ui->PageControl->size());
    const QMargins margins =
        centralWidget()->layout() != nullptr ? centralWidget()->layout()->contentsMargins() : QMargins();
    const QSize window = size() + QSize(margins.right(), margins.bottom());
    const QSize fitted = SettingsStore::FitToPagesSize(pages, window, size());
    resize(fitted);
    setMinimumSize(fitted);
}
