#include "NumberFormat.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

namespace {

// A value as the notations see it: at most 18 significant decimal digits (no trailing
// zeros) and the exponent E of 0.d1d2...dn x 10^E. No digits means zero.
struct TDigits
{
    std::array<char, 18> Digit{};
    int Count = 0;
    int E = 0;
    bool Negative = false;
};

constexpr int kMaxDigits = 18;

void StripTrailingZeros(TDigits& d)
{
    while (d.Count > 0 && d.Digit[size_t(d.Count - 1)] == '0')
        --d.Count;
    if (d.Count == 0)
        d.E = 0;
}

TDigits Decompose(double value)
{
    TDigits d;
    d.Negative = std::signbit(value);
    if (value == 0)
        return d;
    // Scientific with 17 decimals is the value rounded to 18 significant digits:
    // "d.ddddddddddddddddde+XXX".
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 17);
    d.Digit[0] = buf[0];
    std::memcpy(d.Digit.data() + 1, buf + 2, kMaxDigits - 1);
    d.Count = kMaxDigits;
    const char* exp = buf + 2 + (kMaxDigits - 1) + 1; // behind the 'e'
    const bool negativeExp = *exp == '-';
    ++exp;
    int e = 0;
    std::from_chars(exp, res.ptr, e);
    d.E = (negativeExp ? -e : e) + 1;
    StripTrailingZeros(d);
    return d;
}

// Keeps the first `keep` significant digits, a dropped digit of 5 or more rounding the
// magnitude up. keep of 0 or less may round to 1 x 10^E or to zero.
void RoundAt(TDigits& d, int keep)
{
    if (d.Count == 0 || keep >= d.Count)
        return;
    if (keep < 0) {
        d.Count = 0;
        d.E = 0;
        return;
    }
    const bool up = d.Digit[size_t(keep)] >= '5';
    d.Count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digit[size_t(i)] == '9')
            --i;
        if (i < 0) {
            d.Digit[0] = '1';
            d.Count = 1;
            ++d.E;
        } else {
            ++d.Digit[size_t(i)];
            d.Count = i + 1;
        }
    }
    StripTrailingZeros(d);
}

// Collects the text in a fixed buffer; the longest text (fixed, 18 integer digits with
// group separators and 20 decimals) stays well below its size.
class TOut
{
public:
    void Put(QChar c) { FBuf[FLen++] = c.unicode(); }
    void Put(char c) { FBuf[FLen++] = char16_t(c); }
    void Zeros(int n)
    {
        for (int i = 0; i < n; ++i)
            Put('0');
    }
    void Exponent(int value, int minDigits)
    {
        char buf[16];
        const auto res = std::to_chars(buf, buf + sizeof buf, value);
        Zeros(minDigits - int(res.ptr - buf));
        for (const char* p = buf; p != res.ptr; ++p)
            Put(*p);
    }
    QString Text() const { return QString(reinterpret_cast<const QChar*>(FBuf), FLen); }

private:
    char16_t FBuf[96];
    qsizetype FLen = 0;
};

int SignificantDigits(int precision)
{
    if (precision <= 1)
        return 2;
    if (precision >= 19)
        return 15;
    return precision;
}

// The automatic notation's text of digits already rounded to s significant digits.
void WriteAutomatic(TOut& out, const TDigits& d, int s, QChar decimal, int minExpDigits)
{
    if (d.Count == 0) {
        out.Put('0');
        return;
    }
    if (d.Negative)
        out.Put('-');
    if (d.E > s || d.E < -3) {
        out.Put(d.Digit[0]);
        if (d.Count > 1) {
            out.Put(decimal);
            for (int i = 1; i < d.Count; ++i)
                out.Put(d.Digit[size_t(i)]);
        }
        out.Put('E');
        if (d.E - 1 < 0)
            out.Put('-');
        out.Exponent(std::abs(d.E - 1), minExpDigits);
    } else if (d.E <= 0) {
        out.Put('0');
        out.Put(decimal);
        out.Zeros(-d.E);
        for (int i = 0; i < d.Count; ++i)
            out.Put(d.Digit[size_t(i)]);
    } else {
        for (int i = 0; i < d.E; ++i)
            out.Put(i < d.Count ? d.Digit[size_t(i)] : '0');
        if (d.Count > d.E) {
            out.Put(decimal);
            for (int i = d.E; i < d.Count; ++i)
                out.Put(d.Digit[size_t(i)]);
        }
    }
}

