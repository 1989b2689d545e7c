#include "pit8254.h"
#include "support/row_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using qm5083::hardware::Pit8254;
using Access = Pit8254::Access;
using Mode = Pit8254::Mode;

// Control words and read-back commands are written out as the 8254 takes them:
//   control word   SC1 SC0 | RW1 RW0 | M2 M1 M0 | BCD   (RW 11: low byte, then high byte)
//   read-back      1 1 | /COUNT /STATUS | CNT2 CNT1 CNT0 | 0   (a 0 latches)
// 0x36: counter 0, low then high, mode 3, binary. 0xE2: read-back of counter 0's status only.

// A control word asking for both count bytes, then the count, low byte first.
void program(Pit8254 &chip, std::uint8_t controlWord, std::uint16_t count)
{
    const int counter = controlWord >> 6;
    chip.writeControl(controlWord);
    chip.writeCounter(counter, static_cast<std::uint8_t>(count & 0xFF));
    chip.writeCounter(counter, static_cast<std::uint8_t>(count >> 8));
}

std::uint16_t readTwoBytes(Pit8254 &chip, int counter)
{
    const std::uint8_t low = chip.readCounter(counter);
    const std::uint8_t high = chip.readCounter(counter);
    return static_cast<std::uint16_t>(low | high << 8);
}

