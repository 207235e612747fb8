#pragma once

#include "CatUnits.h"
#include "NumberFormat.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QMenu;

namespace Ui {
class TCustomUnitsPage;
}

// ---------------------------------------------------------------------------------------
// The working copy as plain data, and what is done with it on OK. No widgets: the page
// takes a snapshot of its list and hands it to these functions.
//
// Links to the catalogue are kept as names (the category's and the unit's name when the
// working copy was built) and looked up again whenever they are used. The dialog stays open
// while the update wizard may reload the catalogue underneath it; a stored pointer would
// then point at freed memory, a name simply no longer finds anything.
// ---------------------------------------------------------------------------------------

struct TWorkingUnit
{
    QString Name;
    double Factor = 1.0;
    // The catalogue unit the row was made from; both empty for a unit made since.
    QString LinkCategory;
    QString LinkName;
    bool IsLinked() const { return !LinkName.isEmpty(); }
};

struct TWorkingCategory
{
    QString Name;
    std::vector<TWorkingUnit> Units;
};

// A catalogue unit whose row was deleted.
struct TDeletedUnit
{
    QString Name;
    QString Category;
};

struct TWorkingCopy
{
    std::vector<TWorkingCategory> Categories;
    std::vector<TDeletedUnit> Deleted;
};

// A unit row whose name another unit of its category already has (ignoring case) once the
// working copy is committed: the later of two rows, or a row meeting a unit that stays in
// the catalogue (a built-in one).
struct TNameClash
{
    int CategoryRow = -1;
    int UnitRow = -1;
    QString Name;
    QString Category;
};

inline constexpr const char* kEnterUnitName = "Please enter a name for this unit.";
inline constexpr const char* kUnitNameTaken = "A unit with that name already exists.\rPlease enter a different name.";
inline constexpr const char* kNonZeroFactor = "Please enter a non-zero factor.";
inline constexpr const char* kAddCategoryTitle = "Add Category";
inline constexpr const char* kAddCategoryPrompt = "Enter the name of the new category";
inline constexpr const char* kAddCategoryEntry = "<Add Category>";
inline constexpr const char* kNoUnitsInCategory = "Sorry, you cannot add units to the %1 category.";
inline constexpr const char* kNewUnitName = "New unit";
inline constexpr const char* kNameClash =
    "The category '%2' has more than one unit named '%1'.\rPlease enter a different name.";

// Tags of the entries of CmbCategory.
inline constexpr int kCategoryTag = 0;
inline constexpr int kAddCategoryTag = 100;

// Pop-up help number of the unit list.
inline constexpr int kUnitListHelpContext = 208;

// The custom unit of that category and name, or none (also for a built-in unit).
TConvUnit* ResolveLinkedUnit(const TConvCategories& catalogue, const QString& category, const QString& name);

// The first row whose name would clash in the catalogue after the commit; none when the
// working copy can be committed as a whole.
std::optional<TNameClash> FindNameClash(const TConvCategories& catalogue, const TWorkingCopy& copy);

// A catalogue unit renamed in place by the commit: the same object, now under NewName.
struct TUnitRename
{
    QString Category;
    QString OldName;
    QString NewName;
};

// Applies the working copy to the catalogue: removes the deleted units, moves, renames and
// re-factors the linked ones and adds the new ones; a category left without units goes.
// Checks the whole copy first and throws EConvError(kNameClash) without changing anything
// when a name would clash, so that the edits are never applied in part. Each rename in place
// is appended to renames (when given) as it is made, so that the list is complete up to a
// failure.
void CommitWorkingCopy(TConvCategories& catalogue, const TWorkingCopy& copy,
                       std::vector<TUnitRename>* renames = nullptr);

// ---------------------------------------------------------------------------------------
// The page's widgets.
// ---------------------------------------------------------------------------------------

// One row of the unit list and its record.
class TUnitNode : public QTreeWidgetItem
{
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;
    explicit TUnitNode(bool isCategory);

    // The texts come from the list's text callback, so they always follow the records.
    QVariant data(int column, int role) const override;
    // Tells the list that the texts of this row may have changed.
    void Repaint() { emitDataChanged(); }

    QString Name;
    double Factor = 1.0;
    // Unit rows: the catalogue unit the row was made from (see TWorkingUnit). Category rows
    // are linked to the catalogue category of their name, looked up when needed.
    QString LinkCategory;
    QString LinkName;
    bool IsCategory = false;

    TUnitNode* CategoryRow() { return IsCategory ? this : static_cast<TUnitNode*>(parent()); }
    const TUnitNode* CategoryRow() const { return IsCategory ? this : static_cast<const TUnitNode*>(parent()); }
    TUnitNode* UnitRow(int index) const { return static_cast<TUnitNode*>(child(index)); }
};

