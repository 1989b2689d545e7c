#include "port_refused.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "support/clock_protocol.h"
#include "support/row_name.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using qm5083::hardware::kSimulatedCardBase;
using qm5083::hardware::PortRefused;
using qm5083::hardware::SimulatedCard;
using Mode = qm5083::hardware::Pit8254::Mode;

constexpr std::chrono::nanoseconds kCardClockPeriod = 500ns;

class SimulatedCardTest : public testing::Test
{
protected:
    static std::uint16_t port(int offset)
    {
        return static_cast<std::uint16_t>(kSimulatedCardBase + offset);
    }
    void write(int offset, int value)
    {
        card_.outportb(port(offset), static_cast<std::int16_t>(value));
    }
    std::uint8_t read(int offset) { return card_.inportb(port(offset)); }
    void advance(std::chrono::nanoseconds by) { now_ += by; }

    // What the clock panel writes for a base divider k and an output divider n.
    void clockSetUp(std::uint16_t k, std::uint16_t n)
    {
        for (const auto &access : qm5083::testing::expectedClockWrites(kSimulatedCardBase, k & 0xFF,
                                                                       k >> 8, n & 0xFF, n >> 8))
            card_.outportb(access.port, access.value);
    }

    std::chrono::nanoseconds now_ = 123s; // any start: only differences count
    SimulatedCard card_ {[this] {
        return now_;
    }};
};

// The ten counters behind the clock outputs: A2, then B, C and D 0..2.
constexpr std::array<std::pair<int, int>, 10> kOutputCounters {
    {{0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}, {3, 2}}};

// Table rows are named by their name field, in test names and in failure messages.
template<class Row>
concept NamedRow = std::is_same_v<decltype(Row::name), const char *>;
void PrintTo(const NamedRow auto &row, std::ostream *os)
{
    *os << row.name;
}

// ---------------------------------------------------------------------------------------------
// Digital I/O and the bus

TEST_F(SimulatedCardTest, InputsReadTheOutputLatchesThroughTheLoopback)
{
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(read(g), 0x00) << "group " << g;
    const std::array<int, 4> bytes {0x5A, 0x01, 0xFF, 0x80};
    for (int g = 0; g < 4; ++g)
        write(g, bytes[g]);
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(card_.outputLatch(g), bytes[g]) << "group " << g;
        EXPECT_EQ(read(g), bytes[g]) << "group " << g;
    }
    write(2, 0x33);
    EXPECT_EQ(read(2), 0x33);
    EXPECT_EQ(read(1), 0x01);
}

struct LowByteRow
{
    const char *name;
    std::int16_t value;
    std::uint8_t byte;
};

class SimulatedCardLowByte : public SimulatedCardTest,
                             public testing::WithParamInterface<LowByteRow>
{ };

TEST_P(SimulatedCardLowByte, OnlyTheLowEightBitsReachThePort)
{
    card_.outportb(port(1), GetParam().value);
    EXPECT_EQ(read(1), GetParam().byte);
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedCard, SimulatedCardLowByte,
    testing::Values(LowByteRow {"Minus1", -1, 0xFF}, LowByteRow {"Value511", 511, 0xFF},
                    LowByteRow {"Value256", 256, 0x00}, LowByteRow {"Value1234Hex", 0x1234, 0x34},
                    LowByteRow {"Minus32768", -32768, 0x00}, LowByteRow {"Minus255", -255, 0x01},
                    LowByteRow {"Value255", 255, 0xFF}, LowByteRow {"Value7F0AHex", 0x7F0A, 0x0A}),
    qm5083::testing::RowName {});

// The simulated PC holds only the card, E000-E013.
class SimulatedCardOutsidePort : public SimulatedCardTest,
                                 public testing::WithParamInterface<std::uint16_t>
{ };

