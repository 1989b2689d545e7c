#include "pci_locator.h"

#include <stdexcept>
#include <string>

namespace qm5083::hardware {

PciLocator::PciLocator(std::vector<PciCard> cards)
    : cards_(std::move(cards))
{ }

std::optional<std::uint16_t> PciLocator::findCard(std::int16_t cardNumber)
{
    if (cardNumber < 1 || static_cast<std::size_t>(cardNumber) > cards_.size())
        return std::nullopt;
    const PciCard &card = cards_[static_cast<std::size_t>(cardNumber) - 1];
    if (!card.usable()) {
        const std::string ids = formatPciIds(card.vendor, card.device);
        throw std::runtime_error("card " + std::to_string(cardNumber) + " (" + card.address + ", "
                                 + ids + ") cannot be used: " + card.unusable
                                 + "; choose its I/O BAR with --pci-id " + ids
                                 + ":<BAR> (lspci -vv -s " + card.address
                                 + " lists its BARs as regions; I/O BARs show \"I/O ports\")");
    }
    return card.start;
}

} // namespace qm5083::hardware
