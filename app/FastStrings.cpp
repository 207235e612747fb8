#include "FastStrings.h"

#include "Win1252.h"

#include <array>

namespace {

// Upper-casing of the 256 byte values of the code page, kept as the characters the bytes
// decode to, so that the search can compare decoded text without encoding it again.
struct TUpperTable
{
    // Indexed by the character's code for characters below U+0100.
    std::array<char16_t, 256> Low{};
    // The characters of bytes 0x80..0x9F that lie above U+00FF, with their capitals.
    std::array<char16_t, 32> HighChar{};
    std::array<char16_t, 32> HighUpper{};

    TUpperTable()
    {
        for (int c = 0; c < 256; ++c)
            Low[c] = char16_t(c);
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QChar c = Win1252::Decode(QByteArrayView(&byte, 1)).at(0);
            const QChar upper = CapitalInCodePage(c);
            if (c.unicode() < 256)
                Low[c.unicode()] = upper.unicode();
            else {
                HighChar[b - 0x80] = c.unicode();
                HighUpper[b - 0x80] = upper.unicode();
            }
        }
    }

    static QChar CapitalInCodePage(QChar c)
    {
        // A capital outside the code page (the micro sign's, for one) cannot be stored in
        // the byte, so the byte keeps its own value, as the system's ANSI upper-casing does.
        const QString upper = QString(c).toUpper();
        if (upper.size() != 1 || !Win1252::CanEncode(upper))
            return c;
        return upper.at(0);
    }

    char16_t Map(char16_t c) const
    {
        if (c < 256)
            return Low[c];
        for (std::size_t i = 0; i < HighChar.size(); ++i) {
            if (HighChar[i] == c)
                return HighUpper[i];
        }
        return c;
    }
};

const TUpperTable& UpperTable()
{
    // Built once, on first use, before any search can run.
    static const TUpperTable table;
    return table;
}

} // namespace

QChar UpperCaseAnsi(QChar c)
{
    return QChar(UpperTable().Map(c.unicode()));
}

int FindCharNoCase(const QString& text, QChar ch, int start)
{
    if (start < 1)
        start = 1;
    if (text.isEmpty() || start > text.size())
        return 0;
    const TUpperTable& table = UpperTable();
    const char16_t wanted = table.Map(ch.unicode());
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = start - 1; i < size; ++i) {
        if (table.Map(data[i].unicode()) == wanted)
            return int(i + 1);
    }
    return 0;
}
