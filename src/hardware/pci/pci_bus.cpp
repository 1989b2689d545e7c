#include "pci_bus.h"

#include "card_access.h"
#include "hex_text.h"

#include <algorithm>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>

extern "C" {
#include <pci/pci.h>
}

namespace qm5083::hardware {

namespace {

using convert::hex4;

// libpci reports a failure by calling its error callback, which must not return (the default
// one exits the process), and C++ exceptions must not unwind through libpci's C frames. So
// every libpci call runs as a small step under guarded(): the error callback keeps the message
// and longjmps back into guarded(), skipping only libpci's frames and the step's own, which
// hold nothing with a destructor. guarded() then returns false and ordinary C++ code throws.
// A jump leaks whatever libpci had open at that moment. Where that would be memory (a device
// entry whose name libpci cannot parse), the tree is checked beforehand; what remains (a file
// handle when a resource file is garbled) is accepted, since the scan runs once at start-up.
struct LibpciSession
{
    std::jmp_buf jump;
    char error[512] = {};
};

thread_local LibpciSession *currentSession = nullptr;

extern "C" {

// The GNU spelling makes noreturn part of the function's type, as libpci's callback type has it.
[[gnu::noreturn]] static void onLibpciError(char *format, ...)
{
    LibpciSession *session = currentSession;
    std::va_list args;
    va_start(args, format);
    if (!session) {
        // A libpci call outside guarded() is a bug here; exiting quietly would hide it.
        std::vfprintf(stderr, format, args);
        std::fputc('\n', stderr);
        std::abort();
    }
    std::vsnprintf(session->error, sizeof session->error, format, args);
    va_end(args);
    std::longjmp(session->jump, 1);
}

// Warnings and debug output are not passed on: what a warning tells (a configuration space too
// short for the command register) shows as an I/O decoding state the scan cannot tell.
static void onLibpciQuiet(char *, ...) { }

} // extern "C"

using LibpciStep = void (*)(void *context);

// The one place that calls setjmp. Nothing in this frame changes after it.
bool guarded(LibpciSession &session, LibpciStep step, void *context)
{
    LibpciSession *const outer = currentSession;
    currentSession = &session;
    if (setjmp(session.jump) != 0) {
        currentSession = outer;
        return false;
    }
    step(context);
    currentSession = outer;
    return true;
}

// Steps: plain data in, plain data out.
struct InitStep
{
    pci_access *access;
    char *root;
    int paramResult;
};

struct CardStep
{
    pci_dev *device;
    int commandRead;
    u8 command[2];
};

class LibpciAccess
{
public:
    LibpciAccess()
        : access_(pci_alloc())
    {
        access_->error = onLibpciError;
        access_->warning = onLibpciQuiet;
        access_->debug = onLibpciQuiet;
    }
    ~LibpciAccess()
    {
        LibpciSession session;
        guarded(
            session, [](void *access) { pci_cleanup(static_cast<pci_access *>(access)); }, access_);
    }
    LibpciAccess(const LibpciAccess &) = delete;
    LibpciAccess &operator=(const LibpciAccess &) = delete;

    pci_access *get() const { return access_; }

private:
    pci_access *access_;
};

DeviceIds idsOf(const pci_dev &device)
{
    return {device.vendor_id, device.device_id, {device.subsys_vendor_id, device.subsys_id}};
}

std::string formatAddress(const pci_dev &device)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04x:%02x:%02x.%x", static_cast<unsigned>(device.domain),
                  device.bus, device.dev, device.func);
    return text;
}

bool isIoBar(const pci_dev &device, int bar)
{
    // The kernel's resource flags are exact; the low bits of the BAR stand in without them.
    if (device.known_fields & PCI_FILL_IO_FLAGS)
        return (device.flags[bar] & PCI_IORESOURCE_IO) != 0;
    return (device.base_addr[bar] & PCI_BASE_ADDRESS_SPACE) == PCI_BASE_ADDRESS_SPACE_IO;
}

