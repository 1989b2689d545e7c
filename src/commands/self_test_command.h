#pragma once

#include "access_recorder.h"
#include "command_line.h"
#include "exit_status.h"
#include "report_file.h"
#include "self_test.h"
#include "session_log.h"

#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <functional>
#include <optional>

namespace qm5083::commands {

// Runs --self-test on the card the command line names: one line per check on out and a summary
// (or, with --json, the report as one JSON object), and the JSON report when asked, also when
// the test cannot run. Returns the exit status: 0 all passed, 1 a check failed, 2 the test could
// not run or its report could not be written (the reason on err). Needs no display.
// One check as it is made: its line, whether it counts towards the verdict and passed, and its
// part of the report.
struct CheckShown
{
    QString line;
    bool counted;
    bool passed;
    QJsonObject json;
};
using CheckShownTo = std::function<void(const CheckShown &check)>;

// What one self-test came to, however it ended.
struct SelfTestRun
{
    int status = kCannotRun;
    QStringList lines;          // one a check, then the summary; none when it could not run
    QJsonObject answer;         // the report, as the JSON answer gives it
    QStringList problems;       // for standard error, in order
    bool reportFiled = false;   // the report was written whole to the target given
    std::exception_ptr failure; // the port failure that stopped it, if one did
};

// The self-test of the command line's card on backend through port, the command's and the
// window's alike: the report written to target (when given) whole or not at all, the session
// record's line, and each check told to shown as it is made.
SelfTestRun runSelfTestOnCard(const CommandLine &commandLine, const hardware::Backend &backend,
                              hardware::AccessRecorder &port,
                              const std::optional<ReportTarget> &target, const selftest::Wait &wait,
                              reports::SessionLog *sessionLog, const CheckShownTo &shown = {});

// A self-test whose report cannot be written where the command line says: it does not run.
SelfTestRun refusedReport(const CommandLine &commandLine, const reports::FileRefused &refused,
                          reports::SessionLog *sessionLog);

int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog = nullptr);

} // namespace qm5083::commands
