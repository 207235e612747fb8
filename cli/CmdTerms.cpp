#include "Commands.h"

// Placeholder until the command is written.
int CmdBuildTerms(const QStringList&) { return ExitUsage; }
int CmdDumpTerms(const QString&) { return ExitUsage; }
