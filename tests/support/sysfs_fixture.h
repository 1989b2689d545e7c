#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm5083::testing {

enum class BarKind { None, Io, Memory32, Memory64Prefetchable };

struct FixtureBar
{
    BarKind kind = BarKind::None;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    std::uint64_t moreFlags = 0; // the kernel's besides the kind's: unset, disabled
};

inline FixtureBar io(std::uint64_t start, std::uint64_t size, std::uint64_t moreFlags = 0)
{
    return {BarKind::Io, start, size, moreFlags};
}
inline FixtureBar mem(std::uint64_t start, std::uint64_t size)
{
    return {BarKind::Memory32, start, size};
}
inline FixtureBar mem64(std::uint64_t start, std::uint64_t size)
{
    return {BarKind::Memory64Prefetchable, start, size};
}

struct FixtureDevice
{
    std::string address; // "0000:03:00.0"
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    std::array<FixtureBar, 6> bars {};
    std::uint16_t command = 0x0003;     // I/O and memory decoding on
    std::uint32_t classCode = 0x118000; // class, subclass, programming interface
    int irq = 16;
    // The board's subsystem vendor and device ids; none: the same as vendor and device.
    std::optional<std::pair<std::uint16_t, std::uint16_t>> subsystem {};
};

// A PCI sysfs tree (the directory that holds devices/) in a fresh temporary directory, removed
// again at the end. Each device directory holds what the kernel puts there and libpci reads:
// vendor, device, class, revision, subsystem ids, irq, resource (one line per region, with the
// kernel's resource flags), config (the 256-byte configuration header, BARs included) and, for
// each present BAR, a regular file of the BAR's size standing in for resource<N>.
class SysfsFixture
{
public:
    SysfsFixture();
    ~SysfsFixture();
    SysfsFixture(const SysfsFixture &) = delete;
    SysfsFixture &operator=(const SysfsFixture &) = delete;

    const std::filesystem::path &root() const { return root_; }
    std::filesystem::path deviceDir(std::string_view address) const;
    std::filesystem::path resourceFile(std::string_view address, int bar) const;

    void add(const FixtureDevice &device);
    // Replaces (or, with an empty text, creates empty) one file of a device directory.
    void writeFile(std::string_view address, std::string_view name, std::string_view text) const;
    void remove(std::string_view address, std::string_view name) const;

private:
    std::filesystem::path root_;
};

std::vector<std::uint8_t> readBytes(const std::filesystem::path &file);
void writeBytes(const std::filesystem::path &file, const std::vector<std::uint8_t> &bytes);

} // namespace qm5083::testing
