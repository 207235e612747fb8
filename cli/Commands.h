#pragma once

#include <QStringList>

// Exit codes of the command-line tool.
enum ExitCode : int
{
    ExitOk = 0,
    ExitValue = 1,
    ExitUsage = 2,
    ExitDataFile = 3
};

// Each command gets its arguments with args[0] = "morvex <command>", ready for
// QCommandLineParser::process, and returns the exit code.
int CmdConvert(const QStringList& args);
int CmdCategories(const QStringList& args);
int CmdUnits(const QStringList& args);
int CmdFormat(const QStringList& args);
int CmdParse(const QStringList& args);
// data dump | build | build-terms | dump-terms
int CmdData(const QStringList& args);
// The glossary halves of "data": build-terms SOURCE -o FILE, and the dump of a terms.dat.
int CmdBuildTerms(const QStringList& args);
int CmdDumpTerms(const QString& path);
int CmdRunning(const QStringList& args);
int CmdQuitRunning(const QStringList& args);
