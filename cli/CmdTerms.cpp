#include "Commands.h"
#include "TermsFile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace {

void Fail(const QString& message)
{
    QTextStream(stderr) << "morvex: " << message << '\n';
}

// The parser names the executable in its usage line; the command's own name reads better.
QString HelpText(const QCommandLineParser& parser, const QString& command)
{
    QString text = parser.helpText();
    const qsizetype lineEnd = text.indexOf(u'\n');
    text.replace(0, lineEnd, QStringLiteral("Usage: %1 SOURCE -o FILE").arg(command));
    return text;
}

} // namespace

int CmdBuildTerms(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Compiles the readable glossary source (UTF-8) into the glossary file terms.dat."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("the glossary source, e.g. data/terms.txt"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("the glossary file to write"), QStringLiteral("FILE"));
    parser.addOption(outputOption);
    if (!parser.parse(args)) {
        Fail(parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << HelpText(parser, args.value(0));
        return ExitOk;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1 || !parser.isSet(outputOption)) {
        QTextStream(stderr) << HelpText(parser, args.value(0));
        return ExitUsage;
    }

    const QString sourcePath = positional.first();
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("cannot open %1: %2").arg(sourcePath, source.errorString()));
        return ExitDataFile;
    }
    const QByteArray text = source.readAll();
    source.close();

    const QString outputPath = parser.value(outputOption);
    try {
        const TTermTable table = ParseTermsSource(text, QFileInfo(sourcePath).fileName());
        // Written beside the target and renamed over it, so a failed build leaves no
        // truncated glossary for the program to find.
        QSaveFile output(outputPath);
        if (!output.open(QIODevice::WriteOnly)) {
            Fail(QStringLiteral("cannot write %1: %2").arg(outputPath, output.errorString()));
            return ExitDataFile;
        }
        WriteTerms(output, table);
        if (!output.commit()) {
            Fail(QStringLiteral("cannot write %1: %2").arg(outputPath, output.errorString()));
            return ExitDataFile;
        }
    } catch (const ETermsSourceError& error) {
        Fail(QString::fromStdString(error.what()));
        return ExitDataFile;
    } catch (const ETermsFormatError& error) {
        Fail(QString::fromStdString(error.what()));
        return ExitDataFile;
    }
    return ExitOk;
}

int CmdDumpTerms(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return ExitDataFile;
    }
    TTermTable table;
    try {
        ReadTerms(file, table);
    } catch (const ETermsFormatError& error) {
        Fail(QStringLiteral("%1: %2").arg(path, QString::fromStdString(error.what())));
        return ExitDataFile;
    }
    const QByteArray text = FormatTermsSource(table);
    if (std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout) != std::size_t(text.size()) ||
        std::fflush(stdout) != 0) {
        Fail(QStringLiteral("cannot write the dump"));
        return ExitDataFile;
    }
    return ExitOk;
}
