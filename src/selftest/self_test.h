#pragma once

#include "port_access.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace qm5083::selftest {

// An input bit that did not read back as its output bit was written. Groups are numbered 1 to 4,
// as the window numbers them.
struct BitFailure
{
    int group;
    int bit;
    bool wrote;
    bool read;
    std::uint8_t byteWritten; // the whole group, when the bit first failed
    std::uint8_t byteRead;

    bool operator==(const BitFailure &) const = default;
};

struct LoopbackResult
{
    int group; // 1 to 4
    std::vector<BitFailure> failures;

    bool passed() const { return failures.empty(); }
};

struct CounterProblem
{
    enum class Kind {
        Status,  // the read-back status is not the mode and access written
        Count,   // the latched count is not within the count loaded
        Stopped, // a clocked counter's count did not move
        NoClock, // it did not move and its count was never loaded: no clock reached it
    };
    Kind kind;
    int counter;
    unsigned expected; // status bits, or the count loaded
    unsigned actual;

    bool operator==(const CounterProblem &) const = default;
};

// Why a counter's counting was not checked.
enum class CountingUnchecked {
    ClockUnknown, // chip A counter 0: the card does not say what clocks it
    NoBaseClock,  // chip A is absent, and the base clock it makes clocks the other chips
};

struct ChipResult
{
    int chip;            // 0 to 3, A to D
    bool absent = false; // it reads FF: nothing answers at its ports
    std::vector<CounterProblem> problems;
    // Counters whose status was checked but not their counting, and why.
    std::vector<std::pair<int, CountingUnchecked>> countingUnchecked;

    bool passed() const { return !absent && problems.empty(); }
};

// Codes written to a DA channel, for the operator to check with a meter.
struct DaStep
{
    int channel;
    std::vector<std::uint16_t> codes;
};

// The checks the self-test makes; a station without the loopback cable leaves one out.
enum class SelfTestPart { Loopback, Counters, Da };

struct SelfTestResult
{
    std::array<LoopbackResult, 4> loopback;
    std::array<ChipResult, 4> chips;
    std::vector<DaStep> daSteps;
    std::vector<SelfTestPart> skipped;
    std::vector<SelfTestPart> notReached; // the test was asked to end before them

    bool ran(SelfTestPart part) const;
    bool passed() const;
};

// The codes each DA channel is given, and the dividers the card is left with.
inline constexpr std::array<std::uint16_t, 3> kDaTestCodes {0x000, 0x800, 0xFFF};
inline constexpr unsigned kFinalBaseDivider = 1000; // k, as the clock panel starts
inline constexpr unsigned kFinalOutputDivider = 10; // n

using Wait = std::function<void(std::chrono::microseconds)>;
// Asked before each part: whether the test is to end there (Ctrl-C).
using StopAsked = std::function<bool()>;
// Told after each part that ran, with the results so far: for showing them as they come.
using PartDone = std::function<void(SelfTestPart part, const SelfTestResult &soFar)>;
// Measures a DA channel with a meter, setting the codes it reads and leaving the channel at code
// 0; returns the codes set (none when it was not measured).
using DaMeasure = std::function<std::vector<std::uint16_t>(int channel)>;

// Tests the card at base through port, as one operation: the digital loopback (outputs wired back
// to the inputs), every counter of the four 8254 chips, and the DA channels (measured by measure
// when given, else only written), each part unless skipped, until stop says to end. Leaves the
// card with outputs 00, DA codes 0 and the clock outputs at k 1000, n 10 however it ends. wait
// lets counters move between two reads. A port failure is thrown where it happens.
SelfTestResult runSelfTest(hardware::PortAccess &port, std::uint16_t base, const Wait &wait,
                           const std::vector<SelfTestPart> &skip = {}, const StopAsked &stop = {},
                           const PartDone &done = {}, const DaMeasure &measure = {});

} // namespace qm5083::selftest