TEST_P(SimulatedCardOutsidePort, IsRefusedAndChangesNothing)
{
    const std::uint16_t p = GetParam();
    char refused[64];
    std::snprintf(refused, sizeof refused, "port %04X refused", p);
    const auto refusal = testing::ThrowsMessage<PortRefused>(
        testing::AllOf(testing::HasSubstr(refused), testing::HasSubstr("(E000-E013)")));
    EXPECT_THAT([&] { card_.inportb(p); }, refusal);
    for (std::int16_t value : {std::int16_t {0x55}, std::int16_t {0x76}, std::int16_t {-1}})
        EXPECT_THAT([&] { card_.outportb(p, value); }, refusal);
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(read(g), 0x00);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_EQ(card_.daCode(channel), 0);
    for (int chip = 0; chip < 4; ++chip)
        for (int counter = 0; counter < 3; ++counter)
            EXPECT_EQ(card_.chip(chip).state(counter).programmedBits, 0x30);
}

INSTANTIATE_TEST_SUITE_P(SimulatedCard, SimulatedCardOutsidePort,
                         testing::Values(0xDFFF, 0xDFF0, 0xE014, 0xE015, 0xE017, 0xE0FF, 0xE100,
                                         0xFFFF, 0x0000, 0x0378, 0x8000, 0x6000),
                         [](const auto &info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Port%04X", info.param);
                             return std::string(name);
                         });

TEST_F(SimulatedCardTest, ControlWordRegistersAreWriteOnly)
{
    for (int offset : {7, 11, 15, 19}) {
        write(offset, 0x36);
        EXPECT_EQ(read(offset), 0xFF) << "offset " << offset;
    }
}

// ---------------------------------------------------------------------------------------------
// Clock outputs

struct DividerRow
{
    const char *name;
    std::uint16_t k;
    std::uint16_t n;
    std::uint32_t kCount;
    std::uint32_t nCount;
    double baseHz;
};

class SimulatedCardClockSetUp : public SimulatedCardTest,
                                public testing::WithParamInterface<DividerRow>
{ };

TEST_P(SimulatedCardClockSetUp, ProgramsSquareWavesFromTheBaseFrequency)
{
    const DividerRow &row = GetParam();
    clockSetUp(row.k, row.n);
    EXPECT_DOUBLE_EQ(card_.baseFrequencyHz(), row.baseHz);
    EXPECT_DOUBLE_EQ(card_.squareWaveFrequencyHz(0, 1), row.baseHz);
    EXPECT_EQ(card_.chip(0).state(1).mode, Mode::SquareWave);
    EXPECT_EQ(card_.chip(0).state(1).count, row.kCount);
    for (auto [chip, counter] : kOutputCounters) {
        EXPECT_EQ(card_.chip(chip).state(counter).mode, Mode::SquareWave);
        EXPECT_EQ(card_.chip(chip).state(counter).count, row.nCount);
        EXPECT_DOUBLE_EQ(card_.squareWaveFrequencyHz(chip, counter), row.baseHz / row.nCount)
            << "chip " << chip << " counter " << counter;
    }
    EXPECT_EQ(card_.squareWaveFrequencyHz(0, 0), 0.0); // never programmed
}

INSTANTIATE_TEST_SUITE_P(SimulatedCard, SimulatedCardClockSetUp,
                         testing::Values(DividerRow {"K1000N10", 1000, 10, 1000, 10, 2000.0},
                                         DividerRow {"K2N65535", 2, 65535, 2, 65535, 1e6},
                                         DividerRow {"BothZero", 0, 0, 65536, 65536, 2e6 / 65536},
                                         DividerRow {"K256N515", 0x0100, 0x0203, 256, 515,
                                                     2e6 / 256}),
                         qm5083::testing::RowName {});

TEST_F(SimulatedCardTest, CountersCountWithElapsedTime)
{
    clockSetUp(1000, 10);
    advance(101 * kCardClockPeriod); // the load, then 100 clocks: two each
    write(7, 0x40);                  // chip A: latch counter 1
    EXPECT_EQ(read(5), 800 & 0xFF);
    EXPECT_EQ(read(5), 800 >> 8);

    write(7, 0xE4); // chip A: read-back of counter 1's status, no count
    EXPECT_EQ(read(5), 0x80 | 0x36);
    advance(450 * kCardClockPeriod); // 50 clocks into the low half
    write(7, 0xE4);
    EXPECT_EQ(read(5), 0x36);
    EXPECT_EQ(read(5), 900 & 0xFF); // the live count follows the status
    EXPECT_EQ(read(5), 900 >> 8);
}

