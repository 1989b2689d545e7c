#include "card_access.h"
#include "pci_bus.h"
#include "pci_locator.h"
#include "support/row_name.h"
#include "support/sysfs_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

using namespace qm5083::hardware;
using namespace qm5083::testing;
using ::testing::HasSubstr;

namespace {

// Table rows are named by their name field, in test names and in failure messages.
template<class Row>
concept NamedRow = std::is_same_v<decltype(Row::name), const char *>;
void PrintTo(const NamedRow auto &row, std::ostream *os)
{
    *os << row.name;
}

// ---- --pci-id parsing ----

struct IdRow
{
    const char *name;
    const char *text;
    std::optional<PciId> expected; // nothing: rejected
};

class ParsePciId : public ::testing::TestWithParam<IdRow>
{ };

TEST_P(ParsePciId, GivesVendorDeviceAndBarOrNamesTheText)
{
    const IdRow &row = GetParam();
    try {
        EXPECT_EQ(parsePciId(row.text), row.expected);
    } catch (const std::invalid_argument &error) {
        EXPECT_FALSE(row.expected) << error.what();
        EXPECT_THAT(error.what(), HasSubstr("\"" + std::string(row.text) + "\""));
        EXPECT_THAT(error.what(), HasSubstr("VVVV:DDDD"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Good, ParsePciId,
    ::testing::Values(IdRow {"VendorDevice", "1234:5678", PciId {0x1234, 0x5678, {}}},
                      IdRow {"MixedCaseWithBar5", "abcd:EF01:5", PciId {0xABCD, 0xEF01, 5}},
                      IdRow {"Bar0", "4321:8765:0", PciId {0x4321, 0x8765, 0}},
                      IdRow {"DeviceZero", "ffff:0000:3", PciId {0xFFFF, 0x0000, 3}},
                      IdRow {"Subsystem", "1234:5678/abcd:0001",
                             PciId {0x1234, 0x5678, {}, SubsystemIds {0xABCD, 0x0001}}},
                      IdRow {"BarAndSubsystem", "1234:5678:2/ABCD:0001",
                             PciId {0x1234, 0x5678, 2, SubsystemIds {0xABCD, 0x0001}}}),
    qm5083::testing::RowName {});

INSTANTIATE_TEST_SUITE_P(
    Bad, ParsePciId,
    ::testing::Values(
        IdRow {"Empty", "", {}}, IdRow {"NoDevice", "1234", {}}, IdRow {"EmptyDevice", "1234:", {}},
        IdRow {"EmptyVendor", ":5678", {}}, IdRow {"LongVendor", "12345:5678", {}},
        IdRow {"LongDevice", "1234:56789", {}}, IdRow {"Bar6", "1234:5678:6", {}},
        IdRow {"EmptyBar", "1234:5678:", {}}, IdRow {"TwoDigitBar", "1234:5678:01", {}},
        IdRow {"FourFields", "1234:5678:1:2", {}}, IdRow {"NotHex", "12g4:5678", {}},
        IdRow {"LeadingBlank", " 1234:5678", {}}, IdRow {"HexPrefix", "0x12:34", {}},
        IdRow {"NegativeBar", "1234:5678:-1", {}}, IdRow {"HexBar", "1234:5678:a", {}},
        IdRow {"OneDigitIds", "1:2", {}}, IdRow {"ThreeDigitDevice", "1234:567", {}},
        IdRow {"SubsystemAlone", "1234:5678/abcd", {}}, IdRow {"EmptySubsystem", "1234:5678/", {}},
        IdRow {"BarAfterSubsystem", "1234:5678/abcd:0001:2", {}},
        IdRow {"TwoSubsystems", "1234:5678/abcd:0001/abcd:0002", {}}),
    qm5083::testing::RowName {});

// ---- scanning a sysfs tree ----

// Six cards of three kinds, between devices of other makers, added out of address order;
// 03:00.1 comes before 03:01.0 (device before function), 02:05.0 before 03:01.0 (bus before
// device).
class PciBusScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.add({"0000:00:00.0", 0x8086, 0x1237, {mem(0xfe000000, 0x100000)}});
        tree.add({"0000:03:01.0", 0x1234, 0x9abc, {io(0xc400, 0x10), {}, io(0xc800, 0x08)}});
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
        tree.add({"0000:02:05.0", 0x1234, 0x4444, {io(0xd800, 0x20)}});
    }

    std::vector<PciCard> scan(const std::vector<PciId> &ids) const
    {
        return scanPciCards(ids, tree.root());
    }

    SysfsFixture tree;
};

TEST_F(PciBusScan, NumbersTheNamedCardsInAddressOrderWithTheirIoBars)
{
    // One line per card: its ports (or why they cannot be used), ids, I/O decoding, BAR file.
    std::vector<std::string> cards;
    for (const PciCard &card :
         scan({{0x1234, 0x5678, {}}, {0x1234, 0x9abc, 2}, {0x1234, 0x4444, {}}})) {
        const char *decoding[] = {"on", "off", "unknown"};
        cards.push_back(card.describeRange().english() + "; "
                        + formatPciIds(card.vendor, card.device) + "; I/O "
                        + decoding[static_cast<int>(card.ioDecoding)] + "; "
                        + card.resourceFile.lexically_relative(tree.root()).string());
    }
    EXPECT_EQ(
        cards,
        (std::vector<std::string> {
            "0000:01:00.0 BAR 0: D000-D01F; 1234:5678; I/O off; devices/0000:01:00.0/resource0",
            "0000:02:05.0 BAR 0: D800-D81F; 1234:4444; I/O on; devices/0000:02:05.0/resource0",
            "0000:03:00.0 BAR 1: E000-E01F; 1234:5678; I/O on; devices/0000:03:00.0/resource1",
            "0000:03:00.1: BAR 2 is a memory BAR, not an I/O BAR; 1234:9ABC; I/O on; "
            "devices/0000:03:00.1/resource2",
            "0000:03:01.0 BAR 2: C800-C807; 1234:9ABC; I/O on; devices/0000:03:01.0/resource2",
            "0001:00:02.0 BAR 2: C040-C04F; 1234:9ABC; I/O on; devices/0001:00:02.0/resource2",
        }));
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

TEST_F(PciBusScan, RejectsIdsThatCanNameOneCardTwice)
{
    EXPECT_THROW(scan({{0x1234, 0x5678, 0}, {0x1234, 0x5678, 1}}), std::invalid_argument);
    EXPECT_THROW(scan({{0x1234, 0x5678}, {0x1234, 0x5678, {}, SubsystemIds {0x1234, 0x5678}}}),
                 std::invalid_argument);
    // Two boards on one chip, told apart by their subsystem ids.
    EXPECT_EQ(scan({{0x1234, 0x5678, {}, SubsystemIds {0x1234, 0x5678}},
                    {0x1234, 0x5678, {}, SubsystemIds {0x8086, 0x0001}}})
                  .size(),
              2U);
}

TEST_F(PciBusScan, NarrowsACardByItsSubsystemIds)
{
    FixtureDevice twin {"0000:04:00.0", 0x1234, 0x5678, {io(0xe100, 0x20)}};
    twin.subsystem = {0x8086, 0x0001};
    tree.add(twin);
    const auto cards = scan({{0x1234, 0x5678, {}, SubsystemIds {0x8086, 0x0001}}});
    ASSERT_EQ(cards.size(), 1U);
    EXPECT_EQ(cards[0].address, "0000:04:00.0");
    EXPECT_EQ(cards[0].subsystem, (SubsystemIds {0x8086, 0x0001}));
    EXPECT_EQ(scan({{0x1234, 0x5678}}).size(), 3U) << "01:00.0, 03:00.0 and the twin";
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
    EXPECT_EQ(cards[0].unusable ? cards[0].unusable->english() : "", row.unusable);
    EXPECT_EQ(cards[0].holds(row.start), *row.unusable == '\0');
    // The udev helper gives the group that BAR's file, and only when the program can use it.
    const int dir = ::open(tree.deviceDir("0000:05:00.0").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    const SysfsDevice device = readSysfsDevice(dir);
    ::close(dir);
    EXPECT_EQ(grantedBar({{0x1234, 0x5678, row.wanted}}, device),
              *row.unusable ? std::nullopt : std::optional(row.bar));
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
        BarRow {"LastBarIsTheOnlyIoBar",
                {mem(0xf0000000, 0x100), {}, mem(0xf0001000, 0x100), {}, {}, io(0xe400, 0x40)},
                {},
                5,
                0xE400,
                0x40,
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
                "it has no I/O BAR"},
        BarRow {"ExplicitMemoryBar",
                {mem(0xf0000000, 0x100), io(0xe000, 0x20)},
                0,
                0,
                0,
                0,
                "BAR 0 is a memory BAR, not an I/O BAR"},
        BarRow {"ExplicitAbsentBar", {io(0xe000, 0x20)}, 4, 4, 0, 0, "BAR 4 is not present"},
        BarRow {"Unassigned", {io(0x0000, 0x20)}, {}, 0, 0, 0, "BAR 0 has no ports assigned"},
        // The first I/O BAR is the card's, assigned or not: never a later one instead.
        BarRow {"FirstIoBarUnassigned",
                {mem(0xf0000000, 0x100), io(0x0000, 0x20), io(0xe100, 0x20)},
                {},
                1,
                0,
                0,
                "BAR 1 has no ports assigned"},
        BarRow {"FirstIoBarUnsetByTheKernel",
                {mem(0xf0000000, 0x100), io(0xe000, 0x20, kIoResourceUnset), io(0xe100, 0x20)},
                {},
                1,
                0,
                0,
                "BAR 1 has no ports assigned"},
        BarRow {"FirstIoBarSwitchedOffByTheKernel",
                {mem(0xf0000000, 0x100), io(0xe000, 0x20, kIoResourceDisabled), io(0xe100, 0x20)},
                {},
                1,
                0,
                0,
                "BAR 1 is switched off by the kernel"},
        BarRow {"BeyondFFFF", {io(0xfff0, 0x20)}, {}, 0, 0, 0, "BAR 0 lies beyond port FFFF"}),
    qm5083::testing::RowName {});

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
    qm5083::testing::RowName {});

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
    const char *name;
    std::int16_t cardNumber;
    std::optional<std::uint16_t> base;
};

class PciLocate : public ::testing::TestWithParam<LocateRow>
{ };

TEST_P(PciLocate, GivesTheBaseOfTheNthCard)
{
    PciLocator locator({usableCard("0000:01:00.0", 0xE000), usableCard("0000:03:00.0", 0x0300)});
    EXPECT_EQ(locator.findCard(GetParam().cardNumber), GetParam().base);
}

INSTANTIATE_TEST_SUITE_P(Rows, PciLocate,
                         ::testing::Values(LocateRow {"First", 1, 0xE000},
                                           LocateRow {"Second", 2, 0x0300},
                                           LocateRow {"Zero", 0, {}}, LocateRow {"Third", 3, {}},
                                           LocateRow {"Negative", -1, {}},
                                           LocateRow {"Largest", 32767, {}}),
                         qm5083::testing::RowName {});

TEST(PciLocator, RefusesACardWhoseBarCannotBeUsed)
{
    PciCard memory = usableCard("0000:03:00.1", 0);
    memory.device = 0x9abc;
    memory.bar = 2;
    memory.unusable = Message("BAR 2 is a memory BAR, not an I/O BAR");
    PciLocator locator({usableCard("0000:01:00.0", 0xE000), memory});
    try {
        locator.findCard(2);
        FAIL() << "card 2 was located";
    } catch (const std::runtime_error &error) {
        EXPECT_THAT(error.what(), HasSubstr("card 2 (0000:03:00.1, 1234:9ABC)"));
        EXPECT_THAT(error.what(), HasSubstr("BAR 2 is a memory BAR"));
        EXPECT_THAT(error.what(), HasSubstr("--pci-id 1234:9ABC:<BAR>"));
    }
}

TEST_F(PciBusScan, LocatorOverTheScannedBusCountsInAddressOrder)
{
    PciLocator locator(scan({{0x1234, 0x9abc, 2}, {0x1234, 0x5678, {}}}));
    EXPECT_EQ(locator.findCard(1), std::optional<std::uint16_t>(0xD000));
    EXPECT_EQ(locator.findCard(2), std::optional<std::uint16_t>(0xE000));
    EXPECT_THROW(locator.findCard(3), std::runtime_error); // 03:00.1: its BAR 2 is memory
    EXPECT_EQ(locator.findCard(4), std::optional<std::uint16_t>(0xC800));
    EXPECT_EQ(locator.findCard(5), std::optional<std::uint16_t>(0xC040));
    EXPECT_EQ(locator.findCard(6), std::nullopt);
}

} // namespace

