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
        backends.card = std::make_unique<SimulatedCard>();
        backends.locator = std::make_unique<SimulatedLocator>();
    } else {
        std::vector<PciCard> cards;
        try {
            cards = scanPciCards(options.pciIds, options.sysfsRoot);
        } catch (...) {
            backends.startupFailure = std::current_exception();
        }
        backends.card = std::make_unique<PciPortAccess>(cards);
        backends.locator = std::make_unique<PciLocator>(std::move(cards));
    }
    if (options.trace)
        backends.trace = std::make_unique<TracingPortAccess>(*backends.card, options.traceOut,
                                                             secondsSinceProgramStart);
    return backends;
}

} // namespace qm5083::hardware
