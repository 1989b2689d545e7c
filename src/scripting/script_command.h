#pragma once

// The commands for scripts, as their strict arguments give them: one operation each, no lenient
// number rules (the window's boxes keep those). Parsing writes nothing; a malformed argument is a
// CommandError naming it.

#include "message.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qm5083::scripting {

class CommandError : public hardware::ExplainedAs<std::invalid_argument>
{
public:
    using ExplainedAs::ExplainedAs;
};

using Bytes = std::array<std::uint8_t, 4>;

// cards: the cards there are.
struct CardsCommand
{
    bool operator==(const CardsCommand &) const = default;
};

// out B1 B2 B3 B4: output groups 1 to 4.
struct OutCommand
{
    Bytes bytes;
    bool operator==(const OutCommand &) const = default;
};

// in [--expect B1 B2 B3 B4]: input groups 1 to 4, once.
struct InCommand
{
    std::optional<Bytes> expect;
    bool operator==(const InCommand &) const = default;
};

// clock K N: the counts the base clock and the outputs divide by, 2 to 65536.
struct ClockCommand
{
    unsigned k;
    unsigned n;
    bool operator==(const ClockCommand &) const = default;
};

// da C0 C1 C2 C3: the DA codes of channels 0 to 3, 0 to FFF.
struct DaCommand
{
    std::array<std::uint16_t, 4> codes;
    bool operator==(const DaCommand &) const = default;
};

// da-check: one DA channel against a meter.
struct DaCheckCommand
{
    enum class Readings { Terminal, File, SimulatedMeter };
    int channel = 0;
    double low = 0;  // volts at code 0
    double high = 0; // volts at code FFF
    int points = 11;
    std::optional<double> limitLsb;
    Readings readings = Readings::Terminal;
    std::string readingsFile;
    std::string reportFile;
    bool operator==(const DaCheckCommand &) const = default;
};

// batch: commands from standard input, one a line.
struct BatchCommand
{
    bool operator==(const BatchCommand &) const = default;
};

// self-test as a batch's line, refused there whatever follows it; on its own it is read as
// --self-test before any command is parsed.
struct SelfTestCommand
{
    bool operator==(const SelfTestCommand &) const = default;
};

using ScriptCommand = std::variant<CardsCommand, OutCommand, InCommand, ClockCommand, DaCommand,
                                   DaCheckCommand, BatchCommand, SelfTestCommand>;

// The command named by words[0] with its arguments. Throws CommandError.
ScriptCommand parseCommand(std::span<const std::string> words);

// A line of a batch split at blanks into words; none for an empty line.
std::vector<std::string> wordsOf(std::string_view line);

// The command words' names, as --help and a refusal list them.
inline constexpr std::array<std::string_view, 8> kCommandNames {
    "cards", "out", "in", "clock", "da", "da-check", "batch", "self-test"};
static_assert(kCommandNames.size() == std::variant_size_v<ScriptCommand>,
              "every command has its name");

// What a command is called: "out".
std::string_view commandName(const ScriptCommand &command);

} // namespace qm5083::scripting
