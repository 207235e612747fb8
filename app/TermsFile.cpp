#include "TermsFile.h"

#include "Win1252.h"

#include <QHash>
#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace {

constexpr char16_t kSeparator = 0x01;

// Accepts an optional sign followed by at least one ASCII digit. A minus sign is only
// accepted on a zero, which is not negative; every other negative number is refused. The
// field is still in the code page, where signs and digits are the bytes of their ASCII
// codes and no other byte decodes to a sign or a digit.
bool ParseTermNumber(QByteArrayView field, quint64& number)
{
    qsizetype i = 0;
    bool negative = false;
    if (!field.isEmpty() && (field[0] == '+' || field[0] == '-')) {
        negative = field[0] == '-';
        ++i;
    }
    if (i == field.size())
        return false;
    quint64 value = 0;
    constexpr quint64 kMax = std::numeric_limits<quint64>::max();
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return false;
        const quint64 digit = quint64(c - '0');
        if (value > (kMax - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    if (negative && value != 0)
        return false;
    number = value;
    return true;
}

QString Quoted(const QString& field)
{
    constexpr qsizetype kShown = 40;
    QString shown = field.left(kShown);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'?';
    }
    return u'"' + shown + (field.size() > kShown ? QStringLiteral("...\"") : QStringLiteral("\""));
}

[[noreturn]] void ThrowBadNumber(const QString& field, qint64 group, qint64 offset)
{
    const QString message = QStringLiteral("Malformed glossary file: the number field of term %1 (at offset %2) "
                                           "reads %3, which is not a non-negative whole number.")
                                .arg(group)
                                .arg(offset)
                                .arg(Quoted(field));
    throw ETermsFormatError(message.toStdString());
}

} // namespace

void TTermTable::StoreTerm(quint64 number, const QString& name, const QString& definition)
{
    // Files are usually written in ascending order, so a new largest number goes straight
    // to the end of the map instead of being searched for.
    auto it = FTerms.end();
    if (FTerms.empty() || FTerms.rbegin()->first < number)
        it = FTerms.emplace_hint(it, number, TTerm());
    else
        it = FTerms.try_emplace(number).first;
    it->second.Name = name;
    it->second.Definition = definition;
}

TTerm TTermTable::Term(quint64 number) const
{
    const auto it = FTerms.find(number);
    return it == FTerms.end() ? TTerm() : it->second;
}

quint64 TTermTable::Size() const
{
    if (FTerms.empty())
        return 0;
    const quint64 largest = FTerms.rbegin()->first;
    return largest == std::numeric_limits<quint64>::max() ? largest : largest + 1;
}

void ReadTerms(QIODevice& stream, TTermTable& table)
{
    table.Clear();
    if (!stream.isReadable())
        throw ETermsFormatError(kUnableToReadTerms);

    enum class TState
    {
        Number,
        Term,
        Definition
    };
    TState state = TState::Number;
    qint64 group = 0;
    // The group being read. It is stored when its definition is complete, or at the end when
    // the file cuts it short; the table is only handed out after the whole file is read, so
    // storing once per group leaves it as storing each field in turn would.
    quint64 number = 0;
    QString name;

    // The file's bytes not yet cut into fields start at head; from searched on they have not
    // yet been looked at for a separator. The code page has one byte per character, so a
    // separator byte is a separator character, and the bytes are decoded one field at a
    // time. consumed counts the bytes dropped from the front of the buffer.
    // The buffer holds size bytes; it grows by doubling when a piece does not fit, which only
    // a field longer than a few pieces makes happen.
    qsizetype capacity = 4 * kTermsPieceSize;
    auto buffer = std::make_unique_for_overwrite<char[]>(std::size_t(capacity));
    qsizetype size = 0;
    qsizetype head = 0;
    qsizetype searched = 0;
    qint64 consumed = 0;
    bool atEnd = false;

    TTermTable loaded;
    for (;;) {
        const char* const data = buffer.get();
        const auto* found =
            searched < size
                ? static_cast<const char*>(std::memchr(data + searched, kSeparator, std::size_t(size - searched)))
                : nullptr;
        if (!found) {
            if (atEnd)
                break; // what follows the last separator is ignored
            size -= head;
            std::memmove(buffer.get(), buffer.get() + head, std::size_t(size));
            consumed += head;
            head = 0;
            searched = size;
            if (size > kMaxTermsFieldLength)
                throw ETermsFormatError(
                    QStringLiteral("Malformed glossary file: the field at offset %1 is longer than %2 bytes.")
                        .arg(consumed)
                        .arg(kMaxTermsFieldLength)
                        .toStdString());
            // A short read does not end a pipe or socket; only a read that yields nothing does.
            if (size + kTermsPieceSize > capacity) {
                capacity = std::max(2 * capacity, size + kTermsPieceSize);
                auto grown = std::make_unique_for_overwrite<char[]>(std::size_t(capacity));
                std::memcpy(grown.get(), buffer.get(), std::size_t(size));
                buffer = std::move(grown);
            }
            const qint64 count = stream.read(buffer.get() + size, kTermsPieceSize);
            if (count < 0)
                throw ETermsFormatError(kUnableToReadTerms);
            size += count;
            atEnd = count == 0;
            continue;
        }
        const qsizetype end = found - data;
        const QByteArrayView field(data + head, end - head);
        switch (state) {
        case TState::Number:
            ++group;
            if (!ParseTermNumber(field, number))
                ThrowBadNumber(Win1252::Decode(field), group, consumed + head);
            state = TState::Term;
            break;
        case TState::Term:
            name = Win1252::Decode(field);
            state = TState::Definition;
            break;
        case TState::Definition:
            loaded.StoreTerm(number, name, Win1252::Decode(field));
            state = TState::Number;
            break;
        }
        head = end + 1;
        searched = head;
    }
    // A group cut short keeps its complete fields.
    if (state == TState::Term)
        loaded.StoreTerm(number, QString(), QString());
    else if (state == TState::Definition)
        loaded.StoreTerm(number, name, QString());
    table = std::move(loaded);
}

