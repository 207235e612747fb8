#pragma once

#include "CatUnits.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <stdexcept>

// The readable text form of a unit data file. One format serves both the hand-written
// source of the shipped units.dat and the dump of any units.dat or custom.dat, so that a
// dump can be built again and a source can be reviewed in a diff.
//
// The text is UTF-8, one record a line, fields separated by one or more tabs:
//
//   # a comment line (blank lines are ignored too)
//   @define NAME = EXPRESSION    a named number for the expressions below
//   CATEGORY  UNIT  EXPRESSION  [exact]  [gnu: EXPR | gnu: - (reason)]  [# comment...]
//
// EXPRESSION is the unit's factor, the number of that unit in one base unit of the
// category: numbers, names defined above, pi, + - * / ^ and parentheses. The dump writes
// a plain number, the shortest text that reads back as the same double. "exact" marks a
// factor that follows from exact definitions; "gnu:" names the unit as GNU units spells
// it (or states why there is no counterpart), for the cross-check of the shipped data.
//
// Names are taken as written between the tabs, without surrounding spaces. A backslash
// escapes what a name cannot otherwise hold: \\ \t \n \r, \xHH for the character U+00HH,
// and \# or \@ for a name that starts with those characters.

class EUnitSourceError : public std::runtime_error
{
public:
    explicit EUnitSourceError(const QString& message);
    QString Message() const { return FMessage; }

private:
    QString FMessage;
};

struct TSourceUnit
{
    QString Category;
    QString Name;
    QString Expression;
    double Factor = 1.0;
    bool Exact = false;
    // GNU units expression of the same unit; empty when there is none.
    QString Gnu;
    // Why no GNU units counterpart is given ("gnu: - (reason)").
    QString NoCounterpart;
    QString Comment;
    int Line = 0;
};

struct TUnitSource
{
    QList<TSourceUnit> Units;
};

// Evaluates a factor expression. Arithmetic runs in extended precision and is rounded to
// double once at the end; a lone number is read straight into the nearest double. Throws
// EUnitSourceError with a message without location.
double EvaluateExpression(const QString& expression, const QHash<QString, long double>& names = {});

// Reads the text; fileName is used in the "file:line: message" of an EUnitSourceError.
// Checks the syntax, the expressions and the names' code page; it does not check for
// duplicate names, which BuildCatalogue reports.
TUnitSource ParseUnitSource(const QByteArray& text, const QString& fileName);

// Adds the units to an empty catalogue, each with the given Custom flag. Throws
// EUnitSourceError "file:line: message" for a unit the catalogue refuses (a name taken
// ignoring case, a category spelt differently in case), a factor that is zero or not
// finite, or an empty name.
void BuildCatalogue(const TUnitSource& source, const QString& fileName, TConvCategories& catalogue, bool custom);

// The text of a catalogue, in catalogue order, one unit a line with its factor as the
// shortest round-trip decimal.
QByteArray DumpCatalogue(const TConvCategories& catalogue);

// The bytes of a data file in the current layout: the version mark, then the catalogue
// written with the filter.
QByteArray CatalogueFileBytes(const TConvCategories& catalogue, TUnitFilter filter);

// Reads the bytes of a units.dat or custom.dat in the current or the old layout into an
// empty catalogue. An old custom.dat numbers its categories by the table of the old
// units.dat, which legacyUnits then holds. Nothing is written anywhere. Throws EConvError
// with the program's message (kInvalidDataFile for a wrong mark or an unreadable file).
void ReadCatalogueFileBytes(const QByteArray& bytes, TConvCategories& catalogue, bool custom,
                            const QByteArray& legacyUnits = {});

// Name escaping of the text form.
QString EscapeName(const QString& name);
// Throws EUnitSourceError for a malformed escape.
QString UnescapeName(const QString& field);
// Shortest text that reads back as the same double ("inf", "nan" for those).
QString FormatFactor(double factor);