TEST_F(SimulatedCardTest, TimeIsCountedInWholeClockPeriods)
{
    clockSetUp(1000, 10);
    advance(kCardClockPeriod - 1ns);
    read(0);
    EXPECT_TRUE(card_.chip(0).state(1).nullCount);
    advance(1ns);
    read(0);
    EXPECT_FALSE(card_.chip(0).state(1).nullCount);
    for (int i = 0; i < 6; ++i) { // 6 x 250 ns: three more clocks
        advance(kCardClockPeriod / 2);
        read(0);
    }
    EXPECT_EQ(card_.chip(0).state(1).countingElement, 1000 - 3 * 2);
    now_ -= 10s; // a clock that steps back adds nothing
    read(0);
    EXPECT_EQ(card_.chip(0).state(1).countingElement, 1000 - 3 * 2);
}

TEST_F(SimulatedCardTest, OutputsToggleAtTheirFrequencyOverLongIntervals)
{
    clockSetUp(1000, 10);
    advance(1s);
    read(0);
    auto edges = [this](int chip, int counter) {
        return card_.chip(chip).state(counter).outRisingEdges;
    };
    std::array<std::uint64_t, 10> before {};
    for (std::size_t i = 0; i < kOutputCounters.size(); ++i)
        before[i] = edges(kOutputCounters[i].first, kOutputCounters[i].second);
    const std::uint64_t baseBefore = edges(0, 1);

    advance(3600s); // 7.2e9 card clocks
    read(0);
    EXPECT_EQ(edges(0, 1) - baseBefore, 2000u * 3600);
    for (std::size_t i = 0; i < kOutputCounters.size(); ++i) {
        const auto [chip, counter] = kOutputCounters[i];
        EXPECT_EQ(edges(chip, counter) - before[i], 200u * 3600)
            << "chip " << chip << " counter " << counter;
    }
    EXPECT_EQ(edges(0, 0), 0u); // counter A0 is never programmed
}

TEST_F(SimulatedCardTest, ReprogrammingTheBaseChangesTheOutputRate)
{
    clockSetUp(1000, 10);
    advance(1s);
    write(7, 0x76);
    write(5, 100);
    write(5, 0);
    advance(1s); // a control word restarts the counter: 20 kHz from the next clock
    read(0);
    EXPECT_DOUBLE_EQ(card_.squareWaveFrequencyHz(1, 0), 2000.0);
    const std::uint64_t before = card_.chip(1).state(0).outRisingEdges;
    advance(1s);
    read(0);
    EXPECT_EQ(card_.chip(1).state(0).outRisingEdges - before, 2000u);
}

TEST(SimulatedCard, RunsOnTheSteadyClockByDefault)
{
    SimulatedCard card;
    card.outportb(kSimulatedCardBase + 7, 0x74); // A1: low then high, mode 2
    card.outportb(kSimulatedCardBase + 5, 0xFF);
    card.outportb(kSimulatedCardBase + 5, 0xFF);
    const auto start = std::chrono::steady_clock::now();
    auto counted = [&] {
        return !card.chip(0).state(1).nullCount && card.chip(0).state(1).countingElement < 0xFFFE;
    };
    while (!counted() && std::chrono::steady_clock::now() - start < 5s)
        card.inportb(kSimulatedCardBase);
    EXPECT_TRUE(counted());
}

// ---------------------------------------------------------------------------------------------
// DA channels

struct DaRow
{
    const char *name;
    int lowByte;  // offset 8
    int highByte; // offset 9
    int channel;
    std::uint16_t code;
};

class SimulatedCardDa : public SimulatedCardTest, public testing::WithParamInterface<DaRow>
{ };

TEST_P(SimulatedCardDa, LatchesTheCodeIntoTheSelectedChannel)
{
    const DaRow &row = GetParam();
    for (int channel = 0; channel < 4; ++channel) {
        write(8, 0xBC);
        write(9, 0x0A | channel << 4);
        write(10, 0);
    }
    write(8, row.lowByte);
    write(9, row.highByte);
    write(10, 0);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_EQ(card_.daCode(channel), channel == row.channel ? row.code : 0xABC)
            << "channel " << channel;
}

