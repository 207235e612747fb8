#include "CustomUnits.h"

#include "ReferenceUnit.h"
#include "Win1252.h"
#include "kestmsgdlg.h"
#include "ui_CustomUnits.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>

#include <cmath>
#include <set>

// ---------------------------------------------------------------------------------------
// Working copy
// ---------------------------------------------------------------------------------------

TConvUnit* ResolveLinkedUnit(const TConvCategories& catalogue, const QString& category, const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    const TConvCategory* found = catalogue.FindCategory(category);
    if (found == nullptr)
        return nullptr;
    const int at = found->IndexOfUnit(name);
    if (at < 0)
        return nullptr;
    TConvUnit* unit = found->Units(at);
    return unit->Custom ? unit : nullptr;
}

namespace {

// The catalogue units that the working copy speaks for: those of its linked rows and of
// its deleted rows. Every other unit of the catalogue stays as it is.
std::set<const TConvUnit*> ManagedUnits(const TConvCategories& catalogue, const TWorkingCopy& copy)
{
    std::set<const TConvUnit*> managed;
    for (const TDeletedUnit& deleted : copy.Deleted) {
        if (const TConvUnit* unit = ResolveLinkedUnit(catalogue, deleted.Category, deleted.Name))
            managed.insert(unit);
    }
    for (const TWorkingCategory& category : copy.Categories) {
        for (const TWorkingUnit& row : category.Units) {
            if (const TConvUnit* unit = ResolveLinkedUnit(catalogue, row.LinkCategory, row.LinkName))
                managed.insert(unit);
        }
    }
    return managed;
}

} // namespace

std::optional<TNameClash> FindNameClash(const TConvCategories& catalogue, const TWorkingCopy& copy)
{
    const std::set<const TConvUnit*> managed = ManagedUnits(catalogue, copy);
    for (int c = 0; c < int(copy.Categories.size()); ++c) {
        const TWorkingCategory& category = copy.Categories[size_t(c)];
        const TConvCategory* target = catalogue.FindCategory(category.Name);
        for (int u = 0; u < int(category.Units.size()); ++u) {
            const QString& name = category.Units[size_t(u)].Name;
            bool clash = false;
            for (int earlier = 0; earlier < u && !clash; ++earlier)
                clash = CompareNames(category.Units[size_t(earlier)].Name, name) == 0;
            if (!clash && target != nullptr) {
                // A unit the working copy does not speak for keeps its name after the commit.
                const int at = target->IndexOfUnit(name);
                clash = at >= 0 && managed.count(target->Units(at)) == 0;
            }
            if (clash)
                return TNameClash{c, u, name, category.Name};
        }
    }
    return std::nullopt;
}

void CommitWorkingCopy(TConvCategories& catalogue, const TWorkingCopy& copy, std::vector<TUnitRename>* renames)
{
    if (const std::optional<TNameClash> clash = FindNameClash(catalogue, copy))
        throw EConvError(QString::fromLatin1(kNameClash).arg(clash->Name, clash->Category));

    // Resolve every link before the catalogue changes under the names.
    std::vector<TConvUnit*> deleted;
    for (const TDeletedUnit& entry : copy.Deleted)
        deleted.push_back(ResolveLinkedUnit(catalogue, entry.Category, entry.Name));
    std::vector<std::vector<TConvUnit*>> links;
    for (const TWorkingCategory& category : copy.Categories) {
        links.emplace_back();
        for (const TWorkingUnit& row : category.Units)
            links.back().push_back(ResolveLinkedUnit(catalogue, row.LinkCategory, row.LinkName));
    }

    // First everything that leaves a category, so that no name is still taken when a unit
    // arrives under it. A category left empty goes; the rows of that name re-create it
    // below, which is why categories are always looked up by name here.
    for (TConvUnit* unit : deleted) {
        if (unit != nullptr)
            unit->Category->RemoveUnit(unit, true);
    }
    for (size_t c = 0; c < copy.Categories.size(); ++c) {
        for (TConvUnit*& unit : links[c]) {
            if (unit != nullptr && unit->Category != catalogue.FindCategory(copy.Categories[c].Name)) {
                unit->Category->RemoveUnit(unit, true);
                unit = nullptr; // added again in its new category
            }
        }
    }

    // Units that stay in their category keep their object.
    for (size_t c = 0; c < copy.Categories.size(); ++c) {
        for (size_t u = 0; u < copy.Categories[c].Units.size(); ++u) {
            TConvUnit* unit = links[c][u];
            if (unit == nullptr)
                continue;
            const TWorkingUnit& row = copy.Categories[c].Units[u];
            if (unit->Name != row.Name) {
                const QString oldName = unit->Name;
                unit->Rename(row.Name);
                if (renames != nullptr)
                    renames->push_back({unit->Category->Name, oldName, unit->Name});
            }
            unit->Factor = row.Factor;
            unit->Custom = true;
        }
    }

    // New units and moved ones.
    for (size_t c = 0; c < copy.Categories.size(); ++c) {
        const TWorkingCategory& category = copy.Categories[c];
        TConvCategory* target = nullptr;
        for (size_t u = 0; u < category.Units.size(); ++u) {
            if (links[c][u] != nullptr)
                continue;
            if (target == nullptr) {
                target = catalogue.FindCategory(category.Name);
                if (target == nullptr)
                    target = catalogue.AddCategory(category.Name);
            }
            target->AddUnit(category.Units[u].Name, true, category.Units[u].Factor);
        }
    }
}

