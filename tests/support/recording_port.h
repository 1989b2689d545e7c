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

// Records every access made through it, in order. On its own, reads answer from `answer` (FF
// unless told otherwise); wrapped around another port, it passes each access on and records it
// only once made, so an access that threw is not in the record.
class RecordingPort final : public hardware::PortAccess
{
public:
    RecordingPort() = default;
    explicit RecordingPort(hardware::PortAccess &inner)
        : inner_(&inner)
    { }

    std::function<std::uint8_t(std::uint16_t)> answer = [](std::uint16_t) {
        return 0xFF;
    };
    std::vector<Access> accesses;

    std::uint8_t inportb(std::uint16_t port) override
    {
        const std::uint8_t byte = inner_ ? inner_->inportb(port) : answer(port);
        accesses.push_back(in(port, byte));
        return byte;
    }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        if (inner_)
            inner_->outportb(port, value);
        accesses.push_back(out(port, value));
    }

    void beginOperation() override
    {
        if (inner_)
            inner_->beginOperation();
    }

private:
    hardware::PortAccess *inner_ = nullptr;
};

} // namespace qm5083::testing
