#pragma once

#include "sys_io.h"

#include <optional>
#include <string>
#include <vector>

namespace qm5083::testing {

// The system calls behind the real-card backend, made for real on fixture files and counted,
// except that the nth call of one kind can be made to fail with a given result.
class FakeSysIo final : public hardware::SysIo
{
public:
    enum class Call { None, Open, Pread, Pwrite, Lock };

    void failNth(Call call, int nth, hardware::SysResult result)
    {
        failing_ = call;
        nth_ = nth;
        result_ = result;
        seen_ = 0;
    }

    hardware::SysResult open(const std::filesystem::path &path, int flags) override
    {
        ++opens;
        openFlags = flags;
        if (const auto result = failed(Call::Open))
            return *result;
        return real_.open(path, flags);
    }
    hardware::SysResult pread(int fd, void *buffer, std::size_t count, off_t offset) override
    {
        ++preads;
        counts.push_back(count);
        if (const auto result = failed(Call::Pread))
            return *result;
        return real_.pread(fd, buffer, count, offset);
    }
    hardware::SysResult pwrite(int fd, const void *buffer, std::size_t count, off_t offset) override
    {
        ++pwrites;
        counts.push_back(count);
        if (const auto result = failed(Call::Pwrite))
            return *result;
        return real_.pwrite(fd, buffer, count, offset);
    }
    hardware::SysResult close(int fd) override
    {
        ++closes;
        return real_.close(fd);
    }
    hardware::SysResult lockExclusive(int fd, std::chrono::milliseconds timeout) override
    {
        ++locks;
        if (const auto result = failed(Call::Lock))
            return *result;
        return real_.lockExclusive(fd, timeout);
    }
    hardware::SysResult unlock(int fd) override
    {
        ++unlocks;
        return real_.unlock(fd);
    }
    std::optional<hardware::LockHolder> lockHolder(int fd) override
    {
        return holder ? holder : real_.lockHolder(fd);
    }
    std::optional<std::string> readLockdown() override { return lockdown; }

    int calls() const { return opens + preads + pwrites + closes; }

    std::optional<std::string> lockdown;        // the kernel's lockdown state line; none by default
    std::optional<hardware::LockHolder> holder; // instead of the kernel's lock table
    int opens = 0, preads = 0, pwrites = 0, closes = 0, locks = 0, unlocks = 0;
    int openFlags = 0;
    std::vector<std::size_t> counts; // bytes asked for, per read or write

private:
    std::optional<hardware::SysResult> failed(Call call)
    {
        if (call != failing_ || ++seen_ != nth_)
            return std::nullopt;
        failing_ = Call::None;
        return result_;
    }

    hardware::PosixSysIo real_;
    Call failing_ = Call::None;
    int nth_ = 0;
    int seen_ = 0;
    hardware::SysResult result_ {};
};

} // namespace qm5083::testing
