#pragma once

#include "card_locator.h"
#include "pci_bus.h"

#include <vector>

namespace qm5083::hardware {

// Finds the cards that --pci-id names on the PCI bus: card number n is the n-th of them in
// order of PCI address, and its base is the start of its chosen I/O BAR.
class PciLocator final : public CardLocator
{
public:
    explicit PciLocator(std::vector<PciCard> cards);

    // Throws std::runtime_error when card cardNo exists but its BAR cannot be used, since
    // handing out some other number as its base would send the panels to foreign ports.
    std::int32_t GetIOBaseByCardNo(std::int16_t cardNo, std::int16_t &ioBase,
                                   std::int32_t &extra) override;

    const std::vector<PciCard> &cards() const { return cards_; }

private:
    std::vector<PciCard> cards_;
};

} // namespace qm5083::hardware
