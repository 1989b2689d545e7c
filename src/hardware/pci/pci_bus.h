#pragma once

#include "message.h"
#include "pci_id.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::hardware {

enum class IoDecoding {
    Enabled,  // the command register's I/O Space bit is set
    Disabled, // it is clear: the card ignores every port access
    Unknown,  // the command register could not be read
};

// A device on the bus that one of the --pci-id ids names, with the I/O BAR chosen for it.
struct PciCard
{
    std::string address; // "0000:03:00.0"
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    SubsystemIds subsystem;
    int bar = -1;                       // -1 when no I/O BAR was found
    std::filesystem::path resourceFile; // the BAR's file in sysfs; empty when bar is -1
    std::uint16_t start = 0;            // first port of the BAR
    std::uint32_t size = 0;             // ports in the BAR
    IoDecoding ioDecoding = IoDecoding::Unknown;
    std::optional<Message> unusable; // why the BAR cannot be used; nothing when it can

    bool usable() const { return !unusable; }
    // Whether the one-byte access at port lies wholly inside the BAR.
    bool holds(std::uint16_t port) const
    {
        return usable() && port >= start && std::uint32_t(port - start) + 1 <= size;
    }
    // "0000:03:00.0 BAR 1: E000-E01F", or the address and why the card cannot be used.
    Message describeRange() const;
};

// A failure of the PCI bus scan, with libpci's own explanation.
using PciScanError = ExplainedError;

// Reads the PCI bus under sysfsRoot (the directory holding devices/) through libpci and returns
// the devices that ids name, ordered by domain, bus, device and function: card number n is
// element n-1. Throws PciScanError when libpci fails and InvalidPciId when two ids can name one
// card.
std::vector<PciCard> scanPciCards(const std::vector<PciId> &ids,
                                  const std::filesystem::path &sysfsRoot = "/sys/bus/pci");

} // namespace qm5083::hardware
