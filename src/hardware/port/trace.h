#pragma once

#include "port_access.h"

#include <cstdio>
#include <functional>

namespace qm5083::hardware {

// Writes every port access made through it as one line, flushed at once:
//   "<seconds since start, 6 decimals> <out|in> <port, 4 hex digits> <byte, 2 hex digits>"
// An access that fails or is refused is not traced, since no byte crossed the bus.
class TracingPortAccess final : public PortAccess
{
public:
    using SecondsSinceStart = std::function<double()>;

    TracingPortAccess(PortAccess &inner, std::FILE *out, SecondsSinceStart clock);

    std::uint8_t inportb(std::uint16_t port) override;
    void outportb(std::uint16_t port, std::int16_t value) override;
    void beginOperation() override { inner_.beginOperation(); }
    void endOperation() override { inner_.endOperation(); }
    void checkReachable(std::span<const std::uint16_t> ports) override
    {
        inner_.checkReachable(ports);
    }

private:
    void writeLine(const char *direction, std::uint16_t port, std::uint8_t byte);

    PortAccess &inner_;
    std::FILE *out_;
    SecondsSinceStart clock_;
};

// Seconds elapsed since the first call in this process; the program calls it at start-up.
double secondsSinceProgramStart();
// The Unix time of that first call, to 1 µs: where a trace's times start.
double programStartUnixTime();

} // namespace qm5083::hardware
