#pragma once

#include "port_access.h"

#include <cstdint>
#include <vector>

namespace qm5083::hardware {

// One access that reached the card.
struct RecordedAccess
{
    bool write;
    std::uint16_t port;
    std::uint8_t byte; // the byte put on the bus, or read from it

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
        accesses_.push_back({false, port, byte});
        return byte;
    }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        inner_.outportb(port, value);
        accesses_.push_back({true, port, lowByte(value)});
    }
    void beginOperation() override { inner_.beginOperation(); }

    const std::vector<RecordedAccess> &accesses() const { return accesses_; }
    void clear() { accesses_.clear(); }

private:
    PortAccess &inner_;
    std::vector<RecordedAccess> accesses_;
};

} // namespace qm5083::hardware
