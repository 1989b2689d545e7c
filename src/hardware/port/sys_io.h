#pragma once

#include <sys/types.h>

#include <chrono>
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

// The process that holds a lock, as the kernel's lock table and its command line say.
struct LockHolder
{
    long pid = 0;
    std::string command; // its command line, words apart; empty when it cannot be read
};

// The system calls through which the real card is reached, and through which every card on a bus
// is locked. Everything the port backend asks of the kernel passes here, so that every failure the
// kernel can report can be produced on demand.
class SysIo
{
public:
    virtual ~SysIo() = default;

    virtual SysResult open(const std::filesystem::path &path, int flags) = 0;
    virtual SysResult pread(int fd, void *buffer, std::size_t count, off_t offset) = 0;
    virtual SysResult pwrite(int fd, const void *buffer, std::size_t count, off_t offset) = 0;
    virtual SysResult close(int fd) = 0;
    // Takes the exclusive lock (flock) of fd's file, waiting at most timeout while another open
    // file holds it: EWOULDBLOCK when the wait ran out.
    virtual SysResult lockExclusive(int fd, std::chrono::milliseconds timeout) = 0;
    virtual SysResult unlock(int fd) = 0;
    // Who holds the lock of fd's file now; nothing when no one does or it cannot be told.
    virtual std::optional<LockHolder> lockHolder(int fd) = 0;
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
    SysResult lockExclusive(int fd, std::chrono::milliseconds timeout) override;
    SysResult unlock(int fd) override;
    std::optional<LockHolder> lockHolder(int fd) override;
    std::optional<std::string> readLockdown() override;

private:
    std::filesystem::path lockdownFile_;
};

// The process id of the flock holder of the file with this device and inode, from the text of
// /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 00:15:5678 0 EOF"); waiters ("->") are not
// holders.
std::optional<long> flockHolderPid(std::string_view procLocks, unsigned major, unsigned minor,
                                   unsigned long inode);

// The active mode of a lockdown state line: the word in brackets ("integrity" in
// "none [integrity] confidentiality"), or nothing when no word is bracketed.
std::optional<std::string> activeLockdownMode(std::string_view stateLine);

} // namespace qm5083::hardware
