#include "support/operation_rows.h"

using namespace qm5083;
using namespace qm5083::testing;
using convert::ErrorNumber;
using convert::Value;

namespace {

class LocateCard : public ::testing::TestWithParam<OperationRow>
{ };

// Two cards: 1 at E000 and 2 at 300. Locating touches no port; a failure stops before the
// locator is asked.
TEST_P(LocateCard, StoresAndShowsTheBaseOrNo)
{
    const OperationRow &row = GetParam();
    PanelHarness panels;
    panels.locator.cards = {{1, 0xE000}, {2, 0x0300}};
    if (row.storedBefore)
        panels.IOBase.store(*row.storedBefore);
    for (const Typed &typed : row.typed)
        panels.type(typed.box, typed.text);
    const auto generation = panels.IOBase.generation();

    const auto locate = [&] {
        panels.run(panels::Operation::LocateCard);
    };
    if (row.error) {
        EXPECT_TRUE(failsWith(*row.error, locate, std::string(row.failingSource)));
        EXPECT_TRUE(panels.locator.asked.empty());
        EXPECT_EQ(panels.IOBase.generation(), generation); // nothing stored
    } else {
        locate();
        EXPECT_EQ(panels.locator.asked.size(), 1U);
    }
    EXPECT_TRUE(panels.port.accesses().empty());
    EXPECT_EQ(panels.IOBase.value(), *row.ioBase);
    for (const Typed &shown : row.shown)
        EXPECT_EQ(panels.text(shown.box), shown.text);
}

constexpr auto i16 = [](int value) {
    return Value {static_cast<std::int16_t>(value)};
};

INSTANTIATE_TEST_SUITE_P(
    Rows, LocateCard,
    ::testing::Values(OperationRow {.name = "CardAtE000",
                                    .typed = {{"txtCardNo", "1"}},
                                    .accesses = {},
                                    .ioBase = i16(-8192),
                                    .shown = {{"txtIOBase", "E000"}}},
                      OperationRow {.name = "CardAt300WithoutLeadingZero",
                                    .typed = {{"txtCardNo", "2"}},
                                    .accesses = {},
                                    .ioBase = i16(0x300),
                                    .shown = {{"txtIOBase", "300"}}},
                      OperationRow {.name = "CardNumberWithBlanksAround",
                                    .typed = {{"txtCardNo", " 1 "}},
                                    .accesses = {},
                                    .ioBase = i16(-8192),
                                    .shown = {{"txtIOBase", "E000"}}},
                      OperationRow {.name = "UnknownCardWithNothingStored",
                                    .typed = {{"txtCardNo", "9"}},
                                    .accesses = {},
                                    .ioBase = i16(0),
                                    .shown = {{"txtIOBase", "NO"}}},
                      OperationRow {.name = "UnknownCardLeavesZeroForAStoredBase",
                                    .typed = {{"txtCardNo", "9"}},
                                    .accesses = {},
                                    .ioBase = i16(0),
                                    .storedBefore = i16(-8192),
                                    .shown = {{"txtIOBase", "NO"}}},
                      OperationRow {.name = "UnknownCardLeavesZeroForATypedBase",
                                    .typed = {{"txtCardNo", "9"}},
                                    .accesses = {},
                                    .ioBase = i16(0),
                                    .storedBefore = Value {2.5},
                                    .shown = {{"txtIOBase", "NO"}}},
                      OperationRow {.name = "FoundCardReplacesATypedBase",
                                    .typed = {{"txtCardNo", "1"}},
                                    .accesses = {},
                                    .ioBase = i16(-8192),
                                    .storedBefore = Value {-8179.0},
                                    .shown = {{"txtIOBase", "E000"}}},
                      OperationRow {.name = "EmptyCardNumber",
                                    .typed = {{"txtCardNo", ""}},
                                    .accesses = {},
                                    .error = ErrorNumber::TypeMismatch,
                                    .failingSource = "txtCardNo",
                                    .ioBase = Value {},
                                    .shown = {{"txtIOBase", "E00d"}}},
                      OperationRow {.name = "CardNumberNotANumber",
                                    .typed = {{"txtCardNo", "one"}},
                                    .accesses = {},
                                    .error = ErrorNumber::TypeMismatch,
                                    .failingSource = "txtCardNo",
                                    .ioBase = Value {}},
                      OperationRow {.name = "CardNumberBeyond16Bits",
                                    .typed = {{"txtCardNo", "40000"}},
                                    .accesses = {},
                                    .error = ErrorNumber::Overflow,
                                    .failingSource = "txtCardNo",
                                    .ioBase = Value {}},
                      OperationRow {.name = "StoredBaseBeyond16Bits",
                                    .typed = {{"txtCardNo", "1"}},
                                    .accesses = {},
                                    .error = ErrorNumber::Overflow,
                                    .failingSource = "IOBase",
                                    .ioBase = Value {65536.0},
                                    .storedBefore = Value {65536.0}},
                      OperationRow {.name = "StoredBaseThatRoundsBeyond16Bits",
                                    .typed = {{"txtCardNo", "1"}},
                                    .accesses = {},
                                    .error = ErrorNumber::Overflow,
                                    .failingSource = "IOBase",
                                    .ioBase = Value {32767.5},
                                    .storedBefore = Value {32767.5}}),
    RowName {});

} // namespace
