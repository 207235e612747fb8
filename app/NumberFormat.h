#pragma once

#include <QChar>
#include <QString>

#include <optional>
#include <stdexcept>

// Notations of the number format; any value above 3 formats like nfScientific.
enum class TNumberFormat : quint8
{
    nfAutomatic = 0,
    nfFixed = 1,
    nfFixedThousands = 2,
    nfScientific = 3
};

struct TSeparators
{
    QChar Decimal = QLatin1Char('.');
    std::optional<QChar> Thousands = QLatin1Char(',');
};

struct TFormatSettings
{
    quint8 NumberFormat = 0; // a TNumberFormat value; kept as the stored byte
    int Precision = 15;      // 0..20; values outside are clamped
    TSeparators Separators;
};

// The separators of the user's regional settings (QLocale::system()).
TSeparators SystemSeparators();

// Exact text of a finite value in the given notation, precision and separators.
// Infinities and NaN, which no conversion should hand over, come out as "INF", "-INF"
// and "NAN" rather than as digits.
QString FormatValue(double value, const TFormatSettings& settings);

class EParseError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads typed text; throws EParseError for text outside the grammar or beyond the largest
// double. Values too small for a double (below half the smallest denormal) read as zero.
double ParseValue(const QString& text, const TSeparators& separators);
// The same without an exception.
std::optional<double> TryParseValue(const QString& text, const TSeparators& separators);
