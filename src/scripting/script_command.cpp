#include "script_command.h"

#include "hex_text.h"
#include "meter_address.h"
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

OutCommand parseArguments(std::type_identity<OutCommand>, Arguments &arguments)
{
    OutCommand command {bytes(arguments)};
    arguments.finish();
    return command;
}

InCommand parseArguments(std::type_identity<InCommand>, Arguments &arguments)
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

ClockCommand parseArguments(std::type_identity<ClockCommand>, Arguments &arguments)
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

DaCommand parseArguments(std::type_identity<DaCommand>, Arguments &arguments)
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

// One da-check option: its name, the form of its value (none: a flag) and what it sets.
struct DaCheckOption
{
    std::string_view name;
    std::string_view form;
    void (*take)(Arguments &arguments, std::string_view option, std::string_view word,
                 DaCheckCommand &command);
};

// A limit in LSB: a positive number of volts' form.
// A libsigrok meter named as the helper that reads it will take it.
bool validMeterAddress(std::string_view address)
{
    try {
        sigrok::parseMeterAddress(address);
        return true;
    } catch (const sigrok::AddressRefused &) {
        return false;
    }
}

double limitLsb(Arguments &arguments, std::string_view option, std::string_view word)
{
    bool tooLarge = false;
    const auto value = strictVolts(word, &tooLarge);
    if (tooLarge)
        refuseTooLarge(arguments, option, word);
    if (!value || *value <= 0)
        arguments.refuse(option, word,
                         QM5083_MESSAGE("Card",
                                        "a limit in LSB, a positive number, or offset=L,gain=L,"
                                        "inl=L,dnl=L"));
    return *value;
}

// Text a report files as it was given, when it keeps the station texts' rule.
std::string stationText(Arguments &arguments, std::string_view option, std::string_view word)
{
    if (!keepsStationTextRule(word))
        throw CommandError(Message(QM5083_MESSAGE("Card", "%1: %2 \"%3\" is not %4"),
                                   {text(arguments.command()), text(option),
                                    text(convert::excerpt(word)), stationTextRule()}));
    return std::string(word);
}

void setReadings(Arguments &arguments, DaCheckCommand &command, DaCheckCommand::Readings readings,
                 std::string source)
{
    if (command.readings != DaCheckCommand::Readings::Terminal)
        throw CommandError(Message(QM5083_MESSAGE("Card",
                                                  "da-check: give --readings FILE or --meter "
                                                  "METER, once")));
    (void)arguments;
    command.readings = readings;
    command.source = std::move(source);
}

