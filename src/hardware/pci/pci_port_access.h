#pragma once

#include "pci_bus.h"
#include "port_access.h"
#include "sys_io.h"

#include <vector>

namespace qm5083::hardware {

// Reaches the card's ports through the kernel's file for its I/O BAR
// (<sysfs>/devices/<address>/resource<N>): one byte read or written at (port - BAR start) per
// access. The kernel lets such a file reach only that BAR, so the program needs no raw I/O
// privilege, only read/write permission on the file (root, or the udev rule's group).
//
// Only ports inside the I/O BARs of the given cards are reached; any other port is refused with
// PortRefused before anything is touched. Each card's file is opened at the first access to that
// card and kept open. Failures are std::system_error carrying the errno, with a message that
// names the file and the port and says what to do.
class PciPortAccess final : public PortAccess
{
public:
    explicit PciPortAccess(std::vector<PciCard> cards, SysIo &io = SysIo::system());
    ~PciPortAccess() override;
    PciPortAccess(const PciPortAccess &) = delete;
    PciPortAccess &operator=(const PciPortAccess &) = delete;

    std::uint8_t inportb(std::uint16_t port) override;
    void outportb(std::uint16_t port, std::int16_t value) override;

private:
    struct Card
    {
        PciCard pci;
        int fd = -1;
    };

    Card &cardHolding(std::uint16_t port);
    int descriptorFor(Card &card, std::uint16_t port);

    std::vector<Card> cards_;
    SysIo &io_;
};

} // namespace qm5083::hardware