void WriteTerms(QIODevice& stream, const TTermTable& table)
{
    const auto encode = [](quint64 number, const QString& text) {
        if (text.contains(QChar(kSeparator)) || !Win1252::CanEncode(text))
            throw ETermsFormatError(QStringLiteral("Term %1 holds a character that cannot be written to the "
                                                   "glossary file: %2")
                                        .arg(number)
                                        .arg(Quoted(text))
                                        .toStdString());
        return Win1252::Encode(text);
    };
    QByteArray bytes;
    for (const auto& [number, term] : table.Entries()) {
        bytes += QByteArray::number(number);
        bytes += char(kSeparator);
        bytes += encode(number, term.Name);
        bytes += char(kSeparator);
        bytes += encode(number, term.Definition);
        bytes += char(kSeparator);
    }
    if (stream.write(bytes) != bytes.size())
        throw ETermsFormatError(
            QStringLiteral("Unable to write the glossary: %1").arg(stream.errorString()).toStdString());
}

namespace {

[[noreturn]] void ThrowSource(const QString& sourceName, qsizetype line, const QString& message)
{
    throw ETermsSourceError(QStringLiteral("%1:%2: %3").arg(sourceName).arg(line).arg(message).toStdString());
}

bool IsTrimmed(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

QString TrimmedLine(const QString& line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && IsTrimmed(line[begin]))
        ++begin;
    while (end > begin && IsTrimmed(line[end - 1]))
        --end;
    return line.mid(begin, end - begin);
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Replaces the escapes of one trimmed source line and checks that the result can be stored.
// endsWithBreak tells whether the line ended with the line break escape.
QString Unescape(const QString& text, const QString& sourceName, qsizetype line, bool& endsWithBreak)
{
    QString out;
    out.reserve(text.size());
    endsWithBreak = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        endsWithBreak = false;
        if (c != u'\\') {
            if (c.unicode() == kSeparator)
                ThrowSource(sourceName, line,
                            QStringLiteral("the character U+0001 separates fields of the glossary "
                                           "file and cannot be part of a text"));
            if (!Win1252::CanEncode(QString(c)))
                ThrowSource(sourceName, line,
                            QStringLiteral("the character %1 (U+%2) does not fit the Windows-1252 code page")
                                .arg(c)
                                .arg(c.unicode(), 4, 16, QLatin1Char('0'))
                                .toUpper());
            out += c;
            continue;
        }
        if (++i == text.size())
            ThrowSource(sourceName, line, QStringLiteral("a backslash ends the line; write \\\\ for a backslash"));
        const QChar e = text[i];
        if (e == u'n') {
            out += QStringLiteral("\r\n");
            endsWithBreak = true;
        } else if (e == u'\\' || e == u'@' || e == u'#') {
            out += e;
        } else if (e == u'x') {
            const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                ThrowSource(sourceName, line, QStringLiteral("\\x must be followed by two hexadecimal digits"));
            const char byte = char(high * 16 + low);
            if (byte == char(kSeparator))
                ThrowSource(sourceName, line,
                            QStringLiteral("\\x01 separates fields of the glossary file and cannot "
                                           "be part of a text"));
            out += Win1252::Decode(QByteArrayView(&byte, 1));
            i += 2;
        } else {
            ThrowSource(sourceName, line, QStringLiteral("unknown escape \\%1").arg(e));
        }
    }
    return out;
}

// The five bytes the code page leaves unassigned decode to the C1 controls of the same value.
bool IsUnassignedByte(char16_t c)
{
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// Escapes one line's worth of text so that parsing gives it back: trimmed spaces at either
// end, control characters and the invisible no-break space and soft hyphen, backslashes and a leading '@' or '#' that
// would start a term or a comment.
QString Escape(const QString& text, bool atLineStart)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool edge = i == 0 || i == text.size() - 1;
        if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else if (c < 0x20 || c == 0x7F || IsUnassignedByte(c) || c == 0xA0 || c == 0xAD || (c == u' ' && edge)) {
            out += QStringLiteral("\\x") + QStringLiteral("%1").arg(int(c), 2, 16, QLatin1Char('0')).toUpper();
        } else if ((c == u'@' || c == u'#') && i == 0 && atLineStart) {
            out += u'\\';
            out += QChar(c);
        } else {
            out += QChar(c);
        }
    }
    return out;
}

