#pragma once

#include "card_bus.h"
#include "pci_bus.h"
#include "sys_io.h"

#include <chrono>
#include <vector>

namespace qm5083::hardware {

// Reaches the card's ports through the kernel's file for its I/O BAR
// (<sysfs>/devices/<address>/resource<N>): one byte read or written at (port - BAR start) per
// access. The kernel lets such a file reach only that BAR, so the program needs no raw I/O
// privilege, only read/write permission on the file (root, or the udev rule's group).
//
// Only ports inside the I/O BARs of the given cards are reached, one card per operation, as
// CardBus routes them. Each card's file is opened at the first access to that card and kept
// open; its lock is the flock of that file. Failures are PortError carrying the errno, with a
// message that names the file and the port and says what to do. A card that left the bus is
// opened afresh at its next access, which reaches it once it is back.
class PciPortAccess final : public CardBus
{
public:
    static constexpr std::chrono::milliseconds kLockWait = kCardLockWait;

    // ids are the --pci-id values the cards were looked for with, for the refusal's message.
    explicit PciPortAccess(std::vector<PciCard> cards, SysIo &io = SysIo::system(),
                           std::vector<PciId> ids = {},
                           std::chrono::milliseconds lockWait = kLockWait);

    // The cards as the bus shows them now: every file is opened afresh at its next access.
    void replaceCards(std::vector<PciCard> cards);

private:
    PortRefused refusal(std::uint16_t port) const override;

    SysIo &io_;
    std::vector<PciId> ids_;
    std::chrono::milliseconds lockWait_;
};

} // namespace qm5083::hardware
