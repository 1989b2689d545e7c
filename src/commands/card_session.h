#pragma once

#include "access_recorder.h"
#include "backends.h"
#include "card_protocol.h"
#include "command_line.h"
#include "error_report.h"
#include "session_log.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <exception>
#include <optional>

namespace qm5083::commands {

// Why a command cannot run, said once where the command ends.
struct CannotRun
{
    QString why;
};

// A command's answer: its exit status, its line of text (none: nothing on standard output, and
// why on standard error) and its JSON object, and what its session record line adds: the
// verdict and what it rests on, for a check.
struct Answer
{
    int status = 0;
    QString line;
    QJsonObject json;
    QString why {};        // said on standard error when there is no line
    QJsonObject record {}; // added to the record's line
};

// The record's words for an exit status.
QString resultOf(int status);

// The card a check works on: the one the command line names (--card), or the one the window
// shows (its card number and the base its locate found), on the backend that reaches it.
struct CardChoice
{
    const hardware::Backend *backend = nullptr;
    std::int16_t number = 1;
    std::optional<std::uint16_t> base; // as the window located it; none: located when used
    std::vector<hardware::SimulatedFault> faults; // the simulated cards' faults, as given
};

// The card the command line names, on backend.
CardChoice cardOf(const CommandLine &commandLine, const hardware::Backend &backend);

// The card the commands work on: chosen and located once, and kept from command to command (a
// batch's lines share it, and the simulated card's state with it). Every access is recorded for
// the session record.
class CardSession
{
public:
    explicit CardSession(const CommandLine &commandLine);
    // The card chosen, its accesses recorded by recorder (one of its own when none is given).
    explicit CardSession(const CardChoice &choice, hardware::AccessRecorder *recorder = nullptr);
    CardSession(const CardSession &) = delete;
    CardSession &operator=(const CardSession &) = delete;

    // The card at its base, for one operation; throws CannotRun when there is none.
    protocol::CardRegisters &card();
    std::int16_t number() const { return number_; }
    // The base chosen with the card; none: the locator's, found when first used.
    std::optional<std::uint16_t> base() const { return base_; }
    const hardware::Backend &backend() const { return *backend_; }
    hardware::AccessRecorder &recorder() { return *recorder_; }

private:
    std::int16_t number_;
    std::optional<hardware::Backend> ownBackend_;
    const hardware::Backend *backend_;
    std::optional<std::uint16_t> base_;
    std::optional<hardware::AccessRecorder> ownRecorder_;
    hardware::AccessRecorder *recorder_;
    std::optional<protocol::CardRegisters> card_;
};

// The base of card number on the backend; throws CannotRun saying why there is none.
std::uint16_t locatedBase(const hardware::Backend &backend, std::int16_t number);

// The simulated card's faults as given, for the session record.
QJsonArray faultTexts(const CommandLine &commandLine);

// The faults of simulated card number among faults, as given: for the report of its test.
QJsonArray faultTexts(const std::vector<hardware::SimulatedFault> &faults, std::int16_t number);

// A card as a report names it: its number, kind ("simulated" or "pci") and base, and a PCI
// card's address and ids. A base given is the one named; else the locator's.
QJsonObject describeCard(const hardware::Backend &backend, std::int16_t number,
                         std::optional<std::uint16_t> base = std::nullopt);

// The session record's first line for this run: the program and its version, when (with the
// time zone), the cards (the simulated one with its faults, or each PCI card's address, ids, BAR
// and base) and the options given.
void recordSessionStart(reports::SessionLog *log, const CommandLine &commandLine,
                        const hardware::Backend &backend);

// A run whose arguments were refused: the session line (no card was chosen) and one line saying
// what was refused and why.
void recordRefusal(reports::SessionLog &log, const CommandLine &commandLine);

// What a check's record line names, from its report: the card, the serial, the report file
// ("reportFile", null when none was filed) and the process.
void addWhatWasChecked(QJsonObject &details, const QJsonObject &report, const QString &filedAs);

// Why a failure stopped a command, in one line.
QString reasonOf(const std::exception_ptr &failure);

} // namespace qm5083::commands
