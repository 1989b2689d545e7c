#include "simulated_bus.h"

#include "hex_text.h"
#include "registers.h"
#include "simulated_locator.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qm5083::hardware {

namespace {

Message value(std::string text)
{
    return Message::value(std::move(text));
}

Message hex4(std::uint16_t port)
{
    return Message::value(convert::hex4(port));
}

std::string octalMode(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 07777));
    return text;
}

// What every card of one bus shares: its settings, its folder and its boot.
struct Shared
{
    Shared(SimulatedBus::Settings givenSettings, SysIo &givenIo)
        : settings(std::move(givenSettings))
        , folder(settings.stateDir)
        , bootId(readBootId(settings.bootIdFile))
        , io(givenIo)
    { }

    SimulatedBus::Settings settings;
    SimulatedStateFolder folder;
    std::string bootId;
    SysIo &io;
};

// A simulated card that keeps its state in its file between operations.
class KeptCard final : public BusCard
{
public:
    KeptCard(int number, std::shared_ptr<Shared> shared)
        : number_(number)
        , shared_(std::move(shared))
        , card_(poweredUp())
    { }
    ~KeptCard() override { unlock(); }
    KeptCard(const KeptCard &) = delete;
    KeptCard &operator=(const KeptCard &) = delete;

    bool holds(std::uint16_t port) const override
    {
        return static_cast<std::uint16_t>(port - card_.base()) < registers::kRegisterSpan;
    }
    Message name() const override { return value(std::to_string(number_)); }
    Message describeRange() const override
    {
        return Message(
            QM5083_MESSAGE("Card", "simulated card %1: %2-%3"),
            {name(), hex4(card_.base()),
             hex4(static_cast<std::uint16_t>(card_.base() + registers::kRegisterSpan - 1))});
    }
    void lock(std::uint16_t port) override;
    void unlock() noexcept override;
    bool locked() const override { return fd_ >= 0; }
    std::uint8_t read(std::uint16_t port) override { return card_.inportb(port); }
    void write(std::uint16_t port, std::uint8_t byte) override { card_.outportb(port, byte); }

    const SimulatedCard &simulated() const { return card_; }

private:
    SimulatedCard poweredUp() const
    {
        return SimulatedCard(shared_->settings.clock, shared_->settings.faults, number_);
    }
    std::string fileName() const { return simulatedStateFileName(number_); }
    std::string file() const { return (shared_->folder.path() / fileName()).string(); }
    [[noreturn]] void refused(int error, Message why) const;
    [[noreturn]] void failed(int error, const char *english) const;
    int openLocked(int folder, std::uint16_t port);
    void load();

    int number_;
    std::shared_ptr<Shared> shared_;
    SimulatedCard card_;
    int fd_ = -1;             // the state file, open and locked while this program holds the card
    std::exception_ptr lost_; // a state that could not be kept, told at the next operation
};

void KeptCard::refused(int error, Message why) const
{
    throw PortError(file(), error,
                    Message(QM5083_MESSAGE("Card",
                                           "the simulated card %1's state %2 is refused: %3; "
                                           "qm5083-bench --sim-reset starts the simulated cards "
                                           "afresh"),
                            {name(), value(file()), std::move(why)}));
}

void KeptCard::failed(int error, const char *english) const
{
    throw PortError(file(), error, Message(english, {name(), value(file())}));
}

