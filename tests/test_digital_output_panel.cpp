#include "support/operation_rows.h"

using namespace qm5083;
using namespace qm5083::testing;
using convert::ErrorNumber;
using convert::Value;

namespace {

class DigitalOutputs : public ::testing::TestWithParam<OperationRow>
{ };

TEST_P(DigitalOutputs, StoreTheTypedBaseThenWriteEachGroupInOrder)
{
    expectOperation(panels::Operation::WriteDigitalOutputs, GetParam());
}

std::vector<Typed> groups(const char *base, const char *g0, const char *g1, const char *g2,
                          const char *g3)
{
    return {{"txtIOBase", base},
            {"txtOutput0", g0},
            {"txtOutput1", g1},
            {"txtOutput2", g2},
            {"txtOutput3", g3}};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DigitalOutputs,
    ::testing::Values(
        OperationRow {.name = "StartingTexts",
                      .typed = {{"txtIOBase", "E000"}},
                      .accesses = {out(0xE000, 0), out(0xE001, 0), out(0xE002, 0), out(0xE003, 0)},
                      .ioBase = Value {-8192.0}},
        OperationRow {.name = "HexInEitherCaseEmptyAndJunkReadAsZero",
                      .typed = groups("E000", "FF", "ff", "", "xyz"),
                      .accesses
                      = {out(0xE000, 255), out(0xE001, 255), out(0xE002, 0), out(0xE003, 0)}},
        OperationRow {.name = "ValuesBeyondAByteArePassedAsRead",
                      .typed = groups("E000", "FFFF", "1FF", "7FFF", "8000"),
                      .accesses = {out(0xE000, -1), out(0xE001, 511), out(0xE002, 32767),
                                   out(0xE003, -32768)}},
        OperationRow {.name = "BaseE00DCrossesIntoE010",
                      .typed = groups("E00D", "1", "2", "3", "4"),
                      .accesses = {out(0xE00D, 1), out(0xE00E, 2), out(0xE00F, 3), out(0xE010, 4)},
                      .ioBase = Value {-8179.0}},
        OperationRow {.name = "BaseNOReadsAsZero",
                      .typed = groups("NO", "1", "2", "3", "4"),
                      .accesses = {out(0, 1), out(1, 2), out(2, 3), out(3, 4)},
                      .ioBase = Value {0.0}},
        OperationRow {.name = "BaseFFFFWrapsToPort0",
                      .typed = groups("FFFF", "1", "2", "3", "4"),
                      .accesses = {out(0xFFFF, 1), out(0, 2), out(1, 3), out(2, 4)},
                      .ioBase = Value {-1.0}},
        OperationRow {.name = "AValueOutOfRangeStopsAfterTheEarlierGroups",
                      .typed = groups("E000", "11", "22", "10000", "33"),
                      .accesses = {out(0xE000, 0x11), out(0xE001, 0x22)},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtOutput2",
                      .ioBase = Value {-8192.0}},
        OperationRow {.name = "ABaseThatLeaves16BitsAtGroup1",
                      .typed = groups("7FFF", "11", "22", "33", "44"),
                      .accesses = {out(0x7FFF, 0x11)},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "IOBase + 1",
                      .ioBase = Value {32767.0}},
        OperationRow {.name = "ABaseBeyond16BitsIsStoredThenFails",
                      .typed = groups("10000", "11", "22", "33", "44"),
                      .accesses = {},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "IOBase + 0",
                      .ioBase = Value {65536.0},
                      .storedBefore = Value {std::int16_t {0x55}}},
        OperationRow {.name = "TheValueIsConvertedBeforeThePort",
                      .typed = groups("10000", "10000", "22", "33", "44"),
                      .accesses = {},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtOutput0"},
        OperationRow {.name = "MoreThanEightHexDigits",
                      .typed = groups("E000", "123456789", "0", "0", "0"),
                      .accesses = {},
                      .error = ErrorNumber::Overflow,
                      .failingSource = "txtOutput0",
                      .ioBase = Value {-8192.0}}),
    RowName {});

} // namespace
