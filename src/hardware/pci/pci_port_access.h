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
// PortRefused before anything is touched, and so is a port of another card than the one an
// operation began on. Each card's file is opened at the first access to that card and kept
// open. Failures are PortError carrying the errno, with a message that names the file and the
// port and says what to do.
class PciPortAccess final : public PortAccess
{
public:
    // ids are the --pci-id values the cards were looked for with, for the refusal's message.
    explicit PciPortAccess(std::vector<PciCard> cards, SysIo &io = SysIo::system(),
                           std::vector<PciId> ids = {});
    ~PciPortAccess() override;
    PciPortAccess(const PciPortAccess &) = delete;
    PciPortAccess &operator=(const PciPortAccess &) = delete;

    std::uint8_t inportb(std::uint16_t port) override;
    void outportb(std::uint16_t port, std::int16_t value) override;
    void beginOperation() override
    {
        inOperation_ = true;
        operationCard_ = nullptr;
    }
    void checkReachable(std::span<const std::uint16_t> ports) override;

private:
    struct Card
    {
        PciCard pci;
        int fd = -1;
    };

    // The card an access to port reaches, once the operation may reach it.
    Card &cardHolding(std::uint16_t port);
    // The card that holds port, whatever the operation: refused when none does.
    Card *reachingCard(std::uint16_t port);
    [[noreturn]] static void refuseOtherCard(std::uint16_t port, const Card &card,
                                             const Card &onCard);
    [[noreturn]] void refuse(std::uint16_t port) const;
    int descriptorFor(Card &card, std::uint16_t port);

    std::vector<Card> cards_;
    SysIo &io_;
    std::vector<PciId> ids_;
    // Once operations are marked, the card the current one began on.
    bool inOperation_ = false;
    const Card *operationCard_ = nullptr;
};

} // namespace qm5083::hardware