constexpr std::array<DaCheckOption, 20> kDaCheckOptions {{
    {"--channel", "0 to 3",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         const auto value = strictDecimal(word, 0, 3);
         if (!value)
             arguments.refuse(option, word, QM5083_MESSAGE("Card", "a DA channel: 0 to 3"));
         c.channel = static_cast<int>(*value);
     }},
    {"--range", "LOW:HIGH",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
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
                                             "a range LOW:HIGH in volts, two different numbers "
                                             "such as 0:10"));
         c.range = {*low, *high};
     }},
    {"--points", "2 to 4096",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         const auto value = strictDecimal(word, 2, 4096);
         if (!value)
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card", "a number of points: 2 to 4096"));
         c.points = static_cast<int>(*value);
     }},
    {"--codes", "LIST",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         for (std::size_t at = 0; at <= word.size();) {
             const std::size_t comma = std::min(word.find(',', at), word.size());
             const auto code = strictHex(word.substr(at, comma - at), 3, kTopCode);
             if (!code || c.codes.size() >= kDaCodeCount)
                 arguments.refuse(option, word,
                                  QM5083_MESSAGE("Card",
                                                 "a list of DA codes, hex 0 to FFF, separated "
                                                 "by commas, such as 100,7FE,801"));
             c.codes.push_back(static_cast<std::uint16_t>(*code));
             at = comma + 1;
         }
     }},
    {"--all", "",
     [](Arguments &, std::string_view, std::string_view, DaCheckCommand &c) {
         c.all = true;
     }},
    {"--plan", "",
     [](Arguments &, std::string_view, std::string_view, DaCheckCommand &c) {
         c.plan = true;
     }},
    {"--lsb", "fsr|fs",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         if (word != "fsr" && word != "fs")
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card",
                                             "fsr (one LSB is the full-scale range / 4096) or fs "
                                             "(code FFF's output less code 0's, / 4095)"));
         c.lsb = word == "fs" ? LsbConvention::FullScaleSpan : LsbConvention::FullScaleRange;
     }},
    {"--fit", "end-point|best",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         if (word != "end-point" && word != "best")
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card",
                                             "end-point (the line through the readings at 0 "
                                             "and FFF) or best (the least-squares line)"));
         c.line = word == "best" ? ReferenceLine::BestFit : ReferenceLine::EndPoint;
     }},
    {"--limit", "L|offset=L,gain=L,inl=L,dnl=L",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         if (word.find('=') == std::string_view::npos) {
             const double all = limitLsb(arguments, option, word);
             c.limits = {all, all, all, all};
             return;
         }
         for (std::size_t at = 0; at <= word.size();) {
             const std::size_t comma = std::min(word.find(',', at), word.size());
             const std::string_view item = word.substr(at, comma - at);
             const std::size_t equals = item.find('=');
             const std::string_view name = item.substr(0, equals);
             std::optional<double> *limit = name == "offset" ? &c.limits.offset
                 : name == "gain"                            ? &c.limits.gain
                 : name == "inl"                             ? &c.limits.inl
                 : name == "dnl"                             ? &c.limits.dnl
                                                             : nullptr;
             if (!limit || equals == std::string_view::npos || *limit)
                 arguments.refuse(option, word,
                                  QM5083_MESSAGE("Card",
                                                 "one limit in LSB for all, or offset=L,gain=L,"
                                                 "inl=L,dnl=L, each figure once"));
             *limit = limitLsb(arguments, option, item.substr(equals + 1));
             at = comma + 1;
         }
     }},
    {"--average", "1 to 100",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         const auto value = strictDecimal(word, 1, 100);
         if (!value)
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card", "a number of readings per code: 1 to 100"));
         c.average = static_cast<int>(*value);
     }},
    {"--settle", "0 to 60000",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         const auto value = strictDecimal(word, 0, 60000);
         if (!value)
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card", "milliseconds to wait: 0 to 60000"));
         c.settleMs = static_cast<int>(*value);
     }},
    {"--meter-timeout", "1 to 600",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         const auto value = strictDecimal(word, 1, 600);
         if (!value)
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card", "seconds one reading may take: 1 to 600"));
         c.meterTimeoutS = static_cast<int>(*value);
     }},
    {"--readings", "FILE",
     [](Arguments &arguments, std::string_view, std::string_view word, DaCheckCommand &c) {
         setReadings(arguments, c, DaCheckCommand::Readings::File, std::string(word));
     }},
    {"--meter", "sim|command:CMD|sigrok:DRIVER[:KEY=VALUE]...",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         if (word == "sim")
             return setReadings(arguments, c, DaCheckCommand::Readings::SimulatedMeter, {});
         if (word.starts_with("command:") && word.size() > 8)
             return setReadings(arguments, c, DaCheckCommand::Readings::Command,
                                std::string(word.substr(8)));
         if (word.starts_with("sigrok:") && validMeterAddress(word.substr(7)))
             return setReadings(arguments, c, DaCheckCommand::Readings::Sigrok,
                                std::string(word.substr(7)));
         arguments.refuse(option, word,
                          QM5083_MESSAGE("Card",
                                         "a meter: sim (the simulated card), command:CMD (a "
                                         "program that prints a reading) or "
                                         "sigrok:DRIVER[:KEY=VALUE]... (qm5083-bench meters "
                                         "lists the drivers)"));
     }},
    {"--report", "FILE",
     [](Arguments &, std::string_view, std::string_view word, DaCheckCommand &c) {
         c.reportFile = word;
     }},
    {"--plot", "FILE.svg|FILE.png",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         if (!word.ends_with(".svg") && !word.ends_with(".png"))
             arguments.refuse(option, word,
                              QM5083_MESSAGE("Card", "a file whose name ends in .svg or .png"));
         c.plotFile = word;
     }},
    {"--serial", "TEXT",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         c.serial = stationText(arguments, option, word);
     }},
    {"--operator", "TEXT",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         c.operatorName = stationText(arguments, option, word);
     }},
    {"--station", "TEXT",
     [](Arguments &arguments, std::string_view option, std::string_view word, DaCheckCommand &c) {
         c.station = stationText(arguments, option, word);
     }},
    {"--help", "",
     [](Arguments &, std::string_view, std::string_view, DaCheckCommand &) {
         throw DaCheckHelp {};
     }},
}};

