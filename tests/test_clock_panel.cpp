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

struct TooltipRow
{
    const char *name;
    const char *k;
    const char *n;
    const char *base;
    const char *output;
};

class ClockTooltips : public ::testing::TestWithParam<TooltipRow>
{ };

TEST_P(ClockTooltips, TellTheFrequenciesOrWhyATextWouldFail)
{
    const auto description = panels::describeClockDividers(GetParam().k, GetParam().n);
    EXPECT_EQ(description.base, GetParam().base);
    EXPECT_EQ(description.output, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClockTooltips,
    ::testing::Values(
        TooltipRow {"StartingTexts", "1000", "10", "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (1000 x 10) = 200 Hz"},
        TooltipRow {"CountOfOne", "2", "1", "Base frequency (pin 31) = 2 MHz / 2 = 1 MHz",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (2 x 1) = 1 MHz (a count of 1 is not "
                    "valid for a square wave)"},
        TooltipRow {"CountOfZero", "0", "3",
                    "Base frequency (pin 31) = 2 MHz / 65536 = 30.5176 Hz (a count of 0 divides "
                    "by 65536)",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (65536 x 3) = 10.1725 Hz"},
        TooltipRow {"TextsThatReadAsOtherNumbers", "255.5", "12abc",
                    "Base frequency (pin 31) = 2 MHz / 65536 = 30.5176 Hz (a count of 0 divides "
                    "by 65536)",
                    "Outputs 1, 4, 7, ..., 28 = 2 MHz / (65536 x 12) = 2.54313 Hz (the text "
                    "reads as 12)"},
        TooltipRow {"BaseDividerOverflows", "65536", "10",
                    "Not accepted by the clock output: Run-time error 6: Overflow: \"65536\" reads "
                    "as 65536, outside the divider's range 0 to 65535",
                    "Output frequency unknown: the base divider is not accepted"},
        TooltipRow {"OutputDividerOverflows", "1000", "-1",
                    "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz",
                    "Not accepted by the clock output: Run-time error 6: Overflow: \"-1\" reads as "
                    "-1, outside the divider's range 0 to 65535"}),
    RowName {});

} // namespace
