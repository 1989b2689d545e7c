#pragma once

#include "message.h"

#include <stdexcept>
#include <string_view>
#include <variant>
#include <vector>

namespace qm5083::hardware {

// Faults the simulated card can be given, to practise finding them. Input groups are numbered 1
// to 4 and bits 0 to 7, as the window numbers the groups; chips are 0 to 3 for A to D.
struct StuckBit
{
    int group;
    int bit;
    bool value;
    bool operator==(const StuckBit &) const = default;
};

// Two input bits bridged: both read the AND of the two driven values.
struct ShortedBits
{
    int group;
    int bit;
    int otherGroup;
    int otherBit;
    bool operator==(const ShortedBits &) const = default;
};

// A counter chip that is not there: its ports read FF and writes to it are lost.
struct DeadChip
{
    int chip;
    bool operator==(const DeadChip &) const = default;
};

using SimulatedFault = std::variant<StuckBit, ShortedBits, DeadChip>;

class InvalidFault : public ExplainedAs<std::invalid_argument>
{
public:
    using ExplainedAs::ExplainedAs;
};

// Reads "stuck:G.B=V", "short:G.B-H.C" or "dead-chip:X"; throws InvalidFault naming the text.
SimulatedFault parseSimulatedFault(std::string_view text);

// "stuck:2.3=1", as it is given.
std::string describeFault(const SimulatedFault &fault);

} // namespace qm5083::hardware
