#pragma once

// What each operation writes to the card and reads from it, register by register and in the
// order the card needs. The panels only turn box texts into the values handed in here; the
// simulated card decodes the same registers. Offsets are from the card's I/O base.

#include "port_access.h"
#include "registers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qm5083::protocol {

// One register write: the offset and the value handed to the port, which puts its low 8 bits on
// the bus.
struct RegisterWrite
{
    int offset;
    std::int16_t value;

    bool operator==(const RegisterWrite &) const = default;
};

// ---- Digital outputs and inputs: group g (0..3) is written and read at one offset.

constexpr RegisterWrite digitalOutputWrite(int group, std::int16_t value)
{
    return {registers::kDigitalGroupOffsets.at(static_cast<std::size_t>(group)), value};
}

constexpr int digitalInputOffset(int group)
{
    return registers::kDigitalGroupOffsets.at(static_cast<std::size_t>(group));
}

// ---- Clock outputs

// One counter of the card: chip 0..3 (A..D) and its counter 0..2.
struct Counter
{
    int chip;
    int counter;

    bool operator==(const Counter &) const = default;
};

// Divides the card clock by k into the base frequency (pin 31), which clocks every other counter.
inline constexpr Counter kBaseClock {0, 1};
// The counters behind the outputs 1, 4, 7, ..., 28, in the order they are programmed; each
// divides the base frequency by n. Chip A counter 0 is not part of the clock outputs.
inline constexpr std::array<Counter, 10> kOutputClocks {{
    {0, 2},
    {1, 0},
    {1, 1},
    {1, 2},
    {2, 0},
    {2, 1},
    {2, 2},
    {3, 0},
    {3, 1},
    {3, 2},
}};

constexpr int controlWordOffset(const Counter &counter)
{
    return registers::kPitChips.at(static_cast<std::size_t>(counter.chip)).control;
}

constexpr int counterOffset(const Counter &counter)
{
    return registers::kPitChips.at(static_cast<std::size_t>(counter.chip))
        .counter.at(static_cast<std::size_t>(counter.counter));
}

// A divider's count as its counter takes it: the low byte, then the high byte.
struct CounterBytes
{
    std::uint8_t low;
    std::uint8_t high;

    bool operator==(const CounterBytes &) const = default;
};

// A counter loaded for a mode: its control word (low byte then high byte, binary), then the count
// low byte first. The count is the divisor's low 16 bits; 0 divides by 65536.
std::array<RegisterWrite, 3> counterLoadWrites(const Counter &counter,
                                               registers::pit8254::Mode mode, CounterBytes count);

// The read-back command that latches a counter's status, not its count; the status byte is then
// read at counterOffset(counter).
constexpr RegisterWrite statusReadBackWrite(const Counter &counter)
{
    namespace pit = registers::pit8254;
    return {controlWordOffset(counter),
            static_cast<std::int16_t>(pit::kReadBackCommand | pit::kReadBackNoCount
                                      | pit::readBackSelect(counter.counter))};
}

// The counter latch command; the count is then read at counterOffset(counter), low byte first.
constexpr RegisterWrite countLatchWrite(const Counter &counter)
{
    namespace pit = registers::pit8254;
    return {controlWordOffset(counter),
            pit::controlWord(counter.counter, pit::Access::LatchCommand, pit::Mode {})};
}

inline constexpr std::size_t kClockSetupWriteCount = 3 * (1 + kOutputClocks.size());

// The whole clock set-up: for the base clock with k, then for each output counter with n, the
// counter's square-wave control word, then its count low byte first.
std::array<RegisterWrite, kClockSetupWriteCount> clockSetupWrites(CounterBytes k, CounterBytes n);

// ---- DA outputs

inline constexpr int kDaCodeBits = 12;
inline constexpr std::int32_t kDaCodeMax = (1 << kDaCodeBits) - 1; // FFF

// One channel's code: its low byte, then code / 256 with the channel number in bits 4 and 5,
// then the latch write that moves the code into the channel.
std::array<RegisterWrite, 3> daChannelWrites(int channel, std::int16_t lowByte,
                                             std::int16_t highPart);
// The same for a code of 0 to FFF.
std::array<RegisterWrite, 3> daCodeWrites(int channel, std::uint16_t code);

// ---- A card at a base that is already a port number

// Reaches a card's registers at base + offset, one port access each, in the order asked. The
// self-test addresses the card this way; the window's panels form their ports from the stored
// base by the card's number rules instead.
class CardRegisters
{
public:
    CardRegisters(hardware::PortAccess &port, std::uint16_t base)
        : port_(port)
        , base_(base)
    { }

    // The writes in order, refused as a whole before the first when the card would refuse one
    // of their ports.
    void write(std::span<const RegisterWrite> writes);
    void write(const RegisterWrite &write) { this->write({&write, 1}); }
    std::uint8_t read(int offset);
    // The reads in order, refused as a whole in the same way.
    std::vector<std::uint8_t> read(std::span<const int> offsets);

    // statusReadBackWrite, then the status byte.
    std::uint8_t readStatus(const Counter &counter);
    // countLatchWrite, then the latched count, low byte then high.
    std::uint16_t readLatchedCount(const Counter &counter);

private:
    std::uint16_t portOf(int offset) const { return static_cast<std::uint16_t>(base_ + offset); }

    hardware::PortAccess &port_;
    std::uint16_t base_;
};

// ---- Decoding: what a register offset reaches, for the simulated card.

enum class RegisterKind { None, DigitalGroup, CounterData, ControlWord };

struct Register
{
    RegisterKind kind = RegisterKind::None;
    int chip = 0;  // counter data and control words
    int index = 0; // the digital group or the counter

    bool operator==(const Register &) const = default;
};

// The register at an offset; None for offsets beyond the card's span. The DA registers share
// offsets with chip B's counters and are decoded by the DA channel model from these writes.
Register registerAt(int offset);

} // namespace qm5083::protocol
