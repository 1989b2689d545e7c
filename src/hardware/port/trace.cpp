#include "trace.h"

#include <chrono>

namespace qm5083::hardware {

TracingPortAccess::TracingPortAccess(PortAccess &inner, std::FILE *out, SecondsSinceStart clock)
    : inner_(inner)
    , out_(out)
    , clock_(std::move(clock))
{ }

std::uint8_t TracingPortAccess::inportb(std::uint16_t port)
{
    const std::uint8_t byte = inner_.inportb(port);
    writeLine("in", port, byte);
    return byte;
}

void TracingPortAccess::outportb(std::uint16_t port, std::int16_t value)
{
    inner_.outportb(port, value);
    writeLine("out", port, lowByte(value));
}

void TracingPortAccess::writeLine(const char *direction, std::uint16_t port, std::uint8_t byte)
{
    std::fprintf(out_, "%.6f %s %04X %02X\n", clock_(), direction, static_cast<unsigned>(port),
                 static_cast<unsigned>(byte));
    std::fflush(out_);
}

namespace {

// The program's start on both clocks, read together.
struct ProgramStart
{
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point unix = std::chrono::system_clock::now();
};

const ProgramStart &programStart()
{
    static const ProgramStart kStart;
    return kStart;
}

} // namespace

double secondsSinceProgramStart()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - programStart().steady)
        .count();
}

double programStartUnixTime()
{
    return std::chrono::duration<double>(programStart().unix.time_since_epoch()).count();
}

} // namespace qm5083::hardware
