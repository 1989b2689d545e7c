#pragma once

#include "backends.h"
#include "message.h"
#include "script_command.h"
#include "self_test.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace qm5083::commands {

// What --self-test (or the self-test command) is asked for.
struct SelfTestSettings
{
    bool run = false;
    QString reportFile; // where the report goes; none when empty
    // A station's facts for the report.
    QString serial;
    QString operatorName;
    QString station;
    std::vector<selftest::SelfTestPart> skip;
};

// What the command line asks for. When exitCode is set the program ends without a window, after
// writing output to standard output and errors to standard error.
struct CommandLine
{
    hardware::BackendOptions backends;
    std::optional<std::int16_t> card; // --card: the card a command or the self-test works on
    // Why the card set-up's file could not be read; the window reports it at start.
    std::optional<hardware::Message> cardsConfigProblem;
    bool printLayout = false;
    bool json = false;
    QString logFile; // where the operations are recorded; none when empty
    SelfTestSettings selfTest;
    bool pciIdsGiven = false; // --pci-id, not the card set-up, names the cards
    bool setup = false;       // --setup: these ids
    std::vector<hardware::PciId> setupIds;
    bool checkSetup = false;                         // --check-setup
    std::optional<scripting::ScriptCommand> command; // none: the window, or the self-test
    QString commandText;                             // the command as given
    QStringList arguments;                           // as given, the program's name aside
    // No command is given, so the window would open: a failure to start is shown in a window too.
    bool opensWindow = false;
    std::optional<int> exitCode;
    QString output;
    QString errors;

    std::int16_t cardNumber() const { return card.value_or(1); }
};

inline constexpr int kUsageError = 2;

// Translates a text of this namespace's free functions, in the context the translation tools file
// them under (the namespace).
QString tr(const char *text);

// Reads the program's arguments (arguments[0] is the program).
CommandLine parseCommandLine(const QStringList &arguments);

} // namespace qm5083::commands