// ---------------------------------------------------------------------------------------
// The list
// ---------------------------------------------------------------------------------------

TUnitNode::TUnitNode(bool isCategory) : QTreeWidgetItem(NodeType), IsCategory(isCategory) {}

QVariant TUnitNode::data(int column, int role) const
{
    if (role == Qt::DisplayRole) {
        const auto* tree = qobject_cast<const TUnitsTree*>(treeWidget());
        if (tree != nullptr && tree->GetText)
            return tree->GetText(*this, column);
        return column == 0 ? Name : QString();
    }
    return QTreeWidgetItem::data(column, role);
}

TUnitsTree::TUnitsTree(QWidget* parent) : QTreeWidget(parent) {}

QList<TUnitNode*> TUnitsTree::Rows() const
{
    QList<TUnitNode*> rows;
    for (int c = 0; c < topLevelItemCount(); ++c) {
        auto* category = static_cast<TUnitNode*>(topLevelItem(c));
        rows.append(category);
        for (int u = 0; u < category->childCount(); ++u)
            rows.append(category->UnitRow(u));
    }
    return rows;
}

void TUnitsTree::keyboardSearch(const QString& search)
{
    if (search.isEmpty())
        return;
    const bool fresh = !FSearchTime.isValid() || FSearchTime.elapsed() > QApplication::keyboardInputInterval();
    FSearchTime.start();
    FSearch = fresh ? search : FSearch + search;

    const QList<TUnitNode*> rows = Rows();
    if (rows.isEmpty())
        return;
    int start = int(rows.indexOf(static_cast<TUnitNode*>(currentItem())));
    // A fresh search moves on from the current row; typing on refines the current match.
    if (start < 0)
        start = 0;
    else if (fresh)
        start = (start + 1) % int(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        TUnitNode* row = rows[(start + i) % int(rows.size())];
        if (row->text(0).startsWith(FSearch, Qt::CaseInsensitive)) {
            setCurrentItem(row);
            scrollToItem(row);
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------
// The page
// ---------------------------------------------------------------------------------------

namespace {

constexpr int kTagRole = Qt::UserRole;
// Entries of CmbBaseUnit: true for a built-in unit of the catalogue, false for a unit row.
constexpr int kBuiltInRole = Qt::UserRole;

// Inserts an entry at its place in alphabetical order (ignoring case), from position first on.
int InsertSorted(QComboBox* box, int first, const QString& text, const QVariant& data)
{
    int at = first;
    while (at < box->count() && CompareNames(box->itemText(at), text) <= 0)
        ++at;
    box->insertItem(at, text, data);
    return at;
}

int FindEntryIgnoringCase(const QComboBox* box, const QString& text)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemData(i, kTagRole).toInt() != kAddCategoryTag && CompareNames(box->itemText(i), text) == 0)
            return i;
    }
    return -1;
}

} // namespace

