#include "sys_io.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
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
