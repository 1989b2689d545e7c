#include "simulated_state.h"

#include "simulated_card.h"
#include "simulated_locator.h"
#include "state_bytes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::hardware {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic {'Q', 'M', '5', '0', '8', '3', 'S', 'C'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kBootIdSize = 36; // "c0b5a1d2-...": a UUID as text
constexpr std::size_t kHeaderSize = kMagic.size() + 4 + kBootIdSize;
constexpr std::size_t kChecksumSize = 4;
// A runtime folder's path longer than this is no runtime folder.
constexpr std::size_t kMaxFolderPath = 1024;

Message value(std::string text)
{
    return Message::value(std::move(text));
}

std::string octalMode(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 07777));
    return text;
}

// CRC-32 (IEEE 802.3), bit by bit: a state is a few hundred bytes, kept once per operation.
std::uint32_t crc32(std::span<const std::uint8_t> bytes)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

std::string paddedBootId(std::string_view bootId)
{
    std::string padded(bootId.substr(0, kBootIdSize));
    padded.resize(kBootIdSize, ' ');
    return padded;
}

[[noreturn]] void folderRefused(const std::filesystem::path &folder, int error, Message why)
{
    throw PortError(folder.string(), error,
                    Message(QM5083_MESSAGE("Card",
                                           "the simulated cards' folder %1 is refused: %2; remove "
                                           "it, and the program makes it afresh as this user's "
                                           "own"),
                            {value(folder.string()), std::move(why)}));
}

[[noreturn]] void folderFailed(const std::filesystem::path &folder, int error)
{
    throw PortError(
        folder.string(), error,
        Message(QM5083_MESSAGE("Card", "cannot make or open the simulated cards' folder %1"),
                {value(folder.string())}));
}

[[noreturn]] void damaged(Message why)
{
    throw DamagedState(std::move(why));
}

} // namespace

std::filesystem::path defaultSimulatedStateDir()
{
    // Only a runtime folder of this user's own: root run with another user's environment (sudo
    // -E) would leave a folder of root's in it, which that user could not use.
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat status
    { };
    if (runtime && runtime[0] == '/' && std::strlen(runtime) <= kMaxFolderPath
        && ::lstat(runtime, &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid())
        return std::filesystem::path(runtime) / "qm5083-bench";
    return "/tmp/qm5083-bench-" + std::to_string(::geteuid());
}

SimulatedStateFolder::SimulatedStateFolder(std::filesystem::path path)
    : path_(path.empty() ? defaultSimulatedStateDir() : std::move(path))
{ }

SimulatedStateFolder::~SimulatedStateFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int SimulatedStateFolder::descriptor()
{
    if (fd_ < 0)
        fd_ = open(true);
    return fd_;
}

int SimulatedStateFolder::existingDescriptor()
{
    if (fd_ < 0)
        fd_ = open(false);
    return fd_;
}

int SimulatedStateFolder::open(bool make)
{
    const std::filesystem::path parent
        = path_.has_parent_path() ? path_.parent_path() : std::filesystem::path(".");
    const std::string name = path_.filename().string();
    const int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) {
        if (errno == ENOENT && !make)
            return -1;
        folderFailed(path_, errno);
    }
    bool made = false;
    if (make) {
        if (::mkdirat(parentFd, name.c_str(), 0700) == 0)
            made = true;
        else if (errno != EEXIST) {
            const int error = errno;
            ::close(parentFd);
            folderFailed(path_, error);
        }
    }
    const int fd
        = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int openError = errno;
    struct stat named
    { };
    const bool link = fd < 0 && ::fstatat(parentFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISLNK(named.st_mode);
    ::close(parentFd);
    if (fd < 0) {
        if (link)
            folderRefused(path_, ELOOP, Message(QM5083_MESSAGE("Card", "it is a link")));
        if (openError == ENOTDIR)
            folderRefused(path_, ENOTDIR, Message(QM5083_MESSAGE("Card", "it is not a folder")));
        if (openError == ENOENT && !make)
            return -1;
        folderFailed(path_, openError);
    }
    // mkdir's mode went through the umask; a folder just made is ours to set.
    if (made)
        ::fchmod(fd, 0700);
    struct stat status
    { };
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        folderFailed(path_, error);
    }
    if (status.st_uid != ::geteuid() || (status.st_mode & 07777) != 0700) {
        ::close(fd);
        folderRefused(
            path_, EPERM,
            Message(QM5083_MESSAGE("Card",
                                   "it is not this user's own folder (owner %1, mode %2; it must "
                                   "be owned by %3, mode 700)"),
                    {value(std::to_string(status.st_uid)), value(octalMode(status.st_mode)),
                     value(std::to_string(::geteuid()))}));
    }
    return fd;
}

