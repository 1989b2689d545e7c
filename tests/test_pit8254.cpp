#include "pit8254.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using qm5083::hardware::Pit8254;
namespace pit = qm5083::registers::pit8254;
using Access = pit::Access;
using Mode = pit::Mode;

void program(Pit8254 &chip, int counter, Mode mode, std::uint16_t count, bool bcd = false)
{
    chip.writeControl(pit::controlWord(counter, Access::LowThenHigh, mode, bcd));
    chip.writeCounter(counter, static_cast<std::uint8_t>(count & 0xFF));
    chip.writeCounter(counter, static_cast<std::uint8_t>(count >> 8));
}

std::uint16_t readTwoBytes(Pit8254 &chip, int counter)
{
    const std::uint8_t low = chip.readCounter(counter);
    const std::uint8_t high = chip.readCounter(counter);
    return static_cast<std::uint16_t>(low | high << 8);
}

const char *modeName(Mode mode)
{
    static const char *const names[] = {"mode0", "mode1", "mode2", "mode3", "mode4", "mode5"};
    return names[static_cast<int>(mode)];
}

void trigger(Pit8254 &chip, int counter)
{
    chip.setGate(counter, false);
    chip.setGate(counter, true);
}

// ---------------------------------------------------------------------------------------------
// Control words

struct DecodeRow
{
    std::uint8_t controlWord;
    int counter;
    Access access;
    Mode mode;
    bool bcd;
    bool outAfterProgramming;
};

void PrintTo(const DecodeRow &row, std::ostream *os)
{
    *os << "cw" << std::hex << static_cast<int>(row.controlWord);
}

class ControlWordDecoding : public testing::TestWithParam<DecodeRow>
{ };

