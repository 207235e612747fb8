// The converter page of the main window: the category box, the input and output lists with
// their type-ahead boxes, the recent input units, the two value boxes and the factor line.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "ConvArith.h"
#include "CustomUnits.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr const char* kAllUnits = "*All units";
constexpr int kRecentCount = 8;
constexpr const char* kTemperature = "Temperature";

// The formula shown for a conversion between two temperature scales, by input (rows) and
// output (columns) scale. The constants are the rounded ones users know; the arithmetic
// itself uses 273.15.
constexpr const char* kTemperatureFormulas[4][4] = {
    {"1", "F = C * 9/5 + 32", "K = C + 273", "R = C * 9/5 + 491.67"},
    {"C = (F - 32) * 5/9", "1", "K = (F - 32) * 5/9 + 273", "R = F + 459.67"},
    {"C = K - 273", "F = (K - 273) * 9/5 + 32", "1", "R = (K - 273) * 9/5 + 491.67"},
    {"C = (R - 491.67) * 5/9", "F = R - 459.67", "K = (R - 491.67) * 5/9 + 273", "1"},
};

QVariant PointerData(const void* pointer)
{
    return QVariant::fromValue(reinterpret_cast<quintptr>(pointer));
}

quint64 RowValue(const void* pointer)
{
    return quint64(reinterpret_cast<quintptr>(pointer));
}

void AddUnitRows(std::vector<TNamedRow>& rows, const TConvCategory& category)
{
    for (int i = 0; i < category.UnitCount(); ++i)
        rows.push_back({category.Units(i)->Name, RowValue(category.Units(i))});
}

void FillList(QListWidget* list, const std::vector<TNamedRow>& rows, std::vector<TConvUnit*>& units)
{
    QStringList names;
    names.reserve(qsizetype(rows.size()));
    units.clear();
    units.reserve(rows.size());
    for (const TNamedRow& row : rows) {
        names.append(row.Name);
        units.push_back(reinterpret_cast<TConvUnit*>(quintptr(row.Value)));
    }
    list->clear();
    // All rows at once: one insertion instead of one for every row.
    list->addItems(names);
}

int FindPrefix(const QListWidget* list, const QString& prefix)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(prefix, Qt::CaseInsensitive))
            return row;
    }
    return -1;
}

} // namespace

TConvUnit* TMainForm::UnitAt(const QListWidget* list, int row) const
{
    const std::vector<TConvUnit*>& rows = list == ui->LstFromUnits ? FFromUnitRows : FToUnitRows;
    return row >= 0 && size_t(row) < rows.size() ? rows[size_t(row)] : nullptr;
}

int TMainForm::SelectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void TMainForm::SelectListRow(QListWidget* list, int row)
{
    FSelecting = true;
    list->setCurrentRow(row);
    FSelecting = false;
}

void TMainForm::ClearUnitLists()
{
    FSelecting = true;
    ui->LstFromUnits->clear();
    ui->LstToUnits->clear();
    FFromUnitRows.clear();
    FToUnitRows.clear();
    for (int i = 0; i < ui->CmbCats->count(); ++i)
        ui->CmbCats->setItemData(i, QVariant());
    FSelecting = false;
}

void TMainForm::FillCategories()
{
    FSelecting = true;
    ui->CmbCats->clear();
    std::vector<TNamedRow> rows;
    for (int i = 0; i < FCatalogue->Count(); ++i)
        rows.push_back({FCatalogue->Categories(i)->Name, RowValue(FCatalogue->Categories(i))});
    SortRows(rows);
    ui->CmbCats->addItem(QLatin1String(kAllUnits), PointerData(nullptr));
    for (const TNamedRow& row : rows)
        ui->CmbCats->addItem(row.Name, QVariant::fromValue(quintptr(row.Value)));
    ui->CmbCats->setCurrentIndex(0);
    FSelecting = false;
}

void TMainForm::CmbCatsChange()
{
    const int index = ui->CmbCats->currentIndex();
    if (index < 0)
        return;
    SetCategoryFilter(reinterpret_cast<TConvCategory*>(ui->CmbCats->itemData(index).value<quintptr>()));
}

void TMainForm::SetCategoryFilter(TConvCategory* category)
{
    if (category == CategoryFilter)
        return;
    CategoryFilter = category;
    RememberSelection();
    FillFromUnits();
}

