#pragma once

#include "NumberFormat.h"

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineOption;
class QCommandLineParser;
class TConvCategories;

// Writes one line (UTF-8) to stdout or stderr.
void PrintLine(const QString& text);
void PrintErrorLine(const QString& text);
// "morvex <command>: message" on stderr (the command as ParseArguments last saw it).
void PrintError(const QString& message);

// Adds an option; every option of a command goes through here so that the value of an
// option is never taken for a negative number argument.
void AddOption(QCommandLineParser& parser, const QCommandLineOption& option);

// Parses the command's arguments. Returns the exit code to end with (the help was shown,
// or the arguments were refused with a usage message), or nothing to go on. Arguments
// that read as negative numbers ("-40", "-.5", "-0x1p3") count as arguments, not options.
std::optional<int> ParseArguments(QCommandLineParser& parser, const QStringList& args);
// Ends with the usage exit code after printing the message and how to get help.
int UsageError(const QString& message);

// --data-dir DIR and --readonly.
void AddDataOptions(QCommandLineParser& parser);
// The data folder with a trailing separator: --data-dir, else the program's own folder.
QString DataFolder(const QCommandLineParser& parser);
// Read-only as the window decides it: custom.dat not writable, or when there is no
// custom.dat, units.dat not writable or missing; --readonly always sets it.
bool DetectReadOnly(const QString& dataFolder, bool forced);
// Loads units.dat and custom.dat like the window. Returns ExitOk, or ExitDataFile after
// printing the program's message (its carriage returns as line breaks) on stderr.
int LoadCatalogue(const QCommandLineParser& parser, TConvCategories& catalogue);

// --decimal, --thousands, --no-thousands, --locale-separators; with notation also
// --notation and --precision.
void AddFormatOptions(QCommandLineParser& parser, bool withNotation);
// Reads those options over the defaults (automatic, 15 digits, '.' and ','). Returns an
// error message for a bad option value.
std::optional<QString> ReadFormatOptions(const QCommandLineParser& parser, bool withNotation,
                                         TFormatSettings& settings);

// A number written as in C: decimal ("1.5e3") or a hexadecimal floating literal
// ("0x1.8p+3", "-0X1P-2"); leading and trailing white space is ignored. None when the
// text is neither or lies beyond the double range.
std::optional<double> ReadNumberLiteral(const QString& text);
// The exact value as a C hexadecimal floating literal ("0x1.8p+3", "-0x0p+0").
QString HexFloat(double value);
// The shortest decimal text that reads back as the same double.
QString ShortestDecimal(double value);

// The lines of standard input, without their line ends.
QStringList ReadInputLines();
