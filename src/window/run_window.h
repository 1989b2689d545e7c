#pragma once

#include "command_line.h"
#include "program.h"
#include "session_log.h"

namespace qm5083::window {

// Shows the window on the card the command line chooses and runs until Exit (or, with
// --print-layout, prints the layout instead); the program's start calls it when no command is
// given.
int runWindow(int argc, char *argv[], const commands::CommandLine &commandLine,
              reports::SessionLog *sessionLog);

// Shows why the program could not start in a report window, and waits for OK.
void showStartupFailure(int argc, char *argv[], const QString &why);

// Both, for the program's start.
inline commands::WindowRunner windowRunner()
{
    return {runWindow, showStartupFailure};
}

} // namespace qm5083::window
