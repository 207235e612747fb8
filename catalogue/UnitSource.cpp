#include "UnitSource.h"

#include "Win1252.h"
#include "legacycatunits.h"

#include <QBuffer>
#include <QStringDecoder>

#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <system_error>

EUnitSourceError::EUnitSourceError(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message)
{}

namespace {

QString Located(const QString& fileName, int line, const QString& message)
{
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(message);
}

// Length of the number literal at pos (digits, point, exponent), 0 if none.
qsizetype LiteralLength(const QString& text, qsizetype pos)
{
    qsizetype i = pos;
    qsizetype digits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 0x80) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        qsizetype expDigits = 0;
        while (j < text.size() && text[j].isDigit() && text[j].unicode() < 0x80) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            i = j;
    }
    return i - pos;
}

// Recursive descent over one expression. Numbers are read twice: into long double for the
// arithmetic, and into double so that an expression that is a lone number (what a dump
// writes) gives exactly the double it was written from, without a second rounding.
class TExpressionParser
{
public:
    TExpressionParser(const QString& text, const QHash<QString, long double>& names) : FText(text), FNames(names) {}

    double Evaluate()
    {
        if (const auto lone = LoneNumber())
            return *lone;
        return static_cast<double>(EvaluateExtended());
    }

    long double EvaluateExtended()
    {
        SkipBlanks();
        if (AtEnd())
            throw EUnitSourceError(QStringLiteral("empty expression"));
        const long double value = Sum();
        SkipBlanks();
        if (!AtEnd())
            throw EUnitSourceError(QStringLiteral("unexpected '%1' in expression '%2'").arg(FText.mid(FPos), FText));
        return value;
    }

private:
    bool AtEnd() const { return FPos >= FText.size(); }
    QChar Peek() const { return AtEnd() ? QChar() : FText[FPos]; }

    void SkipBlanks()
    {
        while (!AtEnd() && (FText[FPos] == QLatin1Char(' ') || FText[FPos] == QLatin1Char('\t')))
            ++FPos;
    }

    bool Accept(char c)
    {
        SkipBlanks();
        if (Peek() == QLatin1Char(c)) {
            ++FPos;
            return true;
        }
        return false;
    }

    template <typename T> T ReadLiteral(const std::string& literal) const
    {
        T value{};
        const char* first = literal.data();
        const char* last = first + literal.size();
        const auto [ptr, ec] = std::from_chars(first, last, value);
        if (ec == std::errc::result_out_of_range)
            throw EUnitSourceError(QStringLiteral("number %1 is out of range").arg(QString::fromStdString(literal)));
        if (ec != std::errc() || ptr != last)
            throw EUnitSourceError(QStringLiteral("malformed number %1").arg(QString::fromStdString(literal)));
        return value;
    }

