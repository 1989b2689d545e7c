#pragma once

// One run of a program a station already has for reading its meter: in a process group of its
// own, so that whatever it starts ends with it; its output read up to a bound, never whole.

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace qm5083::commands {

// The most of its standard output a reading's run may print (its first line is the reading), and
// the most of its standard error passed on to ours.
inline constexpr std::size_t kMaxMeterOutput = 4096;
inline constexpr std::size_t kMaxMeterErrors = 4096;

// How long the command's group is given to end after SIGTERM before SIGKILL ends what is left.
inline constexpr std::chrono::milliseconds kMeterGrace {500};

struct MeterCommandRun
{
    enum class Ending {
        Exited,        // status holds its exit status
        Killed,        // ended by signal status
        Failed,        // it could not be run or watched: status holds the errno
        TimedOut,      // it had not ended within the time
        TooMuch,       // it printed more than kMaxMeterOutput bytes
        EndedBySignal, // this program was asked to end (endingSignal())
    };
    Ending ending = Ending::Failed;
    int status = 0;
    std::string output; // its standard output, at most kMaxMeterOutput bytes
};

// Runs command with /bin/sh -c, with the environment's variables set as given, standard input
// from /dev/null and standard error passed on to err, each line escaped (at most
// kMaxMeterErrors bytes of it). However it ends, every process of its group is ended before
// this returns: SIGTERM, then SIGKILL after kMeterGrace to any left.
MeterCommandRun runMeterCommand(const std::string &command,
                                const std::vector<std::pair<std::string, std::string>> &variables,
                                std::chrono::milliseconds timeout, std::FILE *err);

} // namespace qm5083::commands
