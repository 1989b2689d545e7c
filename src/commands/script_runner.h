#pragma once

#include "command_line.h"
#include "exit_status.h"
#include "session_log.h"

#include <cstdio>
#include <istream>

namespace qm5083::commands {

// Runs the command the command line gives, on the card it names, without a display: its answer
// on out (a line, or a JSON object with --json), what went wrong on err, one session record line
// per command. in gives a batch its lines and a DA check its readings. Returns the exit status:
// 0 done, 1 done but a check failed, 2 could not run.
int runScriptCommand(const CommandLine &commandLine, std::istream &in, std::FILE *out,
                     std::FILE *err, reports::SessionLog *sessionLog);

// The record's line for a command done without touching the card (a plan, the meters' list).
void recordDoneWithoutAccess(reports::SessionLog *sessionLog, const QString &commandText);

} // namespace qm5083::commands