void KeptCard::lock(std::uint16_t port)
{
    if (lost_)
        std::rethrow_exception(std::exchange(lost_, nullptr));
    fd_ = openLocked(shared_->folder.descriptor(), port);
    try {
        load();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

// Opens the card's state file, never through a link, and takes its lock. A file removed (by a
// reset) while this program waited is left for the one now in its place.
int KeptCard::openLocked(int folder, std::uint16_t port)
{
    constexpr int kAttempts = 8;
    const std::string entry = fileName();
    for (int attempt = 1;; ++attempt) {
        const int fd = ::openat(folder, entry.c_str(),
                                O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0 && errno == ELOOP)
            refused(ELOOP, Message(QM5083_MESSAGE("Card", "it is a link")));
        if (fd < 0 && errno == EISDIR)
            refused(EISDIR, Message(QM5083_MESSAGE("Card", "it is not a regular file")));
        if (fd < 0)
            failed(errno, QM5083_MESSAGE("Card", "cannot open the simulated card %1's state %2"));
        struct stat opened
        { };
        try {
            if (::fstat(fd, &opened) != 0)
                failed(errno,
                       QM5083_MESSAGE("Card", "cannot open the simulated card %1's state %2"));
            if (!S_ISREG(opened.st_mode))
                refused(EINVAL, Message(QM5083_MESSAGE("Card", "it is not a regular file")));
            if (opened.st_uid != ::geteuid() || (opened.st_mode & 077) != 0)
                refused(
                    EPERM,
                    Message(QM5083_MESSAGE("Card",
                                           "it is not this user's own file (owner %1, mode "
                                           "%2; it must be owned by %3, mode 600)"),
                            {value(std::to_string(opened.st_uid)), value(octalMode(opened.st_mode)),
                             value(std::to_string(::geteuid()))}));
            // open's mode went through the umask; the owner reads and writes it.
            if ((opened.st_mode & 0600) != 0600)
                ::fchmod(fd, 0600);
            lockCardFile(shared_->io, fd, shared_->settings.lockWait, name(), file(), port);
        } catch (...) {
            ::close(fd);
            throw;
        }
        struct stat named
        { };
        if (::fstatat(folder, entry.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            return fd;
        ::close(fd);
        if (attempt == kAttempts)
            failed(EAGAIN, QM5083_MESSAGE("Card", "cannot open the simulated card %1's state %2"));
    }
}

void KeptCard::load()
{
    const std::size_t size = simulatedStateSize();
    // One byte more than a state: a longer file is told apart without reading it all.
    std::vector<std::uint8_t> bytes(size + 1);
    ssize_t count = 0;
    do
        count = ::pread(fd_, bytes.data(), bytes.size(), 0);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        failed(errno, QM5083_MESSAGE("Card", "cannot read the simulated card %1's state %2"));
    bytes.resize(static_cast<std::size_t>(count));
    if (bytes.empty()) { // made just now, or reset
        card_ = poweredUp();
        return;
    }
    try {
        if (!decodeSimulatedState(bytes, shared_->bootId, card_))
            card_ = poweredUp(); // kept in another boot
    } catch (const DamagedState &damaged) {
        refused(EBADMSG, damaged.message());
    }
}

void KeptCard::unlock() noexcept
{
    if (fd_ < 0)
        return;
    try {
        const std::vector<std::uint8_t> bytes = encodeSimulatedState(card_, shared_->bootId);
        ssize_t written = 0;
        do
            written = ::pwrite(fd_, bytes.data(), bytes.size(), 0);
        while (written < 0 && errno == EINTR);
        if (written != static_cast<ssize_t>(bytes.size()))
            failed(written < 0 ? errno : EIO,
                   QM5083_MESSAGE("Card",
                                  "the simulated card %1's state could not be written to %2, so "
                                  "what the last operation did to the card is lost"));
    } catch (...) {
        lost_ = std::current_exception();
    }
    ::close(fd_); // and the lock with it
    fd_ = -1;
}

std::vector<std::unique_ptr<BusCard>> keptCards(SimulatedBus::Settings settings, SysIo &io)
{
    const int count = settings.cards;
    const auto shared = std::make_shared<Shared>(std::move(settings), io);
    std::vector<std::unique_ptr<BusCard>> cards;
    for (int number = 1; number <= count; ++number)
        cards.push_back(std::make_unique<KeptCard>(number, shared));
    return cards;
}

} // namespace

SimulatedBus::SimulatedBus(Settings settings, SysIo &io)
    : CardBus(keptCards(std::move(settings), io))
{
    for (const std::unique_ptr<BusCard> &card : cards())
        simulated_.push_back(&static_cast<const KeptCard &>(*card).simulated());
}

const SimulatedCard *SimulatedBus::card(int number) const
{
    if (number < 1 || static_cast<std::size_t>(number) > simulated_.size())
        return nullptr;
    return simulated_[static_cast<std::size_t>(number) - 1];
}

PortRefused SimulatedBus::refusal(std::uint16_t port) const
{
    return notASimulatedRegister(port, 1, static_cast<int>(simulated_.size()));
}

} // namespace qm5083::hardware
