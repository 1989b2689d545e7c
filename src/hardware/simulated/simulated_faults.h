#pragma once

#include "message.h"

#include <array>
#include <stdexcept>
#include <string>
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

// A counter whose clock input is dead: it never counts, so a count written is never loaded. The
// rest of its chip works.
struct StoppedCounter
{
    int chip;
    int counter;
    bool operator==(const StoppedCounter &) const = default;
};

// One data line of a chip stuck at a level: every byte the chip takes (control words, counts,
// commands) or gives (counts, status) has that bit at that level.
struct StuckDataLine
{
    int chip;
    int bit;
    bool value;
    bool operator==(const StuckDataLine &) const = default;
};

using SimulatedFault = std::variant<StuckBit, ShortedBits, DeadChip, StoppedCounter, StuckDataLine>;

// Lets std::visit take one lambda per fault kind: a kind without its lambda does not compile.
template<class... Actions>
struct EachFaultKind : Actions...
{
    using Actions::operator()...;
};
template<class... Actions>
EachFaultKind(Actions...) -> EachFaultKind<Actions...>;

// The fault grammar, one form per kind in the variant's order: upper-case letters stand for one
// character each (see kFaultFields), everything else is itself.
struct FaultForm
{
    std::string_view form;
    const char *meaning;
};
inline constexpr std::array<FaultForm, 5> kFaultForms {{
    {"stuck:G.B=V", QM5083_MESSAGE("Card", "input group G, bit B reads V")},
    {"short:G.B-H.C", QM5083_MESSAGE("Card", "two input bits bridged")},
    {"dead-chip:X", QM5083_MESSAGE("Card", "counter chip X absent")},
    {"counter-stopped:X.N", QM5083_MESSAGE("Card", "counter N of chip X never counts")},
    {"chip-data:X.B=V", QM5083_MESSAGE("Card", "data line B of chip X stuck at V")},
}};
static_assert(kFaultForms.size() == std::variant_size_v<SimulatedFault>,
              "every fault kind has its form");

// What each letter of a form may be: one character from lowest to highest.
struct FaultField
{
    char letter;
    char lowest;
    char highest;
};
inline constexpr std::array<FaultField, 7> kFaultFields {{
    {'G', '1', '4'},
    {'H', '1', '4'},
    {'B', '0', '7'},
    {'C', '0', '7'},
    {'V', '0', '1'},
    {'X', 'A', 'D'},
    {'N', '0', '2'},
}};
inline constexpr const char *kFaultFieldRanges = QM5083_MESSAGE(
    "Card",
    "groups G and H 1 to 4, bits B and C 0 to 7, V 0 or 1, chip X A to D, counter N 0 to 2");

// Every form with its meaning, then the ranges: what --help and a refused --sim-fault show.
Message faultGrammar();

class InvalidFault : public ExplainedAs<std::invalid_argument>
{
public:
    using ExplainedAs::ExplainedAs;
};

// Reads one fault in one of kFaultForms; throws InvalidFault naming the text.
SimulatedFault parseSimulatedFault(std::string_view text);

// "stuck:2.3=1", as it is given.
std::string describeFault(const SimulatedFault &fault);

} // namespace qm5083::hardware
