#pragma once

// Which of a PCI device's files the card group may open, as the udev helper decides it: exactly
// the resource file of a listed card's I/O BAR, and nothing else of any device. A memory BAR's
// file can be mapped, and a device that masters the bus can then reach all of memory; so a
// memory BAR, config, rom and every device not listed stay as the kernel made them.

#include "pci_id.h"

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::hardware {

// The kernel's resource flags (include/linux/ioport.h).
inline constexpr std::uint64_t kIoResourceIo = 0x100;
inline constexpr std::uint64_t kIoResourceDisabled = 0x10000000;
inline constexpr std::uint64_t kIoResourceUnset = 0x20000000;

// One line of a device's sysfs "resource" file, as the kernel writes it.
struct ResourceLine
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t flags = 0;

    // The kernel's flags say it is a port region, and one that is assigned, below port 10000.
    bool isPortRegion() const;
    // A port region, assigned or not.
    bool isIo() const { return (flags & kIoResourceIo) != 0 && (start != 0 || end != 0); }
};

// The device as its sysfs folder describes it.
struct SysfsDevice
{
    DeviceIds ids;
    std::array<ResourceLine, kPciBarCount> bars {};
};

// The first six lines of a "resource" file, the BARs; a line that cannot be read counts as none.
std::array<ResourceLine, kPciBarCount> parseResourceFile(std::string_view text);

// The BAR a card is reached through, for the program and the helper alike: the BAR named, or
// else the first the kernel flags as a port region, assigned or not (an unassigned one makes the
// card unusable, never a later region the card's registers are not in). Nothing when there is no
// such BAR.
std::optional<int> cardBar(const std::array<ResourceLine, kPciBarCount> &bars,
                           std::optional<int> named);

// The BAR whose file the group may open: when a listed line names the device, that line's BAR if
// the kernel's flags say it is a port region, or (no BAR on the line) the first that is. Nothing
// otherwise.
std::optional<int> grantedBar(const std::vector<PciId> &listed, const SysfsDevice &device);

// A BAR file of a device and who may open it now.
struct FileAccess
{
    std::string name; // "resource1", "resource0_wc"
    gid_t group = 0;
    mode_t mode = 0; // the permission bits
    bool operator==(const FileAccess &) const = default;
};

// The changes that leave the granted BAR's file to root and group (rw-rw----) and take every
// other BAR file that group holds back to root alone (rw-------). Files of other groups are
// the kernel's or someone else's and are left as they are.
std::vector<FileAccess> accessChanges(const std::vector<FileAccess> &files,
                                      std::optional<int> granted, gid_t group, gid_t rootGroup);

// The cards the card set-up at path lists, for the helper: none when it is missing. Throws
// InvalidPciId, saying why, unless the file and its folder belong to owner (root) and no one else
// may write them, so that no one but root can give the group a device, and for a malformed file:
// either grants nothing.
std::vector<PciId> listedCards(const std::string &path, uid_t owner);

// Through the device folder's descriptor: its ids and BARs; its BAR files' access; and the
// changes made. Files are never followed through a link. Throw std::system_error.
SysfsDevice readSysfsDevice(int deviceDir);
std::vector<FileAccess> barFiles(int deviceDir);
void applyAccessChanges(int deviceDir, const std::vector<FileAccess> &changes);

} // namespace qm5083::hardware
