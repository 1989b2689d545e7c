#pragma once

#include "card_session.h"
#include "command_line.h"
#include "da_check.h"
#include "report_file.h"
#include "results_command.h"
#include "script_command.h"
#include "session_log.h"
#include "verdict.h"

#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <istream>
#include <optional>
#include <vector>

namespace qm5083::commands {

class Meter;

// Readings that do not follow the codes: the meter is on another channel, or on none.
struct WiringFault
{
    QString why;
};

// What a check found: its points so far, and when complete its figures and verdicts.
struct DaCheckOutcome
{
    std::vector<scripting::DaPoint> points;
    std::vector<std::vector<double>> taken; // each point's readings, when averaged
    std::optional<scripting::DaFigures> figures;
    std::vector<scripting::DaVerdict> verdicts;
    std::vector<std::string_view> notJudged; // the figures without a limit
    Verdict verdict = Verdict::CouldNotRun;
    int status = kCannotRun;
    QString error;
    // Why a check that began did not reach its verdict: "operator", "SIGINT", "SIGTERM",
    // "meter", "wiring" or "card"; empty when it reached it, or never began.
    QString endedBy;
};

// The DA check's steps, the command's and the window's alike: each code written as one
// operation of its own, the readings judged and kept, the figures, and the report, the picture
// and the session record's line filed whole.
class DaCheckSteps
{
public:
    DaCheckSteps(const scripting::DaCheckCommand &check, CardSession &session);

    // Checks where the report and the picture go; throws CannotRun.
    void openTargets();
    const std::vector<std::uint16_t> &codes() const { return codes_; }
    // The channel at code, as one operation: the card is free for others while the meter is
    // read.
    void setCode(std::uint16_t code);
    // The channel back at code 0, however the check ends; the code it ended at is kept.
    void leaveAtZero();
    // Throws MeterFailed for a reading further outside the range than it is wide.
    void checkPlausible(std::uint16_t code, double reading) const;
    // The readings taken at code, kept as one point.
    void addPoint(std::uint16_t code, const std::vector<double> &taken);
    // The channel at code, settled, and the meter's readings kept as one point. A signal ends
    // it within one reading: throws CannotRun (and MeterFailed, as the meter and checkPlausible
    // do).
    void measure(std::uint16_t code, Meter &meter);
    // Every code read: the channel back at code 0, the figures and the verdicts. Throws
    // WiringFault when the readings do not follow the codes.
    void finish();
    // Ended before its verdict, for why; the caller leaves the channel at code 0.
    void stopped(const std::exception_ptr &why);

    const DaCheckOutcome &outcome() const { return outcome_; }
    // The report, as the JSON answer gives it and the file holds it.
    QJsonObject report(const Meter *meter) const;
    // The figures as the operator reads them, once finished.
    QStringList lines(const Meter &meter) const;
    // Writes the report and the picture where asked and the record's line, and stores the
    // result in filing (when given); returns the status, with why in problems when something
    // could not be written or stored.
    int file(const QJsonObject &json, const QString &commandText, reports::SessionLog *sessionLog,
             QStringList &problems, ResultsFiling *filing = nullptr) const;

private:
    const scripting::DaCheckCommand &check_;
    CardSession &session_;
    std::vector<std::uint16_t> codes_;
    DaCheckOutcome outcome_;
    std::optional<std::uint16_t> lastCode_; // the code last set, once the check began
    std::optional<ReportTarget> report_;
    std::optional<ReportTarget> plot_;
};

// The guided DA check: steps the channel through its codes, takes a reading at each (asked for
// on the terminal, from a file, or from the simulated card's meter), leaves the channel at code
// 0, and tells the figures against the range's ideal line. Returns the exit status: 0 every
// figure within its limit, 1 one beyond (or not monotonic), 3 none beyond but a figure without
// a limit, 2 could not run, stopped by the operator or readings that do not follow the codes,
// 128 + N ended by signal N.
int runDaCheck(const scripting::DaCheckCommand &check, CardSession &session,
               const CommandLine &commandLine, std::istream &in, std::FILE *out, std::FILE *err,
               reports::SessionLog *sessionLog);

} // namespace qm5083::commands