// Table rows are named by their name field, in test names and in failure messages.
template<class Row>
concept NamedRow = std::is_same_v<decltype(Row::name), const char *>;
void PrintTo(const NamedRow auto &row, std::ostream *os)
{
    *os << row.name;
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

class ControlWordDecoding : public testing::TestWithParam<DecodeRow>
{ };

TEST_P(ControlWordDecoding, SelectsCounterAndProgramsIt)
{
    const DecodeRow &row = GetParam();
    Pit8254 chip;
    chip.writeControl(row.controlWord);
    EXPECT_EQ(chip.state(row.counter).access, row.access);
    EXPECT_EQ(chip.state(row.counter).mode, row.mode);
    EXPECT_EQ(chip.state(row.counter).bcd, row.bcd);
    EXPECT_EQ(chip.state(row.counter).programmedBits, row.controlWord & 0x3F);
    EXPECT_EQ(chip.state(row.counter).out, row.outAfterProgramming);
    EXPECT_TRUE(chip.state(row.counter).nullCount);
    EXPECT_FALSE(chip.state(row.counter).count.has_value());
    for (int other = 0; other < 3; ++other) {
        if (other != row.counter) { // untouched: still in the power-up state
            EXPECT_EQ(chip.state(other).programmedBits, 0x30) << "counter " << other;
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
        DecodeRow {0x71, 1, Access::LowThenHigh, Mode::InterruptOnTerminalCount, true, false}),
    [](const auto &info) {
        char name[16];
        std::snprintf(name, sizeof name, "ControlWord%02X", info.param.controlWord);
        return std::string(name);
    });

TEST(Pit8254, PowersUpAsModeZeroWithoutACount)
{
    Pit8254 chip;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(chip.state(c).mode, Mode::InterruptOnTerminalCount);
        EXPECT_EQ(chip.state(c).access, Access::LowThenHigh);
        EXPECT_FALSE(chip.state(c).out);
        EXPECT_TRUE(chip.state(c).nullCount);
        EXPECT_TRUE(chip.state(c).gate);
        EXPECT_FALSE(chip.state(c).count.has_value());
        chip.clock(c, 1000); // nothing to count
        EXPECT_FALSE(chip.state(c).out);
        EXPECT_TRUE(chip.state(c).nullCount);
    }
}

// ---------------------------------------------------------------------------------------------
// Loading and reading counts

TEST(Pit8254, LowThenHighWritesNeedBothBytes)
{
    Pit8254 chip;
    chip.writeControl(0x74); // counter 1, low then high, mode 2
    chip.writeCounter(1, 0x34);
    EXPECT_FALSE(chip.state(1).count.has_value());
    chip.clock(1, 5); // half a count is never loaded
    EXPECT_TRUE(chip.state(1).nullCount);
    chip.writeCounter(1, 0x12);
    EXPECT_EQ(chip.state(1).count, 0x1234u);
    chip.clock(1, 1);
    EXPECT_FALSE(chip.state(1).nullCount);
    EXPECT_EQ(chip.state(1).countingElement, 0x1234);
    EXPECT_EQ(chip.readCounter(1), 0x34);
    EXPECT_EQ(chip.readCounter(1), 0x12);
    EXPECT_EQ(chip.readCounter(1), 0x34); // the read toggle starts over
}

TEST(Pit8254, ReadAndWriteTogglesAreIndependent)
{
    Pit8254 chip;
    program(chip, 0x34, 0x1234);
    chip.clock(0, 1);
    EXPECT_EQ(chip.readCounter(0), 0x34);
    chip.writeCounter(0, 0x78);
    EXPECT_EQ(chip.readCounter(0), 0x12);
    chip.writeCounter(0, 0x56);
    EXPECT_EQ(chip.state(0).count, 0x5678u);
}

// Counter 2 in mode 2 with one count byte: 0x94 low byte only, 0xA4 high byte only; 0 is 65536.
struct SingleByteRow
{
    const char *name;
    std::uint8_t controlWord;
    std::uint8_t written;
    std::uint32_t count;
    std::uint8_t readBack; // repeated reads of the loaded element
};

class SingleByteAccess : public testing::TestWithParam<SingleByteRow>
{ };

TEST_P(SingleByteAccess, LoadsAndReadsOneByte)
{
    const SingleByteRow &row = GetParam();
    Pit8254 chip;
    chip.writeControl(row.controlWord);
    chip.writeCounter(2, row.written);
    EXPECT_EQ(chip.state(2).count, row.count);
    chip.clock(2, 1);
    EXPECT_EQ(chip.readCounter(2), row.readBack);
    EXPECT_EQ(chip.readCounter(2), row.readBack);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, SingleByteAccess,
                         testing::Values(SingleByteRow {"Low42", 0x94, 0x42, 0x42, 0x42},
                                         SingleByteRow {"High42", 0xA4, 0x42, 0x4200, 0x42},
                                         SingleByteRow {"LowZero", 0x94, 0x00, 65536, 0x00},
                                         SingleByteRow {"HighZero", 0xA4, 0x00, 65536, 0x00}),
                         qm5083::testing::RowName {});

// Counter 0 in mode 2 with a count of 0: 0x34 binary, 0x35 BCD.
struct ZeroCountRow
{
    const char *name;
    std::uint8_t controlWord;
    std::uint32_t count;
    std::uint16_t afterOnePulse;
};

class ZeroCount : public testing::TestWithParam<ZeroCountRow>
{ };

TEST_P(ZeroCount, IsTheLargestCount)
{
    const ZeroCountRow &row = GetParam();
    Pit8254 chip;
    program(chip, row.controlWord, 0);
    EXPECT_EQ(chip.state(0).count, row.count);
    chip.clock(0, 1);
    EXPECT_EQ(chip.state(0).countingElement, 0);
    chip.clock(0, 1);
    EXPECT_EQ(chip.state(0).countingElement, row.afterOnePulse);
    EXPECT_DOUBLE_EQ(chip.squareWaveFrequencyHz(0, 1e6), 1e6 / row.count);
    chip.clock(0, row.count - 2); // the low pulse ends the period
    EXPECT_FALSE(chip.state(0).out);
    chip.clock(0, 1);
    EXPECT_TRUE(chip.state(0).out);
    EXPECT_EQ(chip.state(0).countingElement, 0);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, ZeroCount,
                         testing::Values(ZeroCountRow {"Binary", 0x34, 65536, 0xFFFF},
                                         ZeroCountRow {"Bcd", 0x35, 10000, 0x9999}),
                         qm5083::testing::RowName {});

struct BcdRow
{
    const char *name;
    std::uint64_t pulsesAfterLoad;
    std::uint16_t element;
    bool out;
};

class BcdCounting : public testing::TestWithParam<BcdRow>
{ };

TEST_P(BcdCounting, CountsDownInDecimalDigits)
{
    const BcdRow &row = GetParam();
    Pit8254 chip;
    program(chip, 0x71, 0x0100); // counter 1, mode 0, BCD 100
    EXPECT_EQ(chip.state(1).count, 100u);
    chip.clock(1, 1 + row.pulsesAfterLoad);
    EXPECT_EQ(chip.state(1).countingElement, row.element);
    EXPECT_EQ(readTwoBytes(chip, 1), row.element);
    EXPECT_EQ(chip.state(1).out, row.out);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, BcdCounting,
    testing::Values(BcdRow {"Loaded", 0, 0x0100, false}, BcdRow {"After1", 1, 0x0099, false},
                    BcdRow {"After10", 10, 0x0090, false}, BcdRow {"After91", 91, 0x0009, false},
                    BcdRow {"After100", 100, 0x0000, true}, BcdRow {"After101", 101, 0x9999, true},
                    BcdRow {"After10100", 10100, 0x0000, true}),
    qm5083::testing::RowName {});

// ---------------------------------------------------------------------------------------------
// Waveforms, pulse by pulse

// Counter 2, low then high, binary: 0xB0 + 2 * mode.
struct WaveRow
{
    const char *name;
    std::uint8_t controlWord;
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
    program(chip, row.controlWord, row.count);
    if (row.triggered)
        trigger(chip, 2);
    std::string out;
    std::vector<std::uint16_t> element;
    for (std::size_t i = 0; i < row.out.size(); ++i) {
        chip.clock(2, 1);
        out += chip.state(2).out ? '1' : '0';
        element.push_back(chip.state(2).countingElement);
    }
    EXPECT_EQ(out, row.out);
    EXPECT_EQ(element, row.element);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, Waveform,
    testing::Values(
        WaveRow {"TerminalCount", 0xB0, 5, false, "0000011", {5, 4, 3, 2, 1, 0, 0xFFFF}},
        WaveRow {"OneShot", 0xB2, 3, true, "00011", {3, 2, 1, 0, 0xFFFF}},
        WaveRow {"RateGenerator", 0xB4, 4, false, "111011101", {4, 3, 2, 1, 4, 3, 2, 1, 4}},
        WaveRow {"SquareWaveEven", 0xB6, 4, false, "110011001", {4, 2, 4, 2, 4, 2, 4, 2, 4}},
        WaveRow {"SquareWaveOdd", 0xB6, 5, false, "11100111001", {4, 2, 0, 4, 2, 4, 2, 0, 4, 2, 4}},
        WaveRow {"SoftwareStrobe", 0xB8, 3, false, "111011", {3, 2, 1, 0, 0xFFFF, 0xFFFE}},
        WaveRow {"HardwareStrobe", 0xBA, 3, true, "111011", {3, 2, 1, 0, 0xFFFF, 0xFFFE}}),
    qm5083::testing::RowName {});

TEST(Pit8254, GateTriggeredModesWaitForTheTrigger)
{
    for (std::uint8_t controlWord : {0x32, 0x3A}) { // counter 0, mode 1 and mode 5
        Pit8254 chip;
        program(chip, controlWord, 3);
        chip.clock(0, 100);
        EXPECT_TRUE(chip.state(0).out);
        EXPECT_TRUE(chip.state(0).nullCount) << "loaded without a trigger";
        trigger(chip, 0);
        chip.clock(0, 1);
        EXPECT_FALSE(chip.state(0).nullCount);
        EXPECT_EQ(chip.state(0).countingElement, 3);
    }
}

TEST(Pit8254, OneShotRetriggerRestartsTheLowPulse)
{
    Pit8254 chip;
    program(chip, 0x32, 4);
    trigger(chip, 0);
    chip.clock(0, 3); // load, 3, 2
    EXPECT_FALSE(chip.state(0).out);
    trigger(chip, 0);
    chip.clock(0, 4); // reload, 3, 2, 1
    EXPECT_FALSE(chip.state(0).out);
    chip.clock(0, 1);
    EXPECT_TRUE(chip.state(0).out);
    chip.clock(0, 100); // one pulse per trigger
    EXPECT_TRUE(chip.state(0).out);
}

TEST(Pit8254, ModeZeroNewCountStopsCountingAtTheFirstByte)
{
    Pit8254 chip;
    program(chip, 0x70, 3);
    chip.clock(1, 4);
    EXPECT_TRUE(chip.state(1).out);
    chip.writeCounter(1, 0x10);
    EXPECT_FALSE(chip.state(1).out); // at once, no clock needed
    const std::uint16_t held = chip.state(1).countingElement;
    chip.clock(1, 50);
    EXPECT_EQ(chip.state(1).countingElement, held);
    chip.writeCounter(1, 0x00);
    chip.clock(1, 1);
    EXPECT_EQ(chip.state(1).countingElement, 0x10);
    chip.clock(1, 0x10);
    EXPECT_TRUE(chip.state(1).out);
}

TEST(Pit8254, GateLowHoldsModeZeroCounting)
{
    Pit8254 chip;
    program(chip, 0x30, 10);
    chip.setGate(0, false);
    chip.clock(0, 5); // the load still happens, the counting does not
    EXPECT_EQ(chip.state(0).countingElement, 10);
    chip.setGate(0, true);
    chip.clock(0, 4);
    EXPECT_EQ(chip.state(0).countingElement, 6);
}

TEST(Pit8254, GateLowForcesRateOutputHighAndTriggerRestarts)
{
    Pit8254 chip;
    program(chip, 0x34, 4);
    chip.clock(0, 4); // element 1: OUT low
    ASSERT_FALSE(chip.state(0).out);
    chip.setGate(0, false);
    EXPECT_TRUE(chip.state(0).out);
    chip.clock(0, 10);
    EXPECT_EQ(chip.state(0).countingElement, 1);
    chip.setGate(0, true);
    chip.clock(0, 1);
    EXPECT_EQ(chip.state(0).countingElement, 4);
    EXPECT_TRUE(chip.state(0).out);
}

// Counter 0 loaded with 10, then given 20 while it runs.
struct NewCountRow
{
    const char *name;
    std::uint8_t controlWord;
    std::uint64_t pulsesBefore;   // after the load pulse, with the old count
    std::uint64_t pulsesToReload; // until the new count is in the element
};

class NewCountWhileRunning : public testing::TestWithParam<NewCountRow>
{ };

TEST_P(NewCountWhileRunning, TakesEffectAtTheEndOfTheCurrentCycle)
{
    const NewCountRow &row = GetParam();
    Pit8254 chip;
    program(chip, row.controlWord, 10);
    chip.clock(0, 1 + row.pulsesBefore);
    chip.writeCounter(0, 20);
    chip.writeCounter(0, 0);
    EXPECT_TRUE(chip.state(0).nullCount);
    chip.clock(0, row.pulsesToReload - 1);
    EXPECT_TRUE(chip.state(0).nullCount);
    chip.clock(0, 1);
    EXPECT_FALSE(chip.state(0).nullCount);
    EXPECT_EQ(chip.state(0).countingElement, 20);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, NewCountWhileRunning,
    testing::Values(NewCountRow {"RateGeneratorAtTheEndOfThePeriod", 0x34, 3, 7},
                    NewCountRow {"SquareWaveAtTheEndOfTheHighHalf", 0x36, 2, 3},
                    NewCountRow {"SquareWaveAtTheEndOfTheLowHalf", 0x36, 6, 4},
                    NewCountRow {"SoftwareStrobeAtTheNextPulse", 0x38, 3, 1},
                    NewCountRow {"TerminalCountAtTheNextPulse", 0x30, 3, 1}),
    qm5083::testing::RowName {});

// ---------------------------------------------------------------------------------------------
// Many pulses at once must land exactly where single pulses do

// Counter 1, low then high: 0x70 + 2 * mode (+ 1 for BCD). Both chips see a GATE trigger first.
struct BulkRow
{
    const char *name;
    std::uint8_t controlWord;
    std::uint16_t count;
    std::uint64_t pulses;
    std::uint64_t newCountAfter; // 0: no new count
};

class BulkClock : public testing::TestWithParam<BulkRow>
{ };

TEST_P(BulkClock, MatchesSinglePulses)
{
    const BulkRow &row = GetParam();
    Pit8254 bulk;
    Pit8254 single;
    for (Pit8254 *chip : {&bulk, &single}) {
        program(*chip, row.controlWord, row.count);
        trigger(*chip, 1);
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
    EXPECT_EQ(bulk.state(1).countingElement, single.state(1).countingElement);
    EXPECT_EQ(bulk.state(1).out, single.state(1).out);
    EXPECT_EQ(bulk.state(1).nullCount, single.state(1).nullCount);
    EXPECT_EQ(bulk.state(1).outRisingEdges, single.state(1).outRisingEdges);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, BulkClock,
                         testing::Values(BulkRow {"Rate2", 0x74, 2, 100001, 0},
                                         BulkRow {"Rate1000", 0x74, 1000, 123457, 0},
                                         BulkRow {"RateZero", 0x74, 0, 200003, 0},
                                         BulkRow {"Square10", 0x76, 10, 100003, 0},
                                         BulkRow {"Square7", 0x76, 7, 100003, 0},
                                         BulkRow {"SquareBcd999", 0x77, 0x999, 100003, 0},
                                         BulkRow {"SquareBcdZero", 0x77, 0, 100003, 0},
                                         BulkRow {"SquareNewCount", 0x76, 1000, 5000, 2203},
                                         BulkRow {"SquareOddNewCount", 0x76, 1001, 5000, 2802},
                                         BulkRow {"RateNewCount", 0x74, 1000, 5000, 2203},
                                         BulkRow {"TerminalCount5", 0x70, 5, 140000, 0},
                                         BulkRow {"TerminalCountBcd50", 0x71, 0x50, 30000, 0},
                                         BulkRow {"SoftwareStrobe7", 0x78, 7, 140000, 0},
                                         BulkRow {"SoftwareStrobeNewCount", 0x78, 7, 1000, 500},
                                         BulkRow {"OneShot9", 0x72, 9, 70000, 0},
                                         BulkRow {"HardwareStrobe9", 0x7A, 9, 70000, 0}),
                         qm5083::testing::RowName {});

TEST(Pit8254, SquareWaveRisesOncePerPeriod)
{
    Pit8254 chip;
    program(chip, 0x36, 10);
    const std::uint64_t before = chip.state(0).outRisingEdges;
    chip.clock(0, 1 + 10 * 1'000'000);
    EXPECT_EQ(chip.state(0).outRisingEdges - before, 1'000'000u);
}

// ---------------------------------------------------------------------------------------------
// Latches and read-back

TEST(Pit8254, CounterLatchFreezesTheReadValueWhileCountingGoesOn)
{
    Pit8254 chip;
    program(chip, 0x74, 1000);
    chip.clock(1, 10);       // load, then 9 counts
    chip.writeControl(0x40); // latch counter 1
    chip.clock(1, 100);
    chip.writeControl(0x48); // a latch command (RW = 00) despite the mode bits
    EXPECT_EQ(chip.state(1).programmedBits, 0x34); // ignored while one is held
    EXPECT_EQ(chip.readCounter(1), 991 & 0xFF);
    chip.clock(1, 100);
    EXPECT_EQ(chip.readCounter(1), 991 >> 8);
    EXPECT_EQ(readTwoBytes(chip, 1), 791); // released: live again
}

TEST(Pit8254, ReadBackStatusTracksNullCountAndOut)
{
    Pit8254 chip;
    chip.writeControl(0x14); // counter 0, low byte, mode 2
    chip.writeControl(0xE2); // read-back: status of counter 0, no count
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x40 | 0x14);
    chip.writeCounter(0, 3);
    chip.writeControl(0xE2);
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x40 | 0x14); // written, not yet loaded
    chip.clock(0, 1);
    chip.writeControl(0xE2);
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x14);
    chip.clock(0, 2); // element 1: the low pulse
    chip.writeControl(0xE2);
    EXPECT_EQ(chip.readCounter(0), 0x14);
    EXPECT_EQ(chip.readCounter(0), 1); // no count was latched: the live element
}

