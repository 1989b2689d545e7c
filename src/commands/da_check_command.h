#pragma once

#include "card_session.h"
#include "command_line.h"
#include "da_check.h"
#include "report_file.h"
#include "script_command.h"
#include "session_log.h"

#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <istream>
#include <optional>
#include <vector>

namespace qm5083::commands {

class Meter;

// What a check found: its points so far, and when complete its figures and verdicts.
struct DaCheckOutcome
{
    std::vector<scripting::DaPoint> points;
    std::vector<std::vector<double>> taken; // each point's readings, when averaged
    std::optional<scripting::DaFigures> figures;
    std::vector<scripting::DaVerdict> verdicts;
    int status = 0;
    QString error;
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
    // Throws MeterFailed for a reading further outside the range than it is wide.
    void checkPlausible(std::uint16_t code, double reading) const;
    // The readings taken at code, kept as one point.
    void addPoint(std::uint16_t code, const std::vector<double> &taken);
    // Every code read: the channel back at code 0, the figures and the verdicts.
    void finish();
    // Ended before its end, with status; the caller leaves the channel at code 0.
    void stopped(const std::exception_ptr &why, int status);

    const DaCheckOutcome &outcome() const { return outcome_; }
    // The report, as the JSON answer gives it and the file holds it.
    QJsonObject report(const Meter *meter) const;
    // The figures as the operator reads them, once finished.
    QStringList lines(const Meter &meter) const;
    // Writes the report and the picture where asked and the record's line; returns the status,
    // with why in problems when something could not be written.
    int file(const QJsonObject &json, const QString &commandText, reports::SessionLog *sessionLog,
             QStringList &problems) const;

private:
    const scripting::DaCheckCommand &check_;
    CardSession &session_;
    std::vector<std::uint16_t> codes_;
    DaCheckOutcome outcome_;
    std::optional<ReportTarget> report_;
    std::optional<ReportTarget> plot_;
};

// The guided DA check: steps the channel through its codes, takes a reading at each (asked for
// on the terminal, from a file, or from the simulated card's meter), leaves the channel at code
// 0, and tells the figures against the range's ideal line. Returns the exit status: 0 done (and
// within the limits, when given), 1 beyond them, 2 could not run or was ended.
int runDaCheck(const scripting::DaCheckCommand &check, CardSession &session,
               const CommandLine &commandLine, std::istream &in, std::FILE *out, std::FILE *err,
               reports::SessionLog *sessionLog);

} // namespace qm5083::commands
