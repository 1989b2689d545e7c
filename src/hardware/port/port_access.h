#pragma once

#include <cstdint>
#include <span>

namespace qm5083::hardware {

// Byte access to the card's I/O ports. Every call is exactly one bus access, made at once and
// in program order: nothing is cached, repeated, delayed or read back, because the order of
// accesses is the card's programming protocol. Failures are thrown (std::system_error or a
// PortRefused), never swallowed.
class PortAccess
{
public:
    virtual ~PortAccess() = default;

    virtual std::uint8_t inportb(std::uint16_t port) = 0;
    // Puts the low 8 bits of value on the port.
    virtual void outportb(std::uint16_t port, std::int16_t value) = 0;

    // Marks the start of an operation: every access until the next mark belongs to it, and a
    // backend that reaches several cards keeps one operation on one card.
    virtual void beginOperation() { }

    // Throws PortRefused, before any access is made, for the first of ports that an access
    // would be refused, so that an operation whose sequence would run into a refusal writes
    // nothing. The ports are judged together: a backend that keeps one operation on one card
    // refuses a set that spans two.
    virtual void checkReachable(std::span<const std::uint16_t> ports) { (void)ports; }

protected:
    PortAccess() = default;
    PortAccess(const PortAccess &) = default;
    PortAccess &operator=(const PortAccess &) = default;
};

constexpr std::uint8_t lowByte(std::int16_t value)
{
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) & 0xFF);
}

} // namespace qm5083::hardware