INSTANTIATE_TEST_SUITE_P(SimulatedCard, SimulatedCardDa,
                         testing::Values(DaRow {"Channel2Full", 0xFF, 0x2F, 2, 0xFFF},
                                         DaRow {"Channel1Zero", 0x00, 0x10, 1, 0x000},
                                         DaRow {"Channel3Zero", 0x00, 0x30, 3, 0x000},
                                         DaRow {"Channel1LowByteOnly", 0xFF, 0x10, 1, 0x0FF},
                                         DaRow {"Channel0", 0x34, 0x02, 0, 0x234},
                                         DaRow {"HighBitsIgnored", 0x01, 0xFA, 3, 0xA01},
                                         DaRow {"Channel0Zero", 0x00, 0x00, 0, 0x000}),
                         qm5083::testing::RowName {});

TEST_F(SimulatedCardTest, DaDataWritesAloneLatchNothing)
{
    write(8, 0xFF);
    write(9, 0x2F);
    write(8, 0x12);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_EQ(card_.daCode(channel), 0);
    write(10, 0xFF); // any byte latches
    EXPECT_EQ(card_.daCode(2), 0xF12);
    write(9, 0x05);
    EXPECT_EQ(card_.daCode(0), 0);
    EXPECT_EQ(card_.daCode(2), 0xF12);
}

TEST_F(SimulatedCardTest, DaWritesAlsoLoadChipBCounters)
{
    write(11, 0x14); // B0, B1, B2: low byte only, mode 2
    write(11, 0x54);
    write(11, 0x94);
    write(8, 0x21);
    write(9, 0x13);
    write(10, 0x00);
    EXPECT_EQ(card_.daCode(1), 0x321);
    EXPECT_EQ(card_.chip(1).state(0).count, 0x21u);
    EXPECT_EQ(card_.chip(1).state(1).count, 0x13u);
    EXPECT_EQ(card_.chip(1).state(2).count, 65536u);
}

TEST_F(SimulatedCardTest, ClockSetUpAlsoLatchesADaCode)
{
    // Offsets 8 and 9 last get the high byte of n, then offset 10 latches it.
    clockSetUp(1000, 0x1234);
    EXPECT_EQ(card_.daCode(1), 0x212);
    EXPECT_EQ(card_.daCode(0), 0);
    EXPECT_EQ(card_.daCode(2), 0);
    EXPECT_EQ(card_.daCode(3), 0);
}

// ---------------------------------------------------------------------------------------------
// Faults

struct FaultRow
{
    const char *name;
    const char *fault;
    std::array<std::uint8_t, 4> outputs;
    std::array<std::uint8_t, 4> inputs; // as read back through the loopback
    // Chip C counter 0's read-back status, 100 us after it was given a count of 16 in mode 0
    // with the base clock at 1 MHz: B0 when it has counted out.
    std::uint8_t chipCStatus;
};

void PrintTo(const FaultRow &row, std::ostream *os)
{
    *os << row.name;
}

class SimulatedCardFault : public testing::TestWithParam<FaultRow>
{ };

