#include "pci_id.h"

#include "hex_text.h"
#include "text_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::hardware {

namespace {

// A card set-up names a few cards; a file much larger is no card set-up.
constexpr std::size_t kMaxCardsConfigBytes = std::size_t {64} * 1024;

int parseHexId(std::string_view digits)
{
    if (digits.size() != 4) // as lspci -nn shows them: 1234:0567, never 1234:567
        return -1;
    int value = 0;
    for (const char c : digits) {
        const int digit = convert::hexDigitValue(c);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// "VVVV:DDDD" as two ids, or nothing.
std::optional<std::pair<std::uint16_t, std::uint16_t>> parseIdPair(std::string_view text)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const int first = parseHexId(text.substr(0, colon));
    const int second = parseHexId(text.substr(colon + 1));
    if (first < 0 || second < 0)
        return std::nullopt;
    return std::pair {static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(second)};
}

Message value(std::string text)
{
    return Message::value(std::move(text));
}

std::string octal(unsigned mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

[[noreturn]] void refuseLine(const std::string &fileName, std::size_t number, Message why)
{
    throw InvalidPciId(Message(QM5083_MESSAGE("Card",
                                              "%1, line %2: %3; correct it, or set the cards up "
                                              "again with sudo qm5083-bench --setup"),
                               {value(fileName), value(std::to_string(number)), std::move(why)}));
}

} // namespace

PciId parsePciId(std::string_view text)
{
    const auto bad = [&] {
        return InvalidPciId(
            Message(QM5083_MESSAGE("Card",
                                   "--pci-id \"%1\" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and "
                                   "device id, four hex digits each as lspci -nn shows them, BAR "
                                   "0 to 5, and the subsystem's ids as lspci -nnv shows them)"),
                    {value(convert::excerpt(text))}));
    };
    PciId id;
    const auto slash = text.find('/');
    if (slash != std::string_view::npos) {
        const auto subsystem = parseIdPair(text.substr(slash + 1));
        if (!subsystem)
            throw bad();
        id.subsystem = SubsystemIds {subsystem->first, subsystem->second};
        text = text.substr(0, slash);
    }
    const auto second = text.find(':', text.find(':') + 1);
    const auto ids = parseIdPair(text.substr(0, second));
    if (!ids)
        throw bad();
    id.vendor = ids->first;
    id.device = ids->second;
    if (second != std::string_view::npos) {
        const std::string_view bar = text.substr(second + 1);
        if (bar.size() != 1 || bar[0] < '0' || bar[0] >= '0' + kPciBarCount)
            throw bad();
        id.bar = bar[0] - '0';
    }
    return id;
}

bool names(const PciId &id, const DeviceIds &device)
{
    return id.vendor == device.vendor && id.device == device.device
        && (!id.subsystem || *id.subsystem == device.subsystem);
}

bool overlap(const PciId &a, const PciId &b)
{
    return a.vendor == b.vendor && a.device == b.device
        && (!a.subsystem || !b.subsystem || *a.subsystem == *b.subsystem);
}

std::optional<std::pair<std::size_t, std::size_t>> firstOverlap(const std::vector<PciId> &ids)
{
    for (std::size_t later = 1; later < ids.size(); ++later)
        for (std::size_t earlier = 0; earlier < later; ++earlier)
            if (overlap(ids[earlier], ids[later]))
                return std::pair {earlier, later};
    return std::nullopt;
}

std::string formatPciIds(std::uint16_t vendor, std::uint16_t device)
{
    return convert::hex4(vendor) + ":" + convert::hex4(device);
}

std::string formatPciId(const PciId &id)
{
    std::string text = formatPciIds(id.vendor, id.device);
    if (id.bar)
        text.append(":").append(std::to_string(*id.bar));
    if (id.subsystem)
        text.append("/").append(formatPciIds(id.subsystem->vendor, id.subsystem->device));
    return text;
}

std::vector<PciId> parseCardsConfig(std::string_view text, const std::string &fileName)
{
    std::vector<PciId> ids;
    std::vector<std::size_t> lineOf; // each id's line number
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.size() > convert::kMaxLineBytes)
            refuseLine(fileName, number,
                       Message(QM5083_MESSAGE("Card", "\"%1\" is longer than %2 bytes"),
                               {value(convert::excerpt(line)),
                                value(std::to_string(convert::kMaxLineBytes))}));
        if (const auto control = convert::firstControl(line))
            refuseLine(
                fileName, number,
                Message(QM5083_MESSAGE("Card", "\"%1\" holds the control character %2"),
                        {value(convert::excerpt(line)), value(convert::escapeControls(*control))}));
        line = line.substr(0, line.find('#'));
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            continue;
        line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        try {
            ids.push_back(parsePciId(line));
        } catch (const InvalidPciId &) {
            refuseLine(fileName, number,
                       Message(QM5083_MESSAGE("Card",
                                              "\"%1\" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor "
                                              "and device id, four hex digits each as lspci -nn "
                                              "shows them, BAR 0 to 5, and the subsystem's ids "
                                              "as lspci -nnv shows them)"),
                               {value(convert::excerpt(line))}));
        }
        lineOf.push_back(number);
        if (const auto both = firstOverlap(ids))
            refuseLine(fileName, number,
                       Message(QM5083_MESSAGE("Card",
                                              "%1 names a card that line %2 names already (%3); "
                                              "each card is named once"),
                               {value(formatPciId(ids[both->second])),
                                value(std::to_string(lineOf[both->first])),
                                value(formatPciId(ids[both->first]))}));
    }
    return ids;
}

