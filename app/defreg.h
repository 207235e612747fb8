#pragma once

// Typed access to the program's settings key. On Windows QSettings keeps real registry
// types; elsewhere it keeps text only, so every read checks that the stored value can be
// read as the wanted type. A value that cannot is treated as missing and its default
// applies: a settings file edited by hand must never stop the program from starting.

#include <QSettings>
#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>

// Raised when a value cannot be written (read-only or unwritable settings file).
class ERegistryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The per-user settings of the program: QSettings("Morvex", "Tools"), without the
// organisation-wide and system-wide fallbacks, so that "does the key exist" and every read
// see only the user's own values.
std::unique_ptr<QSettings> OpenMorvexSettings();

// Reads and writes values in the current group of a QSettings object (the open key).
class TDefRegistry
{
public:
    explicit TDefRegistry(QSettings& settings) : FSettings(settings) {}

    // Whether a value of that name exists in the open key, whatever its type.
    bool ValueExists(const QString& name) const;

    // The stored value when it exists and reads as the type, otherwise none.
    std::optional<int> ReadInteger(const QString& name) const;
    std::optional<QString> ReadString(const QString& name) const;

    // The stored value when it exists and reads as the type, otherwise the default.
    int ReadIntegerDef(const QString& name, int def) const;
    QString ReadStringDef(const QString& name, const QString& def) const;

    void WriteInteger(const QString& name, int value);
    void WriteString(const QString& name, const QString& value);

private:
    QSettings& FSettings;
};

// The two plain helpers for single values of the settings key, used by the update reminder
// and the updater. Reading never fails: a missing key, a missing value or a value that is
// not a string gives the default. Writing creates the key when needed and throws
// ERegistryError when the value cannot be stored.
QString ReadRegistryString(const QString& name, const QString& def);
void WriteRegistryString(const QString& name, const QString& value);

// The same on a given settings object (tests, or a caller that already has one open).
QString ReadRegistryString(QSettings& settings, const QString& name, const QString& def);
void WriteRegistryString(QSettings& settings, const QString& name, const QString& value);
