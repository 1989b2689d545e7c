#pragma once

#include "card_session.h"
#include "command_line.h"
#include "script_command.h"
#include "session_log.h"

#include <cstdio>
#include <istream>

namespace qm5083::commands {

// The guided DA check: steps the channel through its codes, takes a reading at each (asked for
// on the terminal, from a file, or from the simulated card's meter), leaves the channel at code
// 0, and tells the figures against the range's ideal line. Returns the exit status: 0 done (and
// within the limits, when given), 1 beyond them, 2 could not run or was ended.
int runDaCheck(const scripting::DaCheckCommand &check, CardSession &session,
               const CommandLine &commandLine, std::istream &in, std::FILE *out, std::FILE *err,
               reports::SessionLog *sessionLog);

} // namespace qm5083::commands
