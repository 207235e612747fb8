#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <stdexcept>

class QIODevice;

struct TTerm
{
    QString Name;
    QString Definition;
};

// The glossary table indexed by term number. Only numbers that occur are stored, so a file
// with one large number costs no more than one with a small number; numbers that do not
// occur read as an empty entry.
class TTermTable
{
public:
    void Clear() { FTerms.clear(); }
    // Makes sure the number has an entry and sets both strings.
    void StoreTerm(quint64 number, const QString& name, const QString& definition);
    TTerm Term(quint64 number) const;
    // Entries in ascending number order.
    const std::map<quint64, TTerm>& Entries() const { return FTerms; }
    // One more than the largest number stored (0 when empty): the size the table has.
    // The largest 64-bit number has no successor; a table holding it reports that number.
    quint64 Size() const;

private:
    std::map<quint64, TTerm> FTerms;
};

// A number field that is not a non-negative decimal integer, a field too long to be a term,
// a stream that cannot be read, or a table that cannot be written in the file layout.
class ETermsFormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kUnableToOpenTerms = "Unable to open data file. Please re-install the application.";
inline constexpr const char* kUnableToReadTerms = "Unable to read data file. Please re-install the application.";

// Size of the pieces the glossary is read in.
inline constexpr int kTermsPieceSize = 500;
// No term or definition comes near this; a longer field means the file is not a glossary.
inline constexpr qsizetype kMaxTermsFieldLength = 16 * 1024 * 1024;

// Reads the whole glossary stream into table (emptied first), in 500-byte pieces.
// Throws ETermsFormatError for a malformed number field, an overlong field or a read
// failure; the table is then left empty, so no half-read glossary is shown.
void ReadTerms(QIODevice& stream, TTermTable& table);
// Writes the table in the file layout, in ascending number order. Throws ETermsFormatError
// when a text holds the field separator or a character outside Windows-1252, or when the
// stream refuses the bytes.
void WriteTerms(QIODevice& stream, const TTermTable& table);

// The readable source of the shipped glossary (data/terms.txt), UTF-8:
//   # comment                   (a line whose first character is '#')
//   @12 Term name               (starts term 12; the name runs to the end of the line)
//   definition text ...         (following lines up to the next '@' line)
// Definition lines are trimmed and joined by one space; blank lines only separate. Escapes
// in names and definitions: "\n" a line break (CR LF; the next line joins without a space),
// "\\" a backslash, "\@" and "\#" the character (needed at the start of a line), "\xHH" the
// code page byte HH (for spaces that trimming would lose, tabs and control characters).
class ETermsSourceError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Largest term number the source accepts: the settings store keeps the selected term's
// number as a 32-bit integer.
inline constexpr quint64 kMaxSourceTermNumber = 2147483647;

// Parses source text into a table. Refuses, with the line number in the message: text that
// is not UTF-8, text outside Windows-1252, the field separator, unknown escapes, text
// before the first term, malformed or zero or too large numbers, a number used twice, an
// empty term or definition, and a term name used twice (ignoring case).
TTermTable ParseTermsSource(const QByteArray& utf8, const QString& sourceName);
// The source text of a table; parsing it gives the same table, so a dump built again is
// byte-identical.
QByteArray FormatTermsSource(const TTermTable& table);