TEST_P(SimulatedCardFault, ChangesWhatTheCardAnswers)
{
    std::chrono::nanoseconds now {};
    SimulatedCard card([&] { return now; },
                       {qm5083::hardware::parseSimulatedFault(GetParam().fault)});
    for (int group = 0; group < 4; ++group)
        card.outportb(static_cast<std::uint16_t>(0xE000 + group), GetParam().outputs[group]);
    std::array<std::uint8_t, 4> inputs {};
    for (int group = 0; group < 4; ++group)
        inputs[group] = card.inportb(static_cast<std::uint16_t>(0xE000 + group));
    EXPECT_EQ(inputs, GetParam().inputs);
    for (const auto &[port, byte] : {std::pair {0xE007, 0x74},
                                     {0xE005, 0x02},
                                     {0xE005, 0x00},
                                     {0xE00F, 0x30},
                                     {0xE00C, 0x10},
                                     {0xE00C, 0x00}})
        card.outportb(static_cast<std::uint16_t>(port), static_cast<std::int16_t>(byte));
    now += 100us;
    card.outportb(0xE00F, 0xE2); // read-back: status of counter 0
    EXPECT_EQ(card.inportb(0xE00C), GetParam().chipCStatus);
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedCard, SimulatedCardFault,
    testing::Values(
        FaultRow {"StuckAtOne", "stuck:2.3=1", {0, 0, 0, 0}, {0, 0x08, 0, 0}, 0xB0},
        FaultRow {
            "StuckAtZero", "stuck:4.7=0", {0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0x7F}, 0xB0},
        // Bridged: both read 1 only when both are driven 1.
        FaultRow {
            "BridgedOneDrivenLow", "short:1.0-3.7", {0x01, 0, 0x00, 0}, {0x00, 0, 0x00, 0}, 0xB0},
        FaultRow {
            "BridgedBothDrivenHigh", "short:1.0-3.7", {0x01, 0, 0x80, 0}, {0x01, 0, 0x80, 0}, 0xB0},
        FaultRow {"DeadChipC", "dead-chip:C", {0x5A, 0, 0, 0}, {0x5A, 0, 0, 0}, 0xFF},
        // Never clocked, the count written is never loaded: OUT low, NULL COUNT set.
        FaultRow {"StoppedCounter", "counter-stopped:C.0", {0x5A, 0, 0, 0}, {0x5A, 0, 0, 0}, 0x70},
        // RW1 held low: programmed for the low byte only (10), the read-back latches the count
        // too, and a last count of 00 is 65536, far from counted out.
        FaultRow {"DataLineLow", "chip-data:C.5=0", {0x5A, 0, 0, 0}, {0x5A, 0, 0, 0}, 0x10}),
    qm5083::testing::RowName {});

struct FaultTextRow
{
    const char *name;
    const char *text;
    const char *refusal = nullptr; // what a refusal says; none: read back as the same text
};

void PrintTo(const FaultTextRow &row, std::ostream *os)
{
    *os << row.name;
}

class SimulatedFaultText : public testing::TestWithParam<FaultTextRow>
{ };

TEST_P(SimulatedFaultText, IsReadExactlyOrRefusedNamingIt)
{
    using qm5083::hardware::InvalidFault;
    if (!GetParam().refusal) {
        EXPECT_EQ(describeFault(qm5083::hardware::parseSimulatedFault(GetParam().text)),
                  GetParam().text);
    } else {
        EXPECT_THAT(
            [text = GetParam().text] { qm5083::hardware::parseSimulatedFault(text); },
            testing::ThrowsMessage<InvalidFault>(testing::HasSubstr(
                std::string("--sim-fault \"") + GetParam().text + "\" " + GetParam().refusal)));
    }
}

constexpr const char *kNotAFault = "is not a fault of the simulated card: stuck:G.B=V";
INSTANTIATE_TEST_SUITE_P(
    SimulatedCard, SimulatedFaultText,
    testing::Values(FaultTextRow {"Stuck", "stuck:4.7=0"}, FaultTextRow {"Short", "short:1.0-3.7"},
                    FaultTextRow {"DeadChip", "dead-chip:D"},
                    FaultTextRow {"StoppedCounter", "counter-stopped:A.2"},
                    FaultTextRow {"DataLine", "chip-data:B.7=1"},
                    FaultTextRow {"DaOffsetNegative", "da-offset:1=-50"},
                    FaultTextRow {"DaGainFraction", "da-gain:3=0.5"},
                    FaultTextRow {"TrailingCharacter", "stuck:1.2=1x", kNotAFault},
                    FaultTextRow {"TwoDigitLevel", "stuck:1.2=10", kNotAFault},
                    FaultTextRow {"GroupBeyond4", "stuck:5.1=1", kNotAFault},
                    FaultTextRow {"BitBridgedToItself", "short:2.3-2.3",
                                  "bridges input bit 2.3 to itself"},
                    FaultTextRow {"CounterBeyond2", "counter-stopped:B.3", kNotAFault},
                    FaultTextRow {"ChipBeyondD", "chip-data:E.0=1", kNotAFault},
                    FaultTextRow {"LowerCaseChip", "dead-chip:a", kNotAFault},
                    FaultTextRow {"DaChannelBeyond3", "da-offset:4=10", kNotAFault},
                    FaultTextRow {"DaOffsetBeyond10V", "da-offset:0=10001", kNotAFault},
                    FaultTextRow {"DaGainPointOnly", "da-gain:0=1.", kNotAFault},
                    FaultTextRow {"Empty", "", kNotAFault},
                    FaultTextRow {"OnCard2", "2/stuck:1.3=1"},
                    FaultTextRow {"OnCard8", "8/da-gain:3=0.5"},
                    FaultTextRow {"OnCard9", "9/stuck:1.3=1", kNotAFault},
                    FaultTextRow {"OnCard0", "0/stuck:1.3=1", kNotAFault},
                    FaultTextRow {"CardWithoutAFault", "2/", kNotAFault}),
    qm5083::testing::RowName {});