    // The whole expression as one optionally signed number, read straight into a double.
    std::optional<double> LoneNumber() const
    {
        QString text = FText.trimmed();
        bool negative = false;
        if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
            negative = text.startsWith(QLatin1Char('-'));
            text = text.mid(1);
        }
        // The dump writes these for factors that a build then refuses with a clear message.
        if (text == QLatin1String("inf"))
            return negative ? -HUGE_VAL : HUGE_VAL;
        if (text == QLatin1String("nan"))
            return std::nan("");
        if (text.isEmpty() || LiteralLength(text, 0) != text.size())
            return std::nullopt;
        const double value = ReadLiteral<double>(text.toStdString());
        return negative ? -value : value;
    }

    long double Sum()
    {
        long double value = Product();
        for (;;) {
            if (Accept('+'))
                value += Product();
            else if (Accept('-'))
                value -= Product();
            else
                return value;
        }
    }

    long double Product()
    {
        long double value = Unary();
        for (;;) {
            if (Accept('*')) {
                value *= Unary();
            } else if (Accept('/')) {
                const long double divisor = Unary();
                if (divisor == 0)
                    throw EUnitSourceError(QStringLiteral("division by zero in '%1'").arg(FText));
                value /= divisor;
            } else {
                return value;
            }
        }
    }

    // A sign binds more loosely than ^, as in writing: -2^2 is -4.
    long double Unary()
    {
        if (Accept('-'))
            return -Unary();
        if (Accept('+'))
            return Unary();
        return Power();
    }

    long double Power()
    {
        const long double base = Primary();
        if (!Accept('^'))
            return base;
        const long double exponent = Unary(); // right-associative: 2^3^2 is 2^9
        return Raise(base, exponent);
    }

    static long double Raise(long double base, long double exponent)
    {
        // Whole exponents multiply out, so that 0.3048^3 stays as close as a product can.
        if (exponent == std::floor(exponent) && std::fabs(exponent) <= 64) {
            long double result = 1;
            const int n = static_cast<int>(std::fabs(exponent));
            for (int i = 0; i < n; ++i)
                result *= base;
            return exponent < 0 ? 1 / result : result;
        }
        return std::pow(base, exponent);
    }

    long double Primary()
    {
        SkipBlanks();
        if (Accept('(')) {
            const long double value = Sum();
            if (!Accept(')'))
                throw EUnitSourceError(QStringLiteral("missing ')' in '%1'").arg(FText));
            return value;
        }
        if (const qsizetype length = LiteralLength(FText, FPos); length > 0) {
            const std::string literal = FText.mid(FPos, length).toStdString();
            FPos += length;
            return ReadLiteral<long double>(literal);
        }
        if (Peek().isLetter() || Peek() == QLatin1Char('_')) {
            const qsizetype start = FPos;
            while (!AtEnd() && (FText[FPos].isLetterOrNumber() || FText[FPos] == QLatin1Char('_')))
                ++FPos;
            const QString name = FText.mid(start, FPos - start);
            if (const auto it = FNames.constFind(name); it != FNames.constEnd())
                return *it;
            if (name == QLatin1String("pi"))
                return std::numbers::pi_v<long double>;
            throw EUnitSourceError(QStringLiteral("unknown name '%1' in '%2'").arg(name, FText));
        }
        if (AtEnd())
            throw EUnitSourceError(QStringLiteral("expression '%1' ends too early").arg(FText));
        throw EUnitSourceError(QStringLiteral("unexpected '%1' in expression '%2'").arg(FText.mid(FPos), FText));
    }

    QString FText;
    const QHash<QString, long double>& FNames;
    qsizetype FPos = 0;
};

bool IsIdentifier(const QString& name)
{
    if (name.isEmpty() || !(name[0].isLetter() || name[0] == QLatin1Char('_')))
        return false;
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')))
            return false;
    }
    return true;
}

// Only the blank character is trimmed: a tab separates fields, and other white space
// (a no-break space, for one) may belong to a name.
QString TrimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QStringList SplitFields(const QString& line)
{
    QStringList fields;
    for (const QString& raw : line.split(QLatin1Char('\t'))) {
        const QString field = TrimBlanks(raw);
        if (!field.isEmpty())
            fields << field;
    }
    return fields;
}

// The fields after the factor: flags, the GNU units name and a trailing comment.
void ReadAnnotations(const QStringList& fields, qsizetype first, TSourceUnit& unit)
{
    for (qsizetype i = first; i < fields.size(); ++i) {
        const QString& field = fields[i];
        if (field.startsWith(QLatin1Char('#'))) {
            QStringList rest = fields.mid(i);
            rest[0] = TrimBlanks(rest[0].mid(1));
            unit.Comment = rest.join(QLatin1Char(' '));
            return;
        }
        if (field == QLatin1String("exact")) {
            unit.Exact = true;
        } else if (field.startsWith(QLatin1String("gnu:"))) {
            const QString value = TrimBlanks(field.mid(4));
            if (value.startsWith(QLatin1Char('-'))) {
                unit.NoCounterpart = TrimBlanks(value.mid(1));
                if (unit.NoCounterpart.isEmpty())
                    throw EUnitSourceError(QStringLiteral("'gnu: -' needs the reason why there is no counterpart"));
            } else if (value.isEmpty()) {
                throw EUnitSourceError(QStringLiteral("'gnu:' needs a GNU units expression or '- (reason)'"));
            } else {
                unit.Gnu = value;
            }
        } else {
            throw EUnitSourceError(QStringLiteral("unknown field '%1' (expected exact, gnu: or # comment)").arg(field));
        }
    }
}

