#pragma once

#include "pci_bus.h"
#include "port_access.h"
#include "sys_io.h"

#include <chrono>
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
//
// Other programs may reach the same card, so each operation holds the lock of its card's file
// (flock) from its first access to its end, and an access outside any operation for itself:
// the sequences of two programs never interleave. A card whose lock is not free within
// lockWait is refused as busy, naming the program that holds it, before anything is written.
// The kernel gives a lock back when its holder ends, however it ends.
class PciPortAccess final : public PortAccess
{
public:
    static constexpr std::chrono::milliseconds kLockWait {2000};

    // ids are the --pci-id values the cards were looked for with, for the refusal's message.
    explicit PciPortAccess(std::vector<PciCard> cards, SysIo &io = SysIo::system(),
                           std::vector<PciId> ids = {},
                           std::chrono::milliseconds lockWait = kLockWait);
    ~PciPortAccess() override;
    PciPortAccess(const PciPortAccess &) = delete;
    PciPortAccess &operator=(const PciPortAccess &) = delete;

    std::uint8_t inportb(std::uint16_t port) override;
    void outportb(std::uint16_t port, std::int16_t value) override;
    void beginOperation() override;
    void endOperation() override;
    void checkReachable(std::span<const std::uint16_t> ports) override;
    // The cards as the bus shows them now: every file is opened afresh at its next access.
    void replaceCards(std::vector<PciCard> cards);

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
    // Takes card's lock unless held already; true when the caller gives it back after its one
    // access (outside any operation).
    bool lock(Card &card, std::uint16_t port);
    void giveBackLock();
    // A failed read or write: the card gone from the bus, or another failure.
    [[noreturn]] void accessFailed(Card &card, std::uint16_t port, int error, Message message);

    std::vector<Card> cards_;
    SysIo &io_;
    std::vector<PciId> ids_;
    std::chrono::milliseconds lockWait_;
    int operationDepth_ = 0;              // nested operations: the outermost counts
    const Card *operationCard_ = nullptr; // the card the current operation began on
    Card *lockedCard_ = nullptr;          // whose lock this program holds
};

} // namespace qm5083::hardware
