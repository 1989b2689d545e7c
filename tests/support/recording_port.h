#pragma once

#include "port_access.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace qm5083::testing {

// One port access as a recording port saw it.
struct Access
{
    enum class Kind { In, Out };
    Kind kind;
    std::uint16_t port;
    std::int16_t value; // the value passed to outportb, or the byte inportb returned

    bool operator==(const Access &) const = default;
};

inline Access out(std::uint16_t port, std::int16_t value)
{
    return {Access::Kind::Out, port, value};
}
inline Access in(std::uint16_t port, std::int16_t byte)
{
    return {Access::Kind::In, port, byte};
}

inline std::ostream &operator<<(std::ostream &os, const Access &a)
{
    return os << (a.kind == Access::Kind::Out ? "out " : "in ") << std::hex << std::uppercase
              << a.port << ' ' << std::dec << a.value;
}

// Records every access in order; reads answer from a function of the port (default FF).
class RecordingPort final : public hardware::PortAccess
{
public:
    std::function<std::uint8_t(std::uint16_t)> answer = [](std::uint16_t) {
        return 0xFF;
    };
    std::vector<Access> accesses;

    std::uint8_t inportb(std::uint16_t port) override
    {
        const std::uint8_t byte = answer(port);
        accesses.push_back(in(port, byte));
        return byte;
    }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        accesses.push_back(out(port, value));
    }
};

} // namespace qm5083::testing
