#include "pci_locator.h"

#include <stdexcept>
#include <string>

namespace qm5083::hardware {

PciLocator::PciLocator(std::vector<PciCard> cards)
    : cards_(std::move(cards))
{ }

std::int32_t PciLocator::GetIOBaseByCardNo(std::int16_t cardNo, std::int16_t &ioBase,
                                           std::int32_t &extra)
{
    extra = 0;
    if (cardNo < 1 || static_cast<std::size_t>(cardNo) > cards_.size())
        return 0; // ioBase stays as the caller passed it
    const PciCard &card = cards_[static_cast<std::size_t>(cardNo) - 1];
    if (!card.usable()) {
        const std::string ids = formatPciIds(card.vendor, card.device);
        throw std::runtime_error("card " + std::to_string(cardNo) + " (" + card.address + ", " + ids
                                 + ") cannot be used: " + card.unusable
                                 + "; choose its I/O BAR with --pci-id " + ids
                                 + ":<BAR> (lspci -vv -s " + card.address
                                 + " lists its BARs as regions; I/O BARs show \"I/O ports\")");
    }
    ioBase = static_cast<std::int16_t>(card.start);
    return 1;
}

} // namespace qm5083::hardware
