#include "digital_output_panel.h"
#include "support/box_group.h"
#include "support/expect_error.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

using namespace qm5083;
using convert::ErrorNumber;
using convert::Value;
using panels::PlainTextBox;
using qm5083::testing::Access;
using qm5083::testing::failsWith;
using qm5083::testing::out;
using qm5083::testing::RecordingPort;

namespace {

struct OutputRow
{
    const char *name;
    const char *base;
    std::array<const char *, 4> groups;
    std::vector<Access> writes;
    Value storedBase;
    std::optional<ErrorNumber> error = std::nullopt;
    const char *source = nullptr;
};

void PrintTo(const OutputRow &row, std::ostream *os)
{
    *os << row.name;
}

class DigitalOutputTest : public ::testing::TestWithParam<OutputRow>
{ };

TEST_P(DigitalOutputTest, WritesEachGroupInOrderAtTheTypedBase)
{
    const OutputRow &row = GetParam();
    PlainTextBox txtIOBase("txtIOBase", row.base);
    const qm5083::testing::BoxGroup txtOutput(qm5083::testing::BoxGroup::names("txtOutput"),
                                              row.groups);
    panels::StoredBase IOBase;
    IOBase.store(std::int16_t {0x55}); // whatever was stored before is replaced first
    RecordingPort port;

    const auto click = [&] {
        panels::cmdOutput_Click(txtIOBase, txtOutput.read(), IOBase, port);
    };
    if (row.error)
        EXPECT_TRUE(failsWith(*row.error, click,
                              row.source ? std::optional<std::string>(row.source) : std::nullopt));
    else
        click();

    EXPECT_EQ(port.accesses, row.writes);
    EXPECT_EQ(IOBase.value(), row.storedBase);
}

const auto E = [](int port) {
    return static_cast<std::uint16_t>(port);
};

INSTANTIATE_TEST_SUITE_P(
    Rows, DigitalOutputTest,
    ::testing::Values(
        OutputRow {"design_time_texts",
                   "E000",
                   {"00", "00", "00", "00"},
                   {out(E(0xE000), 0), out(E(0xE001), 0), out(E(0xE002), 0), out(E(0xE003), 0)},
                   Value {-8192.0}},
        OutputRow {"hex_bytes_either_case_and_lenient",
                   "E000",
                   {"FF", "ff", "", "xyz"},
                   {out(E(0xE000), 255), out(E(0xE001), 255), out(E(0xE002), 0), out(E(0xE003), 0)},
                   Value {-8192.0}},
        OutputRow {"values_beyond_a_byte_are_passed_as_read",
                   "E000",
                   {"FFFF", "1FF", "7FFF", "8000"},
                   {out(E(0xE000), -1), out(E(0xE001), 511), out(E(0xE002), 32767),
                    out(E(0xE003), -32768)},
                   Value {-8192.0}},
        OutputRow {"base_E00D_crosses_into_E010",
                   "E00D",
                   {"1", "2", "3", "4"},
                   {out(E(0xE00D), 1), out(E(0xE00E), 2), out(E(0xE00F), 3), out(E(0xE010), 4)},
                   Value {-8179.0}},
        OutputRow {"base_NO_reads_as_zero",
                   "NO",
                   {"1", "2", "3", "4"},
                   {out(0, 1), out(1, 2), out(2, 3), out(3, 4)},
                   Value {0.0}},
        OutputRow {"base_FFFF_wraps_to_port_0",
                   "FFFF",
                   {"1", "2", "3", "4"},
                   {out(0xFFFF, 1), out(0, 2), out(1, 3), out(2, 4)},
                   Value {-1.0}},
        OutputRow {"a_byte_out_of_range_stops_after_earlier_groups",
                   "E000",
                   {"11", "22", "10000", "33"},
                   {out(E(0xE000), 0x11), out(E(0xE001), 0x22)},
                   Value {-8192.0},
                   ErrorNumber::Overflow,
                   "txtOutput2"},
        OutputRow {"a_base_that_leaves_16_bits_at_group_1",
                   "7FFF",
                   {"11", "22", "33", "44"},
                   {out(0x7FFF, 0x11)},
                   Value {32767.0},
                   ErrorNumber::Overflow,
                   "IOBase + 1"},
        OutputRow {"a_base_beyond_16_bits_is_stored_then_fails",
                   "10000",
                   {"11", "22", "33", "44"},
                   {},
                   Value {65536.0},
                   ErrorNumber::Overflow,
                   "IOBase + 0"},
        OutputRow {"the_byte_is_converted_before_the_port",
                   "10000",
                   {"10000", "22", "33", "44"},
                   {},
                   Value {65536.0},
                   ErrorNumber::Overflow,
                   "txtOutput0"},
        OutputRow {"more_than_eight_hex_digits",
                   "E000",
                   {"123456789", "0", "0", "0"},
                   {},
                   Value {-8192.0},
                   ErrorNumber::Overflow,
                   "txtOutput0"}));

} // namespace
