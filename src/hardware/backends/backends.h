#pragma once

#include "card_locator.h"
#include "message.h"
#include "pci_bus.h"
#include "port_access.h"
#include "simulated_faults.h"
#include "simulated_state.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qm5083::hardware {

struct BackendOptions
{
    bool simulate = false;
    int simulatedCards = 1; // --simulate N: 1 to kMaxSimulatedCards
    std::vector<SimulatedFault> simulatedFaults;
    // Where the simulated cards keep their state between programs; empty:
    // defaultSimulatedStateDir().
    std::filesystem::path simulatedStateDir;
    // The simulated cards' monotonic clock (empty: CLOCK_MONOTONIC) and the file that tells this
    // boot from the others: what a test gives to let time pass, or a boot go by, between two
    // programs.
    std::function<std::chrono::nanoseconds()> simulatedClock;
    std::filesystem::path bootIdFile = kBootIdFile;
    bool trace = false;
    std::vector<PciId> pciIds;
    // The card set-up's file the ids came from, or would have: for telling where to look.
    std::filesystem::path cardsConfig = "/etc/qm5083-bench/cards.conf";
    std::filesystem::path sysfsRoot = "/sys/bus/pci";
    std::FILE *traceOut = stderr;
};

enum class BackendKind {
    Simulated, // the simulated card built into the program
    Pci,       // the real cards on the PCI bus
};

// What the program works through, chosen once at start-up: the simulated card, or the real
// cards on the PCI bus. The panels never know which.
struct Backend
{
    BackendKind kind = BackendKind::Simulated;
    std::unique_ptr<PortAccess> card;
    std::unique_ptr<CardLocator> locator;
    std::unique_ptr<PortAccess> trace; // wraps card when tracing
    // A failure while finding the cards: the window reports it, and runs with none.
    std::exception_ptr startupFailure;
    // Why the program reaches no card at all, when it does not.
    std::optional<Message> noCard;

    PortAccess &port() const { return trace ? *trace : *card; }
};

Backend chooseBackend(const BackendOptions &options);

} // namespace qm5083::hardware
