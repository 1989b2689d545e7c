#include "pci_port_access.h"

#include "hex_text.h"
#include "port_refused.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>

namespace qm5083::hardware {

namespace {

Message hex4(std::uint16_t value)
{
    return Message::value(convert::hex4(value));
}

Message text(std::string value)
{
    return Message::value(std::move(value));
}

} // namespace

PciPortAccess::PciPortAccess(std::vector<PciCard> cards, SysIo &io, std::vector<PciId> ids,
                             std::chrono::milliseconds lockWait)
    : io_(io)
    , ids_(std::move(ids))
    , lockWait_(lockWait)
{
    cards_.reserve(cards.size());
    for (PciCard &card : cards)
        cards_.push_back({std::move(card), -1});
}

PciPortAccess::~PciPortAccess()
{
    for (const Card &card : cards_)
        if (card.fd >= 0)
            io_.close(card.fd);
}

void PciPortAccess::replaceCards(std::vector<PciCard> cards)
{
    giveBackLock();
    for (const Card &card : cards_)
        if (card.fd >= 0)
            io_.close(card.fd);
    cards_.clear();
    for (PciCard &card : cards)
        cards_.push_back({std::move(card), -1});
    operationCard_ = nullptr;
}

void PciPortAccess::beginOperation()
{
    if (operationDepth_++ == 0)
        operationCard_ = nullptr;
}

void PciPortAccess::endOperation()
{
    if (operationDepth_ == 0 || --operationDepth_ > 0)
        return;
    giveBackLock();
    operationCard_ = nullptr;
}

std::uint8_t PciPortAccess::inportb(std::uint16_t port)
{
    Card &card = cardHolding(port);
    const int fd = descriptorFor(card, port);
    const bool alone = lock(card, port);
    std::uint8_t byte = 0;
    const SysResult result = io_.pread(fd, &byte, 1, port - card.pci.start);
    if (alone)
        giveBackLock();
    if (!result.ok())
        accessFailed(card, port, result.error,
                     Message(QM5083_MESSAGE("Card", "reading port %1 through %2 failed"),
                             {hex4(port), text(card.pci.resourceFile.string())}));
    if (result.value != 1)
        throw PortError(card.pci.resourceFile.string(), EIO,
                        Message(QM5083_MESSAGE("Card",
                                               "reading port %1 through %2 "
                                               "returned no byte"),
                                {hex4(port), text(card.pci.resourceFile.string())}));
    return byte;
}

void PciPortAccess::outportb(std::uint16_t port, std::int16_t value)
{
    Card &card = cardHolding(port);
    const int fd = descriptorFor(card, port);
    const bool alone = lock(card, port);
    const std::uint8_t byte = lowByte(value);
    const SysResult result = io_.pwrite(fd, &byte, 1, port - card.pci.start);
    if (alone)
        giveBackLock();
    if (result.error == EPERM) {
        // The kernel refuses port writes (but not reads) through these files under lockdown.
        const auto state = io_.readLockdown();
        const auto mode = state ? activeLockdownMode(*state) : std::nullopt;
        if (mode && *mode != "none")
            throw PortError(
                card.pci.resourceFile.string(), EPERM,
                Message(QM5083_MESSAGE("Card",
                                       "writing port %1 through %2 was refused: kernel lockdown "
                                       "(mode \"%3\") forbids port writes from user space; to "
                                       "use the card, boot with lockdown off: disable Secure "
                                       "Boot in the firmware setup (or with mokutil "
                                       "--disable-validation) and remove any lockdown= kernel "
                                       "parameter"),
                        {hex4(port), text(card.pci.resourceFile.string()), text(*mode)}));
    }
    if (!result.ok())
        accessFailed(card, port, result.error,
                     Message(QM5083_MESSAGE("Card", "writing port %1 through %2 failed"),
                             {hex4(port), text(card.pci.resourceFile.string())}));
    if (result.value != 1)
        throw PortError(card.pci.resourceFile.string(), EIO,
                        Message(QM5083_MESSAGE("Card", "writing port %1 through %2 wrote no byte"),
                                {hex4(port), text(card.pci.resourceFile.string())}));
}

void PciPortAccess::checkReachable(std::span<const std::uint16_t> ports)
{
    const Card *onCard = operationCard_;
    for (const std::uint16_t port : ports) {
        const Card *card = reachingCard(port);
        if (!onCard)
            onCard = card;
        else if (card != onCard)
            refuseOtherCard(port, *card, *onCard);
    }
}

PciPortAccess::Card &PciPortAccess::cardHolding(std::uint16_t port)
{
    Card *card = reachingCard(port);
    if (operationCard_ && operationCard_ != card)
        refuseOtherCard(port, *card, *operationCard_);
    if (operationDepth_ > 0)
        operationCard_ = card;
    return *card;
}

PciPortAccess::Card *PciPortAccess::reachingCard(std::uint16_t port)
{
    for (Card &card : cards_)
        if (card.pci.holds(port))
            return &card;
    refuse(port);
}

void PciPortAccess::refuseOtherCard(std::uint16_t port, const Card &card, const Card &onCard)
{
    throw PortRefused(
        port, Refusal::OtherCard,
        Message(QM5083_MESSAGE("Card",
                               "it belongs to card %1, but this operation is on "
                               "card %2 (%3) and stays on one card; check the "
                               "base address"),
                {text(card.pci.address), text(onCard.pci.address), onCard.pci.describeRange()}));
}

void PciPortAccess::refuse(std::uint16_t port) const
{
    if (cards_.empty() && ids_.empty())
        throw PortRefused(port, Refusal::NoCard,
                          Message(QM5083_MESSAGE("Card",
                                                 "no card was given with --pci-id, so the "
                                                 "program reaches no port")));
    if (cards_.empty())
        throw PortRefused(port, Refusal::NoCard,
                          Message(QM5083_MESSAGE("Card",
                                                 "no card %1 on the PCI bus; check with lspci "
                                                 "-nn that the card is in the PC and that these "
                                                 "are its ids"),
                                  {text(formatPciIds(ids_))}));
    std::vector<Message> ranges;
    for (const Card &card : cards_)
        ranges.push_back(card.pci.describeRange());
    throw PortRefused(port, Refusal::NotARegister,
                      Message(QM5083_MESSAGE("Card",
                                             "it is not a register of the cards given with "
                                             "--pci-id (%1); check the base address"),
                              {Message::list(std::move(ranges))}));
}

int PciPortAccess::descriptorFor(Card &card, std::uint16_t port)
{
    if (card.fd >= 0)
        return card.fd;
    const PciCard &pci = card.pci;
    const std::string file = pci.resourceFile.string();
    if (pci.ioDecoding == IoDecoding::Disabled)
        throw PortError(
            file, ENXIO,
            Message(QM5083_MESSAGE("Card",
                                   "card %1 has I/O decoding switched off (I/O Space bit "
                                   "of its PCI command register is 0), so port %2 would "
                                   "not reach it; enable it as root with \"setpci -s %1 "
                                   "COMMAND=0001:0001\" or load the card's driver"),
                    {text(pci.address), hex4(port)}));
    const SysResult result = io_.open(pci.resourceFile, O_RDWR | O_CLOEXEC);
    std::error_code ignored;
    if (result.error == ENOENT && !std::filesystem::exists(pci.resourceFile.parent_path(), ignored))
        accessFailed(card, port, ENODEV, Message::value(file));
    if (result.error == EACCES || result.error == EPERM)
        throw PortError(file, result.error,
                        Message(QM5083_MESSAGE("Card",
                                               "no permission to open %1 for port %2: "
                                               "\"qm5083-bench --check-setup\" says what is "
                                               "missing; once \"sudo qm5083-bench --setup "
                                               "VVVV:DDDD\" has given group qm5083 the card, its "
                                               "members reach it after logging in again"),
                                {text(file), hex4(port)}));
    if (!result.ok())
        throw PortError(
            file, result.error,
            Message(QM5083_MESSAGE("Card",
                                   "cannot open %1 for port %2 (card %3 BAR "
                                   "%4)"),
                    {text(file), hex4(port), text(pci.address), text(std::to_string(pci.bar))}));
    card.fd = static_cast<int>(result.value);
    return card.fd;
}

bool PciPortAccess::lock(Card &card, std::uint16_t port)
{
    if (lockedCard_ == &card)
        return false;
    const SysResult result = io_.lockExclusive(card.fd, lockWait_);
    const std::string file = card.pci.resourceFile.string();
    if (result.error == EWOULDBLOCK) {
        const std::optional<LockHolder> holder = io_.lockHolder(card.fd);
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%g",
                      std::chrono::duration<double>(lockWait_).count());
        throw PortError(
            file, EWOULDBLOCK,
            Message(QM5083_MESSAGE("Card",
                                   "card %1 is busy: %2 has held %3 for over %4 s, so port %5 "
                                   "was not reached and nothing was written; try again when "
                                   "that program is done, or end it"),
                    {text(card.pci.address),
                     holder ? Message(QM5083_MESSAGE("Card", "process %1 (%2)"),
                                      {text(std::to_string(holder->pid)), text(holder->command)})
                            : Message(QM5083_MESSAGE("Card", "another program")),
                     text(file), text(seconds), hex4(port)}));
    }
    if (!result.ok())
        throw PortError(file, result.error,
                        Message(QM5083_MESSAGE("Card", "cannot lock %1 for port %2"),
                                {text(file), hex4(port)}));
    lockedCard_ = &card;
    return operationDepth_ == 0;
}

void PciPortAccess::giveBackLock()
{
    if (lockedCard_ && lockedCard_->fd >= 0)
        io_.unlock(lockedCard_->fd);
    lockedCard_ = nullptr;
}

void PciPortAccess::accessFailed(Card &card, std::uint16_t port, int error, Message message)
{
    const std::string file = card.pci.resourceFile.string();
    if (error != ENODEV)
        throw PortError(file, error, std::move(message));
    // The card left the bus: its file will not answer again. The next access opens it afresh,
    // which reaches the card once it is back.
    if (card.fd >= 0)
        io_.close(card.fd);
    card.fd = -1;
    if (lockedCard_ == &card)
        lockedCard_ = nullptr;
    throw PortError(file, ENODEV,
                    Message(QM5083_MESSAGE("Card",
                                           "card %1 is no longer reachable at port %2: its file "
                                           "%3 is gone (the card left the PCI bus, or was "
                                           "unbound); check the card, then locate it again with "
                                           "得到板卡的基地址"),
                            {text(card.pci.address), hex4(port), text(file)}));
}

} // namespace qm5083::hardware
