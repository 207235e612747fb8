#pragma once

// The preferences dialog: number format, update reminder and the custom units page. It
// edits a copy of the main window's values; only OK hands them over.
//
// The one dialog object lives from start-up to shut-down: its creation restores the main
// window's settings and its destruction saves them, so it must be destroyed before the
// main window.

#include <QDialog>
#include <QPoint>
#include <QString>

#include <memory>

class QMenu;
class QVBoxLayout;
class TMainForm;

namespace Ui {
class TPrefsForm;
}

// Sample value of the format example.
inline constexpr double kFormatSample = 123456789.01234567;

inline constexpr const char* kDecimalDigitsCaption = "&Decimal digits:";
inline constexpr const char* kTotalDigitsCaption = "&Total digits:";

// Help topics of the pages.
inline constexpr const char* kHelpTopicFormats = "APrefs";
inline constexpr const char* kHelpTopicCustom = "APrefsCustom";
inline constexpr const char* kHelpTopicUpdate = "APrefsUpdate";

class TPrefsForm : public QDialog
{
    Q_OBJECT

public:
    // parent defaults to the main window, so that the dialog is centred over it.
    explicit TPrefsForm(TMainForm* mainForm, QWidget* parent = nullptr);
    ~TPrefsForm() override;

    // The page where the custom units editor is placed.
    QVBoxLayout* CustomHostLayout() const;

    // Handlers.
    void FormShow();
    void rdoScientificClick();
    void SpinPrecisionChange();
    void BtnOKClick();
    void BtnHelpClick();
    void BtnUpdateCheckClick();
    // Right click of a control with a help number: the help menu shows that number.
    void HelpContextPopup(QWidget* sender, const QPoint& globalPosition);
    void Whatsthis1Click();

    // Refreshes the example from the checked notation and the digits in the spin box.
    void UpdateFormatExample();

    // The digits as typed: the spin box's text read as a whole number, 0 when it is not one.
    int SpinPrecisionValue() const;
    // Notation of the checked radio button (0 automatic when none is checked).
    quint8 CheckedNotation() const;
    // Reminder frequency of the checked radio button.
    int CheckedUpdateCheck() const;
    // The help topic of the visible page.
    QString HelpTopic() const;
    // The help menu and the number it shows. The custom units page's own menu sets the
    // number for its list before it runs Whatsthis1Click.
    QMenu* HelpPopup() const { return FHelpPopup; }
    int HelpPopupContext() const;
    void SetHelpPopupContext(int helpContext, const QPoint& globalPosition);

    // Gives the dialog's controls (the custom units page's included, once it is in place)
    // their help numbers, "What's This?" texts and right-click help menus.
    void BindContextHelp();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();

    std::unique_ptr<Ui::TPrefsForm> ui;
    TMainForm* FMainForm;
    QMenu* FHelpPopup = nullptr;
    // Where the help menu was opened: the pop-up text appears there.
    QPoint FHelpPopupPosition;
};
