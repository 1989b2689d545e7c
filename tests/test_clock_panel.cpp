#include "box_reading.h"
#include "clock_panel.h"
#include "support/clock_protocol.h"
#include "support/operation_rows.h"

using namespace qm5083;
using namespace qm5083::testing;
using convert::ErrorNumber;

namespace {

class ClockOutputs : public ::testing::TestWithParam<OperationRow>
{ };

TEST_P(ClockOutputs, WriteTheWholeSetUpOrNothing)
{
    expectOperation(panels::Operation::StartClockOutputs, GetParam());
}

constexpr auto kE000 = static_cast<std::int16_t>(0xE000);

OperationRow dividers(const char *name, const char *k, const char *n, std::vector<Access> accesses)
{
    return {.name = name,
            .typed = {{"txtClkBase", k}, {"txtClkOutput", n}},
            .accesses = std::move(accesses),
            .storedBefore = convert::Value {kE000}};
}

OperationRow failing(const char *name, const char *k, const char *n, const char *box)
{
    OperationRow row = dividers(name, k, n, {});
    row.error = ErrorNumber::Overflow;
    row.failingSource = box;
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClockOutputs,
    ::testing::Values(
        dividers("StartingTexts", "1000", "10", expectedClockWrites(0xE000, 0xE8, 0x03, 0x0A, 0)),
        dividers("Largest", "65535", "65535", expectedClockWrites(0xE000, 0xFF, 0xFF, 0xFF, 0xFF)),
        dividers("ZeroAndEmpty", "0", "", expectedClockWrites(0xE000, 0, 0, 0, 0)),
        dividers("HalvesRoundToEvenInTheLowByteOnly", "10.5", "255.5",
                 expectedClockWrites(0xE000, 0x0A, 0, 0, 0)),
        dividers("LenientDecimalReading", "1 000", "12abc",
                 expectedClockWrites(0xE000, 0xE8, 0x03, 12, 0)),
        dividers("HexPrefixAndExponent", "&H100", "2E2", expectedClockWrites(0xE000, 0, 1, 200, 0)),
        failing("OutputDivider65536", "1000", "65536", "txtClkOutput"),
        failing("OutputDividerNegative", "1000", "-1", "txtClkOutput"),
        failing("OutputDividerSlightlyNegative", "1000", "-0.02", "txtClkOutput"),
        failing("OutputDividerBeyond32Bits", "1000", "4294967296", "txtClkOutput"),
        failing("BaseDivider65536", "65536", "10", "txtClkBase"),
        failing("BaseDividerBeyondADouble", "1E400", "10", "txtClkBase"),
        failing("OutputDividerIsReadFirst", "-5", "70000", "txtClkOutput"),
        OperationRow {.name = "AtTheStoredBaseE00D",
                      .typed = {},
                      .accesses = expectedClockWrites(0xE00D, 0xE8, 0x03, 0x0A, 0),
                      .storedBefore = convert::Value {-8179.0}},
        // 32757 + 10 fits, + 11 does not: the write to offset 11 (the 7th) stops the set-up.
        [] {
            OperationRow row {.name = "APortBeyond16BitsStopsTheSetUpThere",
                              .typed = {},
                              .accesses = expectedClockWrites(32757, 0xE8, 0x03, 0x0A, 0),
                              .error = ErrorNumber::Overflow,
                              .failingSource = "IOBase + 11",
                              .storedBefore = convert::Value {32757.0}};
            row.accesses.resize(6);
            return row;
        }()),
    RowName {});

// How a box's text reads, as its tooltip says, and whether it reads as what it shows.
struct ReadingRow
{
    const char *name;
    const char *box;
    const char *text;
    const char *tooltip; // "" for none
    bool asShown;
    std::vector<Typed> alsoTyped = {};
};

void PrintTo(const ReadingRow &row, std::ostream *os)
{
    *os << row.name;
}

class BoxReadings : public ::testing::TestWithParam<ReadingRow>
{ };

TEST_P(BoxReadings, SayHowTheTextReadsAndWhetherAsShown)
{
    PanelHarness panels;
    for (const Typed &typed : GetParam().alsoTyped)
        panels.type(typed.box, typed.text);
    panels.type(GetParam().box, GetParam().text);
    const auto reading = panels::readingOf(
        GetParam().box, [&](std::string_view name) { return panels.text(name); });
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->tooltip ? reading->tooltip->english() : "", GetParam().tooltip);
    EXPECT_EQ(reading->asShown, GetParam().asShown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BoxReadings,
    ::testing::Values(
        ReadingRow {"ByteAsShown", "txtOutput0", "5A", "", true},
        ReadingRow {"ByteInLowerCase", "txtOutput0", "ff", "", true},
        ReadingRow {"ByteBeyondFF", "txtOutput0", "100",
                    "reads as 100, writes 00: a byte keeps its low 8 bits", false},
        ReadingRow {"ByteFFFFReadsAsMinusOne", "txtOutput3", "FFFF",
                    "reads as FFFF, writes FF: a byte keeps its low 8 bits", false},
        ReadingRow {"ByteReadUpToANonDigit", "txtOutput1", "1G",
                    "reads as 1, writes 01: reading stops at \"G\"", false},
        ReadingRow {"ByteWithoutDigits", "txtOutput1", "ZZ",
                    "reads as 0, writes 00: reading stops at \"Z\"", false},
        ReadingRow {"ByteWithABlank", "txtOutput2", "1 2",
                    "reads as 12, writes 12: blanks are left out", false},
        ReadingRow {"ByteEmpty", "txtOutput2", "", "reads as 0, writes 00: an empty box reads as 0",
                    false},
        ReadingRow {"ByteBeyondFFFF", "txtOutput0", "10000",
                    "Run-time error 6: Overflow: 输出 stops at this box", false},
        ReadingRow {"DaAsShown", "txtda(1)", "800", "", true},
        ReadingRow {"DaMinusOne", "txtda(1)", "-1", "reads as 0, writes 0: reading stops at \"-\"",
                    false},
        ReadingRow {"DaBeyondFFF", "txtda(2)", "1000",
                    "reads as 1000, beyond FFF: DA 输出 stops at this box", false},
        ReadingRow {"BaseAsShown", "txtIOBase", "E000", "", true},
        ReadingRow {"BaseNo", "txtIOBase", "NO", "reads as 0: reading stops at \"N\"", false},
        ReadingRow {"BaseBeyondFFFF", "txtIOBase", "10000",
                    "reads as 10000, beyond FFFF: no port can be formed from it", false},
        ReadingRow {"BaseDividerAsShown", "txtClkBase", "1000",
                    "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz", true},
        ReadingRow {"OutputDividerAsShown", "txtClkOutput", "10",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (1000 x 10) = 200 Hz", true},
        ReadingRow {"DividerOfOne",
                    "txtClkOutput",
                    "1",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (2 x 1) = 1 MHz (a count of 1 is not "
                    "valid for a square wave)",
                    false,
                    {{"txtClkBase", "2"}}},
        ReadingRow {"DividerOfZero", "txtClkBase", "0",
                    "Base frequency (pin 31) = 2 MHz / 65536 = 30.5176 Hz (a count of 0 divides "
                    "by 65536)",
                    false},
        ReadingRow {"DividerReadAsAnotherNumber",
                    "txtClkOutput",
                    "12abc",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (65536 x 12) = 2.54313 Hz (the text "
                    "reads as 12)",
                    false,
                    {{"txtClkBase", "255.5"}}},
        ReadingRow {"BaseDividerOverflows", "txtClkBase", "65536",
                    "Not accepted by the clock output: Run-time error 6: Overflow: \"65536\" reads "
                    "as 65536, outside the divider's range 0 to 65535",
                    false},
        ReadingRow {"OutputDividerUnknownWithoutTheBase",
                    "txtClkOutput",
                    "10",
                    "Output frequency unknown: the base divider is not accepted",
                    true,
                    {{"txtClkBase", "65536"}}},
        ReadingRow {"OutputDividerOverflows", "txtClkOutput", "-1",
                    "Not accepted by the clock output: Run-time error 6: Overflow: \"-1\" reads as "
                    "-1, outside the divider's range 0 to 65535",
                    false}),
    RowName {});

} // namespace