TEST(Pit8254, ReadBackLatchesSeveralCountersStatusFirst)
{
    Pit8254 chip;
    program(chip, 0x34, 0x0300);
    program(chip, 0x70, 0x0200);
    program(chip, 0xB7, 0x0101); // BCD 101
    for (int c = 0; c < 3; ++c)
        chip.clock(c, 2);
    chip.writeControl(0xCE); // read-back: count and status of counters 0, 1 and 2
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
    program(chip, 0x76, 8);
    chip.clock(1, 2);
    chip.writeControl(0xC4); // read-back of counter 1, count and status: OUT high, count 6
    chip.clock(1, 3);        // OUT now low
    chip.writeControl(0xC4);
    chip.writeControl(0x40); // counter latch command for counter 1
    EXPECT_EQ(chip.readCounter(1), 0x80 | 0x36);
    EXPECT_EQ(readTwoBytes(chip, 1), 6);
    chip.writeControl(0xC4);
    EXPECT_EQ(chip.readCounter(1), 0x36);
    EXPECT_EQ(readTwoBytes(chip, 1), 8);
}

TEST(Pit8254, ReadBackLatchesTheCountOfTheSelectedCounterOnly)
{
    Pit8254 chip;
    program(chip, 0x34, 50);
    program(chip, 0xB4, 60);
    chip.clock(0, 1);
    chip.clock(2, 1);
    chip.writeControl(0xD8); // read-back: count of counter 2, no status
    chip.clock(0, 5);
    chip.clock(2, 5);
    EXPECT_EQ(readTwoBytes(chip, 0), 45); // not selected: the live element
    EXPECT_EQ(readTwoBytes(chip, 2), 60); // the latched count, with no status byte before it
    EXPECT_EQ(readTwoBytes(chip, 2), 55);
}