void TMainForm::FillFromUnits()
{
    std::vector<TNamedRow> rows;
    if (CategoryFilter != nullptr) {
        AddUnitRows(rows, *CategoryFilter);
    } else {
        for (int i = 0; i < FCatalogue->Count(); ++i)
            AddUnitRows(rows, *FCatalogue->Categories(i));
    }
    SortRows(rows);
    FSelecting = true;
    FillList(ui->LstFromUnits, rows, FFromUnitRows);
    FSelecting = false;
    SelectFromUnit(FromUnit);
}

void TMainForm::FillToUnits()
{
    std::vector<TNamedRow> rows;
    if (FromUnit != nullptr && FromUnit->Category != nullptr)
        AddUnitRows(rows, *FromUnit->Category);
    SortRows(rows);
    FSelecting = true;
    FillList(ui->LstToUnits, rows, FToUnitRows);
    FSelecting = false;
    SelectListRow(ui->LstToUnits, rows.empty() ? -1 : 0);
    LstToUnitsClick();
}

void TMainForm::SelectUnitRow(QListWidget* list, TConvUnit* unit)
{
    int row = 0;
    if (unit != nullptr) {
        for (int i = 0; i < list->count(); ++i) {
            if (UnitAt(list, i) == unit) {
                row = i;
                break;
            }
        }
    }
    SelectListRow(list, list->count() > 0 ? row : -1);
}

void TMainForm::SelectFromUnit(TConvUnit* unit)
{
    SelectUnitRow(ui->LstFromUnits, unit);
    LstFromUnitsClick();
}

void TMainForm::SelectToUnit(TConvUnit* unit)
{
    SelectUnitRow(ui->LstToUnits, unit);
    LstToUnitsClick();
}

void TMainForm::LstFromUnitsClick()
{
    const int row = SelectedRow(ui->LstFromUnits);
    if (row < 0)
        return;
    SetFromUnit(UnitAt(ui->LstFromUnits, row));
}

void TMainForm::LstToUnitsClick()
{
    const int row = SelectedRow(ui->LstToUnits);
    if (row < 0)
        return;
    SetToUnit(UnitAt(ui->LstToUnits, row));
}

void TMainForm::SetFromUnit(TConvUnit* unit)
{
    if (unit == nullptr)
        return;
    TConvUnit* previous = FromUnit;
    FromUnit = unit;
    RememberSelection();
    Reverse = false;

    ui->LblFromUnit->setText(unit->Name);
    ui->LblCategory->setText(unit->Category != nullptr ? unit->Category->Name : QString());
    ui->BoxConversion->setTitle(QString());

    NoSearch = true;
    FRecentUpdating = true;
    ui->CmbFromUnit->setEditText(unit->Name);
    FRecentUpdating = false;
    NoSearch = false;

    AddRecentUnit(unit->Name);
    // A long name shows from its start.
    ui->CmbFromUnit->lineEdit()->setCursorPosition(0);

    // The output list is only kept when it still lists the units of the new unit's
    // category with the output unit among them.
    const bool sameCategory = previous != nullptr && previous->Category == unit->Category && ToUnit != nullptr &&
                              ToUnit->Category == unit->Category;
    if (sameCategory) {
        UpdateFactor();
        Recalculate();
    } else {
        FillToUnits();
    }
}

void TMainForm::AddRecentUnit(const QString& name)
{
    QComboBox* combo = ui->CmbFromUnit;
    const QString text = combo->currentText();
    FRecentUpdating = true;
    for (int i = 0; i < combo->count(); ++i) {
        if (QString::compare(combo->itemText(i), name, Qt::CaseInsensitive) == 0) {
            combo->removeItem(i);
            break;
        }
    }
    combo->insertItem(0, name);
    while (combo->count() > kRecentCount)
        combo->removeItem(kRecentCount);
    combo->setCurrentIndex(0);
    // The box keeps the text the page wrote.
    combo->setEditText(text);
    FRecentUpdating = false;
}

void TMainForm::CmbFromUnitExit()
{
    const QList<QListWidgetItem*> selected = ui->LstFromUnits->selectedItems();
    if (selected.isEmpty())
        return;
    QComboBox* combo = ui->CmbFromUnit;
    const QString name = selected.first()->text();
    FRecentUpdating = true;
    // The appended entry becomes the current item, so the box shows the unit's name rather
    // than what was typed.
    combo->addItem(name);
    combo->setCurrentIndex(combo->count() - 1);
    const bool trimsCurrent = combo->count() > kRecentCount;
    while (combo->count() > kRecentCount)
        combo->removeItem(kRecentCount);
    if (trimsCurrent) {
        // The trimming deleted the current entry again: no entry is current and the box
        // keeps showing the name.
        combo->setCurrentIndex(-1);
        combo->setEditText(name);
    }
    FRecentUpdating = false;
}