// ---- the udev helper: which file of a device the card group may open ----

namespace {

constexpr std::uint64_t kIo = 0x40101;
constexpr std::uint64_t kMemory = 0x40200;

SysfsDevice device(std::array<ResourceLine, kPciBarCount> bars,
                   SubsystemIds subsystem = {0x1234, 0x5678})
{
    return {{0x1234, 0x5678, subsystem}, bars};
}

struct GrantRow
{
    const char *name;
    std::vector<PciId> listed;
    SysfsDevice device;
    std::optional<int> granted;
};

class GrantedBar : public ::testing::TestWithParam<GrantRow>
{ };

TEST_P(GrantedBar, IsTheListedCardsPortRegionOnly)
{
    EXPECT_EQ(grantedBar(GetParam().listed, GetParam().device), GetParam().granted);
}

const auto kMemoryThenIo = device({{{0xf7e00000, 0xf7e00fff, kMemory}, {0xe000, 0xe01f, kIo}}});

INSTANTIATE_TEST_SUITE_P(
    Rows, GrantedBar,
    ::testing::Values(GrantRow {"FirstPortRegion", {{0x1234, 0x5678}}, kMemoryThenIo, 1},
                      GrantRow {"TheLinesPortRegion", {{0x1234, 0x5678, 1}}, kMemoryThenIo, 1},
                      GrantRow {"TheLinesMemoryBar", {{0x1234, 0x5678, 0}}, kMemoryThenIo, {}},
                      GrantRow {"TheLinesAbsentBar", {{0x1234, 0x5678, 3}}, kMemoryThenIo, {}},
                      GrantRow {"NotListed", {{0x1234, 0x9abc}}, kMemoryThenIo, {}},
                      GrantRow {"NothingListed", {}, kMemoryThenIo, {}},
                      GrantRow {"ItsSubsystem",
                                {{0x1234, 0x5678, {}, SubsystemIds {0x1234, 0x5678}}},
                                kMemoryThenIo,
                                1},
                      GrantRow {"AnotherBoardsSubsystem",
                                {{0x1234, 0x5678, {}, SubsystemIds {0x8086, 1}}},
                                kMemoryThenIo,
                                {}},
                      GrantRow {"OnlyMemoryBars",
                                {{0x1234, 0x5678}},
                                device({{{0xf7e00000, 0xf7e00fff, kMemory}}}),
                                {}},
                      // The card's first port region, not assigned: no later one instead.
                      GrantRow {"PortRegionNotAssigned",
                                {{0x1234, 0x5678}},
                                device({{{0xf7e00000, 0xf7e00fff, kMemory},
                                         {0xe000, 0xe01f, kIo | kIoResourceUnset},
                                         {0xe100, 0xe11f, kIo}}}),
                                {}},
                      GrantRow {"PortRegionSwitchedOff",
                                {{0x1234, 0x5678}},
                                device({{{0xf7e00000, 0xf7e00fff, kMemory},
                                         {0xe000, 0xe01f, kIo | kIoResourceDisabled}}}),
                                {}}),
    RowName {});

TEST(ResourceFile, GivesEachBarsStartEndAndFlags)
{
    const auto bars = parseResourceFile("0x00000000f7e00000 0x00000000f7e00fff 0x0000000000040200\n"
                                        "0x000000000000e000 0x000000000000e01f 0x0000000000040101\n"
                                        "garbled\n");
    EXPECT_FALSE(bars[0].isPortRegion());
    EXPECT_TRUE(bars[1].isPortRegion());
    EXPECT_EQ(bars[1].start, 0xe000U);
    EXPECT_EQ(bars[1].end, 0xe01fU);
    EXPECT_EQ(bars[2].flags, 0U) << "a line that cannot be read is no region";
}

struct ChangeRow
{
    const char *name;
    std::vector<FileAccess> files;
    std::optional<int> granted;
    std::vector<FileAccess> changes;
};

class AccessChanges : public ::testing::TestWithParam<ChangeRow>
{ };

TEST_P(AccessChanges, OpenTheGrantedFileAndTakeBackTheRest)
{
    EXPECT_EQ(accessChanges(GetParam().files, GetParam().granted, 5084, 0), GetParam().changes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AccessChanges,
    ::testing::Values(
        ChangeRow {"GrantsOneFile",
                   {{"resource0", 0, 0600}, {"resource1", 0, 0600}, {"resource0_wc", 0, 0600}},
                   1,
                   {{"resource1", 5084, 0660}}},
        ChangeRow {"AlreadyGranted", {{"resource0", 0, 0600}, {"resource1", 5084, 0660}}, 1, {}},
        // The card set-up now names another BAR of it, or no longer names it at all.
        ChangeRow {
            "TakesBackWhatTheOldRuleOpened",
            {{"resource0", 5084, 0660}, {"resource1", 5084, 0660}, {"resource0_wc", 5084, 0660}},
            1,
            {{"resource0", 0, 0600}, {"resource0_wc", 0, 0600}}},
        ChangeRow {"NoLongerListed",
                   {{"resource0", 0, 0600}, {"resource1", 5084, 0660}},
                   {},
                   {{"resource1", 0, 0600}}},
        ChangeRow {"LeavesOtherGroupsFilesAlone", {{"resource0", 27, 0660}}, {}, {}}),
    RowName {});

// On a device folder: the granted file rw-rw----, every other BAR file the group held rw-------.
TEST(ApplyAccessChanges, SetsTheModesThroughTheFolder)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {mem(0xf7e00000, 0x1000), io(0xe000, 0x20)}});
    const int dir = ::open(tree.deviceDir("0000:03:00.0").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    const gid_t group = ::getegid(); // the card group, as this user may give it
    const SysfsDevice read = readSysfsDevice(dir);
    EXPECT_EQ(read.ids.subsystem, (SubsystemIds {0x1234, 0x5678}));
    applyAccessChanges(
        dir, accessChanges(barFiles(dir), grantedBar({{0x1234, 0x5678}}, read), group, group));
    std::vector<FileAccess> after = barFiles(dir);
    ::close(dir);
    for (FileAccess &file : after)
        file.group = 0;
    EXPECT_EQ(after, (std::vector<FileAccess> {{"resource0", 0, 0600}, {"resource1", 0, 0660}}));
}

} // namespace

