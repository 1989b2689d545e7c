#pragma once

#include "each_kind.h"
#include "message.h"
#include "simulated_locator.h"

#include <array>
#include <span>
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

// A DA channel whose output is off by a fixed voltage.
struct DaOffset
{
    int channel;
    int millivolts;
    bool operator==(const DaOffset &) const = default;
};

// A DA channel whose span is off by a share of itself.
struct DaGain
{
    int channel;
    double percent;
    bool operator==(const DaGain &) const = default;
};

// What goes wrong.
using FaultKind = std::variant<StuckBit, ShortedBits, DeadChip, StoppedCounter, StuckDataLine,
                               DaOffset, DaGain>;

// A fault and the simulated card it is on.
struct SimulatedFault
{
    int card = 1; // 1 to kMaxSimulatedCards
    FaultKind kind;
    bool operator==(const SimulatedFault &) const = default;
};

// A word of a fault's form that stands for a value: one character (a digit or a letter, its
// value counted from '0' or 'A') or a number.
struct FaultField
{
    enum class Kind { Digit, Letter, Integer, Decimal };
    std::string_view name;
    Kind kind;
    int lowest;
    int highest;
};

namespace fault_fields {
inline constexpr FaultField kGroup {"G", FaultField::Kind::Digit, 1, 4};
inline constexpr FaultField kOtherGroup {"H", FaultField::Kind::Digit, 1, 4};
inline constexpr FaultField kBit {"B", FaultField::Kind::Digit, 0, 7};
inline constexpr FaultField kOtherBit {"C", FaultField::Kind::Digit, 0, 7};
inline constexpr FaultField kLevel {"V", FaultField::Kind::Digit, 0, 1};
inline constexpr FaultField kChip {"X", FaultField::Kind::Letter, 0, 3};
inline constexpr FaultField kCounter {"N", FaultField::Kind::Digit, 0, 2};
inline constexpr FaultField kChannel {"C", FaultField::Kind::Digit, 0, 3};
inline constexpr FaultField kMillivolts {"MV", FaultField::Kind::Integer, -10000, 10000};
inline constexpr FaultField kPercent {"PCT", FaultField::Kind::Decimal, -50, 50};
inline constexpr std::array kStuck {kGroup, kBit, kLevel};
inline constexpr std::array kShort {kGroup, kBit, kOtherGroup, kOtherBit};
inline constexpr std::array kDeadChip {kChip};
inline constexpr std::array kStoppedCounter {kChip, kCounter};
inline constexpr std::array kChipData {kChip, kBit, kLevel};
inline constexpr std::array kDaOffset {kChannel, kMillivolts};
inline constexpr std::array kDaGain {kChannel, kPercent};
} // namespace fault_fields

// The fault grammar, one form per kind in the variant's order: its upper-case words stand for
// its fields, everything else is itself; the meaning gives the fields' ranges.
struct FaultForm
{
    std::string_view form;
    const char *meaning;
    std::span<const FaultField> fields;
};
inline constexpr std::array<FaultForm, 7> kFaultForms {{
    {"stuck:G.B=V",
     QM5083_MESSAGE("Card", "input group G (1 to 4), bit B (0 to 7) always reads V (0 or 1)"),
     fault_fields::kStuck},
    {"short:G.B-H.C", QM5083_MESSAGE("Card", "input bits G.B and H.C bridged"),
     fault_fields::kShort},
    {"dead-chip:X", QM5083_MESSAGE("Card", "counter chip X (A to D) absent"),
     fault_fields::kDeadChip},
    {"counter-stopped:X.N", QM5083_MESSAGE("Card", "counter N (0 to 2) of chip X never counts"),
     fault_fields::kStoppedCounter},
    {"chip-data:X.B=V", QM5083_MESSAGE("Card", "data line B of chip X stuck at V"),
     fault_fields::kChipData},
    {"da-offset:C=MV",
     QM5083_MESSAGE("Card", "DA channel C (0 to 3) off by MV millivolts (-10000 to 10000)"),
     fault_fields::kDaOffset},
    {"da-gain:C=PCT", QM5083_MESSAGE("Card", "DA channel C's span off by PCT percent (-50 to 50)"),
     fault_fields::kDaGain},
}};
static_assert(kFaultForms.size() == std::variant_size_v<FaultKind>,
              "every fault kind has its form");

// A fault on another card than card 1 starts with its number: "2/stuck:1.3=1".
inline constexpr std::string_view kFaultOnCard = "K/";

// Every form with its meaning, and how a fault names its card: what --help and a refused
// --sim-fault show.
Message faultGrammar();

class InvalidFault : public ExplainedAs<std::invalid_argument>
{
public:
    using ExplainedAs::ExplainedAs;
};

// Reads one fault in one of kFaultForms, on card 1 or after "K/" on card K (1 to
// kMaxSimulatedCards); throws InvalidFault naming the text.
SimulatedFault parseSimulatedFault(std::string_view text);

// Throws InvalidFault naming a fault on a card beyond the cards simulated, or two faults that
// contradict each other: one input bit, one chip's data line or one DA channel of one card given
// two different values. Faults on different cards never contradict.
void checkFaultsAgree(const std::vector<SimulatedFault> &faults, int cards = kMaxSimulatedCards);

// "stuck:2.3=1" or "2/stuck:2.3=1", as it is given (card 1 without its number).
std::string describeFault(const SimulatedFault &fault);

} // namespace qm5083::hardware
