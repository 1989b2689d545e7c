#include "backends.h"
#include "port_refused.h"
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
    const hardware::Backends backends = hardware::makeBackends(simulated());
    EXPECT_EQ(backends.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backends.port().outportb(0xE002, 0x5A);
    EXPECT_EQ(backends.port().inportb(0xE002), 0x5A); // the loopback cable
    EXPECT_EQ(backends.trace, nullptr);
    EXPECT_FALSE(backends.startupFailure);
}

TEST(Backends, TraceWrapsWhicheverCardIsChosen)
{
    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const hardware::Backends backends = hardware::makeBackends(simulated(true, out));
    backends.port().outportb(0xE003, 0x1FF);
    EXPECT_EQ(backends.port().inportb(0xE003), 0xFF);
    std::rewind(out);
    char line[2][64] = {};
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
    const hardware::Backends backends = hardware::makeBackends(onTheBus(tree.root()));
    ASSERT_FALSE(backends.startupFailure);
    EXPECT_EQ(backends.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backends.port().outportb(0xE001, 0x42);
    EXPECT_EQ(qm5083::testing::readBytes(tree.resourceFile("0000:03:00.0", 0)).at(1), 0x42);
    EXPECT_THROW(backends.port().outportb(0x0001, 0x42), hardware::PortRefused);
}

TEST(Backends, AnUnreadableBusIsKeptForTheWindowToReportAndNoPortIsReached)
{
    const hardware::Backends backends
        = hardware::makeBackends(onTheBus("/nonexistent/qm5083-bench/bus"));
    EXPECT_TRUE(backends.startupFailure);
    EXPECT_EQ(backends.locator->findCard(1), std::nullopt);
    EXPECT_THROW(backends.port().inportb(0xE000), hardware::PortRefused);
}

} // namespace
