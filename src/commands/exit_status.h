#pragma once

namespace qm5083::commands {

// The program's exit statuses, the one list a script can trust: every command, the self-test,
// the set-up and its check end with one of these, or with 128 + the signal that ended them.
enum ExitStatus : int {
    kDone = 0,        // done; every check passed
    kCheckFailed = 1, // done, but a check failed (or, for cards and --check-setup, none usable)
    kCannotRun = 2,   // could not run, or refused its arguments: nothing was written
    // Every check made passed, but not every check named was made or judged: a part of the
    // self-test skipped, a DA channel not measured, a figure of the DA check without a limit.
    kIncomplete = 3,
    kInternalError = 70 // a fault of the program itself (EX_SOFTWARE)
};

// The status of a program ended by a signal, as a shell reports it.
constexpr int signalStatus(int signal)
{
    return 128 + signal;
}

} // namespace qm5083::commands