TCustomUnitsPage::TCustomUnitsPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TCustomUnitsPage>())
{
    ui->setupUi(this);
    FFormat = [] {
        TFormatSettings settings;
        settings.Separators = SystemSeparators();
        return settings;
    };
    FInputBox = [this](const QString& title, const QString& prompt) -> std::optional<QString> {
        bool ok = false;
        const QString text = QInputDialog::getText(this, title, prompt, QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return text;
    };

    ui->VSUnits->GetText = [this](const TUnitNode& node, int column) { return VSUnitsGetText(node, column); };
    ui->VSUnits->header()->setStretchLastSection(true);
    ui->VSUnits->setColumnWidth(0, 100);

    FCustomPopup = new QMenu(this);
    FCustomPopup->setObjectName(QStringLiteral("CustomPopup"));
    FCustomPopup->addAction(ui->NewItem1);
    FCustomPopup->addAction(ui->Delete1);
    FCustomPopup->addSeparator();
    FCustomPopup->addAction(ui->WhatsThis2);
    // The Delete key works in the list itself.
    ui->VSUnits->addAction(ui->Delete1);

    // The editing controls follow the focused row however it moves, by mouse or keyboard.
    connect(ui->VSUnits, &QTreeWidget::currentItemChanged, this, [this] {
        if (!FUpdating)
            VSUnitsClick();
    });
    connect(ui->VSUnits, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        CustomPopupPopup();
        FPopupPosition = ui->VSUnits->viewport()->mapToGlobal(pos);
        FCustomPopup->popup(FPopupPosition);
    });
    // Only choices of the user: the page's own changes of the lists run no handler.
    connect(ui->CmbCategory, &QComboBox::activated, this, [this] { CmbCategoryChange(); });
    connect(ui->CmbBaseUnit, &QComboBox::activated, this, [this] { CmbBaseUnitChange(); });
    connect(ui->BtnNew, &QPushButton::clicked, this, [this] { BtnNewClick(); });
    connect(ui->BtnDelete, &QPushButton::clicked, this, [this] { BtnDeleteClick(); });
    connect(ui->NewItem1, &QAction::triggered, this, [this] { BtnNewClick(); });
    connect(ui->Delete1, &QAction::triggered, this, [this] { BtnDeleteClick(); });
    connect(ui->WhatsThis2, &QAction::triggered, this,
            [this] { Q_EMIT WhatsThisRequested(kUnitListHelpContext, FPopupPosition); });
    connect(ui->EditName, &QLineEdit::textEdited, this, [this] { FEditRefused = false; });
    connect(ui->EditFactor, &QLineEdit::textEdited, this, [this] { FEditRefused = false; });
    ui->EditName->installEventFilter(this);
    ui->EditFactor->installEventFilter(this);

    EnableUnitEditing(false);
}

TCustomUnitsPage::~TCustomUnitsPage() = default;

void TCustomUnitsPage::Setup(TConvCategories* catalogue, std::function<TFormatSettings()> format)
{
    FCatalogue = catalogue;
    if (format)
        FFormat = std::move(format);
}

void TCustomUnitsPage::SetInputBox(TInputBox inputBox)
{
    FInputBox = std::move(inputBox);
}

bool TCustomUnitsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // Leaving the window or opening a pop-up menu is no leaving of the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == ui->EditName)
                EditNameExit();
            else if (watched == ui->EditFactor)
                EditFactorExit();
        }
    }
    return QWidget::eventFilter(watched, event);
}

TConvCategory* TCustomUnitsPage::LinkedCategory(const TUnitNode* categoryRow) const
{
    if (FCatalogue == nullptr || categoryRow == nullptr)
        return nullptr;
    return FCatalogue->FindCategory(categoryRow->Name);
}

QString TCustomUnitsPage::Format(double value) const
{
    return FormatValue(value, FFormat());
}

TUnitNode* TCustomUnitsPage::FocusedRow() const
{
    return static_cast<TUnitNode*>(ui->VSUnits->currentItem());
}

void TCustomUnitsPage::SetFocusedRow(QTreeWidgetItem* row)
{
    const bool was = FUpdating;
    FUpdating = true;
    if (row != nullptr) {
        ui->VSUnits->setCurrentItem(row);
        ui->VSUnits->scrollToItem(row);
    } else {
        ui->VSUnits->setCurrentItem(nullptr);
    }
    FUpdating = was;
}

