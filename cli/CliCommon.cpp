#include "CliCommon.h"

#include "CatalogueFiles.h"
#include "Commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace {

// The command as "morvex <command>", for messages and the help text.
QString gCommand = QStringLiteral("morvex");
// Names of the options that take a value, so that an option's value is not taken for an
// argument when the arguments are reordered.
QSet<QString> gValueOptions;

const QString kDataDir = QStringLiteral("data-dir");
const QString kReadOnly = QStringLiteral("readonly");
const QString kNotation = QStringLiteral("notation");
const QString kPrecision = QStringLiteral("precision");
const QString kDecimal = QStringLiteral("decimal");
const QString kThousands = QStringLiteral("thousands");
const QString kNoThousands = QStringLiteral("no-thousands");
const QString kLocaleSeparators = QStringLiteral("locale-separators");

void Write(FILE* out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    std::fputc('\n', out);
}

bool LooksLikeNegativeNumber(const QString& arg)
{
    // Options are letters after the dash; anything else (a digit, a point, a comma when it
    // is the decimal separator) starts a value.
    return arg.size() >= 2 && arg[0] == u'-' && arg[1] != u'-' && !arg[1].isLetter();
}

// The parser would read "-40" as the options -4 and -0. Options (with their values) go
// first, then "--" and the arguments in their order.
QStringList ProtectNegativeNumbers(const QStringList& args)
{
    QStringList options{args.value(0)};
    QStringList positional;
    qsizetype i = 1;
    for (; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--")) {
            ++i;
            break;
        }
        if (LooksLikeNegativeNumber(arg) || !arg.startsWith(u'-') || arg.size() == 1) {
            positional << arg;
            continue;
        }
        options << arg;
        const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        if (!name.contains(u'=') && gValueOptions.contains(name) && i + 1 < args.size())
            options << args[++i];
    }
    for (; i < args.size(); ++i)
        positional << args[i];
    return options + QStringList{QStringLiteral("--")} + positional;
}

// A separator must not be something the grammar of numbers already uses.
std::optional<QString> CheckSeparator(const QString& name, const QString& value)
{
    if (value.size() != 1)
        return QStringLiteral("--%1 takes exactly one character").arg(name);
    const QChar c = value[0];
    if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'e' || c == u'E')
        return QStringLiteral("--%1 cannot be a digit, a sign or the letter E").arg(name);
    return std::nullopt;
}

} // namespace

void AddOption(QCommandLineParser& parser, const QCommandLineOption& option)
{
    parser.addOption(option);
    if (!option.valueName().isEmpty()) {
        for (const QString& name : option.names())
            gValueOptions.insert(name);
    }
}

void PrintLine(const QString& text)
{
    Write(stdout, text);
}

void PrintErrorLine(const QString& text)
{
    Write(stderr, text);
}

void PrintError(const QString& message)
{
    PrintErrorLine(gCommand + QStringLiteral(": ") + message);
}

int UsageError(const QString& message)
{
    PrintError(message);
    PrintErrorLine(QStringLiteral("Run '%1 --help' for its options.").arg(gCommand));
    return ExitUsage;
}

std::optional<int> ParseArguments(QCommandLineParser& parser, const QStringList& args)
{
    gCommand = args.value(0, QStringLiteral("morvex"));
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(ProtectNegativeNumbers(args)))
        return UsageError(parser.errorText());
    if (parser.isSet(help)) {
        // The parser names the executable's path; the user typed the command.
        QString text = parser.helpText();
        const QString program = QCoreApplication::arguments().value(0);
        if (!program.isEmpty() && text.contains(program))
            text.replace(text.indexOf(program), program.size(), gCommand);
        std::fputs(text.toUtf8().constData(), stdout);
        return ExitOk;
    }
    return std::nullopt;
}

void AddDataOptions(QCommandLineParser& parser)
{
    AddOption(parser, QCommandLineOption(kDataDir,
                                         QStringLiteral("Read units.dat and custom.dat from DIR instead of the "
                                                        "program's folder."),
                                         QStringLiteral("DIR")));
    AddOption(parser, QCommandLineOption(kReadOnly, QStringLiteral("Treat the data files as read-only: files in "
                                                                   "the old layout are not converted.")));
}

