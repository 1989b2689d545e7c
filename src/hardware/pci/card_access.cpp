#include "card_access.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qm5083::hardware {

namespace {

constexpr mode_t kGranted = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP;
constexpr mode_t kRootOnly = S_IRUSR | S_IWUSR;

[[noreturn]] void fail(const std::string &what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

std::optional<std::uint64_t> hexNumber(std::string_view word)
{
    if (word.starts_with("0x"))
        word.remove_prefix(2);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
    if (word.empty() || error != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

// A small sysfs attribute's text, read through the folder.
std::string attribute(int deviceDir, const char *name)
{
    const int fd = ::openat(deviceDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        fail(name);
    char buffer[4096];
    ssize_t got = 0;
    do
        got = ::read(fd, buffer, sizeof buffer);
    while (got < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    if (got < 0) {
        errno = error;
        fail(name);
    }
    return {buffer, static_cast<std::size_t>(got)};
}

std::uint16_t idAttribute(int deviceDir, const char *name)
{
    std::string text = attribute(deviceDir, name);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const auto value = hexNumber(text);
    if (!value || *value > 0xFFFF) {
        errno = EINVAL;
        fail(name);
    }
    return static_cast<std::uint16_t>(*value);
}

std::vector<std::string> barFileNames()
{
    std::vector<std::string> names;
    for (int bar = 0; bar < kPciBarCount; ++bar) {
        names.push_back("resource" + std::to_string(bar));
        names.push_back("resource" + std::to_string(bar) + "_wc");
    }
    return names;
}

} // namespace

std::vector<PciId> listedCards(const std::string &path, uid_t owner)
{
    const uid_t owners[] = {owner};
    return readTrustedCardsConfig(path, owners).value_or(std::vector<PciId> {});
}

bool ResourceLine::isPortRegion() const
{
    return (flags & kIoResourceIo) != 0 && (flags & (kIoResourceUnset | kIoResourceDisabled)) == 0
        && start != 0 && end > start && end <= 0xFFFF;
}

std::array<ResourceLine, kPciBarCount> parseResourceFile(std::string_view text)
{
    std::array<ResourceLine, kPciBarCount> bars {};
    for (ResourceLine &bar : bars) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::array<std::uint64_t, 3> numbers {};
        std::size_t count = 0;
        while (count < numbers.size()) {
            const auto first = line.find_first_not_of(' ');
            if (first == std::string_view::npos)
                break;
            line.remove_prefix(first);
            const auto wordEnd = std::min(line.find(' '), line.size());
            const auto number = hexNumber(line.substr(0, wordEnd));
            if (!number)
                break;
            numbers[count++] = *number;
            line.remove_prefix(wordEnd);
        }
        if (count == numbers.size())
            bar = {numbers[0], numbers[1], numbers[2]};
    }
    return bars;
}

std::optional<int> cardBar(const std::array<ResourceLine, kPciBarCount> &bars,
                           std::optional<int> named)
{
    if (named)
        return named;
    for (int bar = 0; bar < kPciBarCount; ++bar)
        if (bars[static_cast<std::size_t>(bar)].isIo())
            return bar;
    return std::nullopt;
}

std::optional<int> grantedBar(const std::vector<PciId> &listed, const SysfsDevice &device)
{
    for (const PciId &id : listed) {
        if (!names(id, device.ids))
            continue;
        const std::optional<int> bar = cardBar(device.bars, id.bar);
        return bar && device.bars[static_cast<std::size_t>(*bar)].isPortRegion() ? bar
                                                                                 : std::nullopt;
    }
    return std::nullopt;
}

std::vector<FileAccess> accessChanges(const std::vector<FileAccess> &files,
                                      std::optional<int> granted, gid_t group, gid_t rootGroup)
{
    const std::string grantedName = granted ? "resource" + std::to_string(*granted) : "";
    std::vector<FileAccess> changes;
    for (const FileAccess &file : files) {
        if (file.name == grantedName) {
            if (file.group != group || file.mode != kGranted)
                changes.push_back({file.name, group, kGranted});
        } else if (file.group == group) {
            changes.push_back({file.name, rootGroup, kRootOnly});
        }
    }
    return changes;
}

SysfsDevice readSysfsDevice(int deviceDir)
{
    SysfsDevice device;
    device.ids.vendor = idAttribute(deviceDir, "vendor");
    device.ids.device = idAttribute(deviceDir, "device");
    device.ids.subsystem.vendor = idAttribute(deviceDir, "subsystem_vendor");
    device.ids.subsystem.device = idAttribute(deviceDir, "subsystem_device");
    device.bars = parseResourceFile(attribute(deviceDir, "resource"));
    return device;
}

std::vector<FileAccess> barFiles(int deviceDir)
{
    std::vector<FileAccess> files;
    for (const std::string &name : barFileNames()) {
        struct stat status
        { };
        if (::fstatat(deviceDir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;
            fail(name);
        }
        if (S_ISREG(status.st_mode))
            files.push_back({name, status.st_gid, status.st_mode & 07777});
    }
    return files;
}

void applyAccessChanges(int deviceDir, const std::vector<FileAccess> &changes)
{
    for (const FileAccess &change : changes) {
        // The group first when taking access back, the mode first when giving it: at no moment
        // is the file open to more than before or after.
        const bool giving = (change.mode & S_IRWXG) != 0;
        if (giving && ::fchmodat(deviceDir, change.name.c_str(), change.mode & ~S_IRWXG, 0) != 0)
            fail(change.name);
        if (::fchownat(deviceDir, change.name.c_str(), static_cast<uid_t>(-1), change.group,
                       AT_SYMLINK_NOFOLLOW)
            != 0)
            fail(change.name);
        if (::fchmodat(deviceDir, change.name.c_str(), change.mode, 0) != 0)
            fail(change.name);
    }
}

} // namespace qm5083::hardware
