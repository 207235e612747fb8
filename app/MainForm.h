#pragma once

#include "CatUnits.h"
#include "NumberFormat.h"
#include "TermsFile.h"

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QHelpEvent;
class QListWidget;
class QListWidgetItem;
class QMenu;

struct TUnitRename;

// Follows the file error when custom.dat could not be written after the preferences dialog.
inline constexpr const char* kCustomUnitsNotSaved = "Your changes to the custom units were not saved.";

namespace Ui {
class TMainForm;
}

// A row of one of the window's lists before it is shown: its text and what it holds (a
// unit, a category or a term number).
struct TNamedRow
{
    QString Name;
    quint64 Value = 0;
};

// The main window: the converter page, the glossary page and the about page, the one
// catalogue and the glossary table of the program. Its implementation is split by concern:
// MainForm.cpp (creation, messages, layout, destruction), MainForm_Converter.cpp,
// MainForm_Glossary.cpp, MainForm_Commands.cpp (menus, tool bar, help, links, clipboard) and
// MainForm_Settings.cpp (the window's state between runs).
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // dataFolder: where the data files are looked up; empty means the folder of the program
    // file. arguments: the command-line arguments without the program name (read for
    // "/readonly"). The window loads its data here; when that fails it has shown the message
    // and TerminateRequested() is true, and it must not be shown.
    explicit TMainForm(const QString& dataFolder = QString(), const QStringList& arguments = QStringList(),
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // Number format and update reminder, set by the preferences dialog and the settings.
    quint8 NumberFormat = 0;
    int Precision = 15;
    int UpdateCheck = 1;

    TConvCategories& Catalogue();
    bool ReadOnly() const { return FReadOnly; }
    // The data folder, always ending with a separator.
    QString DataFolder() const { return FDataFolder; }
    QString HtmlHelpPath() const { return FHtmlHelpPath; }
    QString ProductVersion() const { return FProductVersion; }
    QString FileVersion() const { return FFileVersion; }
    const QPixmap& LogoPicture() const { return FLogoPicture; }
    // The current notation and precision with the user's separators.
    TFormatSettings FormatSettings() const;

    // Settings: applied after creation, saved before destruction (by the preferences dialog
    // object, which lives in between). RestoreSettings selects the first units when nothing
    // is stored; LoadSettings returns whether anything was.
    void RestoreSettings();
    bool LoadSettings();
    void SaveSettings();
    // Sizes the window around its pages and makes that its minimum (large-fonts screens).
    void FitToPages();

    // The converter's part of the Preferences command, after OK.
    void RefreshAfterPreferences();
    // Units of the catalogue were renamed in place (the custom units editor's commit): the
    // converter's remembered selection follows the new names, so that RefreshAfterPreferences
    // finds the units again. Each remembered name is matched against the names before the
    // commit, once (the first rename of it counts), so that swapped or chained names do not
    // carry a selection on to another unit.
    void FollowUnitRenames(const std::vector<TUnitRename>& renames);
    TConvUnit* FindReferenceUnit(TConvCategory* category, bool includeCustom) const;
    void CheckForUpdates();
    void ShowHelpTopic(const QString& topic);

    // Lifecycle. A fatal data-file problem or the quit message asks the program to end; a
    // request made before the message loop runs ends it as soon as it starts. The loop
    // returns exitCode.
    void RequestTerminate(int exitCode = 0);
    bool TerminateRequested() const { return FTerminateRequested; }
    // Non-zero when a data file could not be loaded: the program then ends with it.
    int TerminateExitCode() const { return FTerminateExitCode; }
    // The exit code of a program that ends because a data file could not be loaded (the
    // command-line tool uses the same number for data-file failures).
    static constexpr int kExitDataFile = 3;
    // The registered message "MorvexToolsMessage": 1 ends the program, anything else is ignored.
    void HandleRegisteredMessage(quint32 wParam);
    // Sets the client area (the window without its menu bar) to width x height pixels.
    void ResizeClient(int width, int height);
    void FormResize();

    // Unit data (units.dat, custom.dat).
    bool LoadCatalogue();
    void ReloadCatalogue();
    void SaveCustomUnits();

    // Converter page. The selection state; none is nullptr. FromUnit, ToUnit and
    // CategoryFilter point into the catalogue and are never owned.
    TConvUnit* FromUnit = nullptr;
    TConvUnit* ToUnit = nullptr;
    TConvCategory* CategoryFilter = nullptr;
    bool Reverse = false;

    void FillCategories();
    void SetCategoryFilter(TConvCategory* category);
    void FillFromUnits();
    void FillToUnits();
    void SelectFromUnit(TConvUnit* unit);
    void SelectToUnit(TConvUnit* unit);
    // Selects the unit's row in the list (row 0 when it is not there), without the click.
    void SelectUnitRow(QListWidget* list, TConvUnit* unit);
    void SetFromUnit(TConvUnit* unit);
    void SetToUnit(TConvUnit* unit);
    void UpdateFactor();
    void Recalculate();
    void CopyConversion();

    // Glossary page (terms.dat).
    bool LoadTerms();
    void ReloadTerms();
    void FillTermList();
    void StoreTerm(quint64 number, const QString& term, const QString& definition);
    const TTermTable& Terms() const { return FTerms; }
    void CopyTerm();
    // Selects the term of that number in the list and shows it; false when it is not listed.
    bool SelectTerm(qint64 number);
    // The number of the selected term; none when no term is selected.
    std::optional<quint64> SelectedTermNumber() const;

    // The handlers of the controls, bound in the constructor.
    void CmbCatsChange();
    void LstFromUnitsClick();
    void LstToUnitsClick();
    void CmbFromUnitChange();
    void CmbFromUnitExit();
    void EditToUnitChange();
    void EditFromValueChange();
    void EditToValueChange();
    void EditTermChange();
    void LstTermsClick();
    void LstTermsDblClick();

    // Commands: the menus, the tool bar and the pop-up menus.
    void Preferences1Click();
    void OpenCalculator1Click();
    void Exit1Click();
    void Edit1Click();
    void Cut2Click();
    void Copy2Click();
    void Paste2Click();
    void CopyConversiontoClipboard1Click();
    void Contents1Click();
    void About1Click();
    void SendFeedback1Click();
    void CheckforUpdate1Click();
    void BtnWebsiteClick();
    void ToolButton1Click();
    void ImgLogoClick();
    void PageControlChange();
    void SheetAboutShow();
    // Right click of a control with a help number: the edit pop-up also remembers the
    // control its editing items act on. Both then open their menu at globalPosition.
    void EditContextPopup(QWidget* control, const QPoint& globalPosition);
    void ItemContextPopup(QWidget* control, const QPoint& globalPosition);
    void EditHelpPopupPopup();
    void WhatsThis1Click();
    void WhatsThis2Click();
    void Undo1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void Delete1Click();
    void SelectAll1Click();
    QMenu* HelpPopup() const { return FHelpPopup; }
    QMenu* EditHelpPopup() const { return FEditHelpPopup; }
    QWidget* PopupControl() const { return FPopupControl; }
    // The help number "What's This?" shows.
    int HelpPopupContext() const;
    // The calculator programs tried in turn, the first that starts wins.
    static QStringList CalculatorPrograms();

    // The tooltip of a list item too long for its list: true, with the item's text and row,
    // when the item under position (viewport coordinates) is wider than the list less 25
    // pixels.
    static bool ListItemHint(const QListWidget* list, const QPoint& position, QString* text, QRect* rect);
    static constexpr int kListHintMargin = 25;
    static constexpr int kListHintHideMs = 3500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const QString& dataFolder, const QStringList& arguments);
    void FormDestroy();
    void ReadVersionInfo();
    void DetectReadOnly(const QStringList& arguments);
    void ConnectHandlers();
    void ConnectCommands();
    bool ShowListItemHint(QListWidget* list, QHelpEvent* event);
    // The selected units and category by name, so that they are found again after the
    // catalogue's objects have been replaced.
    void RememberSelection();

    // Key-down of both unit boxes: Backspace and Delete stop the next completion.
    void EditToUnitKeyDown(int key);
    // Key filter of both value boxes; true when the typed character is to be discarded.
    bool EditFromValueKeyPress(const QString& text, Qt::KeyboardModifiers modifiers) const;
    // Type-ahead shared by the two unit boxes.
    void SearchUnit(QListWidget* list, bool fromSide);
    void AddRecentUnit(const QString& name);
    // Orders rows as the lists show them: by the catalogue's comparison of names; rows of
    // equal names keep their order.
    static void SortRows(std::vector<TNamedRow>& rows);
    // Drops the converter's references to objects no longer in the catalogue.
    void DropStaleReferences();
    void ClearUnitLists();
    // Selects a row of a list as the program's own change; the click handler runs once.
    void SelectListRow(QListWidget* list, int row);
    // The unit a row of LstFromUnits or LstToUnits holds; none for no row.
    TConvUnit* UnitAt(const QListWidget* list, int row) const;
    // The selected row of a list, -1 for none.
    static int SelectedRow(const QListWidget* list);

    std::unique_ptr<Ui::TMainForm> ui;
    std::unique_ptr<TConvCategories> FCatalogue;
    TTermTable FTerms;
    // What the rows of the lists hold, row by row: kept beside the list rather than in each
    // item, which makes filling a list of thousands of rows several times cheaper.
    std::vector<TConvUnit*> FFromUnitRows;
    std::vector<TConvUnit*> FToUnitRows;
    std::vector<quint64> FTermRows;
    QString FDataFolder;
    QString FHtmlHelpPath;
    QString FProductVersion;
    QString FFileVersion;
    QPixmap FLogoPicture;
    bool FReadOnly = false;
    bool FTerminateRequested = false;
    int FTerminateExitCode = 0;

    // The page writes a value box; its change handler ignores it.
    bool Updating = true;
    // The page writes a unit box, or the last key there was Backspace or Delete.
    bool NoSearch = false;
    // The recent list of CmbFromUnit is being changed by the page.
    bool FRecentUpdating = false;
    // A list's selection is being set by the page, which runs the click handler itself.
    bool FSelecting = false;

    // Names of the selection (category name, unit name); the filter's category name.
    QString FFromCategoryName;
    QString FFromUnitName;
    QString FToCategoryName;
    QString FToUnitName;
    QString FFilterName;

    QMenu* FHelpPopup = nullptr;
    QMenu* FEditHelpPopup = nullptr;
    QPointer<QWidget> FPopupControl;
    QPoint FHelpPopupPosition;
};
