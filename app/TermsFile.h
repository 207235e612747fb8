#pragma once

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
    quint64 Size() const;

private:
    std::map<quint64, TTerm> FTerms;
};

// A number field that is not a non-negative decimal integer.
class ETermsFormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kUnableToOpenTerms = "Unable to open data file. Please re-install the application.";

// Reads the whole glossary stream into table (emptied first), in 500-byte pieces.
// Throws ETermsFormatError for a malformed number field.
void ReadTerms(QIODevice& stream, TTermTable& table);
// Writes the table in the file layout, in ascending number order.
void WriteTerms(QIODevice& stream, const TTermTable& table);
