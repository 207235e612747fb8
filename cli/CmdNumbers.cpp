#include "Commands.h"

#include "CliCommon.h"
#include "NumberFormat.h"

#include <QCommandLineParser>

namespace {

const QString kNotAvailable = QStringLiteral("N/A");

// The values of the arguments, or the lines of standard input when there are none.
QStringList Inputs(const QCommandLineParser& parser)
{
    const QStringList args = parser.positionalArguments();
    return args.isEmpty() ? ReadInputLines() : args;
}

} // namespace

int CmdFormat(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Formats numbers as the program shows them, one line each; N/A for a value that cannot "
                       "be read (exit code 1).\nValues are written as in C: decimal (1234.5, -2.5e3) or "
                       "hexadecimal floating point (0x1.8p+3)."));
    parser.addPositionalArgument(QStringLiteral("VALUE"),
                                 QStringLiteral("Values to format; without any, the "
                                                "lines of standard input."),
                                 QStringLiteral("[VALUE...]"));
    AddFormatOptions(parser, true);
    if (const auto exit = ParseArguments(parser, args))
        return *exit;
    TFormatSettings settings;
    if (const auto error = ReadFormatOptions(parser, true, settings))
        return UsageError(*error);

    int exitCode = ExitOk;
    for (const QString& input : Inputs(parser)) {
        if (const auto value = ReadNumberLiteral(input)) {
            PrintLine(FormatValue(*value, settings));
        } else {
            PrintLine(kNotAvailable);
            exitCode = ExitValue;
        }
    }
    return exitCode;
}

int CmdParse(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads numbers as the program reads typed text and prints each exact value as a C "
                       "hexadecimal floating point literal (0x1.8p+3), or N/A for text it refuses (exit code 1)."));
    parser.addPositionalArgument(QStringLiteral("TEXT"),
                                 QStringLiteral("Texts to read; without any, the lines "
                                                "of standard input."),
                                 QStringLiteral("[TEXT...]"));
    AddFormatOptions(parser, false);
    if (const auto exit = ParseArguments(parser, args))
        return *exit;
    TFormatSettings settings;
    if (const auto error = ReadFormatOptions(parser, false, settings))
        return UsageError(*error);

    int exitCode = ExitOk;
    for (const QString& input : Inputs(parser)) {
        if (const auto value = TryParseValue(input, settings.Separators)) {
            PrintLine(HexFloat(*value));
        } else {
            PrintLine(kNotAvailable);
            exitCode = ExitValue;
        }
    }
    return exitCode;
}
