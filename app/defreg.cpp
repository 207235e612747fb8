#include "defreg.h"

#include <QMetaType>
#include <QVariant>

#include <limits>

namespace {
// A stored integer is a 32-bit DWORD. The Windows registry hands it back as an integer
// type, a text store as decimal text; anything else (text that is not a whole number, a
// list, a number out of 32-bit range) does not read as an integer.
std::optional<int> ToInteger(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::UInt:
        // A DWORD above INT_MAX is the bit pattern of a negative number (Term -1).
        return static_cast<int>(value.toUInt());
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong wide = value.toLongLong(&ok);
        if (!ok || wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max())
            return std::nullopt;
        return static_cast<int>(wide);
    }
    case QMetaType::QString: {
        bool ok = false;
        const int parsed = value.toString().toInt(&ok, 10);
        if (!ok)
            return std::nullopt;
        return parsed;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> ToString(const QVariant& value)
{
    // A text store returns a comma-separated line as a list and @-prefixed values as other
    // types; only a plain string is a string value.
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

void CheckWritten(QSettings& settings, const QString& name)
{
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw ERegistryError(
            QStringLiteral("Unable to write the setting %1 to %2.").arg(name, settings.fileName()).toStdString());
}
} // namespace

std::unique_ptr<QSettings> OpenMorvexSettings()
{
    auto settings = std::make_unique<QSettings>(QStringLiteral("Morvex"), QStringLiteral("Tools"));
    settings->setFallbacksEnabled(false);
    return settings;
}

bool TDefRegistry::ValueExists(const QString& name) const
{
    return FSettings.contains(name);
}

std::optional<int> TDefRegistry::ReadInteger(const QString& name) const
{
    if (!FSettings.contains(name))
        return std::nullopt;
    return ToInteger(FSettings.value(name));
}

std::optional<QString> TDefRegistry::ReadString(const QString& name) const
{
    if (!FSettings.contains(name))
        return std::nullopt;
    return ToString(FSettings.value(name));
}

int TDefRegistry::ReadIntegerDef(const QString& name, int def) const
{
    return ReadInteger(name).value_or(def);
}

QString TDefRegistry::ReadStringDef(const QString& name, const QString& def) const
{
    return ReadString(name).value_or(def);
}

void TDefRegistry::WriteInteger(const QString& name, int value)
{
    FSettings.setValue(name, value);
}

void TDefRegistry::WriteString(const QString& name, const QString& value)
{
    FSettings.setValue(name, value);
}

QString ReadRegistryString(QSettings& settings, const QString& name, const QString& def)
{
    return TDefRegistry(settings).ReadStringDef(name, def);
}

void WriteRegistryString(QSettings& settings, const QString& name, const QString& value)
{
    TDefRegistry(settings).WriteString(name, value);
    CheckWritten(settings, name);
}

QString ReadRegistryString(const QString& name, const QString& def)
{
    return ReadRegistryString(*OpenMorvexSettings(), name, def);
}

void WriteRegistryString(const QString& name, const QString& value)
{
    WriteRegistryString(*OpenMorvexSettings(), name, value);
}