void TCustomUnitsPage::BuildWorkingCopy()
{
    FUpdating = true;
    FDeletedUnits.clear();
    FEditRefused = false;
    ui->VSUnits->clear();
    ui->CmbCategory->clear();
    ui->CmbCategory->addItem(QString::fromLatin1(kAddCategoryEntry), kAddCategoryTag);

    if (FCatalogue != nullptr) {
        for (int c = 0; c < FCatalogue->Count(); ++c) {
            const TConvCategory* category = FCatalogue->Categories(c);
            if (!category->IsTemperature)
                InsertSorted(ui->CmbCategory, 1, category->Name, kCategoryTag);
            TUnitNode* categoryRow = nullptr;
            for (int u = 0; u < category->UnitCount(); ++u) {
                const TConvUnit* unit = category->Units(u);
                if (!unit->Custom)
                    continue;
                if (categoryRow == nullptr) {
                    categoryRow = new TUnitNode(true);
                    categoryRow->Name = category->Name;
                    ui->VSUnits->addTopLevelItem(categoryRow);
                }
                auto* row = new TUnitNode(false);
                row->Name = unit->Name;
                row->Factor = unit->Factor;
                row->LinkCategory = category->Name;
                row->LinkName = unit->Name;
                categoryRow->addChild(row);
            }
        }
    }

    ui->VSUnits->expandAll();
    FUpdating = false;
    SetFocusedRow(ui->VSUnits->topLevelItem(0));
    VSUnitsClick();
}

TWorkingCopy TCustomUnitsPage::WorkingCopy() const
{
    TWorkingCopy copy;
    copy.Deleted = FDeletedUnits;
    for (int c = 0; c < ui->VSUnits->topLevelItemCount(); ++c) {
        const auto* categoryRow = static_cast<const TUnitNode*>(ui->VSUnits->topLevelItem(c));
        TWorkingCategory category;
        category.Name = categoryRow->Name;
        for (int u = 0; u < categoryRow->childCount(); ++u) {
            const TUnitNode* row = categoryRow->UnitRow(u);
            category.Units.push_back(TWorkingUnit{row->Name, row->Factor, row->LinkCategory, row->LinkName});
        }
        copy.Categories.push_back(std::move(category));
    }
    return copy;
}

bool TCustomUnitsPage::ValidateWorkingCopy()
{
    // OK pressed with the Enter key leaves the box being edited without losing its focus:
    // its text still counts. A box that has just refused its text keeps the dialog open.
    const QWidget* focus = QApplication::focusWidget();
    if (focus == ui->EditName && !EditNameExit())
        return false;
    if (focus == ui->EditFactor && ui->EditFactor->isEnabled() && !EditFactorExit())
        return false;
    if (FEditRefused)
        return false;

    if (FCatalogue == nullptr)
        return true;
    const std::optional<TNameClash> clash = FindNameClash(*FCatalogue, WorkingCopy());
    if (!clash)
        return true;

    ShowThisPage();
    auto* categoryRow = static_cast<TUnitNode*>(ui->VSUnits->topLevelItem(clash->CategoryRow));
    SetFocusedRow(categoryRow->UnitRow(clash->UnitRow));
    VSUnitsClick();
    BeepMessageDlg(QString::fromLatin1(kNameClash).arg(clash->Name, clash->Category), TMsgDlgType::mtError,
                   QMessageBox::Ok, 0, this);
    ui->EditName->setFocus(Qt::OtherFocusReason);
    ui->EditName->selectAll();
    return false;
}

void TCustomUnitsPage::CommitCustomUnits(std::vector<TUnitRename>* renames)
{
    if (FCatalogue == nullptr)
        return;
    if (FCommit)
        FCommit(*FCatalogue, WorkingCopy(), renames);
    else
        CommitWorkingCopy(*FCatalogue, WorkingCopy(), renames);
}

void TCustomUnitsPage::SetCommit(TCommit commit)
{
    FCommit = std::move(commit);
}

void TCustomUnitsPage::ShowThisPage()
{
    for (QWidget* page = this; page != nullptr; page = page->parentWidget()) {
        QWidget* stack = page->parentWidget();
        auto* tabs = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs != nullptr && tabs->indexOf(page) >= 0)
            tabs->setCurrentWidget(page);
    }
}

// ---- the list ---------------------------------------------------------------------------

QString TCustomUnitsPage::VSUnitsGetText(const TUnitNode& node, int column) const
{
    if (column == 0)
        return node.Name;
    if (node.IsCategory)
        return QString();
    // How many reference units make one of this unit.
    const auto [name, factor] = RowReference(&node);
    return Format(factor / node.Factor) + QLatin1Char(' ') + name;
}