// The device's BARs as the kernel's resource file gives them, as the udev helper reads them:
// libpci's copy of the kernel's flags, or without them the BAR's own low bits.
std::array<ResourceLine, kPciBarCount> barsOf(const pci_dev &device)
{
    std::array<ResourceLine, kPciBarCount> bars {};
    for (int i = 0; i < kPciBarCount; ++i) {
        const bool io = isIoBar(device, i);
        const pciaddr_t start = device.base_addr[i] & (io ? PCI_ADDR_IO_MASK : PCI_ADDR_MEM_MASK);
        const pciaddr_t size = device.size[i];
        const std::uint64_t flags = (device.known_fields & PCI_FILL_IO_FLAGS)
            ? static_cast<std::uint64_t>(device.flags[i])
            : (io ? kIoResourceIo : 0);
        bars[static_cast<std::size_t>(i)] = {start, size ? start + size - 1 : 0, flags};
    }
    return bars;
}

// Fills bar, start, size and resourceFile of card, or says in unusable why it cannot be used.
// The BAR is the one the udev helper gives the group: cardBar() chooses it for both.
void chooseBar(PciCard &card, const pci_dev &device, std::optional<int> wanted,
               const std::filesystem::path &deviceDir)
{
    const std::array<ResourceLine, kPciBarCount> bars = barsOf(device);
    const std::optional<int> chosen = cardBar(bars, wanted);
    if (!chosen) {
        card.unusable = Message(QM5083_MESSAGE("Card", "it has no I/O BAR"));
        return;
    }
    const int bar = *chosen;
    const std::uint64_t flags = bars[static_cast<std::size_t>(bar)].flags;
    card.bar = bar;
    card.resourceFile = deviceDir / ("resource" + std::to_string(bar));
    const Message number = Message::value(std::to_string(bar));
    const pciaddr_t start = device.base_addr[bar] & PCI_ADDR_IO_MASK;
    const pciaddr_t size = device.size[bar];
    if (size == 0) {
        card.unusable = Message(QM5083_MESSAGE("Card", "BAR %1 is not present"), {number});
    } else if (!isIoBar(device, bar)) {
        card.unusable
            = Message(QM5083_MESSAGE("Card", "BAR %1 is a memory BAR, not an I/O BAR"), {number});
    } else if (start == 0 || (flags & kIoResourceUnset)) {
        card.unusable = Message(QM5083_MESSAGE("Card", "BAR %1 has no ports assigned"), {number});
    } else if (flags & kIoResourceDisabled) {
        card.unusable
            = Message(QM5083_MESSAGE("Card", "BAR %1 is switched off by the kernel"), {number});
    } else if (start + size > 0x10000) {
        card.unusable = Message(QM5083_MESSAGE("Card", "BAR %1 lies beyond port FFFF"), {number});
    } else {
        card.start = static_cast<std::uint16_t>(start);
        card.size = static_cast<std::uint32_t>(size);
    }
}

// libpci gives up on an entry of devices/ whose name is not a PCI address, with a device and a
// directory handle allocated; such a tree is reported here instead, before libpci reads it.
void checkDeviceEntryNames(const std::filesystem::path &sysfsRoot)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(sysfsRoot / "devices", error);
    if (error)
        return; // libpci reports that itself, without leaking
    for (const auto &entry : entries) {
        const std::string name = entry.path().filename().string();
        unsigned domain, bus, device;
        int function;
        if (name.empty() || name[0] == '.')
            continue;
        if (std::sscanf(name.c_str(), "%x:%x:%x.%d", &domain, &bus, &device, &function) < 4
            || domain > 0x7fffffff)
            throw PciScanError(
                Message(QM5083_MESSAGE("Card",
                                       "cannot read the PCI bus in %1: entry \"%2\" in %3 is "
                                       "not a PCI address"),
                        {Message::value(sysfsRoot.string()), Message::value(name),
                         Message::value((sysfsRoot / "devices").string())}));
    }
}

} // namespace

Message PciCard::describeRange() const
{
    if (unusable)
        return Message(QM5083_MESSAGE("Card", "%1: %2"), {Message::value(address), *unusable});
    return Message::value(address + " BAR " + std::to_string(bar) + ": " + hex4(start) + "-"
                          + hex4(static_cast<std::uint16_t>(start + size - 1)));
}