void ReadDefine(const QStringList& fields, QHash<QString, long double>& names)
{
    const QString& head = fields[0];
    const qsizetype equals = head.indexOf(QLatin1Char('='));
    if (!head.startsWith(QLatin1String("@define ")) || equals < 0)
        throw EUnitSourceError(QStringLiteral("expected '@define NAME = EXPRESSION'"));
    const QString name = TrimBlanks(head.mid(8, equals - 8));
    if (!IsIdentifier(name))
        throw EUnitSourceError(QStringLiteral("'%1' is not a valid name").arg(name));
    if (names.contains(name) || name == QLatin1String("pi"))
        throw EUnitSourceError(QStringLiteral("'%1' is already defined").arg(name));
    TSourceUnit annotations;
    ReadAnnotations(fields, 1, annotations);
    if (!annotations.Gnu.isEmpty() || !annotations.NoCounterpart.isEmpty())
        throw EUnitSourceError(QStringLiteral("'gnu:' belongs to a unit, not to a definition"));
    // Named numbers keep the extended precision, so a chain of definitions rounds once.
    TExpressionParser parser(head.mid(equals + 1), names);
    names.insert(name, parser.EvaluateExtended());
}

QString HexEscape(char16_t c)
{
    return QStringLiteral("\\x") + QStringLiteral("%1").arg(int(c), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

double EvaluateExpression(const QString& expression, const QHash<QString, long double>& names)
{
    TExpressionParser parser(expression, names);
    return parser.Evaluate();
}

TUnitSource ParseUnitSource(const QByteArray& text, const QString& fileName)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(text);
    if (decoder.hasError())
        throw EUnitSourceError(QStringLiteral("%1: the text is not valid UTF-8").arg(fileName));
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1);

    TUnitSource source;
    QHash<QString, long double> names;
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int lineNumber = int(index + 1);
        QString line = lines[index];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringList fields = SplitFields(line);
        if (fields.isEmpty() || fields[0].startsWith(QLatin1Char('#')))
            continue;
        try {
            if (fields[0].startsWith(QLatin1Char('@'))) {
                ReadDefine(fields, names);
                continue;
            }
            if (fields.size() < 3)
                throw EUnitSourceError(
                    QStringLiteral("expected CATEGORY, UNIT and FACTOR separated by tabs, found %1 field(s)")
                        .arg(fields.size()));
            TSourceUnit unit;
            unit.Line = lineNumber;
            unit.Category = UnescapeName(fields[0]);
            unit.Name = UnescapeName(fields[1]);
            unit.Expression = fields[2];
            for (const QString* name : {&unit.Category, &unit.Name}) {
                if (!Win1252::CanEncode(*name))
                    throw EUnitSourceError(
                        QStringLiteral("'%1' has characters that Windows-1252 cannot hold").arg(*name));
            }
            ReadAnnotations(fields, 3, unit);
            TExpressionParser parser(unit.Expression, names);
            unit.Factor = parser.Evaluate();
            source.Units << unit;
        } catch (const EUnitSourceError& e) {
            throw EUnitSourceError(Located(fileName, lineNumber, e.Message()));
        }
    }
    return source;
}

void BuildCatalogue(const TUnitSource& source, const QString& fileName, TConvCategories& catalogue, bool custom)
{
    for (const TSourceUnit& unit : source.Units) {
        const auto fail = [&](const QString& message) {
            throw EUnitSourceError(Located(fileName, unit.Line, message));
        };
        if (unit.Category.isEmpty())
            fail(QStringLiteral("the category name is empty"));
        if (unit.Name.isEmpty())
            fail(QStringLiteral("the unit name is empty"));
        if (!std::isfinite(unit.Factor))
            fail(QStringLiteral("the factor of '%1' is not a finite number").arg(unit.Name));
        if (unit.Factor == 0)
            fail(QStringLiteral("the factor of '%1' is zero").arg(unit.Name));
        try {
            TConvCategory* category = catalogue.FindCategory(unit.Category);
            if (category == nullptr) {
                category = catalogue.AddCategory(unit.Category);
            } else if (category->Name != unit.Category) {
                // One category written in two ways would silently take the first spelling.
                fail(QStringLiteral("category '%1' is spelt '%2' elsewhere").arg(unit.Category, category->Name));
            }
            category->AddUnit(unit.Name, custom, unit.Factor);
        } catch (const EConvError& e) {
            fail(e.Message());
        }
    }
}

