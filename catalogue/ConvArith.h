#pragma once

#include "CatUnits.h"
#include "NumberFormat.h"

#include <QString>

#include <optional>

enum class TemperatureScale : quint8
{
    tsCelsius = 0,
    tsFahrenheit = 1,
    tsKelvin = 2,
    tsRankine = 3
};

inline constexpr const char* kNotAvailable = "N/A";

// The scale of a unit of the temperature category by its name; none for other names.
std::optional<::TemperatureScale> TemperatureScaleOf(const TConvUnit& unit);

// Value in unit a converted to unit b; ratio is b's factor over a's, used for linear
// categories. The temperature category (by name, ignoring case) converts by formula,
// evaluated left to right as the table writes it, and ignores ratio; a unit of that
// category whose name is none of the four scales gives NaN (there is no conversion).
double ConvertValue(const TConvUnit& a, const TConvUnit& b, double value, double ratio);

// The converter's calculation: the text of the driven box for the text of the driving box.
// reverse false: driving is the input box (from -> to); true: driving is the output box.
// Returns kNotAvailable when the text does not parse, when a factor of a linear category
// is 0, infinite or NaN (only a damaged data file holds one), or when the result is not a
// finite number.
QString Recalculate(const QString& drivingText, const TConvUnit& fromUnit, const TConvUnit& toUnit, bool reverse,
                    const TFormatSettings& format);
