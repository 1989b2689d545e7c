#include "card_bus.h"

#include "hex_text.h"

#include <cerrno>
#include <cstdio>

namespace qm5083::hardware {

namespace {

Message hex4(std::uint16_t value)
{
    return Message::value(convert::hex4(value));
}

} // namespace

CardBus::CardBus(std::vector<std::unique_ptr<BusCard>> cards)
    : cards_(std::move(cards))
{ }

CardBus::~CardBus()
{
    giveBackLock();
}

void CardBus::replaceCards(std::vector<std::unique_ptr<BusCard>> cards)
{
    giveBackLock();
    cards_ = std::move(cards);
    operationCard_ = nullptr;
}

void CardBus::beginOperation()
{
    if (operationDepth_++ == 0)
        operationCard_ = nullptr;
}

void CardBus::endOperation()
{
    if (operationDepth_ == 0 || --operationDepth_ > 0)
        return;
    giveBackLock();
    operationCard_ = nullptr;
}

std::uint8_t CardBus::inportb(std::uint16_t port)
{
    BusCard &card = cardHolding(port);
    const bool alone = lock(card, port);
    std::uint8_t byte = 0;
    try {
        byte = card.read(port);
    } catch (...) {
        accessDone(card, alone);
        throw;
    }
    accessDone(card, alone);
    return byte;
}

void CardBus::outportb(std::uint16_t port, std::int16_t value)
{
    BusCard &card = cardHolding(port);
    const bool alone = lock(card, port);
    try {
        card.write(port, lowByte(value));
    } catch (...) {
        accessDone(card, alone);
        throw;
    }
    accessDone(card, alone);
}

void CardBus::checkReachable(std::span<const std::uint16_t> ports)
{
    const BusCard *onCard = operationCard_;
    for (const std::uint16_t port : ports) {
        const BusCard &card = reachingCard(port);
        if (!onCard)
            onCard = &card;
        else if (&card != onCard)
            refuseOtherCard(port, card, *onCard);
    }
}

BusCard &CardBus::cardHolding(std::uint16_t port)
{
    BusCard &card = reachingCard(port);
    if (operationCard_ && operationCard_ != &card)
        refuseOtherCard(port, card, *operationCard_);
    if (operationDepth_ > 0)
        operationCard_ = &card;
    return card;
}

BusCard &CardBus::reachingCard(std::uint16_t port) const
{
    for (const std::unique_ptr<BusCard> &card : cards_)
        if (card->holds(port))
            return *card;
    throw refusal(port);
}

void CardBus::refuseOtherCard(std::uint16_t port, const BusCard &card, const BusCard &onCard)
{
    throw PortRefused(port, Refusal::OtherCard,
                      Message(QM5083_MESSAGE("Card",
                                             "it belongs to card %1, but this operation is on "
                                             "card %2 (%3) and stays on one card; check the "
                                             "base address"),
                              {card.name(), onCard.name(), onCard.describeRange()}));
}

bool CardBus::lock(BusCard &card, std::uint16_t port)
{
    if (lockedCard_ == &card)
        return false;
    card.lock(port);
    lockedCard_ = &card;
    return operationDepth_ == 0;
}

void CardBus::accessDone(BusCard &card, bool alone) noexcept
{
    if (alone)
        giveBackLock();
    else if (lockedCard_ == &card && !card.locked())
        lockedCard_ = nullptr; // taken afresh at the operation's next access
}

void CardBus::giveBackLock() noexcept
{
    if (lockedCard_)
        lockedCard_->unlock();
    lockedCard_ = nullptr;
}

void lockCardFile(SysIo &io, int fd, std::chrono::milliseconds wait, const Message &card,
                  const std::string &file, std::uint16_t port)
{
    const SysResult result = io.lockExclusive(fd, wait);
    if (result.error == EWOULDBLOCK) {
        const std::optional<LockHolder> holder = io.lockHolder(fd);
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%g", std::chrono::duration<double>(wait).count());
        throw PortError(
            file, EWOULDBLOCK,
            Message(QM5083_MESSAGE("Card",
                                   "card %1 is busy: %2 has held %3 for over %4 s, so port %5 "
                                   "was not reached and nothing was written; try again when "
                                   "that program is done, or end it"),
                    {card,
                     holder ? Message(QM5083_MESSAGE("Card", "process %1 (%2)"),
                                      {Message::value(std::to_string(holder->pid)),
                                       Message::value(holder->command)})
                            : Message(QM5083_MESSAGE("Card", "another program")),
                     Message::value(file), Message::value(seconds), hex4(port)}));
    }
    if (!result.ok())
        throw PortError(file, result.error,
                        Message(QM5083_MESSAGE("Card", "cannot lock %1 for port %2"),
                                {Message::value(file), hex4(port)}));
}

} // namespace qm5083::hardware
