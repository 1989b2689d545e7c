#pragma once

#include "backends.h"
#include "exit_status.h"
#include "message.h"
#include "script_command.h"
#include "self_test.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace qm5083::commands {

// What one run of the program does: the option that chooses it, or the command word.
enum class Mode {
    Window,      // no command: the window
    PrintLayout, // --print-layout
    Command,     // a command after the options
    SelfTest,    // --self-test, or the self-test command
    Setup,       // --setup
    CheckSetup,  // --check-setup
};

// What the self-test (--self-test, or the self-test command) is asked for.
struct SelfTestSettings
{
    QString reportFile; // where the report goes; none when empty
    // A station's facts for the report.
    QString serial;
    QString operatorName;
    QString station;
    std::vector<selftest::SelfTestPart> skip;
    // What the DA channels are measured with (--meter, --da-range); none: written, not measured.
    std::optional<scripting::DaCheckCommand> daMeter;
};

// What the command line asks for. When exitCode is set the program ends without a window, after
// writing output to standard output and errors to standard error.
struct CommandLine
{
    Mode mode = Mode::Window;
    hardware::BackendOptions backends;
    std::optional<std::int16_t> card; // --card: the card a command or the self-test works on
    // Why the card set-up's file could not be read; the window reports it at start.
    std::optional<hardware::Message> cardsConfigProblem;
    bool json = false;
    QString logFile; // where the operations are recorded; none when empty
    // --results: the line's PostgreSQL database, or the SQLite file results go to; empty: the
    // results setting, or the station's own file.
    QString results;
    SelfTestSettings selfTest;
    bool pciIdsGiven = false;              // --pci-id, not the card set-up, names the cards
    std::vector<hardware::PciId> setupIds; // --setup's ids
    std::optional<scripting::ScriptCommand> command; // Mode::Command
    QString commandText;                             // the command as given
    QStringList arguments;                           // as given, the program's name aside
    bool resetsSimulatedCards = false; // --sim-reset, given as it may be: resetSimulatedCards
    std::optional<int> exitCode;
    QString output;
    QString errors; // "qm5083-bench: why" lines, for standard error
    // Why the arguments were refused, one reason each: for a JSON answer and the session record.
    QStringList refusals;

    std::int16_t cardNumber() const { return card.value_or(1); }
    bool opensWindow() const { return mode == Mode::Window; }
    // What a JSON answer or a record line calls this run: the command word as given, or the
    // mode's own name ("self-test", "setup", "check-setup", "window", "print-layout").
    QString answerName() const;
};

// Translates a text of this namespace's free functions, in the context the translation tools file
// them under (the namespace).
QString tr(const char *text);

// Reads the program's arguments (arguments[0] is the program). Reading them changes nothing.
CommandLine parseCommandLine(const QStringList &arguments);

// --sim-reset: starts the simulated cards afresh, and sets the answer (or why it could not) and
// the exit status in commandLine.
void resetSimulatedCards(CommandLine &commandLine);

} // namespace qm5083::commands
