#pragma once

#include "card_bus.h"
#include "simulated_card.h"
#include "simulated_faults.h"
#include "simulated_state.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

namespace qm5083::hardware {

// The simulated PC's bus: one to kMaxSimulatedCards simulated cards, card n at
// simulatedCardBase(n), reached as the PCI bus reaches real cards (CardBus): a port of no card is
// refused, an operation stays on one card, and each operation holds its card's lock.
//
// Each card keeps its state between programs, as a real card's registers keep theirs: the lock is
// the flock of the card's state file in the state folder, the state is read from that file at an
// operation's first access and written back, whole, where it ends. The counters go on counting
// between programs: the state holds the monotonic time it was kept at, and the next operation
// catches up by the card clock's pulses since. A state kept in another boot is left behind, and
// the card starts as at power-up. A damaged or foreign state file is refused, never guessed at.
//
// The faults are this program's own, the wiring it sees: they change what its accesses do, and
// the state keeps what the card's registers hold.
class SimulatedBus final : public CardBus
{
public:
    struct Settings
    {
        int cards = 1;
        std::vector<SimulatedFault> faults; // each acts on the card it names
        std::filesystem::path stateDir;     // empty: defaultSimulatedStateDir()
        SimulatedCard::Clock clock;         // empty: CLOCK_MONOTONIC
        std::filesystem::path bootIdFile = kBootIdFile;
        std::chrono::milliseconds lockWait = kCardLockWait;
    };

    explicit SimulatedBus(Settings settings, SysIo &io = SysIo::system());

    // Simulated card number as of this program's last access to it; null when there is none.
    const SimulatedCard *card(int number) const;

private:
    PortRefused refusal(std::uint16_t port) const override;

    std::vector<const SimulatedCard *> simulated_;
};

} // namespace qm5083::hardware