namespace {

void rejectRepeatedIds(const std::vector<PciId> &ids)
{
    if (const auto both = firstOverlap(ids))
        throw InvalidPciId(
            Message(QM5083_MESSAGE(
                        "Card", "--pci-id %1 and %2 can name the same card; name each card once"),
                    {Message::value(formatPciId(ids[both->first])),
                     Message::value(formatPciId(ids[both->second]))}));
}

PciScanError libpciFailure(const std::filesystem::path &sysfsRoot, const LibpciSession &session)
{
    return PciScanError(
        Message(QM5083_MESSAGE("Card", "cannot read the PCI bus in %1 through libpci: %2"),
                {Message::value(sysfsRoot.string()), Message::value(session.error)}));
}

// Points libpci at the tree and reads every device's ids.
void scanBus(LibpciAccess &access, const std::filesystem::path &sysfsRoot)
{
    std::string root = sysfsRoot.string(); // outlives the access, whatever libpci keeps of it
    LibpciSession session;
    InitStep init {access.get(), root.data(), 0};
    const bool scanned = guarded(
        session,
        [](void *context) {
            auto &step = *static_cast<InitStep *>(context);
            step.paramResult
                = pci_set_param(step.access, const_cast<char *>("sysfs.path"), step.root);
            step.access->method = PCI_ACCESS_SYS_BUS_PCI;
            pci_init(step.access);
            pci_scan_bus(step.access);
            for (pci_dev *device = step.access->devices; device; device = device->next)
                pci_fill_info(device, PCI_FILL_IDENT | PCI_FILL_SUBSYS);
        },
        &init);
    if (init.paramResult != 0)
        throw PciScanError(
            Message(QM5083_MESSAGE("Card", "this libpci has no sysfs.path parameter")));
    if (!scanned)
        throw libpciFailure(sysfsRoot, session);
}

// The devices that ids name, in the order of their PCI addresses, each with the id that named it.
std::vector<std::pair<pci_dev *, const PciId *>> namedDevices(const LibpciAccess &access,
                                                              const std::vector<PciId> &ids)
{
    std::vector<std::pair<pci_dev *, const PciId *>> named;
    for (pci_dev *device = access.get()->devices; device; device = device->next) {
        const auto id = std::find_if(ids.begin(), ids.end(),
                                     [&](const PciId &id) { return names(id, idsOf(*device)); });
        if (id != ids.end())
            named.emplace_back(device, &*id);
    }
    std::sort(named.begin(), named.end(), [](const auto &a, const auto &b) {
        const pci_dev &x = *a.first;
        const pci_dev &y = *b.first;
        return std::tie(x.domain, x.bus, x.dev, x.func) < std::tie(y.domain, y.bus, y.dev, y.func);
    });
    return named;
}

// Reads the device's BARs and command register, and chooses its I/O BAR.
PciCard describeCard(pci_dev *device, const PciId &id, const std::filesystem::path &sysfsRoot)
{
    LibpciSession session;
    CardStep step {device, 0, {0, 0}};
    const bool read = guarded(
        session,
        [](void *context) {
            auto &step = *static_cast<CardStep *>(context);
            pci_fill_info(step.device, PCI_FILL_BASES | PCI_FILL_SIZES | PCI_FILL_IO_FLAGS);
            step.commandRead = pci_read_block(step.device, PCI_COMMAND, step.command, 2);
        },
        &step);
    if (!read)
        throw libpciFailure(sysfsRoot, session);

    PciCard card;
    card.address = formatAddress(*device);
    card.vendor = device->vendor_id;
    card.device = device->device_id;
    card.subsystem = idsOf(*device).subsystem;
    chooseBar(card, *device, id.bar, sysfsRoot / "devices" / card.address);
    if (step.commandRead) {
        const unsigned command = step.command[0] | (step.command[1] << 8);
        card.ioDecoding = (command & PCI_COMMAND_IO) ? IoDecoding::Enabled : IoDecoding::Disabled;
    }
    return card;
}

} // namespace

std::vector<PciCard> scanPciCards(const std::vector<PciId> &ids,
                                  const std::filesystem::path &sysfsRoot)
{
    rejectRepeatedIds(ids);
    if (ids.empty())
        return {};
    checkDeviceEntryNames(sysfsRoot);
    LibpciAccess access;
    scanBus(access, sysfsRoot);
    std::vector<PciCard> cards;
    for (const auto &[device, id] : namedDevices(access, ids))
        cards.push_back(describeCard(device, *id, sysfsRoot));
    return cards;
}

} // namespace qm5083::hardware
