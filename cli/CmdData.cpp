#include "Commands.h"

// Placeholder until the command is written.
int CmdData(const QStringList&) { return ExitUsage; }
