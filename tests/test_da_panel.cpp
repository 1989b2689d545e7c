#include "parse_number.h"
#include "da_panel.h"
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

struct DaRow
{
    const char *name;
    const char *base;
    std::array<const char *, 4> codes;
    std::vector<Access> writes;
    std::optional<ErrorNumber> error = std::nullopt;
    const char *source = nullptr;
};

void PrintTo(const DaRow &row, std::ostream *os)
{
    *os << row.name;
}

// The three writes that send one channel's code: base + 8, base + 9, base + 10.
std::vector<Access> channel(std::int16_t low, std::int16_t high, std::uint16_t base = 0xE000)
{
    return {out(static_cast<std::uint16_t>(base + 8), low),
            out(static_cast<std::uint16_t>(base + 9), high),
            out(static_cast<std::uint16_t>(base + 10), 0)};
}

std::vector<Access> join(std::initializer_list<std::vector<Access>> parts)
{
    std::vector<Access> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class DaOutputTest : public ::testing::TestWithParam<DaRow>
{ };

TEST_P(DaOutputTest, SendsEachChannelsCodeThenLatchesIt)
{
    const DaRow &row = GetParam();
    PlainTextBox txtIOBase("txtIOBase", row.base);
    const qm5083::testing::BoxGroup txtda(qm5083::testing::BoxGroup::names("txtda", true),
                                          row.codes);
    panels::StoredBase IOBase;
    RecordingPort port;
    const auto click = [&] {
        panels::cmdDA_Click(txtIOBase, txtda.read(), IOBase, port);
    };
    if (row.error)
        EXPECT_TRUE(failsWith(*row.error, click, std::string(row.source)));
    else
        click();
    EXPECT_EQ(port.accesses, row.writes);
    EXPECT_EQ(IOBase.value(),
              Value {convert::ParseHexField(row.base)}); // stored before anything else
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DaOutputTest,
    ::testing::Values(
        DaRow {"design_time_texts",
               "E000",
               {"0", "0", "0", "0"},
               join({channel(0, 0x00), channel(0, 0x10), channel(0, 0x20), channel(0, 0x30)})},
        DaRow {"FFF_on_channel_2",
               "E000",
               {"0", "0", "FFF", "0"},
               join({channel(0, 0x00), channel(0, 0x10), channel(0xFF, 0x2F), channel(0, 0x30)})},
        DaRow {"bits_above_11_fall_into_the_channel_field",
               "E000",
               {"1000", "0", "0", "3000"},
               join({channel(0, 0x10), channel(0, 0x10), channel(0, 0x20), channel(0, 0x30)})},
        DaRow {"FFFF_reads_as_minus_one",
               "E000",
               {"0", "FFFF", "0", "0"},
               join({channel(0, 0x00), channel(0xFF, 0x10), channel(0, 0x20), channel(0, 0x30)})},
        DaRow {"a_negative_quotient_keeps_its_sign_bits",
               "E000",
               {"FFFFF000", "0", "0", "0"},
               join({channel(0, -16), channel(0, 0x10), channel(0, 0x20), channel(0, 0x30)})},
        DaRow {"base_E00D_sends_to_E015_E016_E017",
               "E00D",
               {"123", "0", "0", "0"},
               join({channel(0x23, 0x01, 0xE00D), channel(0, 0x10, 0xE00D),
                     channel(0, 0x20, 0xE00D), channel(0, 0x30, 0xE00D)})},
        DaRow {"largest_code_that_fits_7FFFFF",
               "E000",
               {"7FFFFF", "0", "0", "0"},
               join({channel(0xFF, 0x7FFF), channel(0, 0x10), channel(0, 0x20), channel(0, 0x30)})},
        DaRow {"800000_overflows_after_earlier_channels",
               "E000",
               {"1", "2", "800000", "3"},
               join({channel(1, 0x00), channel(2, 0x10)}),
               ErrorNumber::Overflow,
               "txtda(2)"},
        DaRow {"FF7FFFFF_truncates_to_minus_32768",
               "E000",
               {"FF7FFFFF", "0", "0", "0"},
               join({channel(0xFF, -32768), channel(0, 0x10), channel(0, 0x20), channel(0, 0x30)})},
        DaRow {"FF7FFF00_is_the_first_negative_code_that_overflows",
               "E000",
               {"FF7FFF00", "0", "0", "0"},
               {},
               ErrorNumber::Overflow,
               "txtda(0)"},
        DaRow {"80000000_overflows",
               "E000",
               {"0", "80000000", "0", "0"},
               channel(0, 0),
               ErrorNumber::Overflow,
               "txtda(1)"},
        DaRow {"a_base_that_leaves_16_bits_at_offset_9",
               "7FF7",
               {"0", "0", "0", "0"},
               {out(0x7FFF, 0)},
               ErrorNumber::Overflow,
               "IOBase + 9"}));

} // namespace
