#pragma once

#include "access_recorder.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace qm5083::testing {

// One port access as a recording port saw it.
using Access = hardware::RecordedAccess;

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

// Records every access made through it, in order, as the window's recorder does. On its own,
// reads answer from `answer` (FF unless told otherwise); wrapped around another port, it passes
// each access on and records it only once made, so an access that threw is not in the record.
class RecordingPort final : public hardware::PortAccess
{
public:
    RecordingPort()
        : recorder_(answering_)
    { }
    explicit RecordingPort(hardware::PortAccess &inner)
        : recorder_(inner)
    { }
    RecordingPort(const RecordingPort &) = delete;
    RecordingPort &operator=(const RecordingPort &) = delete;

    std::function<std::uint8_t(std::uint16_t)> answer = [](std::uint16_t) {
        return 0xFF;
    };

    const std::vector<Access> &accesses() const { return recorder_.accesses(); }
    void clear() { recorder_.clear(); }

    std::uint8_t inportb(std::uint16_t port) override { return recorder_.inportb(port); }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        recorder_.outportb(port, value);
    }
    void beginOperation() override { recorder_.beginOperation(); }
    void endOperation() override { recorder_.endOperation(); }
    void checkReachable(std::span<const std::uint16_t> ports) override
    {
        recorder_.checkReachable(ports);
    }

private:
    class Answering final : public hardware::PortAccess
    {
    public:
        explicit Answering(const RecordingPort &owner)
            : owner_(owner)
        { }
        std::uint8_t inportb(std::uint16_t port) override { return owner_.answer(port); }
        void outportb(std::uint16_t /*port*/, std::int16_t /*value*/) override { }

    private:
        const RecordingPort &owner_;
    };

    Answering answering_ {*this};
    hardware::AccessRecorder recorder_;
};

} // namespace qm5083::testing