TEST(Pit8254, ControlWordDropsLatchesAndTogglesOfItsCounter)
{
    Pit8254 chip;
    program(chip, 0x34, 0x1234);
    chip.clock(0, 1);
    chip.writeControl(0xC2);                     // read-back of counter 0, count and status
    chip.writeCounter(0, 0x99);                  // half a new count
    EXPECT_EQ(chip.readCounter(0), 0x80 | 0x34); // status; the count stays latched
    EXPECT_EQ(chip.readCounter(0), 0x34);        // half the latched count

    program(chip, 0x34, 0x5678);
    EXPECT_EQ(chip.state(0).count, 0x5678u); // write toggle starts at the low byte
    chip.clock(0, 1);
    EXPECT_EQ(chip.readCounter(0), 0x78); // latch gone, read toggle back at the low byte
    EXPECT_EQ(chip.readCounter(0), 0x56);
}

// ---------------------------------------------------------------------------------------------
// Frequencies

// Counter 0 at a 2 MHz clock.
struct FrequencyRow
{
    const char *name;
    std::uint8_t controlWord;
    std::optional<std::uint16_t> count;
    double expectedHz;
};

class Frequency : public testing::TestWithParam<FrequencyRow>
{ };

TEST_P(Frequency, IsTheClockOverTheCountInPeriodicModes)
{
    const FrequencyRow &row = GetParam();
    Pit8254 chip;
    if (row.count)
        program(chip, row.controlWord, *row.count);
    else
        chip.writeControl(row.controlWord);
    EXPECT_DOUBLE_EQ(chip.squareWaveFrequencyHz(0, 2e6), row.expectedHz);
}

