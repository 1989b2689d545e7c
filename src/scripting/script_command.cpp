#include "script_command.h"

#include "hex_text.h"
#include "text_lines.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace qm5083::scripting {

namespace {

using hardware::Message;

Message text(std::string_view value)
{
    return Message::value(std::string(value));
}

// The arguments after the command word, taken one by one; each is named in a refusal.
class Arguments
{
public:
    Arguments(std::string_view command, std::span<const std::string> words)
        : command_(command)
        , words_(words)
    { }

    bool empty() const { return next_ >= words_.size(); }
    std::string_view peek() const { return words_[next_]; }
    std::string_view take(std::string_view name, std::string_view form)
    {
        if (empty())
            throw CommandError(Message(QM5083_MESSAGE("Card", "%1: %2 is missing; give %3"),
                                       {text(command_), text(name), text(form)}));
        return words_[next_++];
    }
    void finish() const
    {
        if (!empty())
            throw CommandError(
                Message(QM5083_MESSAGE("Card", "%1: \"%2\" is one argument too many"),
                        {text(command_), text(convert::excerpt(words_[next_]))}));
    }
    // form is what the argument must be, a text marked for translation.
    [[noreturn]] void refuse(std::string_view name, std::string_view given, const char *form) const
    {
        if (name.empty())
            throw CommandError(
                Message(QM5083_MESSAGE("Card", "%1: \"%2\" is not %3"),
                        {text(command_), text(convert::excerpt(given)), Message(form)}));
        throw CommandError(
            Message(QM5083_MESSAGE("Card", "%1: %2 \"%3\" is not %4"),
                    {text(command_), text(name), text(convert::excerpt(given)), Message(form)}));
    }
    std::string_view command() const { return command_; }

private:
    std::string_view command_;
    std::span<const std::string> words_;
    std::size_t next_ = 0;
};

// One to maxDigits hexadecimal digits and nothing else, at most highest.
std::optional<unsigned> strictHex(std::string_view word, std::size_t maxDigits, unsigned highest)
{
    if (word.empty() || word.size() > maxDigits)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : word) {
        const int digit = convert::hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value <= highest ? std::optional(value) : std::nullopt;
}

// Decimal digits and nothing else (from_chars takes no sign or blank for an unsigned), from
// lowest to highest.
std::optional<unsigned> strictDecimal(std::string_view word, unsigned lowest, unsigned highest)
{
    unsigned value = 0;
    if (word.empty() || word.size() > 9)
        return std::nullopt;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value >= lowest && value <= highest ? std::optional(value) : std::nullopt;
}

// A number of volts: an optional minus, digits, and an optional fraction. tooLarge is set for one
// written so but too large for a double, or longer than any number of volts is written.
std::optional<double> strictVolts(std::string_view word, bool *tooLarge = nullptr)
{
    const std::size_t digits = word.starts_with('-') ? 1 : 0;
    const std::size_t point = word.find('.');
    const auto isDigits = [](std::string_view part) {
        return !part.empty()
            && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!isDigits(word.substr(digits, point == std::string_view::npos ? point : point - digits))
        || (point != std::string_view::npos && !isDigits(word.substr(point + 1))))
        return std::nullopt;
    double value = 0;
    if (word.size() > 32
        || std::from_chars(word.data(), word.data() + word.size(), value).ec != std::errc()
        || !std::isfinite(value)) {
        if (tooLarge)
            *tooLarge = true;
        return std::nullopt;
    }
    return value;
}

[[noreturn]] void refuseTooLarge(const Arguments &arguments, std::string_view option,
                                 std::string_view word)
{
    throw CommandError(
        Message(QM5083_MESSAGE("Card",
                               "%1: %2 \"%3\" is too large: at most 32 characters "
                               "and a number of volts a meter shows"),
                {text(arguments.command()), text(option), text(convert::excerpt(word))}));
}

Bytes bytes(Arguments &arguments)
{
    Bytes read {};
    constexpr std::array<std::string_view, 4> kNames {"B1", "B2", "B3", "B4"};
    for (std::size_t group = 0; group < read.size(); ++group) {
        const std::string_view name = kNames[group];
        const std::string_view word = arguments.take(name, "B1 B2 B3 B4");
        const auto byte = strictHex(word, 2, 0xFF);
        if (!byte)
            arguments.refuse(name, word, QM5083_MESSAGE("Card", "a byte: 00 to FF in hexadecimal"));
        read[group] = static_cast<std::uint8_t>(*byte);
    }
    return read;
}

OutCommand out(Arguments &arguments)
{
    OutCommand command {bytes(arguments)};
    arguments.finish();
    return command;
}

InCommand in(Arguments &arguments)
{
    InCommand command;
    if (!arguments.empty()) {
        const std::string_view option = arguments.take("--expect", "--expect B1 B2 B3 B4");
        if (option != "--expect")
            arguments.refuse("", option, QM5083_MESSAGE("Card", "--expect B1 B2 B3 B4"));
        command.expect = bytes(arguments);
    }
    arguments.finish();
    return command;
}

ClockCommand clock(Arguments &arguments)
{
    ClockCommand command {};
    for (const auto &[name, count] : {std::pair {"K", &command.k}, std::pair {"N", &command.n}}) {
        const std::string_view word = arguments.take(name, "K N");
        const auto value = strictDecimal(word, 2, 65536);
        if (!value)
            arguments.refuse(name, word,
                             QM5083_MESSAGE("Card", "a divider: 2 to 65536 in decimal"));
        *count = *value;
    }
    arguments.finish();
    return command;
}

DaCommand da(Arguments &arguments)
{
    DaCommand command {};
    constexpr std::array<std::string_view, 4> kNames {"C0", "C1", "C2", "C3"};
    for (std::size_t channel = 0; channel < command.codes.size(); ++channel) {
        const std::string_view name = kNames[channel];
        const std::string_view word = arguments.take(name, "C0 C1 C2 C3");
        const auto code = strictHex(word, 3, 0xFFF);
        if (!code)
            arguments.refuse(name, word,
                             QM5083_MESSAGE("Card", "a DA code: 0 to FFF in hexadecimal"));
        command.codes[channel] = static_cast<std::uint16_t>(*code);
    }
    arguments.finish();
    return command;
}

DaCheckCommand daCheck(Arguments &arguments)
{
    DaCheckCommand command;
    bool channel = false;
    bool range = false;
    bool readings = false;
    while (!arguments.empty()) {
        const std::string_view option = arguments.take("an option", "");
        const auto valueOf = [&](std::string_view form) {
            return arguments.take(option, form);
        };
        if (option == "--channel") {
            const std::string_view word = valueOf("0 to 3");
            const auto value = strictDecimal(word, 0, 3);
            if (!value)
                arguments.refuse(option, word, QM5083_MESSAGE("Card", "a DA channel: 0 to 3"));
            command.channel = static_cast<int>(*value);
            channel = true;
        } else if (option == "--range") {
            const std::string_view word = valueOf("LOW:HIGH");
            const std::size_t colon = word.find(':');
            bool tooLarge = false;
            const auto low = strictVolts(word.substr(0, colon), &tooLarge);
            std::optional<double> high;
            if (colon != std::string_view::npos)
                high = strictVolts(word.substr(colon + 1), &tooLarge);
            if (tooLarge)
                refuseTooLarge(arguments, option, word);
            if (!low || !high || *low == *high)
                arguments.refuse(option, word,
                                 QM5083_MESSAGE("Card",
                                                "a range LOW:HIGH in volts, two different "
                                                "numbers such as 0:10"));
            command.low = *low;
            command.high = *high;
            range = true;
        } else if (option == "--points") {
            const std::string_view word = valueOf("2 to 4096");
            const auto value = strictDecimal(word, 2, 4096);
            if (!value)
                arguments.refuse(option, word,
                                 QM5083_MESSAGE("Card", "a number of points: 2 to 4096"));
            command.points = static_cast<int>(*value);
        } else if (option == "--limit-lsb") {
            const std::string_view word = valueOf("L");
            bool tooLarge = false;
            const auto value = strictVolts(word, &tooLarge);
            if (tooLarge)
                refuseTooLarge(arguments, option, word);
            if (!value || *value <= 0)
                arguments.refuse(option, word,
                                 QM5083_MESSAGE("Card", "a limit in LSB, a positive number"));
            command.limitLsb = *value;
        } else if (option == "--readings" || option == "--meter") {
            const std::string_view word = valueOf(option == "--meter" ? "sim" : "FILE");
            if (readings)
                throw CommandError(Message(QM5083_MESSAGE("Card",
                                                          "da-check: give --readings FILE "
                                                          "or --meter sim, once")));
            if (option == "--meter" && word != "sim")
                arguments.refuse(option, word,
                                 QM5083_MESSAGE("Card", "sim, the simulated card's meter"));
            command.readings = option == "--meter" ? DaCheckCommand::Readings::SimulatedMeter
                                                   : DaCheckCommand::Readings::File;
            command.readingsFile = option == "--readings" ? std::string(word) : std::string();
            readings = true;
        } else if (option == "--report") {
            command.reportFile = valueOf("FILE");
        } else {
            arguments.refuse("", option,
                             QM5083_MESSAGE("Card",
                                            "one of --channel, --range, --points, "
                                            "--limit-lsb, --readings, --meter, --report"));
        }
    }
    if (!channel || !range)
        throw CommandError(Message(QM5083_MESSAGE("Card",
                                                  "da-check needs --channel C and --range "
                                                  "LOW:HIGH")));
    return command;
}

CardsCommand cards(Arguments &arguments)
{
    arguments.finish();
    return {};
}

BatchCommand batch(Arguments &arguments)
{
    arguments.finish();
    return {};
}

SelfTestCommand selfTest(Arguments &)
{
    return {};
}

// Each command's parser, in the order of kCommands.
using Parser = ScriptCommand (*)(Arguments &);
template<class Command, Command (*parse)(Arguments &)>
ScriptCommand as(Arguments &arguments)
{
    return parse(arguments);
}
constexpr std::array<Parser, kCommands.size()> kParsers {
    as<CardsCommand, cards>, as<OutCommand, out>,
    as<InCommand, in>,       as<ClockCommand, clock>,
    as<DaCommand, da>,       as<DaCheckCommand, daCheck>,
    as<BatchCommand, batch>, as<SelfTestCommand, selfTest>,
};

// "cards, out, in, clock, da, da-check, batch, self-test": names alone, the same in every language.
std::string commandList()
{
    std::string list;
    for (const CommandSpec &spec : kCommands)
        list.append(list.empty() ? "" : ", ").append(spec.name);
    return list;
}

} // namespace

ScriptCommand parseCommand(std::span<const std::string> words)
{
    if (words.empty())
        throw CommandError(Message(QM5083_MESSAGE("Card", "no command given")));
    const std::string_view name = words[0];
    const CommandSpec *spec = findCommand(name);
    if (!spec)
        throw CommandError(
            Message(QM5083_MESSAGE("Card", "\"%1\" is not a command; the commands are %2"),
                    {text(convert::excerpt(name)), text(commandList())}));
    Arguments arguments(name, words.subspan(1));
    return kParsers[static_cast<std::size_t>(spec - kCommands.data())](arguments);
}

const CommandSpec *findCommand(std::string_view word)
{
    for (const CommandSpec &spec : kCommands)
        if (spec.name == word)
            return &spec;
    return nullptr;
}

std::vector<std::string> wordsOf(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        words.emplace_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

std::string_view commandName(const ScriptCommand &command)
{
    return kCommands[command.index()].name;
}

} // namespace qm5083::scripting
