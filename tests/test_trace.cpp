#include "port_refused.h"
#include "recording_port.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace qm5083::hardware;
using qm5083::testing::Access;
using qm5083::testing::in;
using qm5083::testing::out;
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
    std::uint8_t inportb(std::uint16_t port) override { throw refused(port); }
    void outportb(std::uint16_t port, std::int16_t) override { throw refused(port); }
    static PortRefused refused(std::uint16_t port)
    {
        return {port, qm5083::hardware::Refusal::NotARegister, qm5083::hardware::Message("test")};
    }
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
    EXPECT_EQ(inner.accesses(),
              (std::vector<Access> {out(0xE015, 0), in(0xE000, 0xFF), out(0x0003, -1),
                                    out(0xE001, 511), in(0x0001, 0x05)}));
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

} // namespace