INSTANTIATE_TEST_SUITE_P(Pit8254, Frequency,
                         testing::Values(FrequencyRow {"SquareWave", 0x36, 1000, 2000.0},
                                         FrequencyRow {"RateGenerator", 0x34, 1000, 2000.0},
                                         FrequencyRow {"SquareWaveWithM2Set", 0x3E, 3, 2e6 / 3},
                                         FrequencyRow {"SquareWaveBcd", 0x37, 0x1000, 2e6 / 1000},
                                         FrequencyRow {"CountZero", 0x36, 0, 2e6 / 65536},
                                         FrequencyRow {"NoCount", 0x36, std::nullopt, 0.0},
                                         FrequencyRow {"CountOne", 0x36, 1, 0.0},
                                         FrequencyRow {"TerminalCount", 0x30, 1000, 0.0},
                                         FrequencyRow {"SoftwareStrobe", 0x38, 1000, 0.0}),
                         qm5083::testing::RowName {});

// ---------------------------------------------------------------------------------------------
// Kept between programs

using qm5083::hardware::StateOutOfRange;
using qm5083::hardware::StateReader;
using qm5083::hardware::StateWriter;

// Counter 0 a square wave of 10 after 7 clocks (the load, then 6 of 2 each: 8, low half);
// counter 1 a rate of 1000 after 3 clocks (998 = 3E6), latched, its low byte read.
Pit8254 chipInMidCount()
{
    Pit8254 chip;
    program(chip, 0x36, 10);
    program(chip, 0x74, 1000);
    chip.clock(0, 7);
    chip.clock(1, 3);
    chip.writeControl(0x40);
    EXPECT_EQ(chip.readCounter(1), 0xE6);
    return chip;
}

