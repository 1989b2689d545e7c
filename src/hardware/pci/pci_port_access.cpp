#include "pci_port_access.h"

#include "hex_text.h"
#include "port_refused.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
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

// A card on the PCI bus, through its I/O BAR's file.
class PciBusCard final : public BusCard
{
public:
    PciBusCard(PciCard pci, SysIo &io, std::chrono::milliseconds lockWait)
        : pci_(std::move(pci))
        , io_(io)
        , lockWait_(lockWait)
    { }
    ~PciBusCard() override
    {
        if (fd_ >= 0)
            io_.close(fd_);
    }
    PciBusCard(const PciBusCard &) = delete;
    PciBusCard &operator=(const PciBusCard &) = delete;

    bool holds(std::uint16_t port) const override { return pci_.holds(port); }
    Message name() const override { return text(pci_.address); }
    Message describeRange() const override { return pci_.describeRange(); }
    void lock(std::uint16_t port) override
    {
        lockCardFile(io_, descriptorFor(port), lockWait_, name(), file(), port);
        locked_ = true;
    }
    void unlock() noexcept override
    {
        if (locked_ && fd_ >= 0)
            io_.unlock(fd_);
        locked_ = false;
    }
    bool locked() const override { return locked_; }
    std::uint8_t read(std::uint16_t port) override;
    void write(std::uint16_t port, std::uint8_t byte) override;

private:
    std::string file() const { return pci_.resourceFile.string(); }
    int descriptorFor(std::uint16_t port);
    // A failed read or write: the card gone from the bus, or another failure.
    [[noreturn]] void accessFailed(std::uint16_t port, int error, Message message);

    PciCard pci_;
    SysIo &io_;
    std::chrono::milliseconds lockWait_;
    int fd_ = -1;
    bool locked_ = false;
};

std::uint8_t PciBusCard::read(std::uint16_t port)
{
    std::uint8_t byte = 0;
    const SysResult result = io_.pread(fd_, &byte, 1, port - pci_.start);
    if (!result.ok())
        accessFailed(port, result.error,
                     Message(QM5083_MESSAGE("Card", "reading port %1 through %2 failed"),
                             {hex4(port), text(file())}));
    if (result.value != 1)
        throw PortError(file(), EIO,
                        Message(QM5083_MESSAGE("Card",
                                               "reading port %1 through %2 "
                                               "returned no byte"),
                                {hex4(port), text(file())}));
    return byte;
}

void PciBusCard::write(std::uint16_t port, std::uint8_t byte)
{
    const SysResult result = io_.pwrite(fd_, &byte, 1, port - pci_.start);
    if (result.error == EPERM) {
        // The kernel refuses port writes (but not reads) through these files under lockdown.
        const auto state = io_.readLockdown();
        const auto mode = state ? activeLockdownMode(*state) : std::nullopt;
        if (mode && *mode != "none")
            throw PortError(
                file(), EPERM,
                Message(QM5083_MESSAGE("Card",
                                       "writing port %1 through %2 was refused: kernel lockdown "
                                       "(mode \"%3\") forbids port writes from user space; to "
                                       "use the card, boot with lockdown off: disable Secure "
                                       "Boot in the firmware setup (or with mokutil "
                                       "--disable-validation) and remove any lockdown= kernel "
                                       "parameter"),
                        {hex4(port), text(file()), text(*mode)}));
    }
    if (!result.ok())
        accessFailed(port, result.error,
                     Message(QM5083_MESSAGE("Card", "writing port %1 through %2 failed"),
                             {hex4(port), text(file())}));
    if (result.value != 1)
        throw PortError(file(), EIO,
                        Message(QM5083_MESSAGE("Card", "writing port %1 through %2 wrote no byte"),
                                {hex4(port), text(file())}));
}

