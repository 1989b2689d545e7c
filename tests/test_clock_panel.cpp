#include "clock_panel.h"
#include "support/clock_protocol.h"
#include "support/expect_error.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace qm5083;
using convert::ErrorNumber;
using panels::CounterBytes;
using panels::PlainTextBox;
using qm5083::testing::Access;
using qm5083::testing::failsWith;
using qm5083::testing::out;
using qm5083::testing::RecordingPort;

namespace {

std::vector<Access> expectedClockWrites(std::uint16_t base, CounterBytes k, CounterBytes n)
{
    return qm5083::testing::expectedClockWrites(base, k.low, k.high, n.low, n.high);
}

struct ClockRow
{
    const char *k;
    const char *n;
    std::optional<CounterBytes> kBytes; // nullopt: the operation fails before any write
    std::optional<CounterBytes> nBytes;
    const char *failingBox = nullptr;
};

void PrintTo(const ClockRow &row, std::ostream *os)
{
    *os << "k=\"" << row.k << "\" n=\"" << row.n << '"';
}

class ClockOutputTest : public ::testing::TestWithParam<ClockRow>
{ };

TEST_P(ClockOutputTest, WritesTheWholeSetUpOrNothing)
{
    const ClockRow &row = GetParam();
    PlainTextBox txtClkBase("txtClkBase", row.k);
    PlainTextBox txtClkOutput("txtClkOutput", row.n);
    panels::StoredBase IOBase;
    IOBase.store(static_cast<std::int16_t>(0xE000));
    RecordingPort port;
    const auto click = [&] {
        panels::cmdClk_Click(txtClkBase, txtClkOutput, IOBase, port);
    };
    if (row.failingBox) {
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, click, row.failingBox));
        EXPECT_TRUE(port.accesses.empty());
    } else {
        click();
        EXPECT_EQ(port.accesses, expectedClockWrites(0xE000, *row.kBytes, *row.nBytes));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClockOutputTest,
    ::testing::Values(ClockRow {"1000", "10", CounterBytes {0xE8, 0x03}, CounterBytes {0x0A, 0x00}},
                      ClockRow {"65535", "65535", CounterBytes {0xFF, 0xFF},
                                CounterBytes {0xFF, 0xFF}},
                      ClockRow {"0", "", CounterBytes {0, 0}, CounterBytes {0, 0}},
                      ClockRow {"10.5", "255.5", CounterBytes {0x0A, 0}, CounterBytes {0, 0}},
                      ClockRow {"1 000", "12abc", CounterBytes {0xE8, 0x03}, CounterBytes {12, 0}},
                      ClockRow {"&H100", "2E2", CounterBytes {0, 1}, CounterBytes {200, 0}},
                      ClockRow {"1000", "65536", std::nullopt, std::nullopt, "txtClkOutput"},
                      ClockRow {"1000", "-1", std::nullopt, std::nullopt, "txtClkOutput"},
                      ClockRow {"1000", "-0.02", std::nullopt, std::nullopt, "txtClkOutput"},
                      ClockRow {"1000", "4294967296", std::nullopt, std::nullopt, "txtClkOutput"},
                      ClockRow {"65536", "10", std::nullopt, std::nullopt, "txtClkBase"},
                      ClockRow {"1E400", "10", std::nullopt, std::nullopt, "txtClkBase"},
                      // n is read first, so a bad n is the one reported
                      ClockRow {"-5", "70000", std::nullopt, std::nullopt, "txtClkOutput"}));

TEST(ClockOutput, UsesTheStoredBaseAndFailsMidwayWhenAPortLeavesSixteenBits)
{
    PlainTextBox txtClkBase("txtClkBase", "1000");
    PlainTextBox txtClkOutput("txtClkOutput", "10");
    panels::StoredBase IOBase;
    IOBase.store(-8179.0); // E00D, as the output or DA panel stores a typed base
    RecordingPort port;
    panels::cmdClk_Click(txtClkBase, txtClkOutput, IOBase, port);
    EXPECT_EQ(port.accesses, expectedClockWrites(0xE00D, {0xE8, 0x03}, {0x0A, 0x00}));

    // 32767 - 10: offsets up to 10 fit, offset 11 (write 7) overflows; writes 1 to 6 stay made.
    port.accesses.clear();
    IOBase.store(32757.0);
    EXPECT_TRUE(failsWith(
        ErrorNumber::Overflow,
        [&] { panels::cmdClk_Click(txtClkBase, txtClkOutput, IOBase, port); }, "IOBase + 11"));
    const auto all = expectedClockWrites(32757, {0xE8, 0x03}, {0x0A, 0x00});
    EXPECT_EQ(port.accesses, std::vector<Access>(all.begin(), all.begin() + 6));
}

TEST(ClockTooltips, TellTheFrequenciesOrWhyATextWouldFail)
{
    struct Row
    {
        const char *k;
        const char *n;
        const char *base;
        const char *output;
    };
    const Row rows[] = {
        {"1000", "10", "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz",
         "Outputs 1, 4, 7, ..., 28 = 2 MHz / (1000 x 10) = 200 Hz"},
        {"2", "1", "Base frequency (pin 31) = 2 MHz / 2 = 1 MHz",
         "Outputs 1, 4, 7, ..., 28 = 2 MHz / (2 x 1) = 1 MHz (a count of 1 is not valid for a "
         "square wave)"},
        {"0", "3",
         "Base frequency (pin 31) = 2 MHz / 65536 = 30.5176 Hz (a count of 0 divides by 65536)",
         "Outputs 1, 4, 7, ..., 28 = 2 MHz / (65536 x 3) = 10.1725 Hz"},
        {"255.5", "12abc",
         "Base frequency (pin 31) = 2 MHz / 65536 = 30.5176 Hz (a count of 0 divides by 65536)",
         "Outputs 1, 4, 7, ..., 28 = 2 MHz / (65536 x 12) = 2.54313 Hz (the text reads as 12)"},
        {"65536", "10",
         "Not accepted by the clock output: Run-time error 6: Overflow: \"65536\" reads as 65536, "
         "outside the divider's range 0 to 65535",
         "Output frequency unknown: the base divider is not accepted"},
        {"1000", "-1", "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz",
         "Not accepted by the clock output: Run-time error 6: Overflow: \"-1\" reads as -1, "
         "outside the divider's range 0 to 65535"},
    };
    for (const Row &row : rows) {
        const auto description = panels::DescribeClockDividers(row.k, row.n);
        EXPECT_EQ(description.base, row.base) << row.k;
        EXPECT_EQ(description.output, row.output) << row.n;
    }
}

} // namespace
