#include "backends.h"

#include "pci_locator.h"
#include "pci_port_access.h"
#include "simulated_bus.h"
#include "simulated_locator.h"
#include "trace.h"

#include <cstdio>
#include <unistd.h>

namespace qm5083::hardware {

Backend chooseBackend(const BackendOptions &options)
{
    Backend backend;
    backend.kind = options.simulate ? BackendKind::Simulated : BackendKind::Pci;
    if (options.simulate) {
        backend.card = std::make_unique<SimulatedBus>(SimulatedBus::Settings {
            options.simulatedCards, options.simulatedFaults, options.simulatedStateDir,
            options.simulatedClock, options.bootIdFile});
        backend.locator = std::make_unique<SimulatedLocator>(options.simulatedCards);
    } else {
        std::vector<PciCard> cards;
        try {
            cards = scanPciCards(options.pciIds, options.sysfsRoot);
        } catch (...) {
            backend.startupFailure = std::current_exception();
        }
        if (options.pciIds.empty()) {
            backend.noCard = Message(
                QM5083_MESSAGE(
                    "Card",
                    "The program reaches no card: it was started without --pci-id, and the card "
                    "set-up %1 names no card. To practise on the simulated card, start it with "
                    "--simulate. For a real card, set it up once with sudo qm5083-bench --setup "
                    "VVVV:DDDD, the vendor and device id that lspci -nn shows for the card, or "
                    "start the program with --pci-id VVVV:DDDD."),
                {Message::value(options.cardsConfig.string())});
        } else if (cards.empty() && !backend.startupFailure) {
            backend.noCard
                = Message(QM5083_MESSAGE("Card",
                                         "The program reaches no card: no card %1 is on the PCI "
                                         "bus. Check with lspci -nn that the card is in the PC and "
                                         "that these are its ids, then start the program again."),
                          {Message::value(formatPciIds(options.pciIds))});
        }
        auto port = std::make_unique<PciPortAccess>(cards, SysIo::system(), options.pciIds);
        PciPortAccess *reaching = port.get();
        backend.card = std::move(port);
        // Each locate looks at the bus again, so a card that left it and came back is found;
        // a bus that could not be read at start stays without cards, reported once.
        PciLocator::Rescan rescan;
        if (!backend.startupFailure)
            rescan = [ids = options.pciIds, root = options.sysfsRoot] {
                return scanPciCards(ids, root);
            };
        backend.locator = std::make_unique<PciLocator>(
            std::move(cards), std::move(rescan),
            [reaching](const std::vector<PciCard> &found) { reaching->replaceCards(found); });
    }
    if (options.trace) {
        // The start in Unix time, so that the traces of two programs can be laid side by side.
        std::fprintf(options.traceOut, "# trace of process %ld: times are seconds since %.6f\n",
                     static_cast<long>(::getpid()), programStartUnixTime());
        std::fflush(options.traceOut);
        backend.trace = std::make_unique<TracingPortAccess>(*backend.card, options.traceOut,
                                                            secondsSinceProgramStart);
    }
    return backend;
}

} // namespace qm5083::hardware
