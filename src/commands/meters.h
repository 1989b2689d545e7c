#pragma once

// Where the DA check's readings come from: a meter read by the program (libsigrok, or a program
// a station already runs), the simulated card's output, a file, or the technician typing them.

#include "card_session.h"
#include "script_command.h"

#include <QJsonObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <memory>

namespace qm5083::commands {

// A meter that stopped answering, answered something that is no DC voltage, or was closed: the
// check ends, its readings so far kept in a report marked incomplete.
struct MeterFailed
{
    QString why;
};

// The operator ended the check: q (or the end of the input) at the terminal, Esc in the window.
struct StoppedByOperator
{
    QString why;
};

class Meter
{
public:
    virtual ~Meter() = default;
    Meter(const Meter &) = delete;
    Meter &operator=(const Meter &) = delete;

    // What the report files as the meter: its kind ("typed", "file", "simulated", "command",
    // "sigrok") and what it is: the file, the command, the model and serial it reports.
    virtual QJsonObject identity() const = 0;
    // One reading in volts DC with the channel at code. Throws MeterFailed, StoppedByOperator
    // when the technician ends the check, or CannotRun when a signal asks the program to end
    // (noticed within a fraction of a second, however long the meter takes).
    virtual double read(std::uint16_t code) = 0;

protected:
    Meter() = default;
};

// The meter the check asks for. readings is how many it will take in all (a file must hold
// exactly that many). Throws CannotRun when it cannot be used.
std::unique_ptr<Meter> openMeter(const scripting::DaCheckCommand &check, CardSession &session,
                                 int readings, std::istream &in, std::FILE *err);

// A reading as a meter or a program writes it: volts, optionally followed by V or VDC. Anything
// else (another unit, AC, text) is none.
std::optional<double> dcVolts(const QString &text);

// The meter drivers this program can reach, one a line: what `meters` lists.
QStringList meterDrivers();

} // namespace qm5083::commands