void WriteScientific(TOut& out, const TDigits& d, int s, QChar decimal)
{
    if (d.Count == 0) {
        out.Put('0');
        out.Put(decimal);
        out.Zeros(s - 1);
        out.Put('E');
        out.Put('+');
        out.Zeros(3);
        return;
    }
    if (d.Negative)
        out.Put('-');
    out.Put(d.Digit[0]);
    out.Put(decimal);
    for (int i = 1; i < s; ++i)
        out.Put(i < d.Count ? d.Digit[size_t(i)] : '0');
    out.Put('E');
    out.Put(d.E - 1 < 0 ? '-' : '+');
    out.Exponent(std::abs(d.E - 1), 3);
}

void WriteFixed(TOut& out, const TDigits& d, int decimals, const TSeparators& separators, bool grouped)
{
    if (d.Count == 0) {
        out.Put('0');
        if (decimals > 0) {
            out.Put(separators.Decimal);
            out.Zeros(decimals);
        }
        return;
    }
    if (d.E > kMaxDigits) {
        // Too large for fixed digits: the automatic form with the most digits there are.
        WriteAutomatic(out, d, kMaxDigits, separators.Decimal, decimals >= 1 && decimals <= 4 ? decimals : 1);
        return;
    }
    if (d.Negative)
        out.Put('-');
    if (d.E <= 0) {
        out.Put('0');
    } else {
        const bool group = grouped && separators.Thousands.has_value();
        for (int i = 0; i < d.E; ++i) {
            if (group && i > 0 && (d.E - i) % 3 == 0)
                out.Put(*separators.Thousands);
            out.Put(i < d.Count ? d.Digit[size_t(i)] : '0');
        }
    }
    if (decimals > 0) {
        out.Put(separators.Decimal);
        int written = 0;
        if (d.E < 0) {
            const int zeros = std::min(-d.E, decimals);
            out.Zeros(zeros);
            written = zeros;
        }
        for (int i = std::max(d.E, 0); i < d.Count && written < decimals; ++i, ++written)
            out.Put(d.Digit[size_t(i)]);
        out.Zeros(decimals - written);
    }
}

} // namespace

TSeparators SystemSeparators()
{
    const QLocale locale = QLocale::system();
    TSeparators separators;
    const QString decimal = locale.decimalPoint();
    separators.Decimal = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
    const QString group = locale.groupSeparator();
    if (group.isEmpty() || locale.numberOptions().testFlag(QLocale::OmitGroupSeparator))
        separators.Thousands.reset();
    else
        separators.Thousands = group.front();
    return separators;
}

QString FormatValue(double value, const TFormatSettings& settings)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

    const int precision = std::clamp(settings.Precision, 0, 20);
    TDigits d = Decompose(value);
    TOut out;
    switch (settings.NumberFormat) {
    case quint8(TNumberFormat::nfAutomatic): {
        const int s = SignificantDigits(precision);
        RoundAt(d, s);
        WriteAutomatic(out, d, s, settings.Separators.Decimal, 3);
        break;
    }
    case quint8(TNumberFormat::nfFixed):
    case quint8(TNumberFormat::nfFixedThousands): {
        const int decimals = precision >= 19 ? 2 : precision;
        RoundAt(d, std::min(d.E + decimals, kMaxDigits));
        WriteFixed(out, d, decimals, settings.Separators,
                   settings.NumberFormat == quint8(TNumberFormat::nfFixedThousands));
        break;
    }
    default: {
        const int s = SignificantDigits(precision);
        RoundAt(d, s);
        WriteScientific(out, d, s, settings.Separators.Decimal);
        break;
    }
    }
    return out.Text();
}

