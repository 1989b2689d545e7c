#pragma once

#include "message.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::hardware {

// One --pci-id: the vendor and device ids of a card, as lspci -nn shows them, and optionally the
// index of the BAR that holds its registers.
struct PciId
{
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    std::optional<int> bar; // 0..5; none: the card's first I/O BAR

    bool operator==(const PciId &) const = default;
};

inline constexpr int kPciBarCount = 6;

// A --pci-id that cannot be used, with the reason for the operator.
class InvalidPciId : public ExplainedAs<std::invalid_argument>
{
public:
    using ExplainedAs::ExplainedAs;
};

// Parses "VVVV:DDDD" or "VVVV:DDDD:BAR" (ids in hex, four digits each; BAR 0..5). Throws
// InvalidPciId naming the text.
PciId parsePciId(std::string_view text);

// "VVVV:DDDD", four upper-case hex digits each.
std::string formatPciIds(std::uint16_t vendor, std::uint16_t device);
// The vendor and device ids of each, "1234:5678, ABCD:0001".
std::string formatPciIds(const std::vector<PciId> &ids);
// As --pci-id takes it: "1234:5678", or "1234:5678:2" with a BAR.
std::string formatPciId(const PciId &id);

// The card ids kept in the card set-up's file: one VVVV:DDDD[:BAR] a line, blank lines and
// comments from # to the end of a line. Nothing when the file does not exist; throws
// InvalidPciId naming the file and the line of a malformed one, or a file that cannot be read.
std::optional<std::vector<PciId>> readCardsConfig(const std::filesystem::path &file);

// The file's text for these ids, with a comment saying what it is.
std::string cardsConfigText(const std::vector<PciId> &ids);

} // namespace qm5083::hardware
