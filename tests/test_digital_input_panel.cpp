#include "digital_input_panel.h"
#include "support/box_group.h"
#include "support/expect_error.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

using namespace qm5083;
using convert::ErrorNumber;
using convert::Value;
using panels::PlainTextBox;
using qm5083::testing::failsWith;
using qm5083::testing::in;
using qm5083::testing::RecordingPort;

namespace {

class InputMonitorTest : public ::testing::Test
{
protected:
    qm5083::testing::BoxGroup boxes {qm5083::testing::BoxGroup::names("txtInput"),
                                     {"Text1", "Text1", "Text1", "Text1"}};
    std::array<panels::TextBox *, 4> txtInput = boxes.written();
    panels::StoredBase IOBase;
    RecordingPort port;

    std::array<std::string, 4> texts() const { return boxes.texts(); }
};

TEST_F(InputMonitorTest, ReadsTheFourGroupsAndShowsThemInHexWithoutLeadingZeros)
{
    IOBase.store(static_cast<std::int16_t>(0xE000));
    std::map<std::uint16_t, std::uint8_t> inputs {
        {0xE000, 0x05}, {0xE001, 0x00}, {0xE002, 0xFF}, {0xE003, 0x80}};
    port.answer = [&](std::uint16_t p) {
        return inputs.at(p);
    };
    panels::Timer1_Timer(txtInput, IOBase, port);
    EXPECT_EQ(port.accesses,
              (std::vector {in(0xE000, 5), in(0xE001, 0), in(0xE002, 0xFF), in(0xE003, 0x80)}));
    EXPECT_EQ(texts(), (std::array<std::string, 4> {"5", "0", "FF", "80"}));
}

TEST_F(InputMonitorTest, EachBoxIsSetRightAfterItsOwnRead)
{
    IOBase.store(std::int16_t {0x300});
    std::vector<std::array<std::string, 4>> seenAtEachRead;
    port.answer = [&](std::uint16_t p) {
        seenAtEachRead.push_back(texts());
        return static_cast<std::uint8_t>(p & 0xF);
    };
    panels::Timer1_Timer(txtInput, IOBase, port);
    ASSERT_EQ(seenAtEachRead.size(), 4U);
    EXPECT_EQ(seenAtEachRead[0], (std::array<std::string, 4> {"Text1", "Text1", "Text1", "Text1"}));
    EXPECT_EQ(seenAtEachRead[2], (std::array<std::string, 4> {"0", "1", "Text1", "Text1"}));
    EXPECT_EQ(texts(), (std::array<std::string, 4> {"0", "1", "2", "3"}));
}

TEST_F(InputMonitorTest, PortsFollowTheStoredBase)
{
    struct Row
    {
        Value base;
        std::array<std::uint16_t, 4> ports;
    };
    const Row rows[] = {
        {convert::Empty {}, {0, 1, 2, 3}}, // a failed start-up locate that left nothing
        {Value {-8179.0}, {0xE00D, 0xE00E, 0xE00F, 0xE010}},
        {Value {std::int16_t {-1}}, {0xFFFF, 0x0000, 0x0001, 0x0002}},
    };
    for (const Row &row : rows) {
        port.accesses.clear();
        IOBase.store(row.base);
        panels::Timer1_Timer(txtInput, IOBase, port);
        ASSERT_EQ(port.accesses.size(), 4U);
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(port.accesses[g].port, row.ports[g])
                << convert::Describe(row.base) << " group " << g;
    }
}

TEST_F(InputMonitorTest, ABaseThatLeavesSixteenBitsFailsAtTheGroupConcerned)
{
    IOBase.store(32766.0); // groups 0 and 1 fit, group 2 does not
    EXPECT_TRUE(failsWith(
        ErrorNumber::Overflow, [&] { panels::Timer1_Timer(txtInput, IOBase, port); },
        "IOBase + 2"));
    EXPECT_EQ(port.accesses.size(), 2U);
    EXPECT_EQ(texts(), (std::array<std::string, 4> {"FF", "FF", "Text1", "Text1"}));
}

TEST_F(InputMonitorTest, AFailingTickIsReportedOnceThenTheMonitorHoldsUntilTheBaseIsStored)
{
    panels::InputMonitor monitor;
    IOBase.store(65536.0);
    EXPECT_THROW(monitor.tick(txtInput, IOBase, port), convert::RuntimeError);
    EXPECT_TRUE(monitor.holding(IOBase));
    for (int tick = 0; tick < 5; ++tick)
        EXPECT_NO_THROW(monitor.tick(txtInput, IOBase, port)); // no reads, no reports
    EXPECT_TRUE(port.accesses.empty());
    EXPECT_EQ(texts()[0], "Text1");

    // Stored again, even with the same failing value: it polls again, and reports again once.
    IOBase.store(65536.0);
    EXPECT_FALSE(monitor.holding(IOBase));
    EXPECT_THROW(monitor.tick(txtInput, IOBase, port), convert::RuntimeError);
    EXPECT_NO_THROW(monitor.tick(txtInput, IOBase, port));

    IOBase.store(std::int16_t {0x300});
    monitor.tick(txtInput, IOBase, port);
    EXPECT_EQ(port.accesses.size(), 4U);
    EXPECT_EQ(texts()[3], "FF");
}

TEST_F(InputMonitorTest, APortFailureAlsoHoldsTheMonitor)
{
    panels::InputMonitor monitor;
    IOBase.store(std::int16_t {0x300});
    port.answer = [](std::uint16_t p) -> std::uint8_t {
        if (p == 0x301)
            throw std::system_error(EIO, std::generic_category(), "resource0");
        return 7;
    };
    EXPECT_THROW(monitor.tick(txtInput, IOBase, port), std::system_error);
    EXPECT_EQ(texts(), (std::array<std::string, 4> {"7", "Text1", "Text1", "Text1"}));
    const auto readsSoFar = port.accesses.size();
    monitor.tick(txtInput, IOBase, port);
    EXPECT_EQ(port.accesses.size(), readsSoFar);
}

} // namespace
