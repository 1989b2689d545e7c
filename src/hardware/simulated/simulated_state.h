#pragma once

#include "message.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm5083::hardware {

class SimulatedCard;

// Where the kernel tells this boot apart from the others.
inline constexpr const char *kBootIdFile = "/proc/sys/kernel/random/boot_id";

// The simulated cards keep their state between programs, as a real card's registers keep theirs,
// in this user's own folder: $XDG_RUNTIME_DIR/qm5083-bench, or /tmp/qm5083-bench-UID when
// XDG_RUNTIME_DIR is not set, not an absolute path of a sane length, or not a folder this user
// owns.
std::filesystem::path defaultSimulatedStateDir();

// The folder of the simulated cards' state: made when missing (mode 700), never reached through
// a link, and used only when it is this user's and no one else may enter it. The folder that
// holds it is trusted: the user's runtime folder, or /tmp.
class SimulatedStateFolder
{
public:
    // An empty path is defaultSimulatedStateDir().
    explicit SimulatedStateFolder(std::filesystem::path path = {});
    ~SimulatedStateFolder();
    SimulatedStateFolder(const SimulatedStateFolder &) = delete;
    SimulatedStateFolder &operator=(const SimulatedStateFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // The folder's descriptor, opened (and the folder made) at the first call. Throws PortError
    // when it cannot be made or opened, or is refused.
    int descriptor();
    // The same without making it: -1 when it is missing.
    int existingDescriptor();

private:
    int open(bool make);

    std::filesystem::path path_;
    int fd_ = -1;
};

// The state file of simulated card number, in the folder: "card1.state".
std::string simulatedStateFileName(int number);

// Starts every simulated card afresh, as at power-up, by removing what they keep: the next
// operation on each finds no state. Nothing to do when the folder is missing. Returns the
// folder. Throws PortError when the folder is refused or a card's state cannot be removed.
std::filesystem::path resetSimulatedCards(const std::filesystem::path &stateDir = {});

// This boot's id as the kernel gives it in file (at most 36 characters); empty when it cannot be
// read, which keeps the state until a reset.
std::string readBootId(const std::filesystem::path &file = kBootIdFile);

// The bytes of a state file: a header (what it is, its version, the boot it was kept in), the
// card's registers, counters and time, field by field, and a CRC-32 of all that.
std::vector<std::uint8_t> encodeSimulatedState(const SimulatedCard &card, std::string_view bootId);
// Its size.
std::size_t simulatedStateSize();

// A state file that cannot be taken back; the message says why.
class DamagedState : public ExplainedError
{
public:
    using ExplainedError::ExplainedError;
};

// Takes card back to the state in bytes. False, with card unchanged, when the state was kept in
// another boot than bootId: the card starts afresh then. Throws DamagedState, with card
// unchanged, when the bytes are no such state, or a field holds a value it never holds.
bool decodeSimulatedState(std::span<const std::uint8_t> bytes, std::string_view bootId,
                          SimulatedCard &card);

} // namespace qm5083::hardware
