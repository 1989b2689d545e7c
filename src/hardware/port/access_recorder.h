#pragma once

#include "port_access.h"

#include <cstdint>
#include <vector>

namespace qm5083::hardware {

// One access that reached the card.
struct RecordedAccess
{
    enum class Kind { In, Out };
    Kind kind;
    std::uint16_t port;
    std::int16_t value; // the value handed to outportb, or the byte inportb returned

    // The byte that crossed the bus.
    std::uint8_t byte() const { return lowByte(value); }
    bool operator==(const RecordedAccess &) const = default;
};

// Passes every access on and keeps those that were made; one that threw is not kept.
class AccessRecorder final : public PortAccess
{
public:
    explicit AccessRecorder(PortAccess &inner)
        : inner_(inner)
    { }

    std::uint8_t inportb(std::uint16_t port) override
    {
        const std::uint8_t byte = inner_.inportb(port);
        accesses_.push_back({RecordedAccess::Kind::In, port, byte});
        return byte;
    }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        inner_.outportb(port, value);
        accesses_.push_back({RecordedAccess::Kind::Out, port, value});
    }
    void beginOperation() override { inner_.beginOperation(); }
    void endOperation() override { inner_.endOperation(); }
    void checkReachable(std::span<const std::uint16_t> ports) override
    {
        inner_.checkReachable(ports);
    }

    const std::vector<RecordedAccess> &accesses() const { return accesses_; }
    void clear() { accesses_.clear(); }

private:
    PortAccess &inner_;
    std::vector<RecordedAccess> accesses_;
};

} // namespace qm5083::hardware