DaCheckCommand parseArguments(std::type_identity<DaCheckCommand>, Arguments &arguments)
{
    DaCheckCommand command;
    std::vector<std::string_view> given;
    while (!arguments.empty()) {
        const std::string_view option = arguments.take("an option", "");
        const auto known = std::find_if(kDaCheckOptions.begin(), kDaCheckOptions.end(),
                                        [&](const DaCheckOption &o) { return o.name == option; });
        if (known == kDaCheckOptions.end())
            arguments.refuse("", option,
                             QM5083_MESSAGE("Card",
                                            "a da-check option (qm5083-bench da-check --help "
                                            "lists them)"));
        if (std::find(given.begin(), given.end(), option) != given.end())
            throw CommandError(
                Message(QM5083_MESSAGE("Card", "da-check: %1 is given twice"), {text(option)}));
        given.push_back(option);
        const std::string_view word
            = known->form.empty() ? std::string_view() : arguments.take(option, known->form);
        known->take(arguments, option, word, command);
    }
    const auto has = [&](std::string_view option) {
        return std::find(given.begin(), given.end(), option) != given.end();
    };
    if (!has("--channel") || !has("--range"))
        throw CommandError(Message(QM5083_MESSAGE("Card",
                                                  "da-check needs --channel C and --range "
                                                  "LOW:HIGH")));
    if (has("--points") + has("--codes") + has("--all") > 1)
        throw CommandError(Message(QM5083_MESSAGE("Card",
                                                  "da-check: give --points N, --codes LIST or "
                                                  "--all, one of them")));
    if (!has("--codes") && !has("--all") && !command.points)
        command.points = 11;
    return command;
}

} // namespace

DaCheckCommand selfTestDaCheck(std::string_view meter, std::string_view range)
{
    std::vector<std::string> words {"da-check", "--channel",        "0",
                                    "--range",  std::string(range), "--points",
                                    "2",        "--limit",          std::string(kSelfTestDaLimits)};
    if (meter.starts_with("file:"))
        words.insert(words.end(), {"--readings", std::string(meter.substr(5))});
    else if (meter != "typed")
        words.insert(words.end(), {"--meter", std::string(meter)});
    return std::get<DaCheckCommand>(parseCommand(words));
}