struct TSourceTerm
{
    qsizetype Line = 0;
    quint64 Number = 0;
    QString Name;
    QString Definition;
    bool LastEndedWithBreak = false;
};

} // namespace

TTermTable ParseTermsSource(const QByteArray& utf8, const QString& sourceName)
{
    TTermTable table;
    QHash<quint64, qsizetype> numberLines;
    QHash<QString, qsizetype> nameLines;
    std::optional<TSourceTerm> current;

    const auto finish = [&]() {
        if (!current)
            return;
        const TSourceTerm& term = *current;
        if (term.Definition.isEmpty())
            ThrowSource(sourceName, term.Line, QStringLiteral("term %1 has no definition").arg(term.Number));
        table.StoreTerm(term.Number, term.Name, term.Definition);
        current.reset();
    };

    const QList<QByteArray> lines = utf8.split('\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const qsizetype lineNumber = index + 1;
        QByteArrayView bytes = lines[index];
        if (index == 0 && bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString raw = decoder(bytes);
        if (decoder.hasError())
            ThrowSource(sourceName, lineNumber, QStringLiteral("the line is not valid UTF-8"));
        if (raw.startsWith(u'#'))
            continue;
        if (raw.startsWith(u'@')) {
            finish();
            qsizetype i = 1;
            while (i < raw.size() && raw[i] >= u'0' && raw[i] <= u'9')
                ++i;
            const QString digits = raw.mid(1, i - 1);
            if (digits.isEmpty() || (i < raw.size() && raw[i] != u' ' && raw[i] != u'\t'))
                ThrowSource(sourceName, lineNumber,
                            QStringLiteral("a term starts with '@', its number and a space, not \"%1\"").arg(raw));
            bool ok = false;
            const quint64 number = digits.size() <= 10 ? digits.toULongLong(&ok) : 0;
            if (!ok || number > kMaxSourceTermNumber)
                ThrowSource(sourceName, lineNumber,
                            QStringLiteral("term number %1 is larger than %2").arg(digits).arg(kMaxSourceTermNumber));
            if (number == 0)
                ThrowSource(sourceName, lineNumber, QStringLiteral("terms are numbered from 1; 0 cannot be shown"));
            if (const auto it = numberLines.constFind(number); it != numberLines.constEnd())
                ThrowSource(sourceName, lineNumber,
                            QStringLiteral("term number %1 is already used on line %2").arg(number).arg(*it));
            numberLines.insert(number, lineNumber);

            bool endsWithBreak = false;
            const QString name = Unescape(TrimmedLine(raw.mid(i)), sourceName, lineNumber, endsWithBreak);
            if (name.isEmpty())
                ThrowSource(sourceName, lineNumber, QStringLiteral("term %1 has no name").arg(number));
            const QString key = name.toCaseFolded();
            if (const auto it = nameLines.constFind(key); it != nameLines.constEnd())
                ThrowSource(sourceName, lineNumber,
                            QStringLiteral("the term \"%1\" is already defined on line %2").arg(name).arg(*it));
            nameLines.insert(key, lineNumber);
            current = TSourceTerm{lineNumber, number, name, QString(), false};
            continue;
        }
        const QString text = TrimmedLine(raw);
        if (text.isEmpty())
            continue;
        if (!current)
            ThrowSource(sourceName, lineNumber,
                        QStringLiteral("text before the first term; a term starts with "
                                       "'@' and its number"));
        bool endsWithBreak = false;
        const QString piece = Unescape(text, sourceName, lineNumber, endsWithBreak);
        if (!current->Definition.isEmpty() && !current->LastEndedWithBreak)
            current->Definition += u' ';
        current->Definition += piece;
        current->LastEndedWithBreak = endsWithBreak;
    }
    finish();
    return table;
}

QByteArray FormatTermsSource(const TTermTable& table)
{
    QString out;
    bool first = true;
    for (const auto& [number, term] : table.Entries()) {
        if (!first)
            out += u'\n';
        first = false;
        out += QStringLiteral("@%1 %2\n").arg(number).arg(Escape(term.Name, false));
        const QStringList segments = term.Definition.split(QStringLiteral("\r\n"));
        for (qsizetype i = 0; i < segments.size(); ++i) {
            QString line = Escape(segments[i], true);
            if (i + 1 < segments.size())
                line += QStringLiteral("\\n");
            if (!line.isEmpty())
                out += line + u'\n';
        }
    }
    return out.toUtf8();
}