void TMainForm::SetToUnit(TConvUnit* unit)
{
    if (unit == nullptr)
        return;
    ToUnit = unit;
    RememberSelection();
    NoSearch = true;
    ui->EditToUnit->setText(unit->Name);
    ui->EditToUnit->setCursorPosition(0);
    NoSearch = false;
    Reverse = false;
    ui->LblToUnit->setText(unit->Name);
    UpdateFactor();
    Recalculate();
}

void TMainForm::SearchUnit(QListWidget* list, bool fromSide)
{
    if (NoSearch)
        return;
    QLineEdit* box = fromSide ? ui->CmbFromUnit->lineEdit() : ui->EditToUnit;
    const int row = FindPrefix(list, box->text());
    if (row < 0)
        return;
    const int caret = box->cursorPosition();
    TConvUnit* unit = UnitAt(list, row);
    // The box gets the unit's name as the catalogue writes it.
    NoSearch = true;
    if (fromSide)
        SelectFromUnit(unit);
    else
        SelectToUnit(unit);
    NoSearch = false;
    if (box->text() != unit->Name) {
        NoSearch = true;
        box->setText(unit->Name);
        NoSearch = false;
    }
    // The completed remainder is selected, so typing on replaces it.
    box->setSelection(caret, box->text().size() - caret);
}

void TMainForm::CmbFromUnitChange()
{
    SearchUnit(ui->LstFromUnits, true);
}

void TMainForm::EditToUnitChange()
{
    SearchUnit(ui->LstToUnits, false);
}

void TMainForm::EditToUnitKeyDown(int key)
{
    NoSearch = key == Qt::Key_Backspace || key == Qt::Key_Delete;
}

