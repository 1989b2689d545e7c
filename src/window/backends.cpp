#include "backends.h"

#include "hardware/pci_locator.h"
#include "hardware/pci_port_access.h"
#include "hardware/simulated_card.h"
#include "hardware/simulated_locator.h"
#include "hardware/trace.h"

namespace qm5083::window {

Backends makeBackends(const BackendOptions &options)
{
    Backends backends;
    if (options.simulate) {
        backends.card = std::make_unique<hardware::SimulatedCard>();
        backends.locator = std::make_unique<hardware::SimulatedLocator>();
    } else {
        std::vector<hardware::PciCard> cards;
        try {
            cards = hardware::scanPciCards(options.pciIds, options.sysfsRoot);
        } catch (...) {
            backends.startupFailure = std::current_exception();
        }
        backends.card = std::make_unique<hardware::PciPortAccess>(cards);
        backends.locator = std::make_unique<hardware::PciLocator>(std::move(cards));
    }
    if (options.trace)
        backends.trace = std::make_unique<hardware::TracingPortAccess>(
            *backends.card, options.traceOut, hardware::secondsSinceProgramStart);
    return backends;
}

} // namespace qm5083::window
