#pragma once

#include "message.h"
#include "port_access.h"
#include "port_refused.h"
#include "sys_io.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm5083::hardware {

// How long an operation waits for a card that another program holds before it gives up.
inline constexpr std::chrono::milliseconds kCardLockWait {2000};

// One card on a bus, as CardBus reaches it: the ports it holds, how messages name it, the lock
// that keeps it to one program at a time, and its registers.
class BusCard
{
public:
    virtual ~BusCard() = default;

    // Whether the one-byte access at port reaches this card.
    virtual bool holds(std::uint16_t port) const = 0;
    // The card as messages name it ("0000:03:00.0"), and its ports
    // ("0000:03:00.0 BAR 1: E000-E01F").
    virtual Message name() const = 0;
    virtual Message describeRange() const = 0;

    // Keeps the card to this program, for an access at port, until unlock: waits while another
    // program holds it, and throws PortError when that lasts too long or the card cannot be
    // reached at all.
    virtual void lock(std::uint16_t port) = 0;
    // Gives it back. Never throws: it runs where an operation ends, however it ends.
    virtual void unlock() noexcept = 0;
    // Whether this program holds it still: a card that left the bus took its lock with it.
    virtual bool locked() const = 0;

    // One access, made only while the card is locked.
    virtual std::uint8_t read(std::uint16_t port) = 0;
    virtual void write(std::uint16_t port, std::uint8_t byte) = 0;

protected:
    BusCard() = default;
    BusCard(const BusCard &) = default;
    BusCard &operator=(const BusCard &) = default;
};

// The cards of one bus behind one PortAccess, the real PCI bus or the simulated one alike.
//
// Each port goes to the card that holds it; a port that no card holds is refused with
// refusal() before anything is touched, and so is a port of another card than the one an
// operation began on, so that a mistyped base never runs from one card into the next. Other
// programs may reach the same cards, so an operation holds its card's lock from its first access
// to its end, and an access outside any operation holds it for itself: the register sequences of
// two programs never interleave.
class CardBus : public PortAccess
{
public:
    ~CardBus() override;
    CardBus(const CardBus &) = delete;
    CardBus &operator=(const CardBus &) = delete;

    std::uint8_t inportb(std::uint16_t port) final;
    void outportb(std::uint16_t port, std::int16_t value) final;
    void beginOperation() final;
    void endOperation() final;
    void checkReachable(std::span<const std::uint16_t> ports) final;

protected:
    explicit CardBus(std::vector<std::unique_ptr<BusCard>> cards);
    // The cards as the bus shows them now. The lock this program held is given back.
    void replaceCards(std::vector<std::unique_ptr<BusCard>> cards);
    const std::vector<std::unique_ptr<BusCard>> &cards() const { return cards_; }
    // Why a port that no card holds is refused.
    virtual PortRefused refusal(std::uint16_t port) const = 0;

private:
    // The card an access to port reaches, once the operation may reach it.
    BusCard &cardHolding(std::uint16_t port);
    // The card that holds port, whatever the operation: refused when none does.
    BusCard &reachingCard(std::uint16_t port) const;
    [[noreturn]] static void refuseOtherCard(std::uint16_t port, const BusCard &card,
                                             const BusCard &onCard);
    // Takes card's lock unless held already; true when the caller gives it back after its one
    // access (outside any operation).
    bool lock(BusCard &card, std::uint16_t port);
    // After an access, whether it failed or not.
    void accessDone(BusCard &card, bool alone) noexcept;
    void giveBackLock() noexcept;

    std::vector<std::unique_ptr<BusCard>> cards_;
    int operationDepth_ = 0;                 // nested operations: the outermost counts
    const BusCard *operationCard_ = nullptr; // the card the current operation began on
    BusCard *lockedCard_ = nullptr;          // whose lock this program holds
};

// Takes the exclusive lock (flock) of a card's open file fd for an access at port, waiting at
// most wait while another program holds it. Throws PortError naming the card, the program that
// holds it and the file when the wait runs out, or when the kernel refuses the lock.
void lockCardFile(SysIo &io, int fd, std::chrono::milliseconds wait, const Message &card,
                  const std::string &file, std::uint16_t port);

} // namespace qm5083::hardware