std::vector<PciId> readCardsConfig(int fd, const std::string &fileName)
{
    const auto cannotRead = [&](Message why) {
        return InvalidPciId(Message(QM5083_MESSAGE("Card", "the card set-up %1 cannot be read: %2"),
                                    {value(fileName), std::move(why)}));
    };
    struct stat status
    { };
    if (::fstat(fd, &status) != 0)
        throw cannotRead(value(std::strerror(errno)));
    if (S_ISDIR(status.st_mode))
        throw cannotRead(Message(QM5083_MESSAGE("Card", "it is a folder, not a file")));
    if (!S_ISREG(status.st_mode))
        throw cannotRead(Message(QM5083_MESSAGE("Card", "it is not a regular file")));
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw cannotRead(value(std::strerror(errno)));
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxCardsConfigBytes)
            throw cannotRead(Message(QM5083_MESSAGE("Card", "it is larger than %1 bytes"),
                                     {value(std::to_string(kMaxCardsConfigBytes))}));
    }
    return parseCardsConfig(text, fileName);
}

std::optional<std::vector<PciId>> readTrustedCardsConfig(const std::filesystem::path &file,
                                                         std::span<const uid_t> owners)
{
    struct Descriptor
    {
        int fd;
        ~Descriptor()
        {
            if (fd >= 0)
                ::close(fd);
        }
    };
    const auto cannotRead = [&](int error) {
        return InvalidPciId(Message(QM5083_MESSAGE("Card", "the card set-up %1 cannot be read: %2"),
                                    {value(file.string()), value(std::strerror(error))}));
    };
    const auto notUsed = [&](Message why) {
        return InvalidPciId(Message(
            QM5083_MESSAGE("Card",
                           "the card set-up %1 is not used: %2; the udev helper gives the group no "
                           "card from it either. Make it and its folder root's and writable by "
                           "root alone (sudo chown root: FILE; sudo chmod go-w FILE), or set the "
                           "cards up again with sudo qm5083-bench --setup"),
            {value(file.string()), std::move(why)}));
    };
    const std::filesystem::path folderPath = file.has_parent_path() ? file.parent_path() : ".";
    const Descriptor folder {::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd < 0 && errno == ENOENT)
        return std::nullopt;
    if (folder.fd < 0)
        throw cannotRead(errno);
    // Not blocking: a named pipe put in its place answers at once, as not a regular file.
    const Descriptor named {::openat(folder.fd, file.filename().c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (named.fd < 0 && errno == ENOENT)
        return std::nullopt;
    if (named.fd < 0 && errno == ELOOP)
        throw notUsed(Message(QM5083_MESSAGE("Card", "it is a link")));
    if (named.fd < 0)
        throw cannotRead(errno);
    for (const auto &[fd, isFolder] : {std::pair {folder.fd, true}, {named.fd, false}}) {
        struct stat status
        { };
        if (::fstat(fd, &status) != 0)
            throw cannotRead(errno);
        const Message mode = value(octal(status.st_mode & 07777));
        if (std::find(owners.begin(), owners.end(), status.st_uid) == owners.end())
            throw notUsed(isFolder ? Message(
                              QM5083_MESSAGE("Card",
                                             "its folder %1 belongs to uid %2, "
                                             "neither root nor this user"),
                              {value(folderPath.string()), value(std::to_string(status.st_uid))})
                                   : Message(QM5083_MESSAGE("Card",
                                                            "it belongs to uid %1, neither root "
                                                            "nor this user"),
                                             {value(std::to_string(status.st_uid))}));
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            throw notUsed(isFolder ? Message(QM5083_MESSAGE("Card",
                                                            "group or others may change its "
                                                            "folder %1 (mode %2)"),
                                             {value(folderPath.string()), mode})
                                   : Message(QM5083_MESSAGE("Card",
                                                            "group or others may change it (mode "
                                                            "%1)"),
                                             {mode}));
    }
    return readCardsConfig(named.fd, file.string());
}

std::optional<std::vector<PciId>> readCardsConfig(const std::filesystem::path &file)
{
    const uid_t owners[] = {0, ::geteuid()};
    return readTrustedCardsConfig(file, owners);
}

std::string cardsConfigText(const std::vector<PciId> &ids)
{
    std::string text = "# The qm5083 cards qm5083-bench works on when started without --pci-id,\n"
                       "# one VVVV:DDDD[:BAR][/SSSS:TTTT] a line, as lspci -nn shows the ids (and\n"
                       "# lspci -nnv the subsystem's). Written by qm5083-bench --setup; the udev\n"
                       "# rule gives group qm5083 the I/O ports of these cards, and of no other.\n";
    for (const PciId &id : ids)
        text += formatPciId(id) + "\n";
    return text;
}

std::string formatPciIds(const std::vector<PciId> &ids)
{
    std::string text;
    for (const PciId &id : ids)
        text += (text.empty() ? "" : ", ") + formatPciIds(id.vendor, id.device);
    return text;
}

} // namespace qm5083::hardware
