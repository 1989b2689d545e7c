#include "meter_command.h"

#include "ending.h"
#include "safe_files.h"
#include "text_lines.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ; // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace qm5083::commands {

namespace {

using Clock = std::chrono::steady_clock;
using reports::FileDescriptor;

// This process's environment with the variables set as given.
std::vector<std::string>
environmentWith(const std::vector<std::pair<std::string, std::string>> &variables)
{
    std::vector<std::string> entries;
    for (char **entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        if (std::none_of(variables.begin(), variables.end(),
                         [&](const auto &variable) { return variable.first == name; }))
            entries.emplace_back(text);
    }
    for (const auto &[name, value] : variables)
        entries.push_back(std::string(name).append("=").append(value));
    return entries;
}

// Ends every process of the group its leader made: SIGTERM, and SIGKILL to any still there after
// the grace. What of the group ends is reaped here: the leader, and the processes it left behind,
// which this process adopts as their subreaper (their zombies would otherwise keep the group
// alive to kill(-leader, 0) until process 1 reaps them). The leader's pid names the group until
// every member is gone, so no other process can be reached by it.
void endGroup(pid_t leader)
{
    if (::kill(-leader, SIGTERM) == 0) {
        for (const auto deadline = Clock::now() + kMeterGrace; Clock::now() < deadline;) {
            while (::waitpid(-leader, nullptr, WNOHANG) > 0) { }
            if (::kill(-leader, 0) != 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(-leader, SIGKILL);
    }
    while (::waitpid(-leader, nullptr, 0) > 0) { }
}

// What the command writes to standard error, passed on line by line with its control characters
// escaped, up to kMaxMeterErrors bytes; the rest is read and left out, marked with "…".
class ErrorLines
{
public:
    explicit ErrorLines(std::FILE *err)
        : err_(err)
    { }
    ErrorLines(const ErrorLines &) = delete;
    ErrorLines &operator=(const ErrorLines &) = delete;
    ~ErrorLines()
    {
        if (!line_.empty() || leftOut_)
            write();
    }

    void take(std::string_view bytes)
    {
        for (const char c : bytes) {
            if (taken_ == kMaxMeterErrors) {
                leftOut_ = true;
                continue;
            }
            ++taken_;
            if (c == '\n')
                write();
            else
                line_ += c;
        }
    }

private:
    void write()
    {
        std::string shown = convert::escapeControls(line_) + (leftOut_ ? "…\n" : "\n");
        if (err_) {
            std::fwrite(shown.data(), 1, shown.size(), err_);
            std::fflush(err_);
        }
        line_.clear();
    }

    std::FILE *err_;
    std::string line_;
    std::size_t taken_ = 0;
    bool leftOut_ = false;
};

enum class Got { Bytes, NothingYet, End };

// Reads at most atMost bytes of what is there now.
Got readSome(int fd, std::string &into, std::size_t atMost)
{
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, atMost));
    if (got > 0) {
        into.append(buffer, static_cast<std::size_t>(got));
        return Got::Bytes;
    }
    return got < 0 && (errno == EINTR || errno == EAGAIN) ? Got::NothingYet : Got::End;
}

struct Pipe
{
    FileDescriptor read;
    FileDescriptor write;
};

Pipe makePipe()
{
    int ends[2] = {-1, -1};
    ::pipe2(ends, O_CLOEXEC); // a failed call leaves both at -1, which is no descriptor
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

// Starts /bin/sh -c command in a process group of its own, with the ending signals at their
// defaults and none blocked. Returns its pid, or -errno.
pid_t spawn(const std::string &command, const std::vector<std::string> &environment,
            const Pipe &out, const Pipe &err)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err.write.get(), STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGPIPE})
        sigaddset(&defaults, signal);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char *> envp;
    envp.reserve(environment.size() + 1);
    for (const std::string &entry : environment)
        envp.push_back(const_cast<char *>(entry.c_str()));
    envp.push_back(nullptr);
    std::string shell = "/bin/sh";
    std::string option = "-c";
    std::string text = command;
    char *argv[] = {shell.data(), option.data(), text.data(), nullptr};
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, shell.c_str(), &actions, &attributes, argv, envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -error;
}

} // namespace