std::vector<std::uint8_t> savedBytes(const Pit8254 &chip)
{
    StateWriter out;
    chip.save(out);
    return out.bytes();
}

TEST(Pit8254Kept, GoesOnAsTheChipItWas)
{
    Pit8254 chip = chipInMidCount();
    const std::vector<std::uint8_t> bytes = savedBytes(chip);
    ASSERT_EQ(bytes.size(), 123U); // 41 a counter
    Pit8254 kept;
    StateReader in(bytes);
    kept.restore(in);
    EXPECT_EQ(in.offset(), 123U);
    EXPECT_EQ(kept.state(0).countingElement, 8);
    EXPECT_EQ(kept.readCounter(1), 0x03); // the latch's high byte, still owed
    EXPECT_EQ(chip.readCounter(1), 0x03);
    chip.clock(0, 1001);
    kept.clock(0, 1001);
    for (int counter = 0; counter < 3; ++counter)
        EXPECT_EQ(kept.state(counter), chip.state(counter)) << "counter " << counter;
}

// Fields of what save wrote, counter 0's at offsets 0 (programmed), 3 (a count written), 21
// (element), 25 (period) and 29 (phase).
struct KeptFieldRow
{
    const char *name;
    std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> writes; // little-endian
    std::size_t keptSize;                                                  // what is left
    std::size_t refusedAt;
};