std::pair<QString, double> TCustomUnitsPage::RowReference(const TUnitNode* row) const
{
    const TUnitNode* categoryRow = row->CategoryRow();
    if (const TConvCategory* category = LinkedCategory(categoryRow)) {
        if (const TConvUnit* reference = FindReferenceUnit(*category, false))
            return {reference->Name, reference->Factor};
    }
    const TUnitNode* best = nullptr;
    double bestDistance = 0.0;
    for (int u = 0; u < categoryRow->childCount(); ++u) {
        const TUnitNode* candidate = categoryRow->UnitRow(u);
        if (candidate->Factor == 1.0)
            return {candidate->Name, candidate->Factor};
        const double distance = std::fabs(candidate->Factor - 1.0);
        if (best == nullptr || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    if (best == nullptr)
        return {row->Name, row->Factor};
    return {best->Name, best->Factor};
}

void TCustomUnitsPage::RepaintCategory(TUnitNode* categoryRow)
{
    for (int u = 0; u < categoryRow->childCount(); ++u)
        categoryRow->UnitRow(u)->Repaint();
}

void TCustomUnitsPage::VSUnitsClick()
{
    TUnitNode* row = FocusedRow();
    if (row == nullptr || row->IsCategory) {
        EnableUnitEditing(false);
        return;
    }
    EnableUnitEditing(true);
    ShowUnit(row);
}

void TCustomUnitsPage::CustomPopupPopup()
{
    ui->Delete1->setEnabled(ui->BtnDelete->isEnabled());
}

// ---- editing controls ----------------------------------------------------------------------

void TCustomUnitsPage::EnableUnitEditing(bool enable)
{
    ui->CmbCategory->setEnabled(enable);
    ui->EditName->setEnabled(enable);
    ui->EditFactor->setEnabled(enable);
    ui->CmbBaseUnit->setEnabled(enable);
    ui->BtnDelete->setEnabled(enable);
    ui->Delete1->setEnabled(enable);
    if (!enable) {
        ui->LblUnitName->clear();
        ui->CmbCategory->setCurrentIndex(-1);
        ui->EditName->clear();
        ui->EditFactor->clear();
        ui->CmbBaseUnit->clear();
    }
}

void TCustomUnitsPage::SelectCategoryEntry(const QString& name)
{
    ui->CmbCategory->setCurrentIndex(FindEntryIgnoringCase(ui->CmbCategory, name));
}

void TCustomUnitsPage::ShowUnit(TUnitNode* row)
{
    FEditRefused = false;
    SelectCategoryEntry(row->CategoryRow()->Name);
    FillReferenceUnits(row);
    ui->EditName->setText(row->Name);
    if (!IsSelfReference())
        ui->EditFactor->setText(Format(row->Factor / FReferenceFactor));
    ui->LblUnitName->setText(QStringLiteral("x ") + row->Name);
}

void TCustomUnitsPage::FillReferenceUnits(TUnitNode* row)
{
    TUnitNode* categoryRow = row->CategoryRow();
    QComboBox* box = ui->CmbBaseUnit;
    box->clear();
    if (const TConvCategory* category = LinkedCategory(categoryRow)) {
        for (int u = 0; u < category->UnitCount(); ++u) {
            if (!category->Units(u)->Custom)
                InsertSorted(box, 0, category->Units(u)->Name, true);
        }
    }
    for (int u = 0; u < categoryRow->childCount(); ++u)
        InsertSorted(box, 0, categoryRow->UnitRow(u)->Name, false);

    const auto [name, factor] = RowReference(row);
    FReferenceFactor = factor;
    box->setCurrentIndex(box->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    IsSelfReference();
}

bool TCustomUnitsPage::IsSelfReference()
{
    if (ui->CmbBaseUnit->currentText() == ui->EditName->text()) {
        ui->EditFactor->setEnabled(false);
        ui->EditFactor->setText(QStringLiteral("1"));
        return true;
    }
    ui->EditFactor->setEnabled(true);
    return false;
}

void TCustomUnitsPage::CmbBaseUnitChange()
{
    TUnitNode* row = FocusedRow();
    if (row == nullptr || row->IsCategory)
        return;
    if (IsSelfReference()) {
        FReferenceFactor = 1.0;
        return;
    }
    const int entry = ui->CmbBaseUnit->currentIndex();
    const QString text = ui->CmbBaseUnit->currentText();
    std::optional<double> factor;
    if (entry >= 0 && ui->CmbBaseUnit->itemData(entry, kBuiltInRole).toBool()) {
        if (const TConvCategory* category = LinkedCategory(row->CategoryRow())) {
            const int at = category->IndexOfUnit(text);
            if (at >= 0)
                factor = category->Units(at)->Factor;
        }
    }
    if (!factor) {
        TUnitNode* categoryRow = row->CategoryRow();
        for (int u = 0; u < categoryRow->childCount() && !factor; ++u) {
            if (categoryRow->UnitRow(u)->Name == text)
                factor = categoryRow->UnitRow(u)->Factor;
        }
    }
    const double reference = factor.value_or(1.0);
    ui->EditFactor->setText(Format(row->Factor / reference));
    FReferenceFactor = reference;
}

void TCustomUnitsPage::Refuse(QWidget* box)
{
    FEditRefused = true;
    // Deferred: when the box is being left, the focus is still on its way to the other
    // control, and taking it back from inside that change would confuse both.
    QTimer::singleShot(0, box, [box] { box->setFocus(Qt::OtherFocusReason); });
}

bool TCustomUnitsPage::EditNameExit()
{
    TUnitNode* row = FocusedRow();
    if (row == nullptr || row->IsCategory)
        return true;
    const QString text = ui->EditName->text();
    if (text == row->Name)
        return true;

    QString refusal;
    if (text.isEmpty()) {
        refusal = QString::fromLatin1(kEnterUnitName);
    } else if (!Win1252::CanEncode(text)) {
        // custom.dat could not hold the name, and saving would fail after OK.
        refusal = QString::fromLatin1(kNameNotStorable).arg(text);
    } else if (const TConvCategory* category = LinkedCategory(row->CategoryRow())) {
        if (category->IndexOfUnit(text) >= 0)
            refusal = QString::fromLatin1(kUnitNameTaken);
    }
    if (!refusal.isEmpty()) {
        BeepMessageDlg(refusal, TMsgDlgType::mtError, QMessageBox::Ok, 0, this);
        Refuse(ui->EditName);
        return false;
    }

    for (int i = 0; i < ui->CmbBaseUnit->count(); ++i) {
        if (!ui->CmbBaseUnit->itemData(i, kBuiltInRole).toBool() && ui->CmbBaseUnit->itemText(i) == row->Name) {
            ui->CmbBaseUnit->setItemText(i, text);
            break;
        }
    }
    ui->LblUnitName->setText(QStringLiteral("x ") + text);
    row->Name = text;
    FEditRefused = false;
    RepaintCategory(row->CategoryRow());
    return true;
}

bool TCustomUnitsPage::EditFactorExit()
{
    TUnitNode* row = FocusedRow();
    if (row == nullptr || row->IsCategory)
        return true;
    const std::optional<double> value = TryParseValue(ui->EditFactor->text(), FFormat().Separators);
    const double factor = value ? *value * FReferenceFactor : 0.0;
    if (!value || !std::isfinite(factor)) {
        QApplication::beep();
        Refuse(ui->EditFactor);
        return false;
    }
    // A factor too small for a double is as unusable as zero.
    if (factor == 0.0) {
        BeepMessageDlg(QString::fromLatin1(kNonZeroFactor), TMsgDlgType::mtError, QMessageBox::Ok, 0, this);
        Refuse(ui->EditFactor);
        return false;
    }
    row->Factor = factor;
    FEditRefused = false;
    RepaintCategory(row->CategoryRow());
    return true;
}

// ---- categories --------------------------------------------------------------------------

TUnitNode* TCustomUnitsPage::FindCategoryRow(const QString& name, bool create)
{
    for (int c = 0; c < ui->VSUnits->topLevelItemCount(); ++c) {
        auto* categoryRow = static_cast<TUnitNode*>(ui->VSUnits->topLevelItem(c));
        if (CompareNames(categoryRow->Name, name) == 0)
            return categoryRow;
    }
    if (!create)
        return nullptr;
    auto* categoryRow = new TUnitNode(true);
    categoryRow->Name = name;
    const bool was = FUpdating;
    FUpdating = true;
    ui->VSUnits->addTopLevelItem(categoryRow);
    categoryRow->setExpanded(true);
    FUpdating = was;
    return categoryRow;
}

void TCustomUnitsPage::CmbCategoryChange()
{
    TUnitNode* row = FocusedRow();
    if (row == nullptr || row->IsCategory)
        return;
    TUnitNode* from = row->CategoryRow();
    QComboBox* box = ui->CmbCategory;

    if (box->currentIndex() >= 0 && box->itemData(box->currentIndex(), kTagRole).toInt() == kAddCategoryTag) {
        const std::optional<QString> name =
            FInputBox(QString::fromLatin1(kAddCategoryTitle), QString::fromLatin1(kAddCategoryPrompt));
        if (!name || name->isEmpty()) {
            SelectCategoryEntry(from->Name);
            return;
        }
        const int existing = FCatalogue != nullptr ? FCatalogue->IndexOf(*name) : -1;
        if (existing >= 0 && FCatalogue->Categories(existing)->IsTemperature) {
            BeepMessageDlg(QString::fromLatin1(kNoUnitsInCategory).arg(FCatalogue->Categories(existing)->Name),
                           TMsgDlgType::mtInformation, QMessageBox::Ok, 0, this);
            SelectCategoryEntry(from->Name);
            return;
        }
        if (!Win1252::CanEncode(*name)) {
            BeepMessageDlg(QString::fromLatin1(kNameNotStorable).arg(*name), TMsgDlgType::mtError, QMessageBox::Ok, 0,
                           this);
            SelectCategoryEntry(from->Name);
            return;
        }
        int entry = FindEntryIgnoringCase(box, *name);
        if (entry < 0)
            entry = InsertSorted(box, 1, *name, kCategoryTag);
        box->setCurrentIndex(entry);
    }

    const QString target = box->currentText();
    if (CompareNames(target, from->Name) == 0)
        return;

    TUnitNode* to = FindCategoryRow(target, true);
    FUpdating = true;
    from->removeChild(row);
    to->addChild(row);
    to->setExpanded(true);
    if (from->childCount() == 0)
        delete from;
    FUpdating = false;
    SetFocusedRow(row);
    RepaintCategory(to);

    FillReferenceUnits(row);
    if (!IsSelfReference())
        ui->EditFactor->setText(Format(row->Factor / FReferenceFactor));
}

// ---- new and delete ----------------------------------------------------------------------

void TCustomUnitsPage::BtnNewClick()
{
    TUnitNode* focused = FocusedRow();
    TUnitNode* categoryRow = nullptr;
    if (focused != nullptr) {
        categoryRow = focused->CategoryRow();
    } else if (ui->CmbCategory->count() > 1) {
        categoryRow = FindCategoryRow(ui->CmbCategory->itemText(1), true);
    } else {
        // No category to put a unit in: the catalogue has none that takes custom units.
        return;
    }

    auto* row = new TUnitNode(false);
    row->Name = QString::fromLatin1(kNewUnitName);
    row->Factor = 1.0;
    FUpdating = true;
    categoryRow->addChild(row);
    categoryRow->setExpanded(true);
    FUpdating = false;
    SetFocusedRow(row);
    RepaintCategory(categoryRow);
    EnableUnitEditing(true);
    ShowUnit(row);
    ui->EditName->setFocus(Qt::OtherFocusReason);
    ui->EditName->selectAll();
}

void TCustomUnitsPage::BtnDeleteClick()
{
    TUnitNode* row = FocusedRow();
    if (row == nullptr || row->IsCategory)
        return;

    const QList<TUnitNode*> rows = ui->VSUnits->Rows();
    const int at = int(rows.indexOf(row));
    TUnitNode* candidate = at + 1 < rows.size() ? rows[at + 1] : (at > 0 ? rows[at - 1] : nullptr);

    if (!row->LinkName.isEmpty())
        FDeletedUnits.push_back(TDeletedUnit{row->LinkName, row->LinkCategory});

    TUnitNode* categoryRow = row->CategoryRow();
    FUpdating = true;
    delete row;
    if (categoryRow->childCount() == 0) {
        if (candidate == categoryRow) {
            const QList<TUnitNode*> left = ui->VSUnits->Rows();
            const int c = int(left.indexOf(categoryRow));
            candidate = c + 1 < left.size() ? left[c + 1] : (c > 0 ? left[c - 1] : nullptr);
        }
        delete categoryRow;
    } else {
        RepaintCategory(categoryRow);
    }
    FUpdating = false;
    SetFocusedRow(candidate);
    VSUnitsClick();
}