namespace {

CardsCommand parseArguments(std::type_identity<CardsCommand>, Arguments &arguments)
{
    arguments.finish();
    return {};
}

BatchCommand parseArguments(std::type_identity<BatchCommand>, Arguments &arguments)
{
    arguments.finish();
    return {};
}

SelfTestCommand parseArguments(std::type_identity<SelfTestCommand>, Arguments &)
{
    return {};
}

MetersCommand parseArguments(std::type_identity<MetersCommand>, Arguments &arguments)
{
    arguments.finish();
    return {};
}

// A date, or a date and a time with an optional zone: YYYY-MM-DD[THH:MM[:SS][Z|+HH:MM|-HH:MM]],
// each field in its range.
bool isDateOrTime(std::string_view word)
{
    const auto number = [&](std::size_t at, std::size_t digits, unsigned lowest,
                            unsigned highest) -> std::optional<unsigned> {
        if (at + digits > word.size())
            return std::nullopt;
        return strictDecimal(word.substr(at, digits), lowest, highest);
    };
    const auto year = number(0, 4, 1970, 9999);
    const auto month = number(5, 2, 1, 12);
    const auto day = number(8, 2, 1, 31);
    if (!year || !month || !day || word[4] != '-' || word[7] != '-')
        return false;
    constexpr std::array<unsigned, 12> kDays {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    if (*day > kDays[*month - 1] || (*month == 2 && *day == 29 && !leap))
        return false;
    if (word.size() == 10)
        return true;
    if (word[10] != 'T' || !number(11, 2, 0, 23) || word.size() < 16 || word[13] != ':'
        || !number(14, 2, 0, 59))
        return false;
    std::string_view rest = word.substr(16);
    if (rest.starts_with(':')) {
        if (rest.size() < 3 || !strictDecimal(rest.substr(1, 2), 0, 59))
            return false;
        rest.remove_prefix(3);
    }
    if (rest.empty() || rest == "Z")
        return true;
    return rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':'
        && strictDecimal(rest.substr(1, 2), 0, 14) && strictDecimal(rest.substr(4, 2), 0, 59);
}

ResultsCommand parseArguments(std::type_identity<ResultsCommand>, Arguments &arguments)
{
    using Query = ResultsCommand::Query;
    using By = ResultsCommand::By;
    constexpr std::string_view kQueries = "status, sync, history, yield, pareto or export";
    ResultsCommand command;
    const std::string_view query = arguments.take("the question", kQueries);
    constexpr std::array<std::pair<std::string_view, Query>, 6> kNamed {
        {{"status", Query::Status},
         {"sync", Query::Sync},
         {"history", Query::History},
         {"yield", Query::Yield},
         {"pareto", Query::Pareto},
         {"export", Query::Export}}};
    const auto named = std::find_if(kNamed.begin(), kNamed.end(),
                                    [&](const auto &entry) { return entry.first == query; });
    if (named == kNamed.end())
        arguments.refuse("", query,
                         QM5083_MESSAGE("Card",
                                        "a question: status, sync, history, yield, "
                                        "pareto or export"));
    command.query = named->second;
    if (command.query == Query::History) {
        const std::string_view serial = arguments.take("SERIAL", "history SERIAL");
        if (serial.empty() || serial.size() > kMaxSerialBytes || convert::firstControl(serial))
            arguments.refuse("SERIAL", serial,
                             QM5083_MESSAGE("Card",
                                            "a serial number: 1 to 256 bytes, no "
                                            "control character"));
        command.serial = serial;
    }
    const bool periods = command.query == Query::Yield || command.query == Query::Pareto
        || command.query == Query::Export;
    bool formatGiven = false;
    const auto twice = [&](std::string_view option) {
        throw CommandError(Message(QM5083_MESSAGE("Card", "%1: %2 is given twice; give it once"),
                                   {text(arguments.command()), text(option)}));
    };
    while (!arguments.empty()) {
        const std::string_view option = arguments.take("", "");
        if (periods && (option == "--since" || option == "--until")) {
            std::string &into = option == "--since" ? command.since : command.until;
            const std::string_view word = arguments.take(option, "YYYY-MM-DD");
            if (!into.empty())
                twice(option);
            if (!isDateOrTime(word))
                arguments.refuse(option, word,
                                 QM5083_MESSAGE("Card",
                                                "a day, YYYY-MM-DD, or a time, "
                                                "YYYY-MM-DDTHH:MM[:SS] with an optional "
                                                "zone (Z, +08:00)"));
            into = word;
        } else if (command.query == Query::Yield && option == "--by") {
            const std::string_view word = arguments.take(option, "day|station|operator|check");
            constexpr std::array<std::pair<std::string_view, By>, 4> kBy {
                {{"day", By::Day},
                 {"station", By::Station},
                 {"operator", By::Operator},
                 {"check", By::Check}}};
            const auto by = std::find_if(kBy.begin(), kBy.end(),
                                         [&](const auto &entry) { return entry.first == word; });
            if (command.by != By::None)
                twice(option);
            if (by == kBy.end())
                arguments.refuse(option, word,
                                 QM5083_MESSAGE("Card", "day, station, operator or check"));
            command.by = by->second;
        } else if ((command.query == Query::Yield || command.query == Query::Pareto)
                   && option == "--plot") {
            const std::string_view word = arguments.take(option, "FILE.svg|FILE.png");
            if (!command.plotFile.empty())
                twice(option);
            if (!(word.ends_with(".svg") || word.ends_with(".png")) || word.size() > 4096
                || convert::firstControl(word))
                arguments.refuse(option, word, QM5083_MESSAGE("Card", "a file named .svg or .png"));
            command.plotFile = word;
        } else if (command.query == Query::Export && (option == "--csv" || option == "--json")) {
            if (formatGiven)
                throw CommandError(Message(QM5083_MESSAGE("Card",
                                                          "results export: give --csv or "
                                                          "--json, one of them")));
            formatGiven = true;
            command.csv = option == "--csv";
        } else {
            arguments.refuse("", option,
                             QM5083_MESSAGE("Card",
                                            "an option of this question (qm5083-bench "
                                            "--help lists them)"));
        }
    }
    if (command.query == Query::Export && !formatGiven)
        throw CommandError(Message(QM5083_MESSAGE("Card", "results export needs --csv or --json")));
    return command;
}

// Each command's parser, in the order of kCommands, made from the variant itself: a command
// without its parseArguments does not compile.
using Parser = ScriptCommand (*)(Arguments &);
template<std::size_t... I>
constexpr std::array<Parser, sizeof...(I)> parsersOf(std::index_sequence<I...>)
{
    return {[](Arguments &arguments) -> ScriptCommand {
        return parseArguments(std::type_identity<std::variant_alternative_t<I, ScriptCommand>> {},
                              arguments);
    }...};
}
constexpr auto kParsers = parsersOf(std::make_index_sequence<kCommands.size()>());

// "cards, out, in, clock, da, da-check, batch, self-test": names alone, the same in every language.
std::string commandList()
{
    std::string list;
    for (const CommandEntry &entry : kCommands)
        list.append(list.empty() ? "" : ", ").append(entry.name);
    return list;
}

} // namespace

bool keepsStationTextRule(std::string_view text)
{
    if (text.size() > kMaxStationTextBytes)
        return false;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x20 || lead == 0x7F)
            return false;
        // UTF-8: a lead byte, then as many continuation bytes as it says, at their shortest.
        const std::size_t length = lead < 0x80 ? 1
            : lead >= 0xC2 && lead < 0xE0      ? 2
            : lead >= 0xE0 && lead < 0xF0      ? 3
            : lead >= 0xF0 && lead < 0xF5      ? 4
                                               : 0;
        if (length == 0 || at + length > text.size())
            return false;
        char32_t code = length == 1 ? lead : lead & (0x7FU >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3FU);
        }
        constexpr std::array<char32_t, 5> kShortest {0, 0, 0x80, 0x800, 0x10000};
        if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)
            || (code >= 0x80 && code < 0xA0)) // the C1 controls
            return false;
        at += length;
    }
    return true;
}

hardware::Message stationTextRule()
{
    return Message(QM5083_MESSAGE("Card",
                                  "a text of at most 200 bytes of UTF-8 on one line, with no "
                                  "control character"));
}

std::string daCheckOptionsHelp()
{
    std::string help;
    for (const DaCheckOption &option : kDaCheckOptions)
        help.append("  ")
            .append(option.name)
            .append(option.form.empty() ? "" : " ")
            .append(option.form)
            .append("\n");
    return help;
}

ScriptCommand parseCommand(std::span<const std::string> words)
{
    if (words.empty())
        throw CommandError(Message(QM5083_MESSAGE("Card", "no command given")));
    const std::string_view name = words[0];
    const CommandEntry *entry = findCommand(name);
    if (!entry)
        throw CommandError(
            Message(QM5083_MESSAGE("Card", "\"%1\" is not a command; the commands are %2"),
                    {text(convert::excerpt(name)), text(commandList())}));
    Arguments arguments(name, words.subspan(1));
    return kParsers[static_cast<std::size_t>(entry - kCommands.data())](arguments);
}

const CommandEntry *findCommand(std::string_view word)
{
    for (const CommandEntry &entry : kCommands)
        if (entry.name == word)
            return &entry;
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
