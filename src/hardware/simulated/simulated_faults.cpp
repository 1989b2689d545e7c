#include "simulated_faults.h"

#include <optional>
#include <type_traits>
#include <utility>

namespace qm5083::hardware {

namespace {

// The characters a form's letters stood for, by letter, as numbers: a digit for itself, a chip
// letter for its index (A is 0).
using FieldValues = std::array<int, 26>;

const FaultField *fieldOf(char letter)
{
    for (const FaultField &field : kFaultFields)
        if (field.letter == letter)
            return &field;
    return nullptr;
}

int valueOf(char c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' : c - '0';
}

char characterOf(const FaultField &field, int value)
{
    return static_cast<char>((field.lowest >= 'A' ? 'A' : '0') + value);
}

int &at(FieldValues &values, char letter)
{
    return values[static_cast<std::size_t>(letter - 'A')];
}

std::optional<FieldValues> match(std::string_view text, std::string_view form)
{
    if (text.size() != form.size())
        return std::nullopt;
    FieldValues values {};
    for (std::size_t i = 0; i < form.size(); ++i) {
        const FaultField *field = fieldOf(form[i]);
        if (!field) {
            if (text[i] != form[i])
                return std::nullopt;
        } else if (text[i] < field->lowest || text[i] > field->highest) {
            return std::nullopt;
        } else {
            at(values, form[i]) = valueOf(text[i]);
        }
    }
    return values;
}

// Each kind from its fields, and back; a kind without both does not compile.
std::optional<StuckBit> make(std::type_identity<StuckBit>, FieldValues v)
{
    return StuckBit {at(v, 'G'), at(v, 'B'), at(v, 'V') == 1};
}
std::optional<ShortedBits> make(std::type_identity<ShortedBits>, FieldValues v)
{
    if (at(v, 'G') == at(v, 'H') && at(v, 'B') == at(v, 'C'))
        return std::nullopt; // a bit bridged to itself
    return ShortedBits {at(v, 'G'), at(v, 'B'), at(v, 'H'), at(v, 'C')};
}
std::optional<DeadChip> make(std::type_identity<DeadChip>, FieldValues v)
{
    return DeadChip {at(v, 'X')};
}
std::optional<StoppedCounter> make(std::type_identity<StoppedCounter>, FieldValues v)
{
    return StoppedCounter {at(v, 'X'), at(v, 'N')};
}
std::optional<StuckDataLine> make(std::type_identity<StuckDataLine>, FieldValues v)
{
    return StuckDataLine {at(v, 'X'), at(v, 'B'), at(v, 'V') == 1};
}

FieldValues fieldsOf(const SimulatedFault &fault)
{
    FieldValues v {};
    std::visit(EachFaultKind {
                   [&](const StuckBit &f) {
                       at(v, 'G') = f.group;
                       at(v, 'B') = f.bit;
                       at(v, 'V') = f.value ? 1 : 0;
                   },
                   [&](const ShortedBits &f) {
                       at(v, 'G') = f.group;
                       at(v, 'B') = f.bit;
                       at(v, 'H') = f.otherGroup;
                       at(v, 'C') = f.otherBit;
                   },
                   [&](const DeadChip &f) { at(v, 'X') = f.chip; },
                   [&](const StoppedCounter &f) {
                       at(v, 'X') = f.chip;
                       at(v, 'N') = f.counter;
                   },
                   [&](const StuckDataLine &f) {
                       at(v, 'X') = f.chip;
                       at(v, 'B') = f.bit;
                       at(v, 'V') = f.value ? 1 : 0;
                   },
               },
               fault);
    return v;
}

template<std::size_t... Kind>
std::optional<SimulatedFault> parseAnyKind(std::string_view text, std::index_sequence<Kind...>)
{
    std::optional<SimulatedFault> fault;
    const auto tryKind = [&](auto kind) {
        using Fault = std::variant_alternative_t<decltype(kind)::value, SimulatedFault>;
        if (const auto values = match(text, kFaultForms[decltype(kind)::value].form))
            if (const auto made = make(std::type_identity<Fault> {}, *values))
                fault = *made;
    };
    (tryKind(std::integral_constant<std::size_t, Kind> {}), ...);
    return fault;
}

} // namespace

Message faultGrammar()
{
    std::vector<Message> forms;
    forms.reserve(kFaultForms.size());
    for (const FaultForm &form : kFaultForms)
        forms.push_back(Message(QM5083_MESSAGE("Card", "%1 (%2)"),
                                {Message::value(std::string(form.form)), Message(form.meaning)}));
    return Message(QM5083_MESSAGE("Card", "%1; %2"),
                   {Message::list(std::move(forms)), Message(kFaultFieldRanges)});
}

SimulatedFault parseSimulatedFault(std::string_view text)
{
    if (const auto fault
        = parseAnyKind(text, std::make_index_sequence<std::variant_size_v<SimulatedFault>> {}))
        return *fault;
    throw InvalidFault(Message(
        QM5083_MESSAGE("Card", "--sim-fault \"%1\" is not a fault of the simulated card: %2"),
        {Message::value(std::string(text)), faultGrammar()}));
}

std::string describeFault(const SimulatedFault &fault)
{
    const FieldValues values = fieldsOf(fault);
    std::string text(kFaultForms[fault.index()].form);
    for (char &c : text)
        if (const FaultField *field = fieldOf(c))
            c = characterOf(*field, values[static_cast<std::size_t>(c - 'A')]);
    return text;
}

} // namespace qm5083::hardware
