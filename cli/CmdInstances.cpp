// For installers: whether the program runs, and asking every running instance to end.
#include "Commands.h"

#include "InstanceLock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int CmdRunning(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Exit 0 when an instance of Morvex Tools runs, 1 when none does."));
    parser.addHelpOption();
    if (!parser.parse(args)) {
        QTextStream(stderr) << parser.errorText() << '\n';
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return ExitOk;
    }
    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "morvex running: takes no arguments\n";
        return ExitUsage;
    }
    const bool running = IsInstanceRunning();
    QTextStream(stdout) << (running ? "running\n" : "not running\n");
    return running ? ExitOk : ExitValue;
}

int CmdQuitRunning(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Ask every running instance of Morvex Tools to end, as File, Exit does (each saves its "
                       "settings), and wait for them to end. Exit 0 when none is left running."));
    parser.addHelpOption();
    const QCommandLineOption waitOption(QStringLiteral("wait"),
                                        QStringLiteral("Seconds to wait for the instances to end (default 10)."),
                                        QStringLiteral("seconds"), QStringLiteral("10"));
    parser.addOption(waitOption);
    if (!parser.parse(args)) {
        QTextStream(stderr) << parser.errorText() << '\n';
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return ExitOk;
    }
    bool ok = false;
    const int seconds = parser.value(waitOption).toInt(&ok);
    if (!ok || seconds < 0 || !parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "morvex quit-running: --wait takes a number of seconds\n";
        return ExitUsage;
    }
    const TSendResult sent = SendInstanceMessage(kMessageQuit, seconds * 1000);
    QTextStream(stdout) << "asked " << sent.Reached << " instance(s) to end; " << sent.Ended << " ended\n";
    if (sent.Ended < sent.Reached) {
        QTextStream(stderr) << "morvex quit-running: " << (sent.Reached - sent.Ended) << " instance(s) still running\n";
        return ExitValue;
    }
    return ExitOk;
}