namespace {

enum class TParseStatus
{
    Ok,
    Syntax,
    Overflow
};

// Significant digits kept exactly; any digits beyond are summed up in one sticky digit.
// 17 + 767 digits decide the rounding of every double, so this keeps reading exact.
constexpr int kKeptDigits = 800;

// Any text: keeps the significant digits in a bounded buffer and hands std::from_chars a
// normalised "digits e exponent" text.
TParseStatus ParseLong(const QString& text, const TSeparators& separators, double& result)
{
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    const bool hasThousands = separators.Thousands.has_value();
    const char16_t thousands = hasThousands ? separators.Thousands->unicode() : 0;
    const char16_t decimal = separators.Decimal.unicode();

    // The next character with the thousands separators removed, 0 at the end. A typed point
    // counts as the decimal separator in every region.
    auto peek = [&]() -> char16_t {
        while (p != end && hasThousands && p->unicode() == thousands)
            ++p;
        if (p == end)
            return 0;
        const char16_t c = p->unicode();
        return c == u'.' ? decimal : c;
    };
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };

    while (peek() == u' ')
        ++p;
    bool negative = false;
    if (const char16_t c = peek(); c == u'+' || c == u'-') {
        negative = c == u'-';
        ++p;
    }

    char digits[kKeptDigits + 32]; // digits, sticky digit, 'e' and the exponent
    int count = 0;
    bool sticky = false;
    bool anyMantissa = false;
    std::int64_t scale = 0; // value = digits x 10^(scale + exponent)

    auto addDigit = [&](char16_t c, bool fraction) {
        anyMantissa = true;
        if (count == 0 && c == u'0') {
            if (fraction)
                --scale;
            return;
        }
        if (count < kKeptDigits) {
            digits[count++] = char(c);
            if (fraction)
                --scale;
        } else {
            if (!fraction)
                ++scale;
            sticky = sticky || c != u'0';
        }
    };

    for (char16_t c = peek(); isDigit(c); c = peek()) {
        addDigit(c, false);
        ++p;
    }
    if (peek() == decimal && decimal != 0) {
        anyMantissa = true;
        ++p;
        for (char16_t c = peek(); isDigit(c); c = peek()) {
            addDigit(c, true);
            ++p;
        }
    }
    if (!anyMantissa)
        return TParseStatus::Syntax;

    std::int64_t exponent = 0;
    if (const char16_t c = peek(); c == u'e' || c == u'E') {
        ++p;
        bool negativeExp = false;
        if (const char16_t s = peek(); s == u'+' || s == u'-') {
            negativeExp = s == u'-';
            ++p;
        }
        for (char16_t e = peek(); isDigit(e); e = peek()) {
            // Far beyond any double, so saturating changes no result.
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (e - u'0');
            ++p;
        }
        if (negativeExp)
            exponent = -exponent;
    }
    while (peek() == u' ')
        ++p;
    peek(); // steps over trailing thousands separators
    if (p != end)
        return TParseStatus::Syntax;

    if (count == 0) {
        result = negative ? -0.0 : 0.0;
        return TParseStatus::Ok;
    }
    if (sticky) {
        digits[count++] = '1';
        --scale;
    }
    while (digits[count - 1] == '0') {
        --count;
        ++scale;
    }
    scale += exponent;
    const std::int64_t leading = scale + count - 1; // exponent of the leading digit
    if (leading > 308)
        return TParseStatus::Overflow;
    if (leading < -400) {
        result = negative ? -0.0 : 0.0;
        return TParseStatus::Ok;
    }
    digits[count] = 'e';
    const auto tail = std::to_chars(digits + count + 1, digits + sizeof digits, scale);
    double value = 0;
    const auto res = std::from_chars(digits, tail.ptr, value);
    if (res.ec == std::errc::result_out_of_range) {
        if (leading > 0)
            return TParseStatus::Overflow;
        value = 0; // below half the smallest denormal
    } else if (res.ec != std::errc() || res.ptr != tail.ptr) {
        return TParseStatus::Syntax;
    }
    result = negative ? -value : value;
    return TParseStatus::Ok;
}

// Copies UTF-16 text into bytes; false when a character lies outside ASCII. Four
// characters at a time where the byte order allows.
bool NarrowAscii(const char16_t* source, qsizetype size, char* out)
{
    qsizetype i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 4 <= size; i += 4) {
            std::uint64_t x;
            std::memcpy(&x, source + i, sizeof x);
            if (x & 0xFF80FF80FF80FF80u)
                return false;
            x = (x | (x >> 8)) & 0x0000FFFF0000FFFFu;
            const auto packed = std::uint32_t(x | (x >> 16));
            std::memcpy(out + i, &packed, sizeof packed);
        }
    }
    char16_t all = 0;
    for (; i < size; ++i) {
        all |= source[i];
        out[i] = char(source[i]);
    }
    return all < 0x80;
}