std::string simulatedStateFileName(int number)
{
    return "card" + std::to_string(number) + ".state";
}

std::filesystem::path resetSimulatedCards(const std::filesystem::path &stateDir)
{
    SimulatedStateFolder folder(stateDir);
    const int fd = folder.existingDescriptor();
    if (fd < 0)
        return folder.path();
    for (int number = 1; number <= kMaxSimulatedCards; ++number) {
        const std::string name = simulatedStateFileName(number);
        // Removed, not emptied: a link or another user's file in its place goes too. A program
        // waiting for the old file's lock finds it gone and takes the new one.
        if (::unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) {
            const std::string file = (folder.path() / name).string();
            throw PortError(file, errno,
                            Message(QM5083_MESSAGE("Card",
                                                   "cannot remove the simulated card %1's state "
                                                   "%2"),
                                    {value(std::to_string(number)), value(file)}));
        }
    }
    return folder.path();
}

std::string readBootId(const std::filesystem::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    char text[kBootIdSize + 1] = {};
    const ssize_t count = ::read(fd, text, kBootIdSize);
    ::close(fd);
    if (count <= 0)
        return {};
    std::string id(text, static_cast<std::size_t>(count));
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return id;
}

std::size_t simulatedStateSize()
{
    return kHeaderSize + SimulatedCard::kSavedSize + kChecksumSize;
}

std::vector<std::uint8_t> encodeSimulatedState(const SimulatedCard &card, std::string_view bootId)
{
    StateWriter out;
    for (const std::uint8_t byte : kMagic)
        out.byte(byte);
    out.u32(kVersion);
    for (const char c : paddedBootId(bootId))
        out.byte(static_cast<std::uint8_t>(c));
    card.save(out);
    out.u32(crc32(out.bytes()));
    return out.bytes();
}

bool decodeSimulatedState(std::span<const std::uint8_t> bytes, std::string_view bootId,
                          SimulatedCard &card)
{
    const auto sizeWrong = [&bytes] {
        damaged(Message(
            QM5083_MESSAGE("Card", "it holds %1 bytes, not %2"),
            {value(std::to_string(bytes.size())), value(std::to_string(simulatedStateSize()))}));
    };
    if (bytes.size() < kHeaderSize)
        sizeWrong();
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        damaged(Message(QM5083_MESSAGE("Card", "it is no state this program kept")));
    StateReader header(bytes, kMagic.size());
    const std::uint32_t version = header.u32();
    if (version != kVersion)
        damaged(Message(QM5083_MESSAGE("Card", "it is of version %1, not %2"),
                        {value(std::to_string(version)), value(std::to_string(kVersion))}));
    if (bytes.size() != simulatedStateSize())
        sizeWrong();
    const std::size_t checked = bytes.size() - kChecksumSize;
    if (StateReader(bytes, checked).u32() != crc32(bytes.first(checked)))
        damaged(Message(QM5083_MESSAGE("Card", "its checksum does not match its contents")));
    const std::string kept(bytes.begin() + static_cast<std::ptrdiff_t>(header.offset()),
                           bytes.begin() + static_cast<std::ptrdiff_t>(kHeaderSize));
    if (kept != paddedBootId(bootId))
        return false;
    try {
        StateReader fields(bytes.first(checked), kHeaderSize);
        card.restore(fields);
    } catch (const StateOutOfRange &outOfRange) {
        damaged(Message(QM5083_MESSAGE("Card", "it holds a value out of its range at byte %1"),
                        {value(std::to_string(outOfRange.at()))}));
    }
    return true;
}

} // namespace qm5083::hardware
