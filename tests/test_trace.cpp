#include "port_refused.h"
#include "simulated_locator.h"
#include "trace.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace qm5083::hardware;
using qm5083::testing::RecordingPort;

namespace {

std::string readAll(std::FILE *file)
{
    std::rewind(file);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file))
        text += buffer;
    return text;
}

class RefusingPort final : public PortAccess
{
public:
    std::uint8_t inportb(std::uint16_t port) override { throw PortRefused(port, "refused"); }
    void outportb(std::uint16_t port, std::int16_t) override { throw PortRefused(port, "refused"); }
};

TEST(Trace, OneFlushedLinePerAccessInTheDocumentedFormat)
{
    RecordingPort inner;
    inner.answer = [](std::uint16_t port) {
        return port == 0xE000 ? 0xFF : 0x05;
    };
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    double now = 0.512034;
    TracingPortAccess trace(inner, file, [&] { return now; });

    trace.outportb(0xE015, 0);
    now = 1.000112;
    EXPECT_EQ(trace.inportb(0xE000), 0xFF);
    now = 12.5;
    trace.outportb(0x0003, -1);  // low byte of -1
    trace.outportb(0xE001, 511); // low byte of 511
    EXPECT_EQ(trace.inportb(0x0001), 0x05);

    EXPECT_EQ(readAll(file),
              "0.512034 out E015 00\n"
              "1.000112 in E000 FF\n"
              "12.500000 out 0003 FF\n"
              "12.500000 out E001 FF\n"
              "12.500000 in 0001 05\n");
    // The wrapped port sees exactly the same accesses, with the values as given.
    ASSERT_EQ(inner.accesses.size(), 5U);
    EXPECT_EQ(inner.accesses[2], qm5083::testing::out(0x0003, -1));
    std::fclose(file);
}

TEST(Trace, AnAccessThatIsRefusedLeavesNoLine)
{
    RefusingPort inner;
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    TracingPortAccess trace(inner, file, [] { return 1.0; });
    EXPECT_THROW(trace.outportb(0x0000, 1), PortRefused);
    EXPECT_THROW(trace.inportb(0x0000), PortRefused);
    EXPECT_EQ(readAll(file), "");
    std::fclose(file);
}

TEST(SimulatedLocator, FindsCardOneAtE000AndLeavesTheBaseOtherwise)
{
    SimulatedLocator locator;
    struct Row
    {
        std::int16_t card;
        std::int32_t found;
        std::int16_t baseAfter;
    };
    const std::int16_t before = 0x1234;
    const Row rows[] = {{1, 1, static_cast<std::int16_t>(0xE000)},
                        {2, 0, before},
                        {0, 0, before},
                        {-1, 0, before},
                        {32767, 0, before}};
    for (const Row &row : rows) {
        std::int16_t base = before;
        std::int32_t extra = 77;
        EXPECT_EQ(locator.GetIOBaseByCardNo(row.card, base, extra) != 0, row.found != 0)
            << row.card;
        EXPECT_EQ(base, row.baseAfter) << row.card;
    }
}

} // namespace
