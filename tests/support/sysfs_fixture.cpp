#include "sysfs_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qm5083::testing {

namespace fs = std::filesystem;

namespace {

// The kernel's flags for a BAR (IORESOURCE_IO or _MEM, plus SIZEALIGN, PREFETCH, MEM_64 and the
// BAR's own low bits), as the resource file shows them.
std::uint64_t resourceFlags(BarKind kind)
{
    switch (kind) {
    case BarKind::None:
        return 0;
    case BarKind::Io:
        return 0x40101;
    case BarKind::Memory32:
        return 0x40200;
    case BarKind::Memory64Prefetchable:
        return 0x14220c;
    }
    return 0;
}

void writeText(const fs::path &file, std::string_view text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write fixture file " + file.string());
}

std::string hexValue(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x\n", digits, value);
    return text;
}

void put16(std::vector<std::uint8_t> &config, std::size_t at, unsigned value)
{
    config[at] = static_cast<std::uint8_t>(value);
    config[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t> &config, std::size_t at, std::uint32_t value)
{
    put16(config, at, value & 0xFFFF);
    put16(config, at + 2, value >> 16);
}

std::vector<std::uint8_t> configSpace(const FixtureDevice &device)
{
    std::vector<std::uint8_t> config(256, 0);
    put16(config, 0x00, device.vendor);
    put16(config, 0x02, device.device);
    put16(config, 0x04, device.command);
    put16(config, 0x06, 0x0010);
    config[0x08] = 0x01; // revision
    config[0x09] = static_cast<std::uint8_t>(device.classCode);
    config[0x0A] = static_cast<std::uint8_t>(device.classCode >> 8);
    config[0x0B] = static_cast<std::uint8_t>(device.classCode >> 16);
    for (std::size_t i = 0; i < device.bars.size(); ++i) {
        const FixtureBar &bar = device.bars[i];
        const std::size_t at = 0x10 + 4 * i;
        switch (bar.kind) {
        case BarKind::None:
            break;
        case BarKind::Io:
            put32(config, at, static_cast<std::uint32_t>(bar.start) | 0x1);
            break;
        case BarKind::Memory32:
            put32(config, at, static_cast<std::uint32_t>(bar.start));
            break;
        case BarKind::Memory64Prefetchable:
            put32(config, at, static_cast<std::uint32_t>(bar.start) | 0xC);
            if (at + 4 < 0x28)
                put32(config, at + 4, static_cast<std::uint32_t>(bar.start >> 32));
            break;
        }
    }
    put16(config, 0x2C, device.subsystem ? device.subsystem->first : device.vendor);
    put16(config, 0x2E, device.subsystem ? device.subsystem->second : device.device);
    config[0x3C] = static_cast<std::uint8_t>(device.irq);
    config[0x3D] = 0x01;
    return config;
}

} // namespace

SysfsFixture::SysfsFixture()
{
    std::string pattern = (fs::temp_directory_path() / "qm5083-sysfs-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory for a sysfs fixture");
    root_ = pattern;
    fs::create_directories(root_ / "devices");
}

SysfsFixture::~SysfsFixture()
{
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

fs::path SysfsFixture::deviceDir(std::string_view address) const
{
    return root_ / "devices" / address;
}

fs::path SysfsFixture::resourceFile(std::string_view address, int bar) const
{
    return deviceDir(address) / ("resource" + std::to_string(bar));
}

void SysfsFixture::add(const FixtureDevice &device)
{
    const fs::path dir = deviceDir(device.address);
    fs::create_directories(dir);
    writeText(dir / "vendor", hexValue(device.vendor, 4));
    writeText(dir / "device", hexValue(device.device, 4));
    writeText(dir / "subsystem_vendor",
              hexValue(device.subsystem ? device.subsystem->first : device.vendor, 4));
    writeText(dir / "subsystem_device",
              hexValue(device.subsystem ? device.subsystem->second : device.device, 4));
    writeText(dir / "class", hexValue(device.classCode, 6));
    writeText(dir / "revision", hexValue(0x01, 2));
    writeText(dir / "irq", std::to_string(device.irq) + "\n");
    writeText(dir / "enable", "1\n");

    // Six BARs, the expansion ROM, then the six SR-IOV regions, as on a kernel with
    // CONFIG_PCI_IOV; absent regions are all zeros.
    std::string resource;
    char line[80];
    for (int i = 0; i < 13; ++i) {
        std::uint64_t start = 0, end = 0, flags = 0;
        if (i < 6 && device.bars[i].kind != BarKind::None) {
            const FixtureBar &bar = device.bars[i];
            start = bar.start;
            end = bar.start + bar.size - 1;
            flags = resourceFlags(bar.kind) | bar.moreFlags;
        }
        std::snprintf(line, sizeof line, "0x%016llx 0x%016llx 0x%016llx\n",
                      static_cast<unsigned long long>(start), static_cast<unsigned long long>(end),
                      static_cast<unsigned long long>(flags));
        resource += line;
    }
    writeText(dir / "resource", resource);
    writeBytes(dir / "config", configSpace(device));

    for (int i = 0; i < 6; ++i) {
        const FixtureBar &bar = device.bars[i];
        if (bar.kind == BarKind::None)
            continue;
        // Memory BARs are large; their stand-ins only need to exist.
        const std::uint64_t size = bar.kind == BarKind::Io ? bar.size : 0;
        writeBytes(resourceFile(device.address, i), std::vector<std::uint8_t>(size, 0));
    }
}

void SysfsFixture::writeFile(std::string_view address, std::string_view name,
                             std::string_view text) const
{
    writeText(deviceDir(address) / name, text);
}

void SysfsFixture::remove(std::string_view address, std::string_view name) const
{
    fs::remove(deviceDir(address) / name);
}

std::vector<std::uint8_t> readBytes(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path &file, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write fixture file " + file.string());
}

} // namespace qm5083::testing
