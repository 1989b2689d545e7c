#pragma once

#include "command_line.h"
#include "exit_status.h"
#include "session_log.h"

#include <functional>

namespace qm5083::commands {

// What the program's executable supplies, so that nothing here needs a display or widgets.
struct WindowRunner
{
    // Shows the window on the card the command line chooses and runs until Exit, recording into
    // the session log when there is one; returns the exit status.
    std::function<int(int argc, char *argv[], const CommandLine &, reports::SessionLog *)> run;
    // Shows why the program could not start, in a report window: started from the desktop
    // menu, it has no standard error anyone reads.
    std::function<void(int argc, char *argv[], const QString &why)> showStartupFailure;
};

// The whole program: reads the command line before any display is opened, then runs the
// self-test or a command without one, or else the window. main() calls only this.
int runProgram(int argc, char *argv[], const WindowRunner &runWindow);

} // namespace qm5083::commands
