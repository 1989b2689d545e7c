#include "simulated_faults.h"

#include "text_lines.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <type_traits>
#include <utility>

namespace qm5083::hardware {

namespace {

// The values a text gave a form's fields, by field name.
class FieldValues
{
public:
    void set(std::string_view name, double value) { values_.emplace_back(name, value); }
    double operator()(std::string_view name) const
    {
        for (const auto &[field, value] : values_)
            if (field == name)
                return value;
        return 0;
    }
    int whole(std::string_view name) const { return static_cast<int>((*this)(name)); }

private:
    std::vector<std::pair<std::string_view, double>> values_;
};

bool isFieldLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

std::string_view fieldNameAt(std::string_view form, std::size_t at)
{
    std::size_t end = at;
    while (end < form.size() && isFieldLetter(form[end]))
        ++end;
    return form.substr(at, end - at);
}

const FaultField *fieldNamed(const FaultForm &form, std::string_view name)
{
    for (const FaultField &field : form.fields)
        if (field.name == name)
            return &field;
    return nullptr;
}

// Reads one field's value at the start of text; how many characters it took, or nothing.
std::optional<std::size_t> readField(const FaultField &field, std::string_view text, double &value)
{
    switch (field.kind) {
    case FaultField::Kind::Digit:
    case FaultField::Kind::Letter: {
        const char first = field.kind == FaultField::Kind::Digit ? '0' : 'A';
        if (text.empty() || text[0] < first + field.lowest || text[0] > first + field.highest)
            return std::nullopt;
        value = text[0] - first;
        return 1;
    }
    case FaultField::Kind::Integer:
    case FaultField::Kind::Decimal: {
        std::size_t end = text.starts_with('-') ? 1 : 0;
        const std::size_t digits = end;
        bool point = false;
        while (end < text.size()
               && (std::isdigit(static_cast<unsigned char>(text[end]))
                   || (text[end] == '.' && field.kind == FaultField::Kind::Decimal && !point))) {
            point = point || text[end] == '.';
            ++end;
        }
        if (end == digits || text[end - 1] == '.' || text[digits] == '.')
            return std::nullopt;
        const auto parsed = std::from_chars(text.data(), text.data() + end, value);
        if (parsed.ec != std::errc() || value < field.lowest || value > field.highest)
            return std::nullopt;
        return end;
    }
    }
    return std::nullopt;
}

std::optional<FieldValues> match(std::string_view text, const FaultForm &form)
{
    FieldValues values;
    std::size_t at = 0;
    for (std::size_t i = 0; i < form.form.size();) {
        const std::string_view name = fieldNameAt(form.form, i);
        if (name.empty()) {
            if (at >= text.size() || text[at] != form.form[i])
                return std::nullopt;
            ++at;
            ++i;
            continue;
        }
        double value = 0;
        const auto taken = readField(*fieldNamed(form, name), text.substr(at), value);
        if (!taken)
            return std::nullopt;
        values.set(name, value);
        at += *taken;
        i += name.size();
    }
    if (at != text.size())
        return std::nullopt;
    return values;
}

InvalidFault invalid(const char *english, std::vector<Message> args)
{
    return InvalidFault(Message(english, std::move(args)));
}

// Each kind from its fields, and back; a kind without both does not compile.
FaultKind make(std::type_identity<StuckBit>, const FieldValues &v, std::string_view)
{
    return StuckBit {v.whole("G"), v.whole("B"), v.whole("V") == 1};
}
FaultKind make(std::type_identity<ShortedBits>, const FieldValues &v, std::string_view text)
{
    if (v.whole("G") == v.whole("H") && v.whole("B") == v.whole("C"))
        throw invalid(QM5083_MESSAGE("Card",
                                     "--sim-fault \"%1\" bridges input bit %2.%3 to "
                                     "itself; name two different bits"),
                      {Message::value(convert::excerpt(text)),
                       Message::value(std::to_string(v.whole("G"))),
                       Message::value(std::to_string(v.whole("B")))});
    return ShortedBits {v.whole("G"), v.whole("B"), v.whole("H"), v.whole("C")};
}
FaultKind make(std::type_identity<DeadChip>, const FieldValues &v, std::string_view)
{
    return DeadChip {v.whole("X")};
}
FaultKind make(std::type_identity<StoppedCounter>, const FieldValues &v, std::string_view)
{
    return StoppedCounter {v.whole("X"), v.whole("N")};
}
FaultKind make(std::type_identity<StuckDataLine>, const FieldValues &v, std::string_view)
{
    return StuckDataLine {v.whole("X"), v.whole("B"), v.whole("V") == 1};
}
FaultKind make(std::type_identity<DaOffset>, const FieldValues &v, std::string_view)
{
    return DaOffset {v.whole("C"), v.whole("MV")};
}
FaultKind make(std::type_identity<DaGain>, const FieldValues &v, std::string_view)
{
    return DaGain {v.whole("C"), v("PCT")};
}

FieldValues fieldsOf(const FaultKind &fault)
{
    FieldValues v;
    std::visit(EachKind {
                   [&](const StuckBit &f) {
                       v.set("G", f.group);
                       v.set("B", f.bit);
                       v.set("V", f.value ? 1 : 0);
                   },
                   [&](const ShortedBits &f) {
                       v.set("G", f.group);
                       v.set("B", f.bit);
                       v.set("H", f.otherGroup);
                       v.set("C", f.otherBit);
                   },
                   [&](const DeadChip &f) { v.set("X", f.chip); },
                   [&](const StoppedCounter &f) {
                       v.set("X", f.chip);
                       v.set("N", f.counter);
                   },
                   [&](const StuckDataLine &f) {
                       v.set("X", f.chip);
                       v.set("B", f.bit);
                       v.set("V", f.value ? 1 : 0);
                   },
                   [&](const DaOffset &f) {
                       v.set("C", f.channel);
                       v.set("MV", f.millivolts);
                   },
                   [&](const DaGain &f) {
                       v.set("C", f.channel);
                       v.set("PCT", f.percent);
                   },
               },
               fault);
    return v;
}

template<std::size_t... Kind>
std::optional<FaultKind> parseAnyKind(std::string_view text, std::string_view given,
                                      std::index_sequence<Kind...>)
{
    std::optional<FaultKind> fault;
    const auto tryKind = [&](auto kind) {
        using Fault = std::variant_alternative_t<decltype(kind)::value, FaultKind>;
        if (fault)
            return;
        if (const auto values = match(text, kFaultForms[decltype(kind)::value]))
            fault = make(std::type_identity<Fault> {}, *values, given);
    };
    (tryKind(std::integral_constant<std::size_t, Kind> {}), ...);
    return fault;
}

std::string formatField(const FaultField &field, double value)
{
    switch (field.kind) {
    case FaultField::Kind::Digit:
        return std::string(1, static_cast<char>('0' + static_cast<int>(value)));
    case FaultField::Kind::Letter:
        return std::string(1, static_cast<char>('A' + static_cast<int>(value)));
    case FaultField::Kind::Integer:
        return std::to_string(static_cast<int>(value));
    case FaultField::Kind::Decimal:
        break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Where a fault acts and with which value, for telling two faults on one place apart.
struct FaultPlace
{
    std::size_t kind;
    int where;
    double value;
};

std::optional<FaultPlace> placeOf(const FaultKind &fault)
{
    return std::visit(
        EachKind {
            [&](const StuckBit &f) -> std::optional<FaultPlace> {
                return FaultPlace {fault.index(), f.group * 8 + f.bit, f.value ? 1.0 : 0.0};
            },
            [](const ShortedBits &) -> std::optional<FaultPlace> { return std::nullopt; },
            [](const DeadChip &) -> std::optional<FaultPlace> { return std::nullopt; },
            [](const StoppedCounter &) -> std::optional<FaultPlace> { return std::nullopt; },
            [&](const StuckDataLine &f) -> std::optional<FaultPlace> {
                return FaultPlace {fault.index(), f.chip * 8 + f.bit, f.value ? 1.0 : 0.0};
            },
            [&](const DaOffset &f) -> std::optional<FaultPlace> {
                return FaultPlace {fault.index(), f.channel, static_cast<double>(f.millivolts)};
            },
            [&](const DaGain &f) -> std::optional<FaultPlace> {
                return FaultPlace {fault.index(), f.channel, f.percent};
            },
        },
        fault);
}

} // namespace

Message faultGrammar()
{
    std::vector<Message> forms;
    forms.reserve(kFaultForms.size() + 1);
    for (const FaultForm &form : kFaultForms)
        forms.push_back(Message(QM5083_MESSAGE("Card", "%1 (%2)"),
                                {Message::value(std::string(form.form)), Message(form.meaning)}));
    forms.push_back(Message(QM5083_MESSAGE("Card",
                                           "%1FAULT (the fault on simulated card K, 1 to %2; "
                                           "card 1 without %1)"),
                            {Message::value(std::string(kFaultOnCard)),
                             Message::value(std::to_string(kMaxSimulatedCards))}));
    return Message::list(std::move(forms));
}

SimulatedFault parseSimulatedFault(std::string_view text)
{
    SimulatedFault fault;
    std::string_view kind = text;
    if (kind.size() > 2 && kind[1] == '/' && kind[0] >= '1' && kind[0] < '1' + kMaxSimulatedCards) {
        fault.card = kind[0] - '0';
        kind.remove_prefix(2);
    }
    if (const auto parsed
        = parseAnyKind(kind, text, std::make_index_sequence<std::variant_size_v<FaultKind>> {})) {
        fault.kind = *parsed;
        return fault;
    }
    throw invalid(
        QM5083_MESSAGE("Card", "--sim-fault \"%1\" is not a fault of the simulated card: %2"),
        {Message::value(convert::excerpt(text)), faultGrammar()});
}

void checkFaultsAgree(const std::vector<SimulatedFault> &faults, int cards)
{
    for (const SimulatedFault &fault : faults)
        if (fault.card > cards)
            throw invalid(
                QM5083_MESSAGE("Card",
                               "--sim-fault \"%1\" is on simulated card %2, which is "
                               "not simulated: give --simulate %2 or more"),
                {Message::value(describeFault(fault)), Message::value(std::to_string(fault.card))});
    for (std::size_t i = 0; i < faults.size(); ++i) {
        const auto place = placeOf(faults[i].kind);
        for (std::size_t j = 0; place && j < i; ++j) {
            const auto earlier = placeOf(faults[j].kind);
            if (faults[j].card == faults[i].card && earlier && earlier->kind == place->kind
                && earlier->where == place->where && earlier->value != place->value)
                throw invalid(QM5083_MESSAGE("Card",
                                             "--sim-fault \"%1\" contradicts \"%2\": "
                                             "give one value for one place"),
                              {Message::value(describeFault(faults[i])),
                               Message::value(describeFault(faults[j]))});
        }
    }
}

std::string describeFault(const SimulatedFault &fault)
{
    const FaultForm &form = kFaultForms[fault.kind.index()];
    const FieldValues values = fieldsOf(fault.kind);
    std::string text = fault.card == 1 ? "" : std::to_string(fault.card) + "/";
    for (std::size_t i = 0; i < form.form.size();) {
        const std::string_view name = fieldNameAt(form.form, i);
        if (name.empty()) {
            text += form.form[i++];
            continue;
        }
        text += formatField(*fieldNamed(form, name), values(name));
        i += name.size();
    }
    return text;
}

} // namespace qm5083::hardware
