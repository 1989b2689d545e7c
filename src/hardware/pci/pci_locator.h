#pragma once

#include "card_locator.h"
#include "pci_bus.h"

#include <functional>
#include <vector>

namespace qm5083::hardware {

// Finds the cards that --pci-id names on the PCI bus: card number n is the n-th of them in
// order of PCI address, and its base is the start of its chosen I/O BAR.
//
// Given a rescan, each findCard looks at the bus again first and hands what it found to
// rescanned: a card that left the bus and came back is found where it is now.
class PciLocator final : public CardLocator
{
public:
    using Rescan = std::function<std::vector<PciCard>()>;
    using Rescanned = std::function<void(const std::vector<PciCard> &)>;

    explicit PciLocator(std::vector<PciCard> cards, Rescan rescan = {}, Rescanned rescanned = {});

    // Throws std::runtime_error when the card exists but its BAR cannot be used.
    std::optional<std::uint16_t> findCard(std::int16_t cardNumber) override;
    std::optional<Place> place(std::int16_t cardNumber) const override;
    std::vector<std::int16_t> cardNumbers() const override;

    const std::vector<PciCard> &cards() const { return cards_; }

private:
    std::vector<PciCard> cards_;
    Rescan rescan_;
    Rescanned rescanned_;
};

} // namespace qm5083::hardware