// Texts of this length or shorter take the direct way.
constexpr qsizetype kShortText = 200;

// The common short text: the separators are mapped to plain ASCII, the grammar is checked,
// and std::from_chars reads the number straight from the mapped text.
TParseStatus ParseShort(const QString& text, const TSeparators& separators, double& result)
{
    char buf[kShortText];
    qsizetype n = 0;
    const bool hasThousands = separators.Thousands.has_value();
    const char16_t thousands = hasThousands ? separators.Thousands->unicode() : 0;
    const char16_t decimal = separators.Decimal.unicode();
    const char16_t* const source = reinterpret_cast<const char16_t*>(text.constData());

    // Usually text and separators are plain ASCII: narrow first, then remove and map the
    // few separators. Branches per character are what a parse of a short text costs most.
    if ((decimal | thousands) < 0x80 && NarrowAscii(source, text.size(), buf)) {
        n = text.size();
        if (hasThousands) {
            char* w = static_cast<char*>(std::memchr(buf, char(thousands), size_t(n)));
            if (w) {
                for (const char* r = w; r != buf + n; ++r) {
                    if (*r != char(thousands))
                        *w++ = *r;
                }
                n = w - buf;
            }
        }
        if (decimal != u'.') {
            for (char* r = buf; (r = static_cast<char*>(std::memchr(r, char(decimal), size_t(buf + n - r))));)
                *r = '.';
        }
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = source[i];
            if (hasThousands && c == thousands)
                continue;
            if (c == u'.' || c == decimal)
                buf[n++] = '.';
            else if (c < 0x80)
                buf[n++] = char(c);
            else
                return TParseStatus::Syntax; // nothing else outside ASCII is in the grammar
        }
    }
    const char* p = buf;
    const char* const end = buf + n;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };

    while (p != end && *p == ' ')
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // std::from_chars reads digits, point and exponent exactly as the grammar has them; only
    // the words it also knows (inf, nan) and a second sign must not reach it.
    if (p == end || !(isDigit(*p) || *p == '.'))
        return TParseStatus::Syntax;
    double value = 0;
    auto res = std::from_chars(p, end, value);
    bool lonePoint = false;
    if (res.ec == std::errc::invalid_argument) {
        // The grammar's number without digits: a lone point, zero.
        if (*p != '.' || (p + 1 != end && isDigit(p[1])))
            return TParseStatus::Syntax;
        value = 0;
        res.ptr = p + 1;
        lonePoint = true;
    } else if (res.ec == std::errc::result_out_of_range) {
        // Overflow or underflow; the long way tells which.
        return ParseLong(text, separators, result);
    }
    // What from_chars leaves: an exponent marker without digits (exponent 0), or after a
    // lone point the whole exponent, which scales zero; then blanks.
    p = res.ptr;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != end && (*p == '+' || *p == '-'))
            ++p;
        while (lonePoint && p != end && isDigit(*p))
            ++p;
    }
    while (p != end && *p == ' ')
        ++p;
    if (p != end)
        return TParseStatus::Syntax;
    result = negative ? -value : value;
    return TParseStatus::Ok;
}

TParseStatus Parse(const QString& text, const TSeparators& separators, double& result)
{
    return text.size() <= kShortText ? ParseShort(text, separators, result) : ParseLong(text, separators, result);
}

} // namespace

double ParseValue(const QString& text, const TSeparators& separators)
{
    double value = 0;
    switch (Parse(text, separators, value)) {
    case TParseStatus::Ok:
        return value;
    case TParseStatus::Overflow:
        throw EParseError(QStringLiteral("'%1' is out of range.").arg(text).toStdString());
    case TParseStatus::Syntax:
        break;
    }
    throw EParseError(QStringLiteral("'%1' is not a valid floating point value.").arg(text).toStdString());
}

std::optional<double> TryParseValue(const QString& text, const TSeparators& separators)
{
    double value = 0;
    if (Parse(text, separators, value) != TParseStatus::Ok)
        return std::nullopt;
    return value;
}