int PciBusCard::descriptorFor(std::uint16_t port)
{
    if (fd_ >= 0)
        return fd_;
    if (pci_.ioDecoding == IoDecoding::Disabled)
        throw PortError(
            file(), ENXIO,
            Message(QM5083_MESSAGE("Card",
                                   "card %1 has I/O decoding switched off (I/O Space bit "
                                   "of its PCI command register is 0), so port %2 would "
                                   "not reach it; enable it as root with \"setpci -s %1 "
                                   "COMMAND=0001:0001\" or load the card's driver"),
                    {text(pci_.address), hex4(port)}));
    const SysResult result = io_.open(pci_.resourceFile, O_RDWR | O_CLOEXEC);
    std::error_code ignored;
    if (result.error == ENOENT
        && !std::filesystem::exists(pci_.resourceFile.parent_path(), ignored))
        accessFailed(port, ENODEV, text(file()));
    if (result.error == EACCES || result.error == EPERM)
        throw PortError(file(), result.error,
                        Message(QM5083_MESSAGE("Card",
                                               "no permission to open %1 for port %2: "
                                               "\"qm5083-bench --check-setup\" says what is "
                                               "missing; once \"sudo qm5083-bench --setup "
                                               "VVVV:DDDD\" has given group qm5083 the card, its "
                                               "members reach it after logging in again"),
                                {text(file()), hex4(port)}));
    if (!result.ok())
        throw PortError(file(), result.error,
                        Message(QM5083_MESSAGE("Card",
                                               "cannot open %1 for port %2 (card %3 BAR "
                                               "%4)"),
                                {text(file()), hex4(port), text(pci_.address),
                                 text(std::to_string(pci_.bar))}));
    fd_ = static_cast<int>(result.value);
    return fd_;
}

void PciBusCard::accessFailed(std::uint16_t port, int error, Message message)
{
    if (error != ENODEV)
        throw PortError(file(), error, std::move(message));
    // The card left the bus: its file will not answer again, and its lock went with it. The next
    // access opens it afresh, which reaches the card once it is back.
    if (fd_ >= 0)
        io_.close(fd_);
    fd_ = -1;
    locked_ = false;
    throw PortError(file(), ENODEV,
                    Message(QM5083_MESSAGE("Card",
                                           "card %1 is no longer reachable at port %2: its file "
                                           "%3 is gone (the card left the PCI bus, or was "
                                           "unbound); check the card, then locate it again with "
                                           "得到板卡的基地址"),
                            {text(pci_.address), hex4(port), text(file())}));
}

std::vector<std::unique_ptr<BusCard>> busCards(std::vector<PciCard> cards, SysIo &io,
                                               std::chrono::milliseconds lockWait)
{
    std::vector<std::unique_ptr<BusCard>> onTheBus;
    onTheBus.reserve(cards.size());
    for (PciCard &card : cards)
        onTheBus.push_back(std::make_unique<PciBusCard>(std::move(card), io, lockWait));
    return onTheBus;
}

} // namespace

PciPortAccess::PciPortAccess(std::vector<PciCard> cards, SysIo &io, std::vector<PciId> ids,
                             std::chrono::milliseconds lockWait)
    : CardBus(busCards(std::move(cards), io, lockWait))
    , io_(io)
    , ids_(std::move(ids))
    , lockWait_(lockWait)
{ }

void PciPortAccess::replaceCards(std::vector<PciCard> cards)
{
    CardBus::replaceCards(busCards(std::move(cards), io_, lockWait_));
}

PortRefused PciPortAccess::refusal(std::uint16_t port) const
{
    if (cards().empty() && ids_.empty())
        return PortRefused(port, Refusal::NoCard,
                           Message(QM5083_MESSAGE("Card",
                                                  "no card was given with --pci-id, so the "
                                                  "program reaches no port")));
    if (cards().empty())
        return PortRefused(port, Refusal::NoCard,
                           Message(QM5083_MESSAGE("Card",
                                                  "no card %1 on the PCI bus; check with lspci "
                                                  "-nn that the card is in the PC and that these "
                                                  "are its ids"),
                                   {text(formatPciIds(ids_))}));
    std::vector<Message> ranges;
    for (const std::unique_ptr<BusCard> &card : cards())
        ranges.push_back(card->describeRange());
    return PortRefused(port, Refusal::NotARegister,
                       Message(QM5083_MESSAGE("Card",
                                              "it is not a register of the cards given with "
                                              "--pci-id (%1); check the base address"),
                               {Message::list(std::move(ranges))}));
}

} // namespace qm5083::hardware