TEST_P(ControlWordDecoding, SelectsCounterAndProgramsIt)
{
    const DecodeRow &row = GetParam();
    Pit8254 chip;
    chip.writeControl(row.controlWord);
    EXPECT_EQ(chip.access(row.counter), row.access);
    EXPECT_EQ(chip.mode(row.counter), row.mode);
    EXPECT_EQ(chip.bcd(row.counter), row.bcd);
    EXPECT_EQ(chip.programmedBits(row.counter), row.controlWord & 0x3F);
    EXPECT_EQ(chip.out(row.counter), row.outAfterProgramming);
    EXPECT_TRUE(chip.nullCount(row.counter));
    EXPECT_FALSE(chip.count(row.counter).has_value());
    for (int other = 0; other < 3; ++other) {
        if (other != row.counter) { // untouched: still in the power-up state
            EXPECT_EQ(chip.programmedBits(other), 0x30) << "counter " << other;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, ControlWordDecoding,
    testing::Values(
        DecodeRow {0x36, 0, Access::LowThenHigh, Mode::SquareWave, false, true},
        DecodeRow {0x76, 1, Access::LowThenHigh, Mode::SquareWave, false, true},
        DecodeRow {0xB6, 2, Access::LowThenHigh, Mode::SquareWave, false, true},
        DecodeRow {0x12, 0, Access::LowByte, Mode::HardwareRetriggerableOneShot, false, true},
        DecodeRow {0x54, 1, Access::LowByte, Mode::RateGenerator, false, true},
        DecodeRow {0x7C, 1, Access::LowThenHigh, Mode::RateGenerator, false, true},
        DecodeRow {0xBE, 2, Access::LowThenHigh, Mode::SquareWave, false, true},
        DecodeRow {0x2D, 0, Access::HighByte, Mode::RateGenerator, true, true},
        DecodeRow {0x29, 0, Access::HighByte, Mode::SoftwareTriggeredStrobe, true, true},
        DecodeRow {0x9B, 2, Access::LowByte, Mode::HardwareTriggeredStrobe, true, true},
        DecodeRow {0xB0, 2, Access::LowThenHigh, Mode::InterruptOnTerminalCount, false, false},
        DecodeRow {0x71, 1, Access::LowThenHigh, Mode::InterruptOnTerminalCount, true, false}));

TEST(Pit8254, PowersUpAsModeZeroWithoutACount)
{
    Pit8254 chip;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(chip.mode(c), Mode::InterruptOnTerminalCount);
        EXPECT_EQ(chip.access(c), Access::LowThenHigh);
        EXPECT_FALSE(chip.out(c));
        EXPECT_TRUE(chip.nullCount(c));
        EXPECT_TRUE(chip.gate(c));
        EXPECT_FALSE(chip.count(c).has_value());
        chip.clock(c, 1000); // nothing to count
        EXPECT_FALSE(chip.out(c));
        EXPECT_TRUE(chip.nullCount(c));
    }
}

// ---------------------------------------------------------------------------------------------
// Loading and reading counts

TEST(Pit8254, LowThenHighWritesNeedBothBytes)
{
    Pit8254 chip;
    chip.writeControl(pit::controlWord(1, Access::LowThenHigh, Mode::RateGenerator));
    chip.writeCounter(1, 0x34);
    EXPECT_FALSE(chip.count(1).has_value());
    chip.clock(1, 5); // half a count is never loaded
    EXPECT_TRUE(chip.nullCount(1));
    chip.writeCounter(1, 0x12);
    EXPECT_EQ(chip.count(1), 0x1234u);
    chip.clock(1, 1);
    EXPECT_FALSE(chip.nullCount(1));
    EXPECT_EQ(chip.countingElement(1), 0x1234);
    EXPECT_EQ(chip.readCounter(1), 0x34);
    EXPECT_EQ(chip.readCounter(1), 0x12);
    EXPECT_EQ(chip.readCounter(1), 0x34); // the read toggle starts over
}

TEST(Pit8254, ReadAndWriteTogglesAreIndependent)
{
    Pit8254 chip;
    program(chip, 0, Mode::RateGenerator, 0x1234);
    chip.clock(0, 1);
    EXPECT_EQ(chip.readCounter(0), 0x34);
    chip.writeCounter(0, 0x78);
    EXPECT_EQ(chip.readCounter(0), 0x12);
    chip.writeCounter(0, 0x56);
    EXPECT_EQ(chip.count(0), 0x5678u);
}

struct SingleByteRow
{
    Access access;
    std::uint8_t written;
    std::uint32_t count;
    std::uint8_t readBack; // repeated reads of the loaded element
};

void PrintTo(const SingleByteRow &row, std::ostream *os)
{
    *os << (row.access == Access::LowByte ? "low" : "high") << std::hex
        << static_cast<int>(row.written);
}

class SingleByteAccess : public testing::TestWithParam<SingleByteRow>
{ };

TEST_P(SingleByteAccess, LoadsAndReadsOneByte)
{
    const SingleByteRow &row = GetParam();
    Pit8254 chip;
    chip.writeControl(pit::controlWord(2, row.access, Mode::RateGenerator));
    chip.writeCounter(2, row.written);
    EXPECT_EQ(chip.count(2), row.count);
    chip.clock(2, 1);
    EXPECT_EQ(chip.readCounter(2), row.readBack);
    EXPECT_EQ(chip.readCounter(2), row.readBack);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, SingleByteAccess,
                         testing::Values(SingleByteRow {Access::LowByte, 0x42, 0x42, 0x42},
                                         SingleByteRow {Access::HighByte, 0x42, 0x4200, 0x42},
                                         SingleByteRow {Access::LowByte, 0x00, 65536, 0x00},
                                         SingleByteRow {Access::HighByte, 0x00, 65536, 0x00}));

struct ZeroCountRow
{
    bool bcd;
    std::uint32_t count;
    std::uint16_t afterOnePulse;
};

void PrintTo(const ZeroCountRow &row, std::ostream *os)
{
    *os << (row.bcd ? "bcd" : "binary");
}

class ZeroCount : public testing::TestWithParam<ZeroCountRow>
{ };

TEST_P(ZeroCount, IsTheLargestCount)
{
    const ZeroCountRow &row = GetParam();
    Pit8254 chip;
    program(chip, 0, Mode::RateGenerator, 0, row.bcd);
    EXPECT_EQ(chip.count(0), row.count);
    chip.clock(0, 1);
    EXPECT_EQ(chip.countingElement(0), 0);
    chip.clock(0, 1);
    EXPECT_EQ(chip.countingElement(0), row.afterOnePulse);
    EXPECT_DOUBLE_EQ(chip.squareWaveFrequencyHz(0, 1e6), 1e6 / row.count);
    chip.clock(0, row.count - 2); // the low pulse ends the period
    EXPECT_FALSE(chip.out(0));
    chip.clock(0, 1);
    EXPECT_TRUE(chip.out(0));
    EXPECT_EQ(chip.countingElement(0), 0);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, ZeroCount,
                         testing::Values(ZeroCountRow {false, 65536, 0xFFFF},
                                         ZeroCountRow {true, 10000, 0x9999}));

struct BcdRow
{
    std::uint64_t pulsesAfterLoad;
    std::uint16_t element;
    bool out;
};

void PrintTo(const BcdRow &row, std::ostream *os)
{
    *os << row.pulsesAfterLoad << "pulses";
}

class BcdCounting : public testing::TestWithParam<BcdRow>
{ };

TEST_P(BcdCounting, CountsDownInDecimalDigits)
{
    const BcdRow &row = GetParam();
    Pit8254 chip;
    program(chip, 1, Mode::InterruptOnTerminalCount, 0x0100, true);
    EXPECT_EQ(chip.count(1), 100u);
    chip.clock(1, 1 + row.pulsesAfterLoad);
    EXPECT_EQ(chip.countingElement(1), row.element);
    EXPECT_EQ(readTwoBytes(chip, 1), row.element);
    EXPECT_EQ(chip.out(1), row.out);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, BcdCounting,
                         testing::Values(BcdRow {0, 0x0100, false}, BcdRow {1, 0x0099, false},
                                         BcdRow {10, 0x0090, false}, BcdRow {91, 0x0009, false},
                                         BcdRow {100, 0x0000, true}, BcdRow {101, 0x9999, true},
                                         BcdRow {10100, 0x0000, true}));

// ---------------------------------------------------------------------------------------------
// Waveforms, pulse by pulse

struct WaveRow
{
    const char *name;
    Mode mode;
    std::uint16_t count;
    bool triggered;  // a GATE rising edge before the first pulse
    std::string out; // OUT after each pulse
    std::vector<std::uint16_t> element;
};

class Waveform : public testing::TestWithParam<WaveRow>
{ };

TEST_P(Waveform, FollowsTheModePulseByPulse)
{
    const WaveRow &row = GetParam();
    Pit8254 chip;
    program(chip, 2, row.mode, row.count);
    if (row.triggered)
        trigger(chip, 2);
    std::string out;
    std::vector<std::uint16_t> element;
    for (std::size_t i = 0; i < row.out.size(); ++i) {
        chip.clock(2, 1);
        out += chip.out(2) ? '1' : '0';
        element.push_back(chip.countingElement(2));
    }
    EXPECT_EQ(out, row.out);
    EXPECT_EQ(element, row.element);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, Waveform,
    testing::Values(
        WaveRow {"TerminalCount",
                 Mode::InterruptOnTerminalCount,
                 5,
                 false,
                 "0000011",
                 {5, 4, 3, 2, 1, 0, 0xFFFF}},
        WaveRow {
            "OneShot", Mode::HardwareRetriggerableOneShot, 3, true, "00011", {3, 2, 1, 0, 0xFFFF}},
        WaveRow {"RateGenerator",
                 Mode::RateGenerator,
                 4,
                 false,
                 "111011101",
                 {4, 3, 2, 1, 4, 3, 2, 1, 4}},
        WaveRow {
            "SquareWaveEven", Mode::SquareWave, 4, false, "110011001", {4, 2, 4, 2, 4, 2, 4, 2, 4}},
        WaveRow {"SquareWaveOdd",
                 Mode::SquareWave,
                 5,
                 false,
                 "11100111001",
                 {4, 2, 0, 4, 2, 4, 2, 0, 4, 2, 4}},
        WaveRow {"SoftwareStrobe",
                 Mode::SoftwareTriggeredStrobe,
                 3,
                 false,
                 "111011",
                 {3, 2, 1, 0, 0xFFFF, 0xFFFE}},
        WaveRow {"HardwareStrobe",
                 Mode::HardwareTriggeredStrobe,
                 3,
                 true,
                 "111011",
                 {3, 2, 1, 0, 0xFFFF, 0xFFFE}}),
    [](const testing::TestParamInfo<WaveRow> &info) { return info.param.name; });

TEST(Pit8254, GateTriggeredModesWaitForTheTrigger)
{
    for (Mode mode : {Mode::HardwareRetriggerableOneShot, Mode::HardwareTriggeredStrobe}) {
        Pit8254 chip;
        program(chip, 0, mode, 3);
        chip.clock(0, 100);
        EXPECT_TRUE(chip.out(0));
        EXPECT_TRUE(chip.nullCount(0)) << "loaded without a trigger";
        trigger(chip, 0);
        chip.clock(0, 1);
        EXPECT_FALSE(chip.nullCount(0));
        EXPECT_EQ(chip.countingElement(0), 3);
    }
}

TEST(Pit8254, OneShotRetriggerRestartsTheLowPulse)
{
    Pit8254 chip;
    program(chip, 0, Mode::HardwareRetriggerableOneShot, 4);
    trigger(chip, 0);
    chip.clock(0, 3); // load, 3, 2
    EXPECT_FALSE(chip.out(0));
    trigger(chip, 0);
    chip.clock(0, 4); // reload, 3, 2, 1
    EXPECT_FALSE(chip.out(0));
    chip.clock(0, 1);
    EXPECT_TRUE(chip.out(0));
    chip.clock(0, 100); // one pulse per trigger
    EXPECT_TRUE(chip.out(0));
}

TEST(Pit8254, ModeZeroNewCountStopsCountingAtTheFirstByte)
{
    Pit8254 chip;
    program(chip, 1, Mode::InterruptOnTerminalCount, 3);
    chip.clock(1, 4);
    EXPECT_TRUE(chip.out(1));
    chip.writeCounter(1, 0x10);
    EXPECT_FALSE(chip.out(1)); // at once, no clock needed
    const std::uint16_t held = chip.countingElement(1);
    chip.clock(1, 50);
    EXPECT_EQ(chip.countingElement(1), held);
    chip.writeCounter(1, 0x00);
    chip.clock(1, 1);
    EXPECT_EQ(chip.countingElement(1), 0x10);
    chip.clock(1, 0x10);
    EXPECT_TRUE(chip.out(1));
}

TEST(Pit8254, GateLowHoldsModeZeroCounting)
{
    Pit8254 chip;
    program(chip, 0, Mode::InterruptOnTerminalCount, 10);
    chip.setGate(0, false);
    chip.clock(0, 5); // the load still happens, the counting does not
    EXPECT_EQ(chip.countingElement(0), 10);
    chip.setGate(0, true);
    chip.clock(0, 4);
    EXPECT_EQ(chip.countingElement(0), 6);
}

TEST(Pit8254, GateLowForcesRateOutputHighAndTriggerRestarts)
{
    Pit8254 chip;
    program(chip, 0, Mode::RateGenerator, 4);
    chip.clock(0, 4); // element 1: OUT low
    ASSERT_FALSE(chip.out(0));
    chip.setGate(0, false);
    EXPECT_TRUE(chip.out(0));
    chip.clock(0, 10);
    EXPECT_EQ(chip.countingElement(0), 1);
    chip.setGate(0, true);
    chip.clock(0, 1);
    EXPECT_EQ(chip.countingElement(0), 4);
    EXPECT_TRUE(chip.out(0));
}

struct NewCountRow
{
    Mode mode;
    std::uint64_t pulsesBefore;   // after the load pulse, with the old count
    std::uint64_t pulsesToReload; // until the new count is in the element
    std::uint16_t elementAfterReload;
};

void PrintTo(const NewCountRow &row, std::ostream *os)
{
    *os << modeName(row.mode) << "after" << row.pulsesBefore;
}

class NewCountWhileRunning : public testing::TestWithParam<NewCountRow>
{ };

TEST_P(NewCountWhileRunning, TakesEffectAtTheEndOfTheCurrentCycle)
{
    const NewCountRow &row = GetParam();
    Pit8254 chip;
    program(chip, 0, row.mode, 10);
    chip.clock(0, 1 + row.pulsesBefore);
    chip.writeCounter(0, 20);
    chip.writeCounter(0, 0);
    EXPECT_TRUE(chip.nullCount(0));
    chip.clock(0, row.pulsesToReload - 1);
    EXPECT_TRUE(chip.nullCount(0));
    chip.clock(0, 1);
    EXPECT_FALSE(chip.nullCount(0));
    EXPECT_EQ(chip.countingElement(0), row.elementAfterReload);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, NewCountWhileRunning,
    testing::Values(NewCountRow {Mode::RateGenerator, 3, 7, 20}, // rest of the period
                    NewCountRow {Mode::SquareWave, 2, 3, 20},    // rest of the high half
                    NewCountRow {Mode::SquareWave, 6, 4, 20},    // rest of the low half
                    NewCountRow {Mode::SoftwareTriggeredStrobe, 3, 1, 20},
                    NewCountRow {Mode::InterruptOnTerminalCount, 3, 1, 20}));

// ---------------------------------------------------------------------------------------------
// Many pulses at once must land exactly where single pulses do

struct BulkRow
{
    Mode mode;
    std::uint16_t count;
    bool bcd;
    std::uint64_t pulses;
    std::uint64_t newCountAfter; // 0: no new count
};

void PrintTo(const BulkRow &row, std::ostream *os)
{
    *os << modeName(row.mode) << (row.bcd ? "bcd" : "count") << (row.bcd ? std::hex : std::dec)
        << row.count << std::dec << "x" << row.pulses;
    if (row.newCountAfter != 0)
        *os << "new" << row.newCountAfter;
}

class BulkClock : public testing::TestWithParam<BulkRow>
{ };

TEST_P(BulkClock, MatchesSinglePulses)
{
    const BulkRow &row = GetParam();
    Pit8254 bulk;
    Pit8254 single;
    for (Pit8254 *chip : {&bulk, &single})
        program(*chip, 1, row.mode, row.count, row.bcd);
    if (row.mode == Mode::HardwareRetriggerableOneShot
        || row.mode == Mode::HardwareTriggeredStrobe) {
        trigger(bulk, 1);
        trigger(single, 1);
    }
    auto run = [&](std::uint64_t pulses) {
        bulk.clock(1, pulses);
        for (std::uint64_t i = 0; i < pulses; ++i)
            single.clock(1, 1);
    };
    if (row.newCountAfter != 0) {
        run(row.newCountAfter);
        for (Pit8254 *chip : {&bulk, &single}) {
            chip->writeCounter(1, 0x07);
            chip->writeCounter(1, 0x00);
        }
        run(row.pulses - row.newCountAfter);
    } else {
        run(row.pulses);
    }
    EXPECT_EQ(bulk.countingElement(1), single.countingElement(1));
    EXPECT_EQ(bulk.out(1), single.out(1));
    EXPECT_EQ(bulk.nullCount(1), single.nullCount(1));
    EXPECT_EQ(bulk.outRisingEdges(1), single.outRisingEdges(1));
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, BulkClock,
    testing::Values(BulkRow {Mode::RateGenerator, 2, false, 100001, 0},
                    BulkRow {Mode::RateGenerator, 1000, false, 123457, 0},
                    BulkRow {Mode::RateGenerator, 0, false, 200003, 0},
                    BulkRow {Mode::SquareWave, 10, false, 100003, 0},
                    BulkRow {Mode::SquareWave, 7, false, 100003, 0},
                    BulkRow {Mode::SquareWave, 0x999, true, 100003, 0},
                    BulkRow {Mode::SquareWave, 0, true, 100003, 0},
                    BulkRow {Mode::SquareWave, 1000, false, 5000, 2203},
                    BulkRow {Mode::SquareWave, 1001, false, 5000, 2802},
                    BulkRow {Mode::RateGenerator, 1000, false, 5000, 2203},
                    BulkRow {Mode::InterruptOnTerminalCount, 5, false, 140000, 0},
                    BulkRow {Mode::InterruptOnTerminalCount, 0x50, true, 30000, 0},
                    BulkRow {Mode::SoftwareTriggeredStrobe, 7, false, 140000, 0},
                    BulkRow {Mode::SoftwareTriggeredStrobe, 7, false, 1000, 500},
                    BulkRow {Mode::HardwareRetriggerableOneShot, 9, false, 70000, 0},
                    BulkRow {Mode::HardwareTriggeredStrobe, 9, false, 70000, 0}));

TEST(Pit8254, SquareWaveRisesOncePerPeriod)
{
    Pit8254 chip;
    program(chip, 0, Mode::SquareWave, 10);
    const std::uint64_t before = chip.outRisingEdges(0);
    chip.clock(0, 1 + 10 * 1'000'000);
    EXPECT_EQ(chip.outRisingEdges(0) - before, 1'000'000u);
}

// ---------------------------------------------------------------------------------------------
// Latches and read-back

TEST(Pit8254, CounterLatchFreezesTheReadValueWhileCountingGoesOn)
{
    Pit8254 chip;
    program(chip, 1, Mode::RateGenerator, 1000);
    chip.clock(1, 10); // load, then 9 counts
    chip.writeControl(pit::controlWord(1, Access::LatchCommand, Mode {}));
    chip.clock(1, 100);
    chip.writeControl(pit::controlWord(1, Access::LatchCommand, Mode::SoftwareTriggeredStrobe));
    EXPECT_EQ(chip.programmedBits(1), 0x34); // a latch command, ignored while one is held
    EXPECT_EQ(chip.readCounter(1), 991 & 0xFF);
    chip.clock(1, 100);
    EXPECT_EQ(chip.readCounter(1), 991 >> 8);
    EXPECT_EQ(readTwoBytes(chip, 1), 791); // released: live again
}

TEST(Pit8254, ReadBackStatusTracksNullCountAndOut)
{
    Pit8254 chip;
    const std::uint8_t statusOfCounter0
        = pit::kReadBackCommand | pit::kReadBackNoCount | pit::readBackSelect(0);
    chip.writeControl(0x14); // counter 0, low byte, mode 2
    chip.writeControl(statusOfCounter0);
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x40 | 0x14);
    chip.writeCounter(0, 3);
    chip.writeControl(statusOfCounter0);
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x40 | 0x14); // written, not yet loaded
    chip.clock(0, 1);
    chip.writeControl(statusOfCounter0);
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x14);
    chip.clock(0, 2); // element 1: the low pulse
    chip.writeControl(statusOfCounter0);
    EXPECT_EQ(chip.readCounter(0), 0x14);
    EXPECT_EQ(chip.readCounter(0), 1); // no count was latched: the live element
}

