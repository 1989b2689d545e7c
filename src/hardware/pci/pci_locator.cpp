#include "pci_locator.h"

#include <stdexcept>
#include <string>

namespace qm5083::hardware {

PciLocator::PciLocator(std::vector<PciCard> cards, Rescan rescan, Rescanned rescanned)
    : cards_(std::move(cards))
    , rescan_(std::move(rescan))
    , rescanned_(std::move(rescanned))
{ }

std::optional<std::uint16_t> PciLocator::findCard(std::int16_t cardNumber)
{
    if (rescan_) {
        cards_ = rescan_();
        if (rescanned_)
            rescanned_(cards_);
    }
    if (cardNumber < 1 || static_cast<std::size_t>(cardNumber) > cards_.size())
        return std::nullopt;
    const PciCard &card = cards_[static_cast<std::size_t>(cardNumber) - 1];
    if (!card.usable()) {
        const Message ids = Message::value(formatPciIds(card.vendor, card.device));
        throw ExplainedError(
            Message(QM5083_MESSAGE("Card",
                                   "card %1 (%2, %3) cannot be used: %4; choose its I/O BAR with "
                                   "--pci-id %3:<BAR> (lspci -vv -s %2 lists its BARs as regions; "
                                   "I/O BARs show \"I/O ports\")"),
                    {Message::value(std::to_string(cardNumber)), Message::value(card.address), ids,
                     *card.unusable}));
    }
    return card.start;
}

std::vector<std::int16_t> PciLocator::cardNumbers() const
{
    std::vector<std::int16_t> numbers;
    for (std::size_t number = 1; number <= cards_.size() && number <= 32767; ++number)
        numbers.push_back(static_cast<std::int16_t>(number));
    return numbers;
}

std::optional<CardLocator::Place> PciLocator::place(std::int16_t cardNumber) const
{
    if (cardNumber < 1 || static_cast<std::size_t>(cardNumber) > cards_.size())
        return std::nullopt;
    const PciCard &card = cards_[static_cast<std::size_t>(cardNumber) - 1];
    return Place {card.address, formatPciIds(card.vendor, card.device), card.bar,
                  card.usable() ? std::optional<std::uint16_t>(card.start) : std::nullopt};
}

} // namespace qm5083::hardware
