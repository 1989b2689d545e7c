#pragma once

// The card's register map (offsets from its I/O base) and the 8254 programming constants.
// Everything that knows a register offset or a control-word bit takes it from here.

#include <array>
#include <cstdint>
#include <string_view>

namespace qm5083::registers {

inline constexpr int kRegisterSpan = 20; // offsets 0..19

// Digital I/O: the offset of group g writes output group g and reads input group g.
inline constexpr int kDigitalGroupCount = 4;
inline constexpr std::array<int, kDigitalGroupCount> kDigitalGroupOffsets {0, 1, 2, 3};

// Four 8254 chips, A to D: three counter data ports, then the control word register.
struct PitChip
{
    std::array<int, 3> counter;
    int control;
};
inline constexpr int kPitChipCount = 4;
inline constexpr int kPitCountersPerChip = 3;
inline constexpr std::array<PitChip, kPitChipCount> kPitChips {{
    {{4, 5, 6}, 7},     // A: counter 1 divides the card clock into the base frequency (pin 31)
    {{8, 9, 10}, 11},   // B
    {{12, 13, 14}, 15}, // C
    {{16, 17, 18}, 19}, // D
}};

// The card's counter clock; chip A counter 1 divides it into the base frequency that clocks
// every other counter.
inline constexpr double kCardClockHz = 2'000'000.0;

// Chips are 0 to 3 in code and A to D to the operator.
inline constexpr std::string_view kPitChipLetters = "ABCD";
constexpr char chipLetter(int chip)
{
    return kPitChipLetters.at(static_cast<std::size_t>(chip));
}

// DA channels share three write registers, which overlap chip B's counter data ports.
inline constexpr int kDaChannelCount = 4;
inline constexpr int kDaLowByte = 8;  // low 8 bits of the code
inline constexpr int kDaHighByte = 9; // bits 0..3: code bits 8..11; bits 4..5: channel
inline constexpr int kDaLatch = 10;   // a write latches the code into the selected channel
inline constexpr int kDaChannelShift = 4;
inline constexpr std::uint8_t kDaChannelMask = 0x30;
inline constexpr std::uint8_t kDaHighCodeMask = 0x0F;

namespace pit8254 {

// Control word: SC1 SC0 | RW1 RW0 | M2 M1 M0 | BCD
inline constexpr int kSelectShift = 6;
inline constexpr std::uint8_t kSelectReadBack = 0x3; // SC = 11
inline constexpr int kAccessShift = 4;
inline constexpr std::uint8_t kAccessMask = 0x30;
enum class Access : std::uint8_t {
    LatchCommand = 0, // RW = 00: counter latch command
    LowByte = 1,
    HighByte = 2,
    LowThenHigh = 3,
};
inline constexpr int kModeShift = 1;
inline constexpr std::uint8_t kModeMask = 0x0E;
inline constexpr std::uint8_t kBcdBit = 0x01;

enum class Mode : std::uint8_t {
    InterruptOnTerminalCount = 0,
    HardwareRetriggerableOneShot = 1,
    RateGenerator = 2,
    SquareWave = 3,
    SoftwareTriggeredStrobe = 4,
    HardwareTriggeredStrobe = 5,
};

// Read-back command: 11 | /COUNT /STATUS | CNT2 CNT1 CNT0 | 0 (latch bits are active low).
inline constexpr std::uint8_t kReadBackCommand = kSelectReadBack << kSelectShift;
inline constexpr std::uint8_t kReadBackNoCount = 0x20;
inline constexpr std::uint8_t kReadBackNoStatus = 0x10;
constexpr std::uint8_t readBackSelect(int counter)
{
    return static_cast<std::uint8_t>(0x02 << counter);
}

// Status byte: OUTPUT | NULL COUNT | RW1 RW0 M2 M1 M0 BCD (the low six bits as programmed).
inline constexpr std::uint8_t kStatusOutput = 0x80;
inline constexpr std::uint8_t kStatusNullCount = 0x40;
inline constexpr std::uint8_t kStatusProgrammedMask = 0x3F;

constexpr std::uint8_t controlWord(int counter, Access access, Mode mode, bool bcd = false)
{
    return static_cast<std::uint8_t>(
        (counter << kSelectShift) | (static_cast<std::uint8_t>(access) << kAccessShift)
        | (static_cast<std::uint8_t>(mode) << kModeShift) | (bcd ? kBcdBit : 0));
}

// What the clock panel writes before each count: low byte then high byte, square wave, binary.
constexpr std::uint8_t squareWaveControlWord(int counter)
{
    return controlWord(counter, Access::LowThenHigh, Mode::SquareWave);
}
static_assert(squareWaveControlWord(0) == 0x36);
static_assert(squareWaveControlWord(1) == 0x76);
static_assert(squareWaveControlWord(2) == 0xB6);

} // namespace pit8254

} // namespace qm5083::registers
