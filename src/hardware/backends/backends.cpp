#include "backends.h"

#include "pci_locator.h"
#include "pci_port_access.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "trace.h"

namespace qm5083::hardware {

Backends makeBackends(const BackendOptions &options)
{
    Backends backends;
    if (options.simulate) {
        backends.card
            = std::make_unique<SimulatedCard>(SimulatedCard::Clock {}, options.simulatedFaults);
        backends.locator = std::make_unique<SimulatedLocator>();
    } else {
        std::vector<PciCard> cards;
        try {
            cards = scanPciCards(options.pciIds, options.sysfsRoot);
        } catch (...) {
            backends.startupFailure = std::current_exception();
        }
        if (options.pciIds.empty()) {
            backends.noCard = Message(QM5083_MESSAGE(
                "Card",
                "The program reaches no card: it was started without --pci-id. To "
                "practise on the simulated card, start it with --simulate. For a real "
                "card, start it with --pci-id VVVV:DDDD, the vendor and device id that "
                "lspci -nn shows for the card."));
        } else if (cards.empty() && !backends.startupFailure) {
            backends.noCard
                = Message(QM5083_MESSAGE("Card",
                                         "The program reaches no card: no card %1 is on the PCI "
                                         "bus. Check with lspci -nn that the card is in the PC and "
                                         "that these are its ids, then start the program again."),
                          {Message::value(formatPciIds(options.pciIds))});
        }
        backends.card = std::make_unique<PciPortAccess>(cards, SysIo::system(), options.pciIds);
        backends.locator = std::make_unique<PciLocator>(std::move(cards));
    }
    if (options.trace)
        backends.trace = std::make_unique<TracingPortAccess>(*backends.card, options.traceOut,
                                                             secondsSinceProgramStart);
    return backends;
}

} // namespace qm5083::hardware
