#pragma once

// The card commands' register accesses: each writes or reads exactly what the window's operation
// does for the same values, in the same order, through the card protocol. A port the card would
// refuse refuses the whole command before its first access.

#include "card_protocol.h"
#include "script_command.h"

#include <optional>
#include <vector>

namespace qm5083::scripting {

// An input bit that did not read as expected. Groups 1 to 4, as the window numbers them.
struct BitDifference
{
    int group;
    int bit;
    bool expected;
    bool read;
    bool operator==(const BitDifference &) const = default;
};

struct InResult
{
    Bytes read;
    std::optional<Bytes> expected;
    std::vector<BitDifference> differences;
};

struct ClockResult
{
    unsigned k;
    unsigned n;
    double baseHz;   // the card clock / k: pin 31
    double outputHz; // the base / n: outputs 1, 4, 7, ..., 28
};

void writeOutputs(protocol::CardRegisters &card, const Bytes &bytes);
InResult readInputs(protocol::CardRegisters &card, const std::optional<Bytes> &expect);
ClockResult startClocks(protocol::CardRegisters &card, unsigned k, unsigned n);
void writeDaCodes(protocol::CardRegisters &card, const std::array<std::uint16_t, 4> &codes);
// One channel's code alone, as the DA check steps it.
void writeDaCode(protocol::CardRegisters &card, int channel, std::uint16_t code);

} // namespace qm5083::scripting
