#pragma once

#include "command_line.h"
#include "self_test.h"

#include <cstdio>

namespace qm5083::commands {

inline constexpr int kSelfTestFailed = 1;
inline constexpr int kSelfTestCannotRun = 2;

// Runs --self-test on the card the command line names: one line per check on out, a summary,
// and the JSON report when asked. Returns the exit status: 0 all passed, 1 a check failed, 2 the
// test could not run (its reason on err). Needs no display.
int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait);

} // namespace qm5083::commands