TEST(Pit8254, ReadBackLatchesSeveralCountersStatusFirst)
{
    Pit8254 chip;
    program(chip, 0, Mode::RateGenerator, 0x0300);
    program(chip, 1, Mode::InterruptOnTerminalCount, 0x0200);
    program(chip, 2, Mode::SquareWave, 0x0101, true);
    for (int c = 0; c < 3; ++c)
        chip.clock(c, 2);
    chip.writeControl(pit::kReadBackCommand | pit::readBackSelect(0) | pit::readBackSelect(1)
                      | pit::readBackSelect(2));
    for (int c = 0; c < 3; ++c)
        chip.clock(c, 7);
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x34);
    EXPECT_EQ(readTwoBytes(chip, 0), 0x02FF);
    EXPECT_EQ(chip.readCounter(1), 0x00 | 0x30);
    EXPECT_EQ(readTwoBytes(chip, 1), 0x01FF);
    EXPECT_EQ(chip.readCounter(2), 0x80 | 0x37);
    EXPECT_EQ(readTwoBytes(chip, 2), 0x0098); // 101 loads as 100, minus 2
}

TEST(Pit8254, LatchesAreNotOverwrittenUntilRead)
{
    Pit8254 chip;
    program(chip, 1, Mode::SquareWave, 8);
    chip.clock(1, 2);
    const std::uint8_t both = pit::kReadBackCommand | pit::readBackSelect(1);
    chip.writeControl(both); // status: OUT high; count 6
    chip.clock(1, 3);        // OUT now low
    chip.writeControl(both);
    chip.writeControl(pit::controlWord(1, Access::LatchCommand, Mode {}));
    EXPECT_EQ(chip.readCounter(1), 0x80 | 0x36);
    EXPECT_EQ(readTwoBytes(chip, 1), 6);
    chip.writeControl(both);
    EXPECT_EQ(chip.readCounter(1), 0x36);
    EXPECT_EQ(readTwoBytes(chip, 1), 8);
}

