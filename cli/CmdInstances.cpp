#include "Commands.h"

// Placeholder until the command is written.
int CmdRunning(const QStringList&) { return ExitUsage; }
int CmdQuitRunning(const QStringList&) { return ExitUsage; }
