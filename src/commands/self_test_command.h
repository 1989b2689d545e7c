#pragma once

#include "access_recorder.h"
#include "card_session.h"
#include "command_line.h"
#include "exit_status.h"
#include "report_file.h"
#include "results_command.h"
#include "self_test.h"
#include "session_log.h"
#include "verdict.h"

#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <optional>

namespace qm5083::commands {

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
    Verdict verdict = Verdict::CouldNotRun;
    QString notTested;          // the parts not tested and why, as the summary says them
    QStringList lines;          // one a check, then the summary; none when it could not run
    QJsonObject answer;         // the report, as the JSON answer gives it
    QStringList problems;       // for standard error, in order
    bool reportFiled = false;   // the report was written whole to the target given
    std::exception_ptr failure; // the port failure that stopped it, if one did
};

// Where a self-test's typed readings come from, and where it asks for them: none in a window.
struct Terminal
{
    std::istream *in = nullptr;
    std::FILE *prompts = nullptr;
};

// The self-test of the card chosen, through port (which records its accesses), the command's
// and the window's alike: the report written to target (when given) whole or not at all, the
// session record's line, the result stored in filing (when given) however the test ended, and
// each check told to shown as it is made.
SelfTestRun runSelfTestOnCard(const SelfTestSettings &settings, const CardChoice &card,
                              hardware::AccessRecorder &port,
                              const std::optional<ReportTarget> &target, const selftest::Wait &wait,
                              reports::SessionLog *sessionLog, const CheckShownTo &shown = {},
                              const Terminal &terminal = {}, ResultsFiling *filing = nullptr);

// A self-test whose results database cannot be used (damaged, newer, a setting refused): it
// does not run.
SelfTestRun refusedResults(const SelfTestSettings &settings, const QString &why,
                           reports::SessionLog *sessionLog);

// A self-test whose report cannot be written where the settings say: it does not run.
SelfTestRun refusedReport(const SelfTestSettings &settings, const reports::FileRefused &refused,
                          reports::SessionLog *sessionLog);

// Runs --self-test on the card the command line names: one line per check on out and a summary
// (or, with --json, the report as one JSON object), and the JSON report when asked, also when
// the test cannot run. Returns the exit status: 0 every check made and passed, 1 a check failed,
// 3 none failed but a part was not tested (skipped, or the DA channels not measured), 2 the test
// could not run (nothing to test, no card, a meter or its wiring failed) or its report could not
// be written (the reason on err), 128 + N ended by signal N. Needs no display.
int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog = nullptr,
                       std::istream &in = std::cin);

} // namespace qm5083::commands