namespace {

// The helper trusts a card set-up only when its owner (root) alone may change it and its folder,
// and says why it gives the group nothing from one it does not trust.
struct ListedRow
{
    const char *name;
    mode_t folderMode;
    mode_t fileMode;
    const char *text;
    std::vector<PciId> listed; // nothing listed also when the file throws
    bool throws = false;
    uid_t fileOwner = ::geteuid();
};

class ListedCards : public ::testing::TestWithParam<ListedRow>
{ };

TEST_P(ListedCards, AreTheOwnersAlone)
{
    const ListedRow &row = GetParam();
    const std::filesystem::path folder = std::filesystem::temp_directory_path()
        / ("qm5083-listed-" + std::to_string(::getpid()) + "-" + row.name);
    std::filesystem::create_directory(folder);
    {
        std::ofstream(folder / "cards.conf") << row.text;
    }
    ::chmod((folder / "cards.conf").c_str(), row.fileMode);
    if (row.fileOwner != ::geteuid() && ::chown((folder / "cards.conf").c_str(), row.fileOwner, 0))
        GTEST_SKIP() << "another owner needs root to give";
    ::chmod(folder.c_str(), row.folderMode);
    std::vector<PciId> listed;
    bool threw = false;
    try {
        listed = listedCards((folder / "cards.conf").string(), ::geteuid());
    } catch (const InvalidPciId &) {
        threw = true;
    }
    std::filesystem::remove_all(folder);
    EXPECT_EQ(listed, row.listed);
    EXPECT_EQ(threw, row.throws);
    EXPECT_TRUE(listedCards("/nonexistent/qm5083/cards.conf", ::geteuid()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListedCards,
    ::testing::Values(ListedRow {"OwnersAlone", 0755, 0644, "1234:5678\n", {{0x1234, 0x5678}}},
                      ListedRow {"FileGroupWritable", 0755, 0664, "1234:5678\n", {}, true},
                      ListedRow {"FileWorldWritable", 0755, 0646, "1234:5678\n", {}, true},
                      ListedRow {"FolderWorldWritable", 0777, 0644, "1234:5678\n", {}, true},
                      ListedRow {"AnotherUsersFile", 0755, 0644, "1234:5678\n", {}, true, 5083},
                      ListedRow {"Malformed", 0755, 0644, "1234:5678\ngarbage\n", {}, true}),
    RowName {});

} // namespace