struct FaultsAgreeRow
{
    const char *name;
    std::vector<const char *> faults;
    int cards;
    const char *refusal; // none: they agree
};

class SimulatedFaultsAgree : public testing::TestWithParam<FaultsAgreeRow>
{ };

TEST_P(SimulatedFaultsAgree, OnlyOnOneCardAndOnCardsThatAreSimulated)
{
    std::vector<qm5083::hardware::SimulatedFault> faults;
    for (const char *text : GetParam().faults)
        faults.push_back(qm5083::hardware::parseSimulatedFault(text));
    const auto check = [&] {
        qm5083::hardware::checkFaultsAgree(faults, GetParam().cards);
    };
    if (!GetParam().refusal)
        EXPECT_NO_THROW(check());
    else
        EXPECT_THAT(check,
                    testing::ThrowsMessage<qm5083::hardware::InvalidFault>(
                        testing::StrEq(GetParam().refusal)));
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedCard, SimulatedFaultsAgree,
    testing::Values(
        FaultsAgreeRow {"OneBitTwoLevels",
                        {"stuck:1.0=1", "1/stuck:1.0=0"},
                        1,
                        "--sim-fault \"stuck:1.0=0\" contradicts \"stuck:1.0=1\": give one value "
                        "for one place"},
        FaultsAgreeRow {"OneBitOfTwoCards", {"stuck:1.0=1", "2/stuck:1.0=0"}, 2, nullptr},
        FaultsAgreeRow {"OnTheLastCard", {"3/dead-chip:A"}, 3, nullptr},
        FaultsAgreeRow {"BeyondTheLastCard",
                        {"3/dead-chip:A"},
                        2,
                        "--sim-fault \"3/dead-chip:A\" is on simulated card 3, which is not "
                        "simulated: give --simulate 3 or more"}),
    qm5083::testing::RowName {});

// A fault acts on the card it names.
TEST(SimulatedCardNumber, TakesItsOwnFaultsAtItsOwnBase)
{
    const std::vector<qm5083::hardware::SimulatedFault> faults {
        qm5083::hardware::parseSimulatedFault("2/stuck:1.3=1"),
        qm5083::hardware::parseSimulatedFault("stuck:1.4=1")};
    SimulatedCard one({}, faults, 1);
    SimulatedCard two({}, faults, 2);
    EXPECT_EQ(one.inportb(0xE000), 0x10);
    EXPECT_EQ(two.inportb(0xE100), 0x08);
    EXPECT_THAT([&] { two.inportb(0xE000); },
                testing::ThrowsMessage<PortRefused>(
                    testing::HasSubstr("port E000 refused: it is not a register of the simulated "
                                       "card (E100-E113)")));
}

// ---------------------------------------------------------------------------------------------
// Kept between programs

using qm5083::hardware::StateOutOfRange;
using qm5083::hardware::StateReader;
using qm5083::hardware::StateWriter;

