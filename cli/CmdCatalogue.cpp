#include "Commands.h"

// Placeholder until the command is written.
int CmdConvert(const QStringList&) { return ExitUsage; }
int CmdCategories(const QStringList&) { return ExitUsage; }
int CmdUnits(const QStringList&) { return ExitUsage; }