TEST(Pit8254, ReadBackIgnoresUnselectedCounters)
{
    Pit8254 chip;
    program(chip, 0, Mode::RateGenerator, 50);
    program(chip, 2, Mode::RateGenerator, 60);
    chip.clock(0, 1);
    chip.clock(2, 1);
    chip.writeControl(pit::kReadBackCommand | pit::kReadBackNoCount | pit::readBackSelect(2));
    EXPECT_EQ(readTwoBytes(chip, 0), 50);
    EXPECT_EQ(chip.readCounter(2), 0x80 | 0x34);
}

TEST(Pit8254, ControlWordDropsLatchesAndTogglesOfItsCounter)
{
    Pit8254 chip;
    program(chip, 0, Mode::RateGenerator, 0x1234);
    chip.clock(0, 1);
    chip.writeControl(pit::kReadBackCommand | pit::readBackSelect(0));
    chip.writeCounter(0, 0x99);                  // half a new count
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x34); // status; the count stays latched
    EXPECT_EQ(chip.readCounter(0), 0x34);        // half the latched count

    chip.writeControl(pit::controlWord(0, Access::LowThenHigh, Mode::RateGenerator));
    chip.writeCounter(0, 0x78);
    chip.writeCounter(0, 0x56);
    EXPECT_EQ(chip.count(0), 0x5678u); // write toggle starts at the low byte
    chip.clock(0, 1);
    EXPECT_EQ(chip.readCounter(0), 0x78); // latch gone, read toggle back at the low byte
    EXPECT_EQ(chip.readCounter(0), 0x56);
}