class Pit8254KeptField : public testing::TestWithParam<KeptFieldRow>
{ };

TEST_P(Pit8254KeptField, OutOfItsRangeIsRefusedAndTheChipStaysAsItWas)
{
    const KeptFieldRow &row = GetParam();
    std::vector<std::uint8_t> bytes = savedBytes(chipInMidCount());
    for (const auto &[at, written] : row.writes)
        std::copy(written.begin(), written.end(), bytes.begin() + static_cast<long>(at));
    bytes.resize(row.keptSize);
    Pit8254 chip;
    program(chip, 0x34, 5);
    const Pit8254::CounterState before = chip.state(0);
    StateReader in(bytes);
    try {
        chip.restore(in);
        ADD_FAILURE() << "restored";
    } catch (const StateOutOfRange &refused) {
        EXPECT_EQ(refused.at(), row.refusedAt);
    }
    EXPECT_EQ(chip.state(0), before);
}

INSTANTIATE_TEST_SUITE_P(
    Pit8254, Pit8254KeptField,
    testing::Values(
        KeptFieldRow {"ProgrammedBeyondSixBits", {{0, {0x76}}}, 123, 0},
        KeptFieldRow {"LatchCommandAsProgrammed", {{0, {0x06}}}, 123, 0},
        KeptFieldRow {"FlagOfTwo", {{3, {2}}}, 123, 3},
        KeptFieldRow {"ElementAtTheBinaryModulus", {{21, {0x00, 0x00, 0x01, 0x00}}}, 123, 21},
        // BCD counts to 9999: 10000 is 2710 hex.
        KeptFieldRow {"BcdElementAt10000", {{0, {0x37}}, {21, {0x10, 0x27, 0, 0}}}, 123, 21},
        KeptFieldRow {"PeriodBeyond65536", {{25, {0x01, 0x00, 0x01, 0x00}}}, 123, 25},
        KeptFieldRow {"RunningWithoutAPeriod", {{25, {0, 0, 0, 0}}}, 123, 25},
        KeptFieldRow {"PhaseAtItsPeriod", {{29, {10, 0, 0, 0}}}, 123, 29},
        // Counter 2 begins at 82; its running flag, at 100, is cut off.
        KeptFieldRow {"EndsEarly", {}, 100, 100}),
    qm5083::testing::RowName {});

} // namespace
