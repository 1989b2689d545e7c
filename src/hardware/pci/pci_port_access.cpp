#include "pci_port_access.h"

#include "hex_text.h"
#include "port_refused.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <system_error>

namespace qm5083::hardware {

namespace {

using convert::hex4;

std::system_error failure(int error, const std::string &message)
{
    return std::system_error(error, std::generic_category(), message);
}

} // namespace

PciPortAccess::PciPortAccess(std::vector<PciCard> cards, SysIo &io)
    : io_(io)
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

std::uint8_t PciPortAccess::inportb(std::uint16_t port)
{
    Card &card = cardHolding(port);
    const int fd = descriptorFor(card, port);
    std::uint8_t byte = 0;
    const SysResult result = io_.pread(fd, &byte, 1, port - card.pci.start);
    // Built only on failure: an access costs little more than its system call.
    const auto what = [&] {
        return "reading port " + hex4(port) + " through " + card.pci.resourceFile.string();
    };
    if (!result.ok())
        throw failure(result.error, what() + " failed");
    if (result.value != 1)
        throw failure(EIO, what() + " returned no byte");
    return byte;
}

void PciPortAccess::outportb(std::uint16_t port, std::int16_t value)
{
    Card &card = cardHolding(port);
    const int fd = descriptorFor(card, port);
    const std::uint8_t byte = lowByte(value);
    const SysResult result = io_.pwrite(fd, &byte, 1, port - card.pci.start);
    const auto what = [&] {
        return "writing port " + hex4(port) + " through " + card.pci.resourceFile.string();
    };
    if (result.error == EPERM) {
        // The kernel refuses port writes (but not reads) through these files under lockdown.
        const auto state = io_.readLockdown();
        const auto mode = state ? activeLockdownMode(*state) : std::nullopt;
        if (mode && *mode != "none")
            throw failure(EPERM,
                          what() + " was refused: kernel lockdown (mode \"" + *mode
                              + "\") forbids port writes from user space; to use the card, "
                                "boot with lockdown off: disable Secure Boot in the "
                                "firmware setup (or with mokutil --disable-validation) and "
                                "remove any lockdown= kernel parameter");
    }
    if (!result.ok())
        throw failure(result.error, what() + " failed");
    if (result.value != 1)
        throw failure(EIO, what() + " wrote no byte");
}

PciPortAccess::Card &PciPortAccess::cardHolding(std::uint16_t port)
{
    for (Card &card : cards_)
        if (card.pci.holds(port))
            return card;
    if (cards_.empty())
        throw PortRefused(port,
                          "port " + hex4(port)
                              + " refused: no card was given with --pci-id, so the program "
                                "reaches no port");
    std::string ranges;
    for (const Card &card : cards_)
        ranges += (ranges.empty() ? "" : ", ") + card.pci.describeRange();
    throw PortRefused(port,
                      "port " + hex4(port)
                          + " refused: it is not a register of the cards given with "
                            "--pci-id ("
                          + ranges + "); check the base address");
}

int PciPortAccess::descriptorFor(Card &card, std::uint16_t port)
{
    if (card.fd >= 0)
        return card.fd;
    const PciCard &pci = card.pci;
    if (pci.ioDecoding == IoDecoding::Disabled)
        throw failure(ENXIO,
                      "card " + pci.address
                          + " has I/O decoding switched off (I/O Space "
                            "bit of its PCI command register is 0), so port "
                          + hex4(port) + " would not reach it; enable it as root with \"setpci -s "
                          + pci.address + " COMMAND=0001:0001\" or load the card's driver");
    const std::string file = pci.resourceFile.string();
    const SysResult result = io_.open(pci.resourceFile, O_RDWR | O_CLOEXEC);
    if (result.error == EACCES || result.error == EPERM)
        throw failure(result.error,
                      "no permission to open " + file + " for port " + hex4(port)
                          + ": install udev/60-qm5083-bench.rules with the card's ids, add your "
                            "user to group qm5083 and log in again (README.md, \"Running on a real "
                            "card\"), or "
                            "run as root");
    if (!result.ok())
        throw failure(result.error,
                      "cannot open " + file + " for port " + hex4(port) + " (card " + pci.address
                          + " BAR " + std::to_string(pci.bar) + ")");
    card.fd = static_cast<int>(result.value);
    return card.fd;
}

} // namespace qm5083::hardware