bool TMainForm::EditFromValueKeyPress(const QString& text, Qt::KeyboardModifiers modifiers) const
{
    // Clipboard and other command keys are no typed characters.
    if (text.size() != 1 || (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const QChar c = text.front();
    const TSeparators separators = SystemSeparators();
    if (c == separators.Decimal || (separators.Thousands && c == *separators.Thousands))
        return false;
    if (c == QLatin1Char(' '))
        return true;
    const char16_t u = c.unicode();
    const bool letter = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
    return letter && u != u'E' && u != u'e';
}

void TMainForm::EditFromValueChange()
{
    if (Updating)
        return;
    Reverse = false;
    Recalculate();
}

void TMainForm::EditToValueChange()
{
    if (Updating)
        return;
    Reverse = true;
    Recalculate();
}

void TMainForm::Recalculate()
{
    if (FromUnit == nullptr || ToUnit == nullptr)
        return;
    Updating = true;
    QLineEdit* driving = Reverse ? ui->EditToValue : ui->EditFromValue;
    QLineEdit* driven = Reverse ? ui->EditFromValue : ui->EditToValue;
    QString result;
    try {
        result = ::Recalculate(driving->text(), *FromUnit, *ToUnit, Reverse, FormatSettings());
    } catch (...) {
        result = QLatin1String(kNotAvailable);
    }
    driven->setText(result);
    Updating = false;
}

void TMainForm::UpdateFactor()
{
    if (FromUnit == nullptr || ToUnit == nullptr)
        return;
    const double ratio = ToUnit->Factor / FromUnit->Factor;
    const TConvCategory* category = FromUnit->Category;
    if (category != nullptr &&
        QString::compare(category->Name, QLatin1String(kTemperature), Qt::CaseInsensitive) == 0) {
        const std::optional<TemperatureScale> from = TemperatureScaleOf(*FromUnit);
        const std::optional<TemperatureScale> to = TemperatureScaleOf(*ToUnit);
        // A unit of that category with a name of no scale has no formula.
        if (from && to)
            ui->EditFactor->setText(QLatin1String(kTemperatureFormulas[int(*from)][int(*to)]));
        else
            ui->EditFactor->setText(QLatin1String(kNotAvailable));
    } else if (std::isfinite(ratio)) {
        ui->EditFactor->setText(FormatValue(ratio, FormatSettings()));
    } else {
        // A factor of zero in a data file; valid data has none.
        ui->EditFactor->setText(QLatin1String(kNotAvailable));
    }
    ui->EditFactor->setCursorPosition(0);
}

void TMainForm::CopyConversion()
{
    const QString from = ui->EditFromValue->text() + QLatin1Char(' ') + ui->LblFromUnit->text();
    const QString to = ui->EditToValue->text() + QLatin1Char(' ') + ui->LblToUnit->text();
    QGuiApplication::clipboard()->setText(Reverse ? to + QStringLiteral(" = ") + from
                                                  : from + QStringLiteral(" = ") + to);
}

void TMainForm::RememberSelection()
{
    const auto categoryName = [](const TConvUnit* unit) {
        return unit != nullptr && unit->Category != nullptr ? unit->Category->Name : QString();
    };
    FFromCategoryName = categoryName(FromUnit);
    FFromUnitName = FromUnit != nullptr ? FromUnit->Name : QString();
    FToCategoryName = categoryName(ToUnit);
    FToUnitName = ToUnit != nullptr ? ToUnit->Name : QString();
    FFilterName = CategoryFilter != nullptr ? CategoryFilter->Name : QString();
}

void TMainForm::FollowUnitRenames(const std::vector<TUnitRename>& renames)
{
    const auto follow = [&renames](const QString& rememberedCategory, QString& rememberedName) {
        for (const TUnitRename& rename : renames) {
            if (rememberedName == rename.OldName &&
                QString::compare(rememberedCategory, rename.Category, Qt::CaseInsensitive) == 0) {
                rememberedName = rename.NewName;
                return;
            }
        }
    };
    follow(FFromCategoryName, FFromUnitName);
    follow(FToCategoryName, FToUnitName);
}

void TMainForm::DropStaleReferences()
{
    // The old objects may be gone, and a new one may live at a freed one's address: the
    // pointers are neither followed nor compared, the selection is looked up again by name.
    const auto findCategory = [this](const QString& name) -> TConvCategory* {
        return name.isEmpty() ? nullptr : FCatalogue->FindCategory(name);
    };
    const auto findUnit = [&findCategory](const QString& category, const QString& name) -> TConvUnit* {
        TConvCategory* found = findCategory(category);
        const int index = found != nullptr ? found->IndexOfUnit(name) : -1;
        return index >= 0 ? found->Units(index) : nullptr;
    };
    FromUnit = findUnit(FFromCategoryName, FFromUnitName);
    ToUnit = findUnit(FToCategoryName, FToUnitName);
    CategoryFilter = findCategory(FFilterName);
    RememberSelection();
    ClearUnitLists();
}

void TMainForm::RefreshAfterPreferences()
{
    try {
        if (!FReadOnly) {
            // The catalogue is read back from the files below: the user must learn that the
            // dialog's edits are lost, not only that the file could not be written.
            try {
                SaveCustomUnits();
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const EConvError& error) {
                throw EConvError(error.Message() + QLatin1Char('\r') + QLatin1String(kCustomUnitsNotSaved));
            } catch (const std::exception& error) {
                throw EConvError(QString::fromLocal8Bit(error.what()) + QLatin1Char('\r') +
                                 QLatin1String(kCustomUnitsNotSaved));
            }
        }
        const QString category = ui->CmbCats->currentText();
        // The dialog may have deleted, moved or added units: forget what is gone and
        // rebuild every list from the catalogue as it is now.
        DropStaleReferences();
        FillCategories();
        int index = 0;
        for (int i = 0; i < ui->CmbCats->count(); ++i) {
            if (QString::compare(ui->CmbCats->itemText(i), category, Qt::CaseInsensitive) == 0) {
                index = i;
                break;
            }
        }
        FSelecting = true;
        ui->CmbCats->setCurrentIndex(index);
        FSelecting = false;
        CategoryFilter = reinterpret_cast<TConvCategory*>(ui->CmbCats->itemData(index).value<quintptr>());
        // The output list is rebuilt too, so that it lists units the dialog added; the
        // output unit stays when it is still in the input unit's category.
        TConvUnit* keptToUnit = ToUnit;
        if (FromUnit != nullptr && keptToUnit != nullptr && keptToUnit->Category == FromUnit->Category) {
            std::vector<TNamedRow> rows;
            AddUnitRows(rows, *FromUnit->Category);
            SortRows(rows);
            FSelecting = true;
            FillList(ui->LstToUnits, rows, FToUnitRows);
            FSelecting = false;
            // Selected as by a click, so that the unit's boxes show its name, which the
            // dialog may have changed.
            SelectToUnit(keptToUnit);
        } else {
            ToUnit = nullptr;
        }
        FillFromUnits();
    } catch (...) {
        ReloadCatalogue();
        throw;
    }
}
