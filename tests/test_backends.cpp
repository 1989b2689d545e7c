#include "backends.h"
#include "port_refused.h"
#include "support/row_name.h"
#include "support/sysfs_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace qm5083;
using qm5083::testing::BarKind;
using qm5083::testing::SysfsFixture;

namespace {

hardware::BackendOptions simulated(bool trace = false, std::FILE *traceOut = nullptr)
{
    hardware::BackendOptions options;
    options.simulate = true;
    options.trace = trace;
    options.traceOut = traceOut;
    return options;
}

hardware::BackendOptions onTheBus(const std::filesystem::path &sysfsRoot)
{
    hardware::BackendOptions options;
    options.pciIds = {{0x1234, 0x5678, {}}};
    options.sysfsRoot = sysfsRoot;
    return options;
}

TEST(Backends, SimulateChoosesTheSimulatedCardAndItsLocator)
{
    const hardware::Backend backend = hardware::chooseBackend(simulated());
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backend.port().outportb(0xE002, 0x5A);
    EXPECT_EQ(backend.port().inportb(0xE002), 0x5A); // the loopback cable
    EXPECT_EQ(backend.trace, nullptr);
    EXPECT_FALSE(backend.startupFailure);
}

TEST(Backends, TraceWrapsWhicheverCardIsChosen)
{
    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const hardware::Backend backend = hardware::chooseBackend(simulated(true, out));
    backend.port().outportb(0xE003, 0x1FF);
    EXPECT_EQ(backend.port().inportb(0xE003), 0xFF);
    std::rewind(out);
    char start[96] = {};
    char line[2][64] = {};
    ASSERT_NE(std::fgets(start, sizeof start, out), nullptr);
    EXPECT_EQ(std::string(start).find("# trace of process "), 0U) << start;
    ASSERT_NE(std::fgets(line[0], sizeof line[0], out), nullptr);
    ASSERT_NE(std::fgets(line[1], sizeof line[1], out), nullptr);
    EXPECT_NE(std::string(line[0]).find(" out E003 FF\n"), std::string::npos) << line[0];
    EXPECT_NE(std::string(line[1]).find(" in E003 FF\n"), std::string::npos) << line[1];
    std::fclose(out);
}

TEST(Backends, WithoutSimulateTheCardsComeFromThePciBus)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE000, 0x20}}}});
    tree.add({"0000:04:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE020, 0x20}}}});
    hardware::BackendOptions options = onTheBus(tree.root());
    std::FILE *out = std::tmpfile();
    options.trace = true;
    options.traceOut = out;
    const hardware::Backend backend = hardware::chooseBackend(options);
    ASSERT_FALSE(backend.startupFailure);
    EXPECT_FALSE(backend.noCard);
    // Traced, an operation still stays on the card it began on.
    {
        const hardware::OperationScope operation(backend.port());
        backend.port().outportb(0xE01F, 0x01);
        EXPECT_THROW(backend.port().outportb(0xE020, 0x02), hardware::PortRefused);
    }
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backend.port().outportb(0xE001, 0x42);
    EXPECT_EQ(qm5083::testing::readBytes(tree.resourceFile("0000:03:00.0", 0)).at(1), 0x42);
    EXPECT_THROW(backend.port().outportb(0x0001, 0x42), hardware::PortRefused);
    std::fclose(out); // the trace writes to it until here
}

// A card that left the bus and came back with another base is found there at the next locate.
TEST(Backends, ALocateFindsTheCardWhereTheBusShowsItNow)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE000, 0x20}}}});
    const hardware::Backend backend = hardware::chooseBackend(onTheBus(tree.root()));
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backend.port().outportb(0xE001, 0x11);
    std::filesystem::remove_all(tree.deviceDir("0000:03:00.0"));
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xD000, 0x20}}}});
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xD000));
    backend.port().outportb(0xD001, 0x42);
    EXPECT_EQ(qm5083::testing::readBytes(tree.resourceFile("0000:03:00.0", 0)).at(1), 0x42);
    EXPECT_THROW(backend.port().outportb(0xE001, 0x42), hardware::PortRefused);
}

TEST(Backends, AnUnreadableBusIsKeptForTheWindowToReportAndNoPortIsReached)
{
    const hardware::Backend backend
        = hardware::chooseBackend(onTheBus("/nonexistent/qm5083-bench/bus"));
    EXPECT_TRUE(backend.startupFailure);
    EXPECT_EQ(backend.locator->findCard(1), std::nullopt);
    EXPECT_THROW(backend.port().inportb(0xE000), hardware::PortRefused);
}

struct NoCardRow
{
    const char *name;
    std::vector<hardware::PciId> ids;
    const char *says; // nothing when a card is reached
};

void PrintTo(const NoCardRow &row, std::ostream *os)
{
    *os << row.name;
}

class BackendsNoCard : public ::testing::TestWithParam<NoCardRow>
{ };

// The bus holds one card, 1234:5678.
TEST_P(BackendsNoCard, SaysWhyTheProgramReachesNoCard)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE000, 0x20}}}});
    hardware::BackendOptions options = onTheBus(tree.root());
    options.pciIds = GetParam().ids;
    const hardware::Backend backend = hardware::chooseBackend(options);
    EXPECT_EQ(backend.noCard ? backend.noCard->english() : "", GetParam().says);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BackendsNoCard,
    ::testing::Values(
        NoCardRow {"NoPciIdGiven",
                   {},
                   "The program reaches no card: it was started without --pci-id, and the card "
                   "set-up /etc/qm5083-bench/cards.conf names no card. To practise on the "
                   "simulated card, start it with --simulate. For a real card, set it up once with "
                   "sudo qm5083-bench --setup VVVV:DDDD, the vendor and device id that lspci -nn "
                   "shows for the card, or start the program with --pci-id VVVV:DDDD."},
        NoCardRow {"IdsOfNoCardOnTheBus",
                   {{0x1234, 0x9999, {}}, {0xabcd, 0x0001, {}}},
                   "The program reaches no card: no card 1234:9999, ABCD:0001 is on the PCI bus. "
                   "Check with lspci -nn that the card is in the PC and that these are its ids, "
                   "then start the program again."},
        NoCardRow {"CardFound", {{0x1234, 0x5678, {}}}, ""}),
    qm5083::testing::RowName {});

} // namespace
