#pragma once

#include "message.h"

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::hardware {

// A board's subsystem vendor and device ids: boards built on one PCI bridge chip share the chip's
// vendor and device ids and differ in these.
struct SubsystemIds
{
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;

    bool operator==(const SubsystemIds &) const = default;
};

// One --pci-id or card set-up line: the vendor and device ids of a card, as lspci -nn shows them,
// optionally the index of the BAR that holds its registers, and optionally the subsystem ids that
// narrow it to one board.
struct PciId
{
    PciId() = default;
    PciId(std::uint16_t vendorId, std::uint16_t deviceId, std::optional<int> barIndex = {},
          std::optional<SubsystemIds> subsystemIds = {})
        : vendor(vendorId)
        , device(deviceId)
        , bar(barIndex)
        , subsystem(subsystemIds)
    { }

    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    std::optional<int> bar;                // 0..5; none: the card's first I/O BAR
    std::optional<SubsystemIds> subsystem; // none: any board with these ids

    bool operator==(const PciId &) const = default;
};

// What a device on the bus says it is.
struct DeviceIds
{
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    SubsystemIds subsystem;
};

inline constexpr int kPciBarCount = 6;

// A --pci-id that cannot be used, with the reason for the operator.
class InvalidPciId : public ExplainedAs<std::invalid_argument>
{
public:
    using ExplainedAs::ExplainedAs;
};

// Parses "VVVV:DDDD[:BAR][/SSSS:TTTT]" (ids in hex, four digits each; BAR 0..5; the subsystem's
// vendor and device after the slash). Throws InvalidPciId naming the text.
PciId parsePciId(std::string_view text);

// Whether id names the device.
bool names(const PciId &id, const DeviceIds &device);

// Whether one device could be named by both: the same vendor and device, and subsystem ids that
// do not tell them apart. Such a pair would give a card two numbers and two BARs.
bool overlap(const PciId &a, const PciId &b);

// The first two of ids that overlap, by index; nothing when none do.
std::optional<std::pair<std::size_t, std::size_t>> firstOverlap(const std::vector<PciId> &ids);

// "VVVV:DDDD", four upper-case hex digits each.
std::string formatPciIds(std::uint16_t vendor, std::uint16_t device);
// The vendor and device ids of each, "1234:5678, ABCD:0001".
std::string formatPciIds(const std::vector<PciId> &ids);
// As --pci-id takes it: "1234:5678", "1234:5678:2", "1234:5678:2/ABCD:0001".
std::string formatPciId(const PciId &id);

// The card ids of a card set-up's text: one VVVV:DDDD[:BAR][/SSSS:TTTT] a line, blank lines and
// comments from # to the end of a line. Throws InvalidPciId naming the file and the line of a
// malformed one: a line that is no id, holds a control character or is longer than a line may be,
// or names a device an earlier line names already.
std::vector<PciId> parseCardsConfig(std::string_view text, const std::string &fileName);

// The card set-up's file read and parsed, when it can be trusted: never through a link, and only
// when one of owners owns it and its folder and no one else may change either, the rule of the
// udev helper, which grants nothing otherwise. Nothing when the file does not exist. Throws
// InvalidPciId for one that cannot be trusted, saying why, for a malformed one, and for a folder,
// a file that cannot be read or one far larger than any card set-up.
std::optional<std::vector<PciId>> readTrustedCardsConfig(const std::filesystem::path &file,
                                                         std::span<const uid_t> owners);

// readTrustedCardsConfig as the program reads it: root's, or this user's own.
std::optional<std::vector<PciId>> readCardsConfig(const std::filesystem::path &file);

// The same, from a file already opened (the udev helper checks who owns it first).
std::vector<PciId> readCardsConfig(int fd, const std::string &fileName);

// The file's text for these ids, with a comment saying what it is.
std::string cardsConfigText(const std::vector<PciId> &ids);

} // namespace qm5083::hardware