MeterCommandRun runMeterCommand(const std::string &command,
                                const std::vector<std::pair<std::string, std::string>> &variables,
                                std::chrono::milliseconds timeout, std::FILE *err)
{
    using Ending = MeterCommandRun::Ending;
    MeterCommandRun run;
    Pipe out = makePipe();
    Pipe errors = makePipe();
    if (!out.read || !errors.read) {
        run.status = errno;
        return run;
    }
    // Processes the command leaves behind become this process's children, so that they are
    // reaped as soon as they end (see endGroup).
    [[maybe_unused]] static const bool kAdoptsOrphans = ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
    const pid_t pid = spawn(command, environmentWith(variables), out, errors);
    out.write = FileDescriptor();
    errors.write = FileDescriptor();
    if (pid < 0) {
        run.status = -pid;
        return run;
    }
    // The leader's end is seen through its pidfd; without one, by looking every 10 ms.
    const FileDescriptor leader(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    ErrorLines said(err);
    std::string errorText;
    bool outOpen = true;
    bool errOpen = true;
    bool exited = false;
    int waitStatus = 0;
    const auto deadline = Clock::now() + timeout;
    run.ending = Ending::TimedOut;
    while (!exited) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                  .count();
        if (left <= 0)
            break;
        // A stream at its end is left out: poll would report its hang-up at once, every time.
        pollfd fds[3] = {{outOpen ? out.read.get() : -1, POLLIN, 0},
                         {errOpen ? errors.read.get() : -1, POLLIN, 0},
                         {leader.get(), POLLIN, 0}};
        const int ready = ::poll(fds, leader ? 3 : 2,
                                 static_cast<int>(leader ? left : std::min<long long>(left, 10)));
        if (ready < 0 && errno == EINTR && endingSignal()) {
            run.ending = Ending::EndedBySignal;
            break;
        }
        if (ready < 0 && errno != EINTR) {
            run.ending = Ending::Failed;
            run.status = errno;
            break;
        }
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            outOpen = readSome(out.read.get(), run.output, kMaxMeterOutput + 1 - run.output.size())
                != Got::End;
        if (run.output.size() > kMaxMeterOutput) {
            run.ending = Ending::TooMuch;
            break;
        }
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            errorText.clear();
            errOpen = readSome(errors.read.get(), errorText, 4096) != Got::End;
            said.take(errorText);
        }
        if (!leader || (fds[2].revents & POLLIN))
            exited = ::waitpid(pid, &waitStatus, leader ? 0 : WNOHANG) == pid;
    }
    // Whatever it started goes with it, before what is left in the pipes is read.
    endGroup(pid);
    if (!exited)
        return run;
    ::fcntl(out.read.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(errors.read.get(), F_SETFL, O_NONBLOCK);
    // What the pipes still hold; a process that left the group may keep them open, so only
    // what is there now, and a bounded amount of it.
    while (outOpen && run.output.size() <= kMaxMeterOutput)
        outOpen = readSome(out.read.get(), run.output, kMaxMeterOutput + 1 - run.output.size())
            == Got::Bytes;
    for (int i = 0; errOpen && i < 16; ++i) {
        errorText.clear();
        errOpen = readSome(errors.read.get(), errorText, 4096) == Got::Bytes;
        said.take(errorText);
    }
    if (run.output.size() > kMaxMeterOutput) {
        run.ending = Ending::TooMuch;
    } else if (WIFSIGNALED(waitStatus)) {
        run.ending = Ending::Killed;
        run.status = WTERMSIG(waitStatus);
    } else {
        run.ending = Ending::Exited;
        run.status = WEXITSTATUS(waitStatus);
    }
    return run;
}

} // namespace qm5083::commands
