// Drives the real-card backend (PCI bus scan, locator, resource-file port access, trace) from the
// command line, for the kernel test that runs it in a virtual machine against emulated PCI
// cards. Every failure is printed as the backend's own message, unchanged, so the test checks
// what a user would read.
//
//   qm5083-pci-probe [--trace] --pci-id VVVV:DDDD[:BAR]... COMMAND...
//     list            one line per card found: "card N ADDRESS VVVV:DDDD BAR B base XXXX size S",
//                     or, for a card that cannot be used, the locator's message
//     in PORT         reads the port (hex), prints the byte as two hex digits
//     out PORT BYTE   writes the byte (hex) to the port (hex)
//
// The commands run in order through one backend, as the program holds one, and stop at the first
// failure: its message on standard error, exit status 1. Usage errors exit with 2.
#include "pci_bus.h"
#include "pci_locator.h"
#include "pci_port_access.h"
#include "trace.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace hw = qm5083::hardware;

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

// This program pokes whatever cards it is given: it must never run on a machine's own PCI bus.
// The kernel test boots its virtual machine with this word on the kernel command line.
constexpr const char *kVmMarker = "qm5083.kernel_test=1";

bool insideTestVm()
{
    std::ifstream in("/proc/cmdline");
    const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return line.find(kVmMarker) != std::string::npos;
}

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

unsigned parseHex(const std::string &text, unsigned limit, const char *what)
{
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, 16);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value > limit)
        throw UsageError(std::string(what) + " \"" + text + "\" is not a hex number up to "
                         + std::to_string(limit));
    return static_cast<unsigned>(value);
}

void list(hw::PciLocator &locator)
{
    const auto &cards = locator.cards();
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const hw::PciCard &card = cards[i];
        const auto number = static_cast<std::int16_t>(i + 1);
        std::uint16_t base = 0;
        try {
            const auto found = locator.findCard(number);
            if (!found)
                throw std::logic_error("the locator does not know card " + std::to_string(number));
            base = *found;
        } catch (const std::exception &error) {
            std::printf("%s\n", error.what());
            continue;
        }
        std::printf("card %d %s %s BAR %d base %04X size %u\n", number, card.address.c_str(),
                    hw::formatPciIds(card.vendor, card.device).c_str(), card.bar,
                    static_cast<unsigned>(base), card.size);
    }
}

int run(const std::vector<std::string> &args)
{
    std::vector<hw::PciId> ids;
    bool trace = false;
    std::size_t next = 0;
    for (; next < args.size(); ++next) {
        if (args[next] == "--trace") {
            trace = true;
        } else if (args[next] == "--pci-id" && next + 1 < args.size()) {
            ids.push_back(hw::parsePciId(args[++next]));
        } else {
            break;
        }
    }
    if (next == args.size())
        throw UsageError("no command given");

    hw::secondsSinceProgramStart(); // the trace counts from here, as in the program
    std::vector<hw::PciCard> cards = hw::scanPciCards(ids);
    hw::PciPortAccess card(cards, hw::SysIo::system(), ids);
    hw::PciLocator locator(std::move(cards));
    hw::TracingPortAccess tracing(card, stderr, hw::secondsSinceProgramStart);
    hw::PortAccess &port = trace ? static_cast<hw::PortAccess &>(tracing) : card;

    while (next < args.size()) {
        const std::string &command = args[next++];
        const auto operand = [&](const char *what, unsigned limit) {
            if (next == args.size())
                throw UsageError(command + " needs " + what);
            return parseHex(args[next++], limit, what);
        };
        if (command == "list") {
            list(locator);
        } else if (command == "in") {
            const auto portNo = static_cast<std::uint16_t>(operand("PORT", 0xFFFF));
            std::printf("%02X\n", static_cast<unsigned>(port.inportb(portNo)));
        } else if (command == "out") {
            const auto portNo = static_cast<std::uint16_t>(operand("PORT", 0xFFFF));
            const auto byte = static_cast<std::int16_t>(operand("BYTE", 0xFF));
            port.outportb(portNo, byte);
        } else {
            throw UsageError("unknown command \"" + command + "\"");
        }
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!insideTestVm()) {
        std::fprintf(stderr,
                     "qm5083-pci-probe: runs only inside the kernel test's virtual machine "
                     "(no %s on the kernel command line)\n",
                     kVmMarker);
        return kUsage;
    }
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError &error) {
        std::fprintf(stderr,
                     "qm5083-pci-probe: %s\nusage: qm5083-pci-probe [--trace] --pci-id "
                     "VVVV:DDDD[:BAR]... {list | in PORT | out PORT BYTE}...\n",
                     error.what());
        return kUsage;
    } catch (const std::invalid_argument &error) {
        std::fprintf(stderr, "%s\n", error.what()); // --pci-id parsing
        return kUsage;
    } catch (const std::exception &error) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", error.what());
        return kFailed;
    }
}
