#pragma once

// The commands for scripts, as their strict arguments give them: one operation each, no lenient
// number rules (the window's boxes keep those). Parsing writes nothing; a malformed argument is a
// CommandError naming it.

#include "da_check.h"
#include "message.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
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
    static constexpr std::string_view kName = "cards";
    bool operator==(const CardsCommand &) const = default;
};

// out B1 B2 B3 B4: output groups 1 to 4.
struct OutCommand
{
    static constexpr std::string_view kName = "out";
    Bytes bytes;
    bool operator==(const OutCommand &) const = default;
};

// in [--expect B1 B2 B3 B4]: input groups 1 to 4, once.
struct InCommand
{
    static constexpr std::string_view kName = "in";
    std::optional<Bytes> expect;
    bool operator==(const InCommand &) const = default;
};

// clock K N: the counts the base clock and the outputs divide by, 2 to 65536.
struct ClockCommand
{
    static constexpr std::string_view kName = "clock";
    unsigned k;
    unsigned n;
    bool operator==(const ClockCommand &) const = default;
};

// da C0 C1 C2 C3: the DA codes of channels 0 to 3, 0 to FFF.
struct DaCommand
{
    static constexpr std::string_view kName = "da";
    std::array<std::uint16_t, 4> codes;
    bool operator==(const DaCommand &) const = default;
};

// da-check: one DA channel against a meter.
struct DaCheckCommand
{
    static constexpr std::string_view kName = "da-check";
    // Where the readings come from: typed at the terminal (or piped to standard input), a file,
    // the simulated card, a program run once a reading, or a meter libsigrok drives.
    enum class Readings { Terminal, File, SimulatedMeter, Command, Sigrok };
    int channel = 0;
    DaRange range;
    std::optional<int> points; // evenly spread codes; none: the default 11 unless codes or all
    std::vector<std::uint16_t> codes;
    bool all = false;
    bool plan = false; // list the codes and end, touching no card
    LsbConvention lsb = LsbConvention::FullScaleRange;
    ReferenceLine line = ReferenceLine::EndPoint;
    DaLimits limits;
    int average = 1;        // readings per code
    int settleMs = 0;       // wait after setting a code, before reading
    int meterTimeoutS = 10; // how long one reading may take before the meter counts as silent
    Readings readings = Readings::Terminal;
    std::string source; // the readings' file, the command, or the libsigrok driver and options
    std::string reportFile;
    std::string plotFile;
    std::string serial;
    std::string operatorName;
    std::string station;

    // The codes the check visits, in order.
    std::vector<std::uint16_t> plannedCodes() const { return daCheckCodes(points, codes, all); }
    bool operator==(const DaCheckCommand &) const = default;
};

// The self-test's DA check of a channel with a meter: the ten codes of the major carries on
// range, judged against these limits (LSB): a channel that follows its codes, not a calibration.
inline constexpr std::string_view kSelfTestDaLimits = "offset=20,gain=20,inl=4,dnl=1";

// That check, with meter as da-check's --meter takes it, "file:FILE" for readings one a line
// from FILE or "typed" for readings typed at the terminal, and range as LOW:HIGH in volts.
// Throws CommandError.
DaCheckCommand selfTestDaCheck(std::string_view meter, std::string_view range);

// A station's own text in a report: a serial, an operator, a station. The one rule the command
// line, the DA check and the window's dialogs hold each to: at most kMaxStationTextBytes bytes of
// UTF-8 on one line, with no control character (not even a tab). A text that breaks it is
// refused with the rule named, never cut to fit.
inline constexpr std::size_t kMaxStationTextBytes = 200;
bool keepsStationTextRule(std::string_view text);
// The rule, as a refusal names it: "a text of at most 200 bytes ...".
hardware::Message stationTextRule();

// da-check --help: what its options are, rather than a check.
struct DaCheckHelp
{ };

// da-check's options, one a line, each with the form of its value.
std::string daCheckOptionsHelp();

// batch: commands from standard input, one a line.
struct BatchCommand
{
    static constexpr std::string_view kName = "batch";
    bool operator==(const BatchCommand &) const = default;
};

// self-test as a batch's line, refused there whatever follows it; on its own it is read as
// --self-test before any command is parsed.
struct SelfTestCommand
{
    static constexpr std::string_view kName = "self-test";
    bool operator==(const SelfTestCommand &) const = default;
};

