#include "ConvArith.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr std::array<const char*, 4> kScaleNames = {"Degrees Celsius", "Degrees Fahrenheit", "Degrees Kelvin",
                                                    "Degrees Rankine"};

bool IsTemperatureCategory(const TConvUnit& unit)
{
    return unit.Category != nullptr && CompareNames(unit.Category->Name, QStringLiteral("Temperature")) == 0;
}

// Each expression is evaluated left to right exactly as the conversion table writes it;
// regrouping (v × (9 / 5), or 491.67 for 459.67 + 32) would change the last digits.
double ConvertTemperature(TemperatureScale from, TemperatureScale to, double v)
{
    using enum TemperatureScale;
    switch (from) {
    case tsCelsius:
        switch (to) {
        case tsCelsius:
            return v;
        case tsFahrenheit:
            return v * 9 / 5 + 32;
        case tsKelvin:
            return v + 273.15;
        case tsRankine:
            return v * 9 / 5 + 32 + 459.67;
        }
        break;
    case tsFahrenheit:
        switch (to) {
        case tsCelsius:
            return (v - 32) * 5 / 9;
        case tsFahrenheit:
            return v;
        case tsKelvin:
            return (v - 32) * 5 / 9 + 273.15;
        case tsRankine:
            return v + 459.67;
        }
        break;
    case tsKelvin:
        switch (to) {
        case tsCelsius:
            return v - 273.15;
        case tsFahrenheit:
            return (v - 273.15) * 9 / 5 + 32;
        case tsKelvin:
            return v;
        case tsRankine:
            return (v - 273.15) * 9 / 5 + 32 + 459.67;
        }
        break;
    case tsRankine:
        switch (to) {
        case tsCelsius:
            return (v - 459.67 - 32) * 5 / 9;
        case tsFahrenheit:
            return v - 459.67;
        case tsKelvin:
            return (v - 459.67 - 32) * 5 / 9 + 273.15;
        case tsRankine:
            return v;
        }
        break;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

bool UsableFactor(double factor)
{
    return std::isfinite(factor) && factor != 0.0;
}

} // namespace

std::optional<TemperatureScale> TemperatureScaleOf(const TConvUnit& unit)
{
    for (size_t i = 0; i < kScaleNames.size(); ++i) {
        if (CompareNames(unit.Name, QString::fromLatin1(kScaleNames[i])) == 0)
            return TemperatureScale(i);
    }
    return std::nullopt;
}

double ConvertValue(const TConvUnit& a, const TConvUnit& b, double value, double ratio)
{
    if (IsTemperatureCategory(a)) {
        const auto from = TemperatureScaleOf(a);
        const auto to = TemperatureScaleOf(b);
        // A unit of the temperature category without a scale has no defined conversion:
        // no number rather than a misleading 0.
        if (!from || !to)
            return std::numeric_limits<double>::quiet_NaN();
        return ConvertTemperature(*from, *to, value);
    }
    return value * ratio;
}

QString Recalculate(const QString& drivingText, const TConvUnit& fromUnit, const TConvUnit& toUnit, bool reverse,
                    const TFormatSettings& format)
{
    const QString notAvailable = QString::fromLatin1(kNotAvailable);
    try {
        const double value = ParseValue(drivingText, format.Separators);
        double result = 0.0;
        if (IsTemperatureCategory(fromUnit)) {
            // The formulas do not use the factors, so a bad factor does not matter here.
            result = reverse ? ConvertValue(toUnit, fromUnit, value, 0.0) : ConvertValue(fromUnit, toUnit, value, 0.0);
        } else {
            // A factor of 0, infinity or NaN (only a damaged data file has one) gives no
            // meaningful ratio in either direction.
            if (!UsableFactor(fromUnit.Factor) || !UsableFactor(toUnit.Factor))
                return notAvailable;
            const double ratio = toUnit.Factor / fromUnit.Factor;
            result = reverse ? ConvertValue(toUnit, fromUnit, value, 1 / ratio)
                             : ConvertValue(fromUnit, toUnit, value, ratio);
        }
        if (!std::isfinite(result))
            return notAvailable;
        return FormatValue(result, format);
    } catch (const std::exception&) {
        return notAvailable;
    }
}