QString DataFolder(const QCommandLineParser& parser)
{
    const QString folder =
        parser.isSet(kDataDir) ? QDir(parser.value(kDataDir)).absolutePath() : QCoreApplication::applicationDirPath();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool DetectReadOnly(const QString& dataFolder, bool forced)
{
    if (forced)
        return true;
    const QFileInfo custom(dataFolder + QStringLiteral("custom.dat"));
    if (custom.exists())
        return !custom.isWritable();
    const QFileInfo units(dataFolder + QStringLiteral("units.dat"));
    return !units.exists() || !units.isWritable();
}

int LoadCatalogue(const QCommandLineParser& parser, TConvCategories& catalogue)
{
    const QString folder = DataFolder(parser);
    const TLoadResult result = LoadCatalogueFiles(catalogue, folder, DetectReadOnly(folder, parser.isSet(kReadOnly)));
    if (result.Ok)
        return ExitOk;
    QString message = result.Message;
    message.replace(u'\r', u'\n');
    PrintErrorLine(message);
    return ExitDataFile;
}

void AddFormatOptions(QCommandLineParser& parser, bool withNotation)
{
    if (withNotation) {
        AddOption(parser, QCommandLineOption(kNotation,
                                             QStringLiteral("Notation: 0 automatic (default), 1 fixed, 2 fixed "
                                                            "with thousands separators, 3 (or more) scientific."),
                                             QStringLiteral("N")));
        AddOption(parser,
                  QCommandLineOption(kPrecision,
                                     QStringLiteral("Digits, 0 to 20 (default 15): significant digits in the "
                                                    "automatic and scientific notations, decimals in the fixed ones."),
                                     QStringLiteral("P")));
    }
    AddOption(parser, QCommandLineOption(kLocaleSeparators, QStringLiteral("Start from the separators of the regional "
                                                                           "settings instead of '.' and ','.")));
    AddOption(parser,
              QCommandLineOption(kDecimal, QStringLiteral("Decimal separator (default '.')."), QStringLiteral("C")));
    AddOption(parser, QCommandLineOption(kThousands, QStringLiteral("Thousands separator (default ',')."),
                                         QStringLiteral("C")));
    AddOption(parser, QCommandLineOption(kNoThousands, QStringLiteral("No thousands separator.")));
}

std::optional<QString> ReadFormatOptions(const QCommandLineParser& parser, bool withNotation, TFormatSettings& settings)
{
    settings = TFormatSettings();
    if (withNotation && parser.isSet(kNotation)) {
        bool ok = false;
        const uint notation = parser.value(kNotation).toUInt(&ok);
        if (!ok || notation > 255)
            return QStringLiteral("--notation takes a number from 0 to 255");
        settings.NumberFormat = quint8(notation);
    }
    if (withNotation && parser.isSet(kPrecision)) {
        bool ok = false;
        const uint precision = parser.value(kPrecision).toUInt(&ok);
        if (!ok || precision > 20)
            return QStringLiteral("--precision takes a number from 0 to 20");
        settings.Precision = int(precision);
    }
    if (parser.isSet(kLocaleSeparators))
        settings.Separators = SystemSeparators();
    if (parser.isSet(kDecimal)) {
        if (auto error = CheckSeparator(kDecimal, parser.value(kDecimal)))
            return error;
        settings.Separators.Decimal = parser.value(kDecimal)[0];
        // "--decimal ," alone means a region where the comma is the decimal separator, not
        // a clash with the default thousands separator.
        if (!parser.isSet(kThousands) && settings.Separators.Thousands == settings.Separators.Decimal)
            settings.Separators.Thousands.reset();
    }
    if (parser.isSet(kThousands) && parser.isSet(kNoThousands))
        return QStringLiteral("--thousands and --no-thousands exclude each other");
    if (parser.isSet(kThousands)) {
        if (auto error = CheckSeparator(kThousands, parser.value(kThousands)))
            return error;
        settings.Separators.Thousands = parser.value(kThousands)[0];
    }
    if (parser.isSet(kNoThousands))
        settings.Separators.Thousands.reset();
    // Removing the thousands separator before reading would remove every decimal point.
    if (settings.Separators.Thousands == settings.Separators.Decimal)
        return QStringLiteral("the decimal and the thousands separator must differ");
    return std::nullopt;
}

std::optional<double> ReadNumberLiteral(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype start = 0;
    bool negative = false;
    if (trimmed.startsWith(u'+') || trimmed.startsWith(u'-')) {
        negative = trimmed[0] == u'-';
        start = 1;
    }
    const QStringView rest = QStringView(trimmed).mid(start);
    if (!rest.startsWith(u"0x", Qt::CaseInsensitive)) {
        TSeparators separators;
        separators.Thousands.reset();
        return TryParseValue(trimmed, separators);
    }
    const QByteArray digits = rest.mid(2).toLatin1();
    if (digits.isEmpty() || digits[0] == '+' || digits[0] == '-')
        return std::nullopt;
    double value = 0;
    const char* const end = digits.constData() + digits.size();
    const auto result = std::from_chars(digits.constData(), end, value, std::chars_format::hex);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

QString HexFloat(double value)
{
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::hex);
    const QString digits = QString::fromLatin1(buf, result.ptr - buf);
    if (!std::isfinite(value))
        return (std::signbit(value) ? QStringLiteral("-") : QString()) + digits;
    return (std::signbit(value) ? QStringLiteral("-0x") : QStringLiteral("0x")) + digits;
}

QString ShortestDecimal(double value)
{
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, result.ptr - buf);
}

QStringList ReadInputLines()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(in.readAll());
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}