// meters: the meters the DA check can read.
struct MetersCommand
{
    static constexpr std::string_view kName = "meters";
    bool operator==(const MetersCommand &) const = default;
};

// results: the questions asked of the results database, touching no card.
struct ResultsCommand
{
    static constexpr std::string_view kName = "results";
    enum class Query { Status, Sync, History, Yield, Pareto, Export };
    enum class By { None, Day, Station, Operator, Check };
    Query query = Query::Status;
    std::string serial;   // history
    std::string since;    // YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM], as given
    std::string until;    // the same; a day is taken whole
    By by = By::None;     // yield
    bool csv = false;     // export: CSV, else JSON
    std::string plotFile; // yield, pareto: FILE.svg or FILE.png
    bool operator==(const ResultsCommand &) const = default;
};

// The longest serial number a query takes.
inline constexpr std::size_t kMaxSerialBytes = 256;

using ScriptCommand
    = std::variant<CardsCommand, OutCommand, InCommand, ClockCommand, DaCommand, DaCheckCommand,
                   MetersCommand, BatchCommand, SelfTestCommand, ResultsCommand>;

// The command named by words[0] with its arguments. Throws CommandError.
ScriptCommand parseCommand(std::span<const std::string> words);

// A line of a batch split at blanks into words; none for an empty line.
std::vector<std::string> wordsOf(std::string_view line);

// The commands, in the variant's order: the one list that the parser, the refusal of an unknown
// word, --help and the manual page are made from.
struct CommandEntry
{
    std::string_view name;
    std::string_view arguments; // as --help and the manual page show them
    const char *summary;        // what it does, marked for translation
    bool batchLine;             // may be a line of a batch
};

inline constexpr std::array<CommandEntry, 10> kCommands {{
    {CardsCommand::kName, "",
     QM5083_MESSAGE("Card", "list the cards: number, PCI address, ids, BAR, base"), true},
    {OutCommand::kName, "B1 B2 B3 B4",
     QM5083_MESSAGE("Card", "write output groups 1 to 4 (hex 00 to FF)"), true},
    {InCommand::kName, "[--expect B1 B2 B3 B4]",
     QM5083_MESSAGE("Card", "read input groups 1 to 4; with --expect, name every bit that differs"),
     true},
    {ClockCommand::kName, "K N",
     QM5083_MESSAGE("Card",
                    "start the clocks: base 2 MHz / K, outputs base / N (2 to 65536; the window's "
                    "boxes write 65536 as 0)"),
     true},
    {DaCommand::kName, "C0 C1 C2 C3",
     QM5083_MESSAGE("Card", "set the DA codes of DA0 to DA3 (hex 0 to FFF)"), true},
    {DaCheckCommand::kName, "--channel C --range LOW:HIGH [OPTION]...",
     QM5083_MESSAGE("Card",
                    "check one DA channel against a meter (its options: qm5083-bench da-check "
                    "--help)"),
     false},
    {MetersCommand::kName, "",
     QM5083_MESSAGE("Card",
                    "list the meters the DA check can read: sim, command:CMD and each "
                    "libsigrok multimeter driver"),
     false},
    {BatchCommand::kName, "",
     QM5083_MESSAGE("Card", "read commands from standard input, one a line"), false},
    {SelfTestCommand::kName, "", QM5083_MESSAGE("Card", "the same as --self-test"), false},
    {ResultsCommand::kName,
     "status | sync | history SERIAL | yield [--since D] [--until D] [--by "
     "day|station|operator|check] [--plot FILE] | pareto [--since D] [--until D] [--plot FILE] "
     "| export --csv|--json [--since D] [--until D]",
     QM5083_MESSAGE("Card",
                    "ask the results database: what is queued for the line's database, send it, "
                    "a card's history, the first-pass and final yield, the problems' Pareto, "
                    "every result"),
     false},
}};

namespace detail {
template<std::size_t... I>
constexpr bool namesFollowTheVariant(std::index_sequence<I...>)
{
    return ((kCommands[I].name == std::variant_alternative_t<I, ScriptCommand>::kName) && ...);
}
} // namespace detail
static_assert(kCommands.size() == std::variant_size_v<ScriptCommand>, "every command is listed");
static_assert(detail::namesFollowTheVariant(std::make_index_sequence<kCommands.size()>()),
              "the list follows the variant's order");

// What a command is called: "out".
std::string_view commandName(const ScriptCommand &command);

// The command named word, or nothing.
const CommandEntry *findCommand(std::string_view word);

} // namespace qm5083::scripting
