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

    // Throws std::runtime_error when the card exists but its BAR cannot be used.
    std::optional<std::uint16_t> findCard(std::int16_t cardNumber) override;
    std::optional<Place> place(std::int16_t cardNumber) const override;
    std::vector<std::int16_t> cardNumbers() const override;

    const std::vector<PciCard> &cards() const { return cards_; }

private:
    std::vector<PciCard> cards_;
};

} // namespace qm5083::hardware
