#include "sys_io.h"

#include "text_lines.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace qm5083::hardware {

namespace {

template<typename Call>
SysResult retryingInterrupts(Call call)
{
    for (;;) {
        const long value = call();
        if (value >= 0)
            return {value, 0};
        if (errno != EINTR)
            return {value, errno};
    }
}

} // namespace

SysIo &SysIo::system()
{
    static PosixSysIo instance;
    return instance;
}

PosixSysIo::PosixSysIo(std::filesystem::path lockdownFile)
    : lockdownFile_(std::move(lockdownFile))
{ }

SysResult PosixSysIo::open(const std::filesystem::path &path, int flags)
{
    return retryingInterrupts([&] { return static_cast<long>(::open(path.c_str(), flags)); });
}

SysResult PosixSysIo::pread(int fd, void *buffer, std::size_t count, off_t offset)
{
    return retryingInterrupts(
        [&] { return static_cast<long>(::pread(fd, buffer, count, offset)); });
}

SysResult PosixSysIo::pwrite(int fd, const void *buffer, std::size_t count, off_t offset)
{
    return retryingInterrupts(
        [&] { return static_cast<long>(::pwrite(fd, buffer, count, offset)); });
}

SysResult PosixSysIo::close(int fd)
{
    // Not retried: after EINTR the descriptor is already gone on Linux.
    if (::close(fd) == 0)
        return {0, 0};
    return {-1, errno};
}

SysResult PosixSysIo::lockExclusive(int fd, std::chrono::milliseconds timeout)
{
    // Asked again every 200 us rather than waited for in the kernel, so that the wait can end:
    // the holder's operations are short, and a gap between two of them comes soon.
    // The clock is read only once the card turns out to be busy: a free card costs one call.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return {0, 0};
        if (errno != EWOULDBLOCK && errno != EINTR)
            return {-1, errno};
        const auto now = std::chrono::steady_clock::now();
        if (!deadline)
            deadline = now + timeout;
        else if (now >= *deadline)
            return {-1, EWOULDBLOCK};
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

SysResult PosixSysIo::unlock(int fd)
{
    return retryingInterrupts([&] { return static_cast<long>(::flock(fd, LOCK_UN)); });
}

std::optional<LockHolder> PosixSysIo::lockHolder(int fd)
{
    struct stat status
    { };
    if (::fstat(fd, &status) != 0)
        return std::nullopt;
    std::ifstream locks("/proc/locks");
    const std::string table {std::istreambuf_iterator<char>(locks), {}};
    const auto pid
        = flockHolderPid(table, ::major(status.st_dev), ::minor(status.st_dev), status.st_ino);
    if (!pid)
        return std::nullopt;
    std::ifstream cmdline("/proc/" + std::to_string(*pid) + "/cmdline");
    std::string command {std::istreambuf_iterator<char>(cmdline), {}};
    while (!command.empty() && command.back() == '\0')
        command.pop_back();
    for (char &c : command)
        if (c == '\0')
            c = ' ';
    // Another program's words, quoted to the technician: at most a line's worth, and no control
    // character that a terminal would obey.
    return LockHolder {*pid, convert::excerpt(command, 200)};
}

std::optional<long> flockHolderPid(std::string_view procLocks, unsigned major, unsigned minor,
                                   unsigned long inode)
{
    std::istringstream lines {std::string(procLocks)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string id, kind, mandatory, access, file;
        long pid = 0;
        if (!(words >> id >> kind) || kind == "->" || kind != "FLOCK")
            continue;
        if (!(words >> mandatory >> access >> pid >> file))
            continue;
        unsigned fileMajor = 0, fileMinor = 0;
        unsigned long fileInode = 0;
        char colon1 = 0, colon2 = 0;
        std::istringstream place(file);
        place >> std::hex >> fileMajor >> colon1 >> fileMinor >> colon2 >> std::dec >> fileInode;
        if (place && colon1 == ':' && colon2 == ':' && fileMajor == major && fileMinor == minor
            && fileInode == inode)
            return pid;
    }
    return std::nullopt;
}

std::optional<std::string> PosixSysIo::readLockdown()
{
    std::ifstream in(lockdownFile_);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    return line;
}

std::optional<std::string> activeLockdownMode(std::string_view stateLine)
{
    const auto open = stateLine.find('[');
    if (open == std::string_view::npos)
        return std::nullopt;
    const auto close = stateLine.find(']', open + 1);
    if (close == std::string_view::npos || close == open + 1)
        return std::nullopt;
    return std::string(stateLine.substr(open + 1, close - open - 1));
}

} // namespace qm5083::hardware
