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

double secondsSinceProgramStart()
{
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point kStart = Clock::now();
    return std::chrono::duration<double>(Clock::now() - kStart).count();
}

} // namespace qm5083::hardware
