#pragma once

#include "command_line.h"
#include "exit_status.h"
#include "self_test.h"
#include "session_log.h"

#include <cstdio>

namespace qm5083::commands {

// Runs --self-test on the card the command line names: one line per check on out and a summary
// (or, with --json, the report as one JSON object), and the JSON report when asked, also when
// the test cannot run. Returns the exit status: 0 all passed, 1 a check failed, 2 the test could
// not run or its report could not be written (the reason on err). Needs no display.
int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog = nullptr);

} // namespace qm5083::commands