TEST_F(SimulatedCardTest, RestoredGoesOnAsTheCardItWas)
{
    clockSetUp(1000, 10);
    for (int g = 0; g < 4; ++g)
        write(g, 0x11 * (g + 1));
    write(8, 0x21);
    write(9, 0x13);
    write(10, 0x00);
    advance(kCardClockPeriod * 2 + kCardClockPeriod / 2);
    read(0);
    StateWriter out;
    card_.save(out);
    ASSERT_EQ(out.bytes().size(), SimulatedCard::kSavedSize);
    SimulatedCard kept([this] { return now_; });
    StateReader in(out.bytes());
    kept.restore(in);
    // Chip A counter 1 had its load and one count of 2 (998); the half period carried over and
    // the next half makes another.
    advance(kCardClockPeriod / 2);
    EXPECT_EQ(kept.inportb(port(3)), 0x44);
    EXPECT_EQ(kept.daCode(1), 0x321);
    EXPECT_EQ(kept.chip(0).state(1).countingElement, 996);
    read(0);
    for (int chip = 0; chip < 4; ++chip)
        for (int counter = 0; counter < 3; ++counter)
            EXPECT_EQ(kept.chip(chip).state(counter), card_.chip(chip).state(counter));
}

// Fields of what save wrote: time at 0, carry at 8, base edges delivered at 16, the DA codes
// from 30.
struct KeptCardFieldRow
{
    const char *name;
    std::size_t at;
    std::vector<std::uint8_t> bytes; // little-endian
};

class SimulatedCardKeptField : public SimulatedCardTest,
                               public testing::WithParamInterface<KeptCardFieldRow>
{ };

TEST_P(SimulatedCardKeptField, OutOfItsRangeIsRefusedAndTheCardStaysAsItWas)
{
    StateWriter out;
    card_.save(out);
    std::vector<std::uint8_t> bytes = out.bytes();
    std::copy(GetParam().bytes.begin(), GetParam().bytes.end(),
              bytes.begin() + static_cast<long>(GetParam().at));
    write(0, 0x5A);
    StateReader in(bytes);
    try {
        card_.restore(in);
        ADD_FAILURE() << "restored";
    } catch (const StateOutOfRange &refused) {
        EXPECT_EQ(refused.at(), GetParam().at);
    }
    EXPECT_EQ(card_.outputLatch(0), 0x5A);
}

// The clock stands at 123 s: 123000000000 ns is 1C A3 5F 0E 00 hex.
INSTANTIATE_TEST_SUITE_P(
    SimulatedCard, SimulatedCardKeptField,
    testing::Values(KeptCardFieldRow {"TimeAfterNow", 0, {0x01, 0x0E, 0x5F, 0xA3, 0x1C, 0, 0, 0}},
                    KeptCardFieldRow {"NegativeTime", 0, {0, 0, 0, 0, 0, 0, 0, 0x80}},
                    KeptCardFieldRow {"CarryOfAWholeClockPeriod", 8, {0xF4, 0x01}},
                    KeptCardFieldRow {"BaseEdgesNeverMade", 16, {1}},
                    KeptCardFieldRow {"DaCodeBeyondFFF", 30, {0x00, 0x10}}),
    qm5083::testing::RowName {});

// ---------------------------------------------------------------------------------------------
// The locator

TEST(SimulatedLocator, FindsCardOneAtE000AndNoOtherCard)
{
    qm5083::hardware::SimulatedLocator locator;
    EXPECT_EQ(locator.findCard(1), std::optional<std::uint16_t>(0xE000));
    EXPECT_EQ(locator.findCard(2), std::nullopt);
    EXPECT_EQ(locator.findCard(0), std::nullopt);
    EXPECT_EQ(locator.findCard(-1), std::nullopt);
    EXPECT_EQ(locator.findCard(32767), std::nullopt);
}

TEST(SimulatedLocator, FindsThreeCardsAHundredHexApart)
{
    qm5083::hardware::SimulatedLocator locator(3);
    EXPECT_EQ(locator.cardNumbers(), (std::vector<std::int16_t> {1, 2, 3}));
    EXPECT_EQ(locator.findCard(2), std::optional<std::uint16_t>(0xE100));
    EXPECT_EQ(locator.findCard(3), std::optional<std::uint16_t>(0xE200));
    EXPECT_EQ(locator.findCard(4), std::nullopt);
}

} // namespace
