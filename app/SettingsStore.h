#pragma once

// The settings the main window keeps between runs, as plain data. The window gathers its
// state into TStoredSettings at shut-down and applies a loaded one at start-up; reading and
// writing the store, defaults and range rules live here, away from the widgets.
//
// Store: QSettings("Morvex", "Tools") (the registry key Software\Morvex\Tools on Windows,
// ~/.config/Morvex/Tools.conf elsewhere), recent input units in the group "MRU".
// Values are never deleted: a shorter recent list leaves older From<n> values in place and
// a missing term selection leaves the stored Term as it was.

#include <QLatin1String>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// Value names of the settings key. The update reminder and the updater read and write the
// last three with ReadRegistryString / WriteRegistryString (defreg.h); the store itself never
// touches them.
namespace SettingNames {
inline constexpr QLatin1String PosX("PosX");
inline constexpr QLatin1String PosY("PosY");
inline constexpr QLatin1String PosW("PosW");
inline constexpr QLatin1String PosH("PosH");
inline constexpr QLatin1String Term("Term");
inline constexpr QLatin1String UpdateCheck("UpdateCheck");
inline constexpr QLatin1String Precision("Precision");
inline constexpr QLatin1String NumberFormat("NumberFormat");
inline constexpr QLatin1String Category("Category");
inline constexpr QLatin1String FromUnitName("FromUnitName");
inline constexpr QLatin1String ToUnitName("ToUnitName");
inline constexpr QLatin1String LastUpdateCheck("LastUpdateCheck");
inline constexpr QLatin1String UnitDataVersion("UnitDataVersion");
inline constexpr QLatin1String TermsDataVersion("TermsDataVersion");
inline constexpr QLatin1String MruGroup("MRU");
inline constexpr QLatin1String MruPrefix("From"); // From0 is the most recent
} // namespace SettingNames

// Defaults and limits of the stored values.
namespace SettingDefaults {
inline constexpr int Term = -1; // no term
inline constexpr int UpdateCheck = 1;
inline constexpr int UpdateCheckMax = 2;
inline constexpr int Precision = 7;
inline constexpr int PrecisionMax = 20;
inline constexpr int NumberFormat = 0;
inline constexpr int NumberFormatMax = 3;
inline constexpr int MruLoaded = 9; // From0 to From8 are looked for on restore
} // namespace SettingDefaults

// One snapshot of the stored settings.
//
// Loading (SettingsStore::LoadSettings) fills every field from the store, a missing or
// unreadable value giving the default noted on the field, an out-of-range one the default
// too. The window applies a loaded snapshot in this order, so that the restored units are
// shown in the restored number format and a unit of another category refills the output
// list before the output unit is looked up:
//   1. position and size (PosX.. PosH; absent ones keep the window's current value; on a
//      large-fonts screen the size is not applied and the window is fitted to its pages,
//      see FitToPagesSize);
//   2. the glossary term whose number is Term, if the list has one (select it, show it);
//   3. UpdateCheck, Precision, NumberFormat into the window's fields;
//   4. Category: the category box entry of that text ignoring case, else entry 0
//      ("*All units"), then its change handler;
//   5. FromUnitName: the first input list item of that name ignoring case, else item 0,
//      then its click handler;
//   6. ToUnitName: the same on the output list;
//   7. RecentUnits replace the drop-down of the input unit box.
//
// Saving (SettingsStore::SaveSettings) writes every field; the window fills them all from
// its current state, with Term left empty when no glossary term is selected.
struct TStoredSettings
{
    // Outer geometry of the main window in screen pixels. Empty when not stored: the
    // window then keeps its current value. The position is applied unchecked, even when it
    // lies outside every screen.
    std::optional<int> PosX;
    std::optional<int> PosY;
    std::optional<int> PosW;
    std::optional<int> PosH;

    // Number of the selected glossary term (its number in terms.dat). Loading gives -1 when
    // not stored; saving writes nothing when empty (no term selected).
    std::optional<int> Term = SettingDefaults::Term;

    // Reminder frequency: 0 never, 1 every month, 2 every two months (default 1).
    int UpdateCheck = SettingDefaults::UpdateCheck;
    // Digits of the number format, 0 to 20 (default 7).
    int Precision = SettingDefaults::Precision;
    // Notation: 0 automatic, 1 fixed, 2 fixed with thousands separators, 3 scientific.
    quint8 NumberFormat = SettingDefaults::NumberFormat;

    // Text of the selected category box entry, "*All units" included (default empty).
    QString Category;
    // Names of the input and output units (default empty).
    QString FromUnitName;
    QString ToUnitName;

    // Recent input units, most recent first (the drop-down of the input unit box).
    QStringList RecentUnits;

    friend bool operator==(const TStoredSettings&, const TStoredSettings&) = default;
};

struct TSettingsLoad
{
    // False on the first run, when the settings key holds nothing at all. The window then
    // applies nothing (it keeps notation 0, precision 15, reminder 1 and selects the first
    // units) apart from fitting itself to its pages on a large-fonts screen.
    bool KeyExisted = false;
    TStoredSettings Values;
};

namespace SettingsStore {
// Reads the settings from a settings object (its root group) or from the user's store.
TSettingsLoad LoadSettings(QSettings& settings);
TSettingsLoad LoadSettings();

// Writes every value of the snapshot and the recent list, then flushes. Throws
// ERegistryError (defreg.h) when the store cannot be written.
void SaveSettings(QSettings& settings, const TStoredSettings& values);
void SaveSettings(const TStoredSettings& values);

// Window size that fits the page control exactly (one pixel less in height), given the
// page control's geometry in the client area, the window's outer size and its client size.
// On a large-fonts screen this size is both the window's size and its minimum.
QSize FitToPagesSize(const QRect& pageControl, const QSize& windowSize, const QSize& clientSize);

// Entry to select for a stored text (steps 4 to 6 above): the first entry equal to it
// ignoring case by the catalogue's comparison of names, else entry 0; -1 for no entries.
int RestoredIndex(const QStringList& entries, const QString& stored);

// Outer geometry after a restore: stored values where present, the current ones elsewhere.
// With largeFonts the stored size is ignored (the caller fits the window instead).
QRect RestoredGeometry(const TStoredSettings& values, const QRect& current, bool largeFonts);
} // namespace SettingsStore