// The two-column unit list. Type-ahead searches every row, not only the siblings of the
// current one.
class TUnitsTree : public QTreeWidget
{
    Q_OBJECT

public:
    explicit TUnitsTree(QWidget* parent = nullptr);

    std::function<QString(const TUnitNode& node, int column)> GetText;

    void keyboardSearch(const QString& search) override;
    // Every row, category rows followed by their unit rows.
    QList<TUnitNode*> Rows() const;

private:
    QString FSearch;
    QElapsedTimer FSearchTime;
};

// The "Custom Units" page of the preferences dialog: edits a working copy of the user's
// units, applied to the catalogue only on OK.
class TCustomUnitsPage : public QWidget
{
    Q_OBJECT

public:
    explicit TCustomUnitsPage(QWidget* parent = nullptr);
    ~TCustomUnitsPage() override;

    // The catalogue stays owned by the main window; format gives the current notation and
    // precision (and the user's separators) for every number shown or read.
    void Setup(TConvCategories* catalogue, std::function<TFormatSettings()> format);

    // Asks for a text; none when cancelled. Replaceable so that tests answer it.
    using TInputBox = std::function<std::optional<QString>(const QString& title, const QString& prompt)>;
    void SetInputBox(TInputBox inputBox);

    // At every showing of the dialog: rebuilds the working copy from the catalogue.
    void BuildWorkingCopy();
    // On OK, before anything is committed: applies the text of the box being edited, then
    // checks the names of the whole working copy. On a problem it shows the message, selects
    // the row and returns false; the dialog must then stay open.
    bool ValidateWorkingCopy();
    // On OK: applies the working copy to the catalogue; the units renamed in place are
    // appended to renames (when given).
    void CommitCustomUnits(std::vector<TUnitRename>* renames = nullptr);
    // What CommitCustomUnits runs: CommitWorkingCopy unless replaced (tests make the commit
    // fail part-way with it); an empty function restores CommitWorkingCopy.
    using TCommit = std::function<void(TConvCategories&, const TWorkingCopy&, std::vector<TUnitRename>*)>;
    void SetCommit(TCommit commit);
    // A snapshot of the list and the deleted units.
    TWorkingCopy WorkingCopy() const;

    // Handlers of the controls.
    void VSUnitsClick();
    QString VSUnitsGetText(const TUnitNode& node, int column) const;
    void CmbCategoryChange();
    void CmbBaseUnitChange();
    // The two boxes apply their text when they lose focus; false when it was refused.
    bool EditNameExit();
    bool EditFactorExit();
    void BtnNewClick();
    void BtnDeleteClick();
    void CustomPopupPopup();

    // Operations of the page.
    void EnableUnitEditing(bool enable);
    void ShowUnit(TUnitNode* row);
    void FillReferenceUnits(TUnitNode* row);
    // Name and factor of the unit the row's factor is shown against.
    std::pair<QString, double> RowReference(const TUnitNode* row) const;
    bool IsSelfReference();
    TUnitNode* FindCategoryRow(const QString& name, bool create);

    // The focused row (the list's current row), or none.
    TUnitNode* FocusedRow() const;
    double ReferenceFactor() const { return FReferenceFactor; }
    const std::vector<TDeletedUnit>& DeletedUnits() const { return FDeletedUnits; }
    QMenu* CustomPopup() const { return FCustomPopup; }

Q_SIGNALS:
    // "What's This?" of the list's menu: the dialog shows the pop-up topic where the menu
    // was opened.
    void WhatsThisRequested(int helpContext, const QPoint& globalPosition);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The catalogue category a category row stands for, or none.
    TConvCategory* LinkedCategory(const TUnitNode* categoryRow) const;
    QString Format(double value) const;
    void SetFocusedRow(QTreeWidgetItem* row);
    void SelectCategoryEntry(const QString& name);
    void RepaintCategory(TUnitNode* categoryRow);
    // Puts the focus back into a box whose text was refused.
    void Refuse(QWidget* box);
    void ShowThisPage();

    std::unique_ptr<Ui::TCustomUnitsPage> ui;
    QMenu* FCustomPopup = nullptr;
    QPoint FPopupPosition;
    TConvCategories* FCatalogue = nullptr;
    std::function<TFormatSettings()> FFormat;
    TInputBox FInputBox;
    TCommit FCommit;

    std::vector<TDeletedUnit> FDeletedUnits;
    double FReferenceFactor = 1.0;
    // The list is being changed by the page, which shows the right row itself afterwards.
    bool FUpdating = false;
    // A box has just refused its text and has the focus back; OK must not go on.
    bool FEditRefused = false;
};
