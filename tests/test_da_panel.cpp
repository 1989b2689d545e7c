#include "support/operation_rows.h"

#include <initializer_list>

using namespace qm5083;
using namespace qm5083::testing;
using convert::ErrorNumber;
using convert::Value;

namespace {

class DaOutputs : public ::testing::TestWithParam<OperationRow>
{ };

TEST_P(DaOutputs, SendEachChannelsCodeThenLatchIt)
{
    expectOperation(panels::Operation::WriteDaCodes, GetParam());
}

std::vector<Typed> codes(const char *base, const char *c0, const char *c1, const char *c2,
                         const char *c3)
{
    return {{"txtIOBase", base},
            {"txtda(0)", c0},
            {"txtda(1)", c1},
            {"txtda(2)", c2},
            {"txtda(3)", c3}};
}

// Each channel's three writes at base + 8, + 9 and + 10: low byte, high part with the channel
// in bits 4 and 5, latch.
std::vector<Access> channels(std::initializer_list<std::pair<int, int>> lowHigh,
                             std::uint16_t base = 0xE000)
{
    std::vector<Access> writes;
    for (const auto &[low, high] : lowHigh) {
        writes.push_back(out(static_cast<std::uint16_t>(base + 8), static_cast<std::int16_t>(low)));
        writes.push_back(
            out(static_cast<std::uint16_t>(base + 9), static_cast<std::int16_t>(high)));
        writes.push_back(out(static_cast<std::uint16_t>(base + 10), 0));
    }
    return writes;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DaOutputs,
    ::testing::Values(
        OperationRow {.name = "StartingTexts",
                      .typed = {{"txtIOBase", "E000"}},
                      .accesses = channels({{0, 0x00}, {0, 0x10}, {0, 0x20}, {0, 0x30}}),
                      .ioBase = Value {-8192.0}},
        OperationRow {.name = "FFFOnChannel2",
                      .typed = codes("E000", "0", "0", "FFF", "0"),
                      .accesses = channels({{0, 0x00}, {0, 0x10}, {0xFF, 0x2F}, {0, 0x30}})},
        OperationRow {.name = "Code1000IsBeyond12BitsAndStopsBeforeItsChannel",
                      .typed = codes("E000", "FFF", "1000", "0", "0"),
                      .accesses = channels({{0xFF, 0x0F}}),
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtda(1)"},
        OperationRow {.name = "FFFFReadsAsMinusOneAndOverflows",
                      .typed = codes("E000", "0", "FFFF", "0", "0"),
                      .accesses = channels({{0, 0x00}}),
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtda(1)"},
        OperationRow {.name = "BaseE00DSendsToE015E016E017",
                      .typed = codes("E00D", "123", "0", "0", "0"),
                      .accesses = channels({{0x23, 0x01}, {0, 0x10}, {0, 0x20}, {0, 0x30}}, 0xE00D),
                      .ioBase = Value {-8179.0}},
        OperationRow {.name = "LargestCodesOnEveryChannel",
                      .typed = codes("E000", "FFF", "FFF", "FFF", "FFF"),
                      .accesses
                      = channels({{0xFF, 0x0F}, {0xFF, 0x1F}, {0xFF, 0x2F}, {0xFF, 0x3F}})},
        OperationRow {.name = "ACodeBeyondFFFStopsAfterTheEarlierChannels",
                      .typed = codes("E000", "1", "2", "3000", "3"),
                      .accesses = channels({{1, 0x00}, {2, 0x10}}),
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtda(2)"},
        OperationRow {.name = "NegativeCodeOverflows",
                      .typed = codes("E000", "FFFFF000", "0", "0", "0"),
                      .accesses = {},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtda(0)"},
        OperationRow {.name = "ABaseThatLeaves16BitsAtOffset9",
                      .typed = codes("7FF7", "0", "0", "0", "0"),
                      .accesses = {out(0x7FFF, 0)},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "IOBase + 9",
                      .ioBase = Value {32759.0}}),
    RowName {});

} // namespace
