#include "base_address_panel.h"
#include "support/expect_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace qm5083;
using convert::ErrorNumber;
using convert::Value;
using panels::PlainTextBox;
using qm5083::testing::failsWith;

namespace {

// A locator with a table of cards; it remembers what it was asked.
class TableLocator final : public hardware::CardLocator
{
public:
    struct Card
    {
        std::int16_t number;
        std::uint16_t base;
    };
    std::vector<Card> cards;
    std::int32_t foundResult = 1;
    std::optional<std::int16_t> writeOnMiss; // what a miss leaves in the base argument

    struct Call
    {
        std::int16_t card;
        std::int16_t baseIn;
        std::int32_t extraIn;
    };
    std::vector<Call> calls;

    std::int32_t GetIOBaseByCardNo(std::int16_t cardNo, std::int16_t &ioBase,
                                   std::int32_t &extra) override
    {
        calls.push_back({cardNo, ioBase, extra});
        for (const Card &card : cards) {
            if (card.number == cardNo) {
                ioBase = static_cast<std::int16_t>(card.base);
                return foundResult;
            }
        }
        if (writeOnMiss)
            ioBase = *writeOnMiss;
        return 0;
    }
};

struct LocateRow
{
    const char *name;
    const char *cardText;
    Value baseBefore;
    std::optional<std::int16_t> writeOnMiss;
    const char *boxAfter;
    Value baseAfter;
    std::int16_t baseHandedIn;
};

TEST(LocateOperation, StoresWhatTheLocatorLeavesAndShowsItOrNo)
{
    const auto i16 = [](int v) {
        return Value {static_cast<std::int16_t>(v)};
    };
    const LocateRow rows[] = {
        {"card at E000", "1", convert::Empty {}, {}, "E000", i16(0xE000), 0},
        {"card at 300: no leading zero", "2", convert::Empty {}, {}, "300", i16(0x300), 0},
        {"unknown card, empty base", "9", convert::Empty {}, {}, "NO", i16(0), 0},
        {"repeated locate hands in the base",
         "9",
         i16(0xE000),
         {},
         "NO",
         i16(0xE000),
         static_cast<std::int16_t>(0xE000)},
        {"a locator that writes on a miss", "9", i16(0xE000), std::int16_t {0x1234}, "NO",
         i16(0x1234), static_cast<std::int16_t>(0xE000)},
        {"typed base within range is handed in",
         "1",
         Value {-8179.0},
         {},
         "E000",
         i16(0xE000),
         -8179},
        {"fractional base is rounded", "9", Value {2.5}, {}, "NO", i16(2), 2},
        {"card number with blanks", " 1 ", convert::Empty {}, {}, "E000", i16(0xE000), 0},
    };
    for (const LocateRow &row : rows) {
        TableLocator locator;
        locator.cards = {{1, 0xE000}, {2, 0x300}};
        locator.writeOnMiss = row.writeOnMiss;
        PlainTextBox txtCardNo("txtCardNo", row.cardText);
        PlainTextBox txtIOBase("txtIOBase", "E00d");
        panels::StoredBase IOBase;
        IOBase.store(row.baseBefore);

        panels::cmdIOBase_Click(txtCardNo, txtIOBase, IOBase, locator);

        EXPECT_EQ(txtIOBase.text(), row.boxAfter) << row.name;
        EXPECT_EQ(IOBase.value(), row.baseAfter) << row.name;
        ASSERT_EQ(locator.calls.size(), 1U) << row.name;
        EXPECT_EQ(locator.calls[0].baseIn, row.baseHandedIn) << row.name;
        EXPECT_EQ(locator.calls[0].extraIn, 0) << row.name;
    }
}

TEST(LocateOperation, AnyNonzeroResultCountsAsFound)
{
    TableLocator locator;
    locator.cards = {{1, 0xE000}};
    locator.foundResult = 0x10000; // only the upper half set
    PlainTextBox txtCardNo("txtCardNo", "1");
    PlainTextBox txtIOBase("txtIOBase", "E00d");
    panels::StoredBase IOBase;
    panels::cmdIOBase_Click(txtCardNo, txtIOBase, IOBase, locator);
    EXPECT_EQ(txtIOBase.text(), "E000");
}

TEST(LocateOperation, FailuresStopBeforeTheLocatorIsAsked)
{
    struct Row
    {
        const char *cardText;
        Value baseBefore;
        ErrorNumber error;
        const char *source;
    };
    const Row rows[] = {
        {"", convert::Empty {}, ErrorNumber::TypeMismatch, "txtCardNo"},
        {"one", convert::Empty {}, ErrorNumber::TypeMismatch, "txtCardNo"},
        {"40000", convert::Empty {}, ErrorNumber::Overflow, "txtCardNo"},
        // A base typed by hand and stored by the output or DA panel can leave the 16-bit range.
        {"1", Value {65536.0}, ErrorNumber::Overflow, "IOBase"},
        {"1", Value {32767.5}, ErrorNumber::Overflow, "IOBase"},
    };
    for (const Row &row : rows) {
        TableLocator locator;
        locator.cards = {{1, 0xE000}};
        PlainTextBox txtCardNo("txtCardNo", row.cardText);
        PlainTextBox txtIOBase("txtIOBase", "typed");
        panels::StoredBase IOBase;
        IOBase.store(row.baseBefore);
        const auto generation = IOBase.generation();
        EXPECT_TRUE(failsWith(
            row.error, [&] { panels::cmdIOBase_Click(txtCardNo, txtIOBase, IOBase, locator); },
            row.source))
            << '"' << row.cardText << '"';
        EXPECT_TRUE(locator.calls.empty());
        EXPECT_EQ(txtIOBase.text(), "typed");
        EXPECT_EQ(IOBase.generation(), generation); // nothing stored
    }
}

} // namespace
