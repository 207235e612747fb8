#include "Commands.h"

// Placeholder until the command is written.
int CmdFormat(const QStringList&) { return ExitUsage; }
int CmdParse(const QStringList&) { return ExitUsage; }
