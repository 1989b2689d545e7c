#include "support/operation_rows.h"

#include <map>
#include <system_error>

using namespace qm5083;
using namespace qm5083::testing;
using convert::ErrorNumber;
using convert::Value;
using panels::Operation;

namespace {

// What the card answers: the byte at each port, FF elsewhere.
struct InputRow
{
    const char *name;
    Value storedBase;
    std::map<std::uint16_t, std::uint8_t> inputs;
    std::vector<Access> reads;
    std::array<const char *, 4> shown;
    const char *failingSource = nullptr;
};

void PrintTo(const InputRow &row, std::ostream *os)
{
    *os << row.name;
}

class ReadInputs : public ::testing::TestWithParam<InputRow>
{ };

TEST_P(ReadInputs, ShowEachByteInHexRightAfterItsRead)
{
    const InputRow &row = GetParam();
    PanelHarness panels;
    panels.IOBase.store(row.storedBase);
    std::vector<std::string> seenAtEachRead;
    panels.port.answer = [&](std::uint16_t port) {
        seenAtEachRead.push_back(panels.text("txtInput0") + panels.text("txtInput1"));
        const auto found = row.inputs.find(port);
        return found == row.inputs.end() ? std::uint8_t {0xFF} : found->second;
    };
    const auto tick = [&] {
        panels.run(Operation::ReadDigitalInputs);
    };
    if (row.failingSource)
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, tick, row.failingSource));
    else
        tick();
    EXPECT_EQ(panels.port.accesses(), row.reads);
    for (std::size_t g = 0; g < 4; ++g)
        EXPECT_EQ(panels.text(panels::kInputBoxes[g]), row.shown[g]) << "group " << g;
    // Group 0's box is set before group 1 is read.
    if (seenAtEachRead.size() >= 2) {
        EXPECT_EQ(seenAtEachRead[1], std::string(row.shown[0]) + "Text1");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadInputs,
    ::testing::Values(InputRow {"HexWithoutLeadingZeros",
                                Value {std::int16_t {-8192}},
                                {{0xE000, 0x05}, {0xE001, 0x00}, {0xE002, 0xFF}, {0xE003, 0x80}},
                                {in(0xE000, 5), in(0xE001, 0), in(0xE002, 0xFF), in(0xE003, 0x80)},
                                {"5", "0", "FF", "80"}},
                      InputRow {"NothingStoredReadsFromPort0",
                                Value {},
                                {{0, 0x12}},
                                {in(0, 0x12), in(1, 0xFF), in(2, 0xFF), in(3, 0xFF)},
                                {"12", "FF", "FF", "FF"}},
                      InputRow {
                          "TypedBaseE00D",
                          Value {-8179.0},
                          {},
                          {in(0xE00D, 0xFF), in(0xE00E, 0xFF), in(0xE00F, 0xFF), in(0xE010, 0xFF)},
                          {"FF", "FF", "FF", "FF"}},
                      InputRow {"BaseFFFFWrapsToPort0",
                                Value {std::int16_t {-1}},
                                {{0xFFFF, 1}, {0, 2}, {1, 3}, {2, 4}},
                                {in(0xFFFF, 1), in(0, 2), in(1, 3), in(2, 4)},
                                {"1", "2", "3", "4"}},
                      InputRow {"ABaseThatLeaves16BitsFailsAtTheGroupConcerned",
                                Value {32766.0},
                                {},
                                {in(0x7FFE, 0xFF), in(0x7FFF, 0xFF)},
                                {"FF", "FF", "Text1", "Text1"},
                                "IOBase + 2"}),
    RowName {});

TEST(InputMonitor, AFailingTickIsReportedOnceThenHoldsUntilTheBaseIsStoredAgain)
{
    PanelHarness panels;
    const auto tick = [&] {
        panels.run(Operation::ReadDigitalInputs);
    };
    panels.IOBase.store(65536.0);
    EXPECT_THROW(tick(), convert::RuntimeError);
    for (int held = 0; held < 5; ++held)
        EXPECT_NO_THROW(tick()); // no reads, no reports
    EXPECT_TRUE(panels.port.accesses().empty());
    EXPECT_EQ(panels.text("txtInput0"), "Text1");

    // Stored again, even with the same failing value: it reads again, and fails once again.
    panels.IOBase.store(65536.0);
    EXPECT_THROW(tick(), convert::RuntimeError);
    EXPECT_NO_THROW(tick());

    panels.IOBase.store(std::int16_t {0x300});
    tick();
    EXPECT_EQ(panels.port.accesses(),
              (std::vector {in(0x300, 0xFF), in(0x301, 0xFF), in(0x302, 0xFF), in(0x303, 0xFF)}));
}

TEST(InputMonitor, APortFailureAlsoHoldsIt)
{
    PanelHarness panels;
    panels.IOBase.store(std::int16_t {0x300});
    panels.port.answer = [](std::uint16_t port) -> std::uint8_t {
        if (port == 0x301)
            throw std::system_error(EIO, std::generic_category(), "resource0");
        return 7;
    };
    EXPECT_THROW(panels.run(Operation::ReadDigitalInputs), std::system_error);
    EXPECT_EQ(panels.text("txtInput0"), "7");
    EXPECT_EQ(panels.text("txtInput1"), "Text1");
    panels.run(Operation::ReadDigitalInputs);
    EXPECT_EQ(panels.port.accesses(), (std::vector {in(0x300, 7)}));
}

} // namespace
