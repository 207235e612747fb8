#include "SettingsStore.h"

#include "CatUnits.h"
#include "defreg.h"

namespace {
int InRangeOr(int value, int max, int def)
{
    return value >= 0 && value <= max ? value : def;
}

QString MruName(int index)
{
    return SettingNames::MruPrefix + QString::number(index);
}

// Group of a QSettings object opened for one operation and closed on every path.
class TGroupScope
{
public:
    TGroupScope(QSettings& settings, const QString& group) : FSettings(settings) { FSettings.beginGroup(group); }
    ~TGroupScope() { FSettings.endGroup(); }
    TGroupScope(const TGroupScope&) = delete;
    TGroupScope& operator=(const TGroupScope&) = delete;

private:
    QSettings& FSettings;
};
} // namespace

namespace SettingsStore {

TSettingsLoad LoadSettings(QSettings& settings)
{
    TSettingsLoad result;
    // The key counts as present as soon as it holds any value, the recent list included.
    result.KeyExisted = !settings.allKeys().isEmpty();
    if (!result.KeyExisted)
        return result;

    const TDefRegistry reg(settings);
    TStoredSettings& v = result.Values;
    v.PosX = reg.ReadInteger(SettingNames::PosX);
    v.PosY = reg.ReadInteger(SettingNames::PosY);
    v.PosW = reg.ReadInteger(SettingNames::PosW);
    v.PosH = reg.ReadInteger(SettingNames::PosH);
    v.Term = reg.ReadIntegerDef(SettingNames::Term, SettingDefaults::Term);

    v.UpdateCheck = InRangeOr(reg.ReadIntegerDef(SettingNames::UpdateCheck, SettingDefaults::UpdateCheck),
                              SettingDefaults::UpdateCheckMax, SettingDefaults::UpdateCheck);
    v.Precision = InRangeOr(reg.ReadIntegerDef(SettingNames::Precision, SettingDefaults::Precision),
                            SettingDefaults::PrecisionMax, SettingDefaults::Precision);
    v.NumberFormat =
        static_cast<quint8>(InRangeOr(reg.ReadIntegerDef(SettingNames::NumberFormat, SettingDefaults::NumberFormat),
                                      SettingDefaults::NumberFormatMax, SettingDefaults::NumberFormat));

    v.Category = reg.ReadStringDef(SettingNames::Category, QString());
    v.FromUnitName = reg.ReadStringDef(SettingNames::FromUnitName, QString());
    v.ToUnitName = reg.ReadStringDef(SettingNames::ToUnitName, QString());

    // Names may be missing in between (a list that shrank and grew again); the ones that
    // exist are taken in order.
    TGroupScope mru(settings, SettingNames::MruGroup);
    const TDefRegistry mruReg(settings);
    for (int i = 0; i < SettingDefaults::MruLoaded; ++i) {
        if (const auto name = mruReg.ReadString(MruName(i)))
            v.RecentUnits.append(*name);
    }
    return result;
}

TSettingsLoad LoadSettings()
{
    return LoadSettings(*OpenMorvexSettings());
}

void SaveSettings(QSettings& settings, const TStoredSettings& values)
{
    TDefRegistry reg(settings);
    const auto writeOptional = [&reg](QLatin1String name, const std::optional<int>& value) {
        if (value)
            reg.WriteInteger(name, *value);
    };
    writeOptional(SettingNames::PosX, values.PosX);
    writeOptional(SettingNames::PosY, values.PosY);
    writeOptional(SettingNames::PosW, values.PosW);
    writeOptional(SettingNames::PosH, values.PosH);
    reg.WriteString(SettingNames::FromUnitName, values.FromUnitName);
    reg.WriteString(SettingNames::ToUnitName, values.ToUnitName);
    reg.WriteString(SettingNames::Category, values.Category);
    writeOptional(SettingNames::Term, values.Term);
    reg.WriteInteger(SettingNames::Precision, values.Precision);
    reg.WriteInteger(SettingNames::NumberFormat, values.NumberFormat);
    reg.WriteInteger(SettingNames::UpdateCheck, values.UpdateCheck);
    {
        TGroupScope mru(settings, SettingNames::MruGroup);
        TDefRegistry mruReg(settings);
        for (int i = 0; i < values.RecentUnits.size(); ++i)
            mruReg.WriteString(MruName(i), values.RecentUnits.at(i));
    }

    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw ERegistryError(
            QStringLiteral("Unable to save the settings to %1.").arg(settings.fileName()).toStdString());
}

void SaveSettings(const TStoredSettings& values)
{
    SaveSettings(*OpenMorvexSettings(), values);
}

QSize FitToPagesSize(const QRect& pageControl, const QSize& windowSize, const QSize& clientSize)
{
    return {pageControl.width() + pageControl.left() + (windowSize.width() - clientSize.width()),
            pageControl.height() + pageControl.top() + (windowSize.height() - clientSize.height()) - 1};
}

int RestoredIndex(const QStringList& entries, const QString& stored)
{
    if (entries.isEmpty())
        return -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (CompareNames(entries.at(i), stored) == 0)
            return i;
    }
    return 0;
}

QRect RestoredGeometry(const TStoredSettings& values, const QRect& current, bool largeFonts)
{
    QRect result(values.PosX.value_or(current.left()), values.PosY.value_or(current.top()), current.width(),
                 current.height());
    if (!largeFonts) {
        result.setWidth(values.PosW.value_or(current.width()));
        result.setHeight(values.PosH.value_or(current.height()));
    }
    return result;
}

} // namespace SettingsStore
