#include "Commands.h"

#include "CliCommon.h"

#include "CatUnits.h"
#include "TermsFile.h"
#include "UnitSource.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

void PrintDataUsage(FILE* out)
{
    QTextStream(out) << "Usage: morvex data <action> ...\n"
                        "\n"
                        "  dump FILE [-o OUT] [--custom] [--units OLD_UNITS]\n"
                        "        write units.dat or custom.dat (current or old layout) as text; a file\n"
                        "        that is no unit data file is dumped as a glossary\n"
                        "  build TEXTFILE -o FILE [--custom]\n"
                        "        compile the text (a dump or a hand-written source) into a unit data file\n"
                        "  dump-terms FILE                      write terms.dat as text\n"
                        "  build-terms SOURCE -o FILE           compile a glossary source into terms.dat\n";
}

int Fail(const QString& message)
{
    QTextStream(stderr) << message << '\n';
    return ExitDataFile;
}

// Reads a whole file, or reports why not.
std::optional<QByteArray> ReadWhole(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QString& error)
{
    // A half-written data file would stop the program at its next start.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool ReadsAsGlossary(const QByteArray& bytes)
{
    // The binary counts of a unit data file hold zero bytes; glossary text never does.
    if (bytes.contains('\0'))
        return false;
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    TTermTable table;
    try {
        ReadTerms(buffer, table);
    } catch (const std::exception&) {
        return false;
    }
    return !table.Entries().empty();
}

int DataDump(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a unit data file as text, one unit a line."));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("units.dat or custom.dat"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Write the text to this file instead of standard output."),
                                          QStringLiteral("out"));
    const QCommandLineOption customOption(
        QStringLiteral("custom"),
        QStringLiteral("The file holds custom units (implied by the name custom.dat); matters for the old layout."));
    const QCommandLineOption unitsOption(
        QStringLiteral("units"),
        QStringLiteral("The old-layout units.dat whose category table an old custom.dat refers to "
                       "(default: units.dat beside it)."),
        QStringLiteral("old_units"));
    for (const QCommandLineOption& option : {outputOption, customOption, unitsOption})
        AddOption(parser, option);
    if (const auto done = ParseArguments(parser, args))
        return *done;
    if (parser.positionalArguments().size() != 1)
        return UsageError(QStringLiteral("expected one data file"));
    const QString path = parser.positionalArguments().constFirst();

    QString error;
    const auto bytes = ReadWhole(path, error);
    if (!bytes)
        return Fail(error);
    if (!bytes->startsWith("11") && !bytes->startsWith("10")) {
        // Not a unit data file by its mark: the other kind of file we ship is the glossary.
        if (parser.isSet(outputOption) || parser.isSet(customOption) || parser.isSet(unitsOption)) {
            return UsageError(path + QStringLiteral(": not a unit data file; a glossary dump takes no options"));
        }
        return CmdDumpTerms(path);
    }

    const bool custom = parser.isSet(customOption) ||
                        QFileInfo(path).fileName().compare(QLatin1String("custom.dat"), Qt::CaseInsensitive) == 0;
    QByteArray legacyUnits;
    if (custom && bytes->startsWith("10")) {
        const QString unitsPath = parser.isSet(unitsOption)
                                      ? parser.value(unitsOption)
                                      : QFileInfo(path).dir().filePath(QStringLiteral("units.dat"));
        const auto units = ReadWhole(unitsPath, error);
        if (!units)
            return Fail(error + QStringLiteral(" (an old-layout custom file needs the old units.dat beside it "
                                               "or named by --units)"));
        if (!units->startsWith("10"))
            return Fail(QStringLiteral("%1: an old-layout custom file needs the old-layout units.dat for its "
                                       "category numbers")
                            .arg(unitsPath));
        legacyUnits = *units;
    }

    TConvCategories catalogue;
    try {
        ReadCatalogueFileBytes(*bytes, catalogue, custom, legacyUnits);
    } catch (const EConvError& e) {
        // A glossary whose first term number starts with 10 or 11 carries the same two
        // bytes as a unit data file's mark.
        const bool options = parser.isSet(outputOption) || parser.isSet(customOption) || parser.isSet(unitsOption);
        if (!options && ReadsAsGlossary(*bytes))
            return CmdDumpTerms(path);
        return Fail(QStringLiteral("%1: %2").arg(path, e.Message()));
    }

    const QByteArray text = DumpCatalogue(catalogue);
    if (parser.isSet(outputOption)) {
        if (!WriteWhole(parser.value(outputOption), text, error))
            return Fail(error);
    } else {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(text) != text.size())
            return Fail(QStringLiteral("cannot write to standard output"));
    }
    return ExitOk;
}

int DataBuild(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Compiles the text form of unit data into a data file."));
    parser.addPositionalArgument(QStringLiteral("textfile"), QStringLiteral("a dump or a hand-written source"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("The data file to write (required)."), QStringLiteral("file"));
    const QCommandLineOption customOption(QStringLiteral("custom"),
                                          QStringLiteral("Write a custom.dat: every unit is a custom unit."));
    for (const QCommandLineOption& option : {outputOption, customOption})
        AddOption(parser, option);
    if (const auto done = ParseArguments(parser, args))
        return *done;
    if (parser.positionalArguments().size() != 1)
        return UsageError(QStringLiteral("expected one text file"));
    if (!parser.isSet(outputOption))
        return UsageError(QStringLiteral("the data file to write is given with -o FILE"));
    const QString sourcePath = parser.positionalArguments().constFirst();
    const bool custom = parser.isSet(customOption);

    QString error;
    const auto text = ReadWhole(sourcePath, error);
    if (!text)
        return Fail(error);
    TConvCategories catalogue;
    try {
        const TUnitSource source = ParseUnitSource(*text, sourcePath);
        BuildCatalogue(source, sourcePath, catalogue, custom);
    } catch (const EUnitSourceError& e) {
        return Fail(e.Message());
    }
    if (!WriteWhole(parser.value(outputOption),
                    CatalogueFileBytes(catalogue, custom ? TUnitFilter::ufCustom : TUnitFilter::ufAll), error))
        return Fail(error);
    return ExitOk;
}

} // namespace

int CmdData(const QStringList& args)
{
    if (args.size() < 2) {
        PrintDataUsage(stderr);
        return ExitUsage;
    }
    const QString action = args[1];
    if (action == QLatin1String("--help") || action == QLatin1String("-h")) {
        PrintDataUsage(stdout);
        return ExitOk;
    }
    // Each action sees "morvex data <action>" as its program name, then its own arguments.
    QStringList rest = args.mid(2);
    rest.prepend(args[0] + QLatin1Char(' ') + action);
    if (action == QLatin1String("dump"))
        return DataDump(rest);
    if (action == QLatin1String("build"))
        return DataBuild(rest);
    if (action == QLatin1String("build-terms"))
        return CmdBuildTerms(rest);
    if (action == QLatin1String("dump-terms")) {
        if (rest.size() != 2) {
            QTextStream(stderr) << "Usage: morvex data dump-terms FILE\n";
            return ExitUsage;
        }
        return CmdDumpTerms(rest[1]);
    }
    QTextStream(stderr) << "morvex data: unknown action '" << action << "'\n";
    PrintDataUsage(stderr);
    return ExitUsage;
}