QByteArray DumpCatalogue(const TConvCategories& catalogue)
{
    QString text = QStringLiteral("# Category\tUnit\tFactor (number of the unit in one base unit)\n");
    for (int c = 0; c < catalogue.Count(); ++c) {
        const TConvCategory* category = catalogue.Categories(c);
        const QString categoryField = EscapeName(category->Name);
        for (int u = 0; u < category->UnitCount(); ++u) {
            const TConvUnit* unit = category->Units(u);
            text += categoryField + QLatin1Char('\t') + EscapeName(unit->Name) + QLatin1Char('\t') +
                    FormatFactor(unit->Factor) + QLatin1Char('\n');
        }
    }
    return text.toUtf8();
}

QByteArray CatalogueFileBytes(const TConvCategories& catalogue, TUnitFilter filter)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    buffer.write("11", 2);
    catalogue.SaveToStream(buffer, filter);
    return bytes;
}

void ReadCatalogueFileBytes(const QByteArray& bytes, TConvCategories& catalogue, bool custom,
                            const QByteArray& legacyUnits)
{
    QByteArray current = bytes;
    if (bytes.startsWith("10")) {
        // Converted in memory only: looking at a file must never rewrite it.
        TConvCategories cats;
        TCatIDs catIDs;
        if (custom) {
            QByteArray unitsCopy = legacyUnits;
            QBuffer unitsIn(&unitsCopy);
            unitsIn.open(QIODevice::ReadOnly);
            QByteArray scratch;
            QBuffer scratchOut(&scratch);
            scratchOut.open(QIODevice::WriteOnly);
            if (!ConvertLegacyStream(unitsIn, scratchOut, &cats, &catIDs, false))
                throw EConvError(QString::fromLatin1(kInvalidDataFile));
        }
        QByteArray input = bytes;
        QBuffer in(&input);
        in.open(QIODevice::ReadOnly);
        current.clear();
        QBuffer out(&current);
        out.open(QIODevice::WriteOnly);
        if (!ConvertLegacyStream(in, out, &cats, &catIDs, custom))
            throw EConvError(QString::fromLatin1(kInvalidDataFile));
    }
    if (!current.startsWith("11"))
        throw EConvError(QString::fromLatin1(kInvalidDataFile));
    QBuffer stream(&current);
    stream.open(QIODevice::ReadOnly);
    stream.seek(2);
    catalogue.LoadFromStream(stream, custom);
}

QString EscapeName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool edge = i == 0 || i == name.size() - 1;
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c == u' ' && edge))
            out += HexEscape(c);
        else if (i == 0 && (c == u'#' || c == u'@'))
            out += QLatin1Char('\\') + QChar(c);
        else
            out += QChar(c);
    }
    return out;
}

QString UnescapeName(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (i + 1 >= field.size())
            throw EUnitSourceError(QStringLiteral("'%1' ends with a lone backslash").arg(field));
        const QChar next = field[++i];
        switch (next.unicode()) {
        case u'\\':
            out += QLatin1Char('\\');
            break;
        case u't':
            out += QLatin1Char('\t');
            break;
        case u'n':
            out += QLatin1Char('\n');
            break;
        case u'r':
            out += QLatin1Char('\r');
            break;
        case u'#':
        case u'@':
            out += next;
            break;
        case u'x': {
            const QString digits = field.mid(i + 1, 2);
            const auto isHex = [](QChar d) { return d.unicode() < 0x80 && std::isxdigit(d.unicode()); };
            if (digits.size() != 2 || !isHex(digits[0]) || !isHex(digits[1]))
                throw EUnitSourceError(QStringLiteral("'\\x' in '%1' needs two hexadecimal digits").arg(field));
            out += QChar(char16_t(digits.toUInt(nullptr, 16)));
            i += 2;
            break;
        }
        default:
            throw EUnitSourceError(QStringLiteral("unknown escape '\\%1' in '%2'").arg(next).arg(field));
        }
    }
    return out;
}

QString FormatFactor(double factor)
{
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, factor);
    return QString::fromLatin1(buffer, ec == std::errc() ? ptr - buffer : 0);
}
