#include "pci_bus.h"
#include "pci_locator.h"
#include "support/sysfs_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace qm5083::hardware;
using namespace qm5083::testing;
using ::testing::HasSubstr;

namespace {

// ---- --pci-id parsing ----

struct GoodIdRow
{
    const char *text;
    PciId expected;
};

class ParsePciIdGood : public ::testing::TestWithParam<GoodIdRow>
{ };

TEST_P(ParsePciIdGood, GivesVendorDeviceAndBar)
{
    EXPECT_EQ(parsePciId(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ParsePciIdGood,
                         ::testing::Values(GoodIdRow {"1234:5678", {0x1234, 0x5678, {}}},
                                           GoodIdRow {"abcd:EF01:5", {0xABCD, 0xEF01, 5}},
                                           GoodIdRow {"4321:8765:0", {0x4321, 0x8765, 0}},
                                           GoodIdRow {"1:2", {0x0001, 0x0002, {}}},
                                           GoodIdRow {"ffff:0:3", {0xFFFF, 0x0000, 3}}),
                         [](const auto &info) { return "Row" + std::to_string(info.index); });

class ParsePciIdBad : public ::testing::TestWithParam<const char *>
{ };

TEST_P(ParsePciIdBad, IsRejectedNamingTheText)
{
    const std::string text = GetParam();
    try {
        parsePciId(text);
        FAIL() << "accepted \"" << text << "\"";
    } catch (const std::invalid_argument &error) {
        EXPECT_THAT(error.what(), HasSubstr("\"" + text + "\""));
        EXPECT_THAT(error.what(), HasSubstr("VVVV:DDDD"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ParsePciIdBad,
                         ::testing::Values("", "1234", "1234:", ":5678", "12345:5678", "1234:56789",
                                           "1234:5678:6", "1234:5678:", "1234:5678:01",
                                           "1234:5678:1:2", "12g4:5678", " 1234:5678", "0x12:34",
                                           "1234:5678:-1", "1234:5678:a"),
                         [](const auto &info) { return "Row" + std::to_string(info.index); });

// ---- scanning a sysfs tree ----

// Four cards of two kinds, between devices of other makers, added out of address order.
class PciBusScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.add({"0000:00:00.0", 0x8086, 0x1237, {mem(0xfe000000, 0x100000)}});
        tree.add({"0000:03:00.0",
                  0x1234,
                  0x5678,
                  {mem(0xf7e00000, 0x1000), io(0xe000, 0x20), mem64(0xc0000000, 0x4000)}});
        tree.add(
            {"0000:02:00.0", 0x10ec, 0x8168, {io(0xb000, 0x100), {}, mem(0xf7d00000, 0x1000)}});
        FixtureDevice off {"0000:01:00.0", 0x1234, 0x5678, {io(0xd000, 0x20)}};
        off.command = 0x0002; // memory on, I/O off
        tree.add(off);
        tree.add({"0001:00:02.0", 0x1234, 0x9abc, {mem(0xf0000000, 0x80), {}, io(0xc040, 0x10)}});
        tree.add({"0000:03:00.1", 0x1234, 0x9abc, {io(0xc000, 0x20), {}, mem(0xf7f00000, 0x100)}});
    }

    std::vector<PciCard> scan(const std::vector<PciId> &ids) const
    {
        return scanPciCards(ids, tree.root());
    }

    SysfsFixture tree;
};

TEST_F(PciBusScan, NumbersTheNamedCardsInAddressOrderWithTheirIoBars)
{
    const auto cards = scan({{0x1234, 0x5678, {}}, {0x1234, 0x9abc, 2}});

    struct Expected
    {
        const char *address;
        std::uint16_t device;
        int bar;
        std::uint16_t start;
        std::uint32_t size;
        IoDecoding decoding;
        const char *unusable; // empty when usable
    };
    const Expected expected[] = {
        {"0000:01:00.0", 0x5678, 0, 0xD000, 0x20, IoDecoding::Disabled, ""},
        {"0000:03:00.0", 0x5678, 1, 0xE000, 0x20, IoDecoding::Enabled, ""}, // first I/O BAR
        {"0000:03:00.1", 0x9abc, 2, 0, 0, IoDecoding::Enabled, "BAR 2 is a memory BAR"},
        {"0001:00:02.0", 0x9abc, 2, 0xC040, 0x10, IoDecoding::Enabled, ""},
    };
    ASSERT_EQ(cards.size(), std::size(expected));
    for (std::size_t i = 0; i < cards.size(); ++i) {
        SCOPED_TRACE(expected[i].address);
        const PciCard &card = cards[i];
        EXPECT_EQ(card.address, expected[i].address);
        EXPECT_EQ(card.vendor, 0x1234);
        EXPECT_EQ(card.device, expected[i].device);
        EXPECT_EQ(card.bar, expected[i].bar);
        EXPECT_EQ(card.resourceFile, tree.resourceFile(expected[i].address, expected[i].bar));
        EXPECT_EQ(card.start, expected[i].start);
        EXPECT_EQ(card.size, expected[i].size);
        EXPECT_EQ(card.ioDecoding, expected[i].decoding);
        if (*expected[i].unusable)
            EXPECT_THAT(card.unusable, HasSubstr(expected[i].unusable));
        else
            EXPECT_TRUE(card.usable()) << card.unusable;
    }
    EXPECT_EQ(cards[1].describeRange(), "0000:03:00.0 BAR 1: E000-E01F");
}

TEST_F(PciBusScan, LeavesNoFileOpen)
{
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openDescriptors();
    scan({{0x1234, 0x5678, {}}, {0x1234, 0x9abc, 2}});
    scan({{0x1234, 0x5678, {}}});
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(PciBusScan, FindsNothingForIdsNotOnTheBus)
{
    EXPECT_TRUE(scan({{0x4321, 0x5678, {}}}).empty());
}

TEST_F(PciBusScan, RejectsAVendorDevicePairGivenTwice)
{
    EXPECT_THROW(scan({{0x1234, 0x5678, 0}, {0x1234, 0x5678, 1}}), std::invalid_argument);
}

TEST(PciBusScanWithoutIds, DoesNotReadTheBusAtAll)
{
    EXPECT_TRUE(scanPciCards({}, "/nonexistent/qm5083-sysfs").empty());
}

TEST_F(PciBusScan, ReportsAnUnreadableCommandRegisterAsUnknown)
{
    tree.remove("0000:03:00.0", "config");
    const auto cards = scan({{0x1234, 0x5678, 1}});
    ASSERT_EQ(cards.size(), 2U);
    EXPECT_EQ(cards[1].ioDecoding, IoDecoding::Unknown);
    EXPECT_THAT(cards[1].commandReadProblem, HasSubstr("0000:03:00.0/config"));
    EXPECT_TRUE(cards[1].usable());
}

// ---- choosing the BAR ----

struct BarRow
{
    const char *name;
    std::array<FixtureBar, 6> bars;
    std::optional<int> wanted;
    int bar;
    std::uint16_t start;
    std::uint32_t size;
    const char *unusable; // empty when usable
};

class PciBarChoice : public ::testing::TestWithParam<BarRow>
{ };

TEST_P(PciBarChoice, PicksOrRejectsTheBar)
{
    const BarRow &row = GetParam();
    SysfsFixture tree;
    tree.add({"0000:05:00.0", 0x1234, 0x5678, row.bars});
    const auto cards = scanPciCards({{0x1234, 0x5678, row.wanted}}, tree.root());
    ASSERT_EQ(cards.size(), 1U);
    EXPECT_EQ(cards[0].bar, row.bar);
    EXPECT_EQ(cards[0].start, row.start);
    EXPECT_EQ(cards[0].size, row.size);
    if (*row.unusable) {
        EXPECT_THAT(cards[0].unusable, HasSubstr(row.unusable));
        EXPECT_FALSE(cards[0].holds(row.start));
    } else {
        EXPECT_TRUE(cards[0].usable()) << cards[0].unusable;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PciBarChoice,
    ::testing::Values(
        BarRow {"FirstIoBarByDefault",
                {mem(0xf0000000, 0x100), io(0xe800, 0x10), io(0xe000, 0x20)},
                {},
                1,
                0xE800,
                0x10,
                ""},
        BarRow {"ExplicitSecondIoBar",
                {mem(0xf0000000, 0x100), io(0xe800, 0x10), io(0xe000, 0x20)},
                2,
                2,
                0xE000,
                0x20,
                ""},
        BarRow {"EndingAtFFFF", {io(0xffe0, 0x20)}, {}, 0, 0xFFE0, 0x20, ""},
        BarRow {"NoIoBar",
                {mem(0xf0000000, 0x100), mem64(0xc0000000, 0x1000)},
                {},
                -1,
                0,
                0,
                "no I/O BAR"},
        BarRow {"ExplicitMemoryBar",
                {mem(0xf0000000, 0x100), io(0xe000, 0x20)},
                0,
                0,
                0,
                0,
                "BAR 0 is a memory BAR"},
        BarRow {"ExplicitAbsentBar", {io(0xe000, 0x20)}, 4, 4, 0, 0, "BAR 4 is not present"},
        BarRow {"Unassigned", {io(0x0000, 0x20)}, {}, 0, 0, 0, "no ports assigned"},
        BarRow {"BeyondFFFF", {io(0xfff0, 0x20)}, {}, 0, 0, 0, "beyond port FFFF"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- libpci failures become exceptions, and the process lives on ----

struct BrokenTreeRow
{
    const char *name;
    void (*breakTree)(SysfsFixture &tree);
    const char *message;
};

class PciBrokenTree : public ::testing::TestWithParam<BrokenTreeRow>
{ };

TEST_P(PciBrokenTree, ThrowsWithLibpcisExplanation)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
    tree.add({"0000:04:00.0", 0x8086, 0x1111, {mem(0xf0000000, 0x100)}});
    GetParam().breakTree(tree);
    try {
        scanPciCards({{0x1234, 0x5678, {}}}, tree.root());
        FAIL() << "the scan succeeded";
    } catch (const PciScanError &error) {
        EXPECT_THAT(error.what(), HasSubstr(tree.root().string()));
        EXPECT_THAT(error.what(), HasSubstr(GetParam().message));
    }
    // A failed scan leaves nothing behind that spoils the next one.
    SysfsFixture good;
    good.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
    EXPECT_EQ(scanPciCards({{0x1234, 0x5678, {}}}, good.root()).size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PciBrokenTree,
    ::testing::Values(
        BrokenTreeRow {
            "NoDevicesDirectory",
            [](SysfsFixture &tree) { std::filesystem::remove_all(tree.root() / "devices"); },
            "Cannot open"},
        BrokenTreeRow {"OtherDeviceWithoutVendorFile",
                       [](SysfsFixture &tree) { tree.remove("0000:04:00.0", "vendor"); },
                       "0000:04:00.0/vendor"},
        BrokenTreeRow {"CardWithGarbledResourceFile",
                       [](SysfsFixture &tree) {
                           tree.writeFile("0000:03:00.0", "resource", "not a resource line\n");
                       },
                       "Syntax error in"},
        BrokenTreeRow {"StrayEntryInDevices",
                       [](SysfsFixture &tree) {
                           std::filesystem::create_directory(tree.root() / "devices" / "garbage");
                       },
                       "\"garbage\" in"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- the locator ----

PciCard usableCard(const char *address, std::uint16_t start)
{
    PciCard card;
    card.address = address;
    card.vendor = 0x1234;
    card.device = 0x5678;
    card.bar = 0;
    card.start = start;
    card.size = 0x20;
    card.ioDecoding = IoDecoding::Enabled;
    return card;
}

struct LocateRow
{
    std::int16_t cardNo;
    std::int32_t found;
    std::int16_t ioBase; // after the call, entered as 0x1234
};

class PciLocate : public ::testing::TestWithParam<LocateRow>
{ };

TEST_P(PciLocate, GivesTheCardsBaseOrLeavesIoBaseAlone)
{
    PciLocator locator({usableCard("0000:01:00.0", 0xE000), usableCard("0000:03:00.0", 0x0300)});
    std::int16_t ioBase = 0x1234;
    std::int32_t extra = 77;
    EXPECT_EQ(locator.GetIOBaseByCardNo(GetParam().cardNo, ioBase, extra) != 0,
              GetParam().found != 0);
    EXPECT_EQ(ioBase, GetParam().ioBase);
    EXPECT_EQ(extra, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, PciLocate,
                         ::testing::Values(LocateRow {1, 1, static_cast<std::int16_t>(0xE000)},
                                           LocateRow {2, 1, 0x0300}, LocateRow {0, 0, 0x1234},
                                           LocateRow {3, 0, 0x1234}, LocateRow {-1, 0, 0x1234},
                                           LocateRow {32767, 0, 0x1234}),
                         [](const auto &info) { return "Row" + std::to_string(info.index); });

TEST(PciLocator, RefusesACardWhoseBarCannotBeUsed)
{
    PciCard memory = usableCard("0000:03:00.1", 0);
    memory.device = 0x9abc;
    memory.bar = 2;
    memory.unusable = "BAR 2 is a memory BAR, not an I/O BAR";
    PciLocator locator({usableCard("0000:01:00.0", 0xE000), memory});
    std::int16_t ioBase = 0x1234;
    std::int32_t extra = 0;
    try {
        locator.GetIOBaseByCardNo(2, ioBase, extra);
        FAIL() << "card 2 was located";
    } catch (const std::runtime_error &error) {
        EXPECT_THAT(error.what(), HasSubstr("card 2 (0000:03:00.1, 1234:9ABC)"));
        EXPECT_THAT(error.what(), HasSubstr("BAR 2 is a memory BAR"));
        EXPECT_THAT(error.what(), HasSubstr("--pci-id 1234:9ABC:<BAR>"));
    }
    EXPECT_EQ(ioBase, 0x1234);
}

TEST_F(PciBusScan, LocatorOverTheScannedBusCountsInAddressOrder)
{
    PciLocator locator(scan({{0x1234, 0x5678, {}}}));
    std::int16_t ioBase = 0;
    std::int32_t extra = 0;
    ASSERT_NE(locator.GetIOBaseByCardNo(2, ioBase, extra), 0);
    EXPECT_EQ(static_cast<std::uint16_t>(ioBase), 0xE000);
    ASSERT_NE(locator.GetIOBaseByCardNo(1, ioBase, extra), 0);
    EXPECT_EQ(static_cast<std::uint16_t>(ioBase), 0xD000);
    EXPECT_EQ(locator.GetIOBaseByCardNo(3, ioBase, extra), 0);
}

} // namespace
