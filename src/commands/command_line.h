#pragma once

#include "backends.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace qm5083::commands {

// What the command line asks for. When exitCode is set the program ends without a window, after
// writing output to standard output and errors to standard error.
struct CommandLine
{
    hardware::BackendOptions backends;
    bool printLayout = false;
    bool selfTest = false;
    std::int16_t card = 1; // the card the self-test tests
    QString reportFile;    // where the self-test writes its report; none when empty
    QString logFile;       // where the window records its operations; none when empty
    std::optional<int> exitCode;
    QString output;
    QString errors;
};

inline constexpr int kUsageError = 2;

// Translates a text of this namespace's free functions, in the context the translation tools file
// them under (the namespace).
QString tr(const char *text);

// Reads the program's arguments (arguments[0] is the program).
CommandLine parseCommandLine(const QStringList &arguments);

} // namespace qm5083::commands
