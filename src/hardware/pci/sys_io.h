#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qm5083::hardware {

// What one system call gave back: a count or descriptor in value, or the errno it failed with.
struct SysResult
{
    long value = 0;
    int error = 0;

    bool ok() const { return error == 0; }
};

// The system calls through which the real card is reached. Everything the port backend asks of
// the kernel passes here, so that every failure the kernel can report can be produced on demand.
class SysIo
{
public:
    virtual ~SysIo() = default;

    virtual SysResult open(const std::filesystem::path &path, int flags) = 0;
    virtual SysResult pread(int fd, void *buffer, std::size_t count, off_t offset) = 0;
    virtual SysResult pwrite(int fd, const void *buffer, std::size_t count, off_t offset) = 0;
    virtual SysResult close(int fd) = 0;
    // The kernel's lockdown state line, e.g. "none [integrity] confidentiality"; nothing when the
    // kernel has no lockdown or the file cannot be read.
    virtual std::optional<std::string> readLockdown() = 0;

    // The process-wide instance that calls the kernel.
    static SysIo &system();

protected:
    SysIo() = default;
    SysIo(const SysIo &) = default;
    SysIo &operator=(const SysIo &) = default;
};

// Calls the POSIX functions; EINTR is retried, since an interrupted call made no access.
class PosixSysIo final : public SysIo
{
public:
    explicit PosixSysIo(std::filesystem::path lockdownFile = "/sys/kernel/security/lockdown");

    SysResult open(const std::filesystem::path &path, int flags) override;
    SysResult pread(int fd, void *buffer, std::size_t count, off_t offset) override;
    SysResult pwrite(int fd, const void *buffer, std::size_t count, off_t offset) override;
    SysResult close(int fd) override;
    std::optional<std::string> readLockdown() override;

private:
    std::filesystem::path lockdownFile_;
};

// The active mode of a lockdown state line: the word in brackets ("integrity" in
// "none [integrity] confidentiality"), or nothing when no word is bracketed.
std::optional<std::string> activeLockdownMode(std::string_view stateLine);

} // namespace qm5083::hardware
