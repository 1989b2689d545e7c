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

    // Mark the start and the end of an operation (OperationScope does both): its accesses stay
    // on one card of a backend that reaches several, and a backend that other programs reach
    // too keeps the card to this program from the operation's first access to its end, so that
    // no other program's accesses come between. Operations nest: only the outermost counts.
    virtual void beginOperation() { }
    virtual void endOperation() { }

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

// One operation on the card, from construction to destruction, however it ends.
class OperationScope
{
public:
    explicit OperationScope(PortAccess &port)
        : port_(port)
    {
        port_.beginOperation();
    }
    ~OperationScope() { port_.endOperation(); }
    OperationScope(const OperationScope &) = delete;
    OperationScope &operator=(const OperationScope &) = delete;

private:
    PortAccess &port_;
};

constexpr std::uint8_t lowByte(std::int16_t value)
{
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) & 0xFF);
}

} // namespace qm5083::hardware