// ---------------------------------------------------------------------------------------------
// Frequencies

struct FrequencyRow
{
    std::uint8_t controlWord;
    std::optional<std::uint16_t> count;
    double expectedHz;
};

void PrintTo(const FrequencyRow &row, std::ostream *os)
{
    *os << "cw" << std::hex << static_cast<int>(row.controlWord) << "count";
    if (row.count)
        *os << std::dec << *row.count;
    else
        *os << "none";
}

class Frequency : public testing::TestWithParam<FrequencyRow>
{ };

TEST_P(Frequency, IsTheClockOverTheCountInPeriodicModes)
{
    const FrequencyRow &row = GetParam();
    Pit8254 chip;
    chip.writeControl(row.controlWord);
    if (row.count) {
        chip.writeCounter(0, static_cast<std::uint8_t>(*row.count & 0xFF));
        chip.writeCounter(0, static_cast<std::uint8_t>(*row.count >> 8));
    }
    EXPECT_DOUBLE_EQ(chip.squareWaveFrequencyHz(0, 2e6), row.expectedHz);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, Frequency,
    testing::Values(FrequencyRow {0x36, 1000, 2000.0}, FrequencyRow {0x34, 1000, 2000.0},
                    FrequencyRow {0x3E, 3, 2e6 / 3}, FrequencyRow {0x37, 0x1000, 2e6 / 1000},
                    FrequencyRow {0x36, 0, 2e6 / 65536}, FrequencyRow {0x36, std::nullopt, 0.0},
                    FrequencyRow {0x36, 1, 0.0}, FrequencyRow {0x30, 1000, 0.0},
                    FrequencyRow {0x38, 1000, 0.0}));

} // namespace
