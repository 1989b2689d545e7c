#include "simulated_faults.h"

#include <charconv>
#include <string>

namespace qm5083::hardware {

namespace {

// One digit from lowest to highest at text[at], or -1.
int digit(std::string_view text, std::size_t at, char lowest, char highest)
{
    if (at >= text.size() || text[at] < lowest || text[at] > highest)
        return -1;
    return text[at] - lowest;
}

} // namespace

SimulatedFault parseSimulatedFault(std::string_view text)
{
    const auto bad = [&] {
        return InvalidFault(
            Message(QM5083_MESSAGE("Card",
                                   "--sim-fault \"%1\" is not stuck:G.B=V, short:G.B-H.C or "
                                   "dead-chip:X (input groups G and H 1 to 4, bits B and C 0 to "
                                   "7, V 0 or 1, chip X A to D)"),
                    {Message::value(std::string(text))}));
    };
    constexpr std::string_view kStuck = "stuck:";
    constexpr std::string_view kShort = "short:";
    constexpr std::string_view kDeadChip = "dead-chip:";
    if (text.starts_with(kStuck)) {
        const std::string_view rest = text.substr(kStuck.size());
        const int group = digit(rest, 0, '1', '4');
        const int bit = digit(rest, 2, '0', '7');
        const int value = digit(rest, 4, '0', '1');
        if (rest.size() != 5 || rest[1] != '.' || rest[3] != '=' || group < 0 || bit < 0
            || value < 0)
            throw bad();
        return StuckBit {group + 1, bit, value == 1};
    }
    if (text.starts_with(kShort)) {
        const std::string_view rest = text.substr(kShort.size());
        const int group = digit(rest, 0, '1', '4');
        const int bit = digit(rest, 2, '0', '7');
        const int otherGroup = digit(rest, 4, '1', '4');
        const int otherBit = digit(rest, 6, '0', '7');
        if (rest.size() != 7 || rest[1] != '.' || rest[3] != '-' || rest[5] != '.' || group < 0
            || bit < 0 || otherGroup < 0 || otherBit < 0
            || (group == otherGroup && bit == otherBit))
            throw bad();
        return ShortedBits {group + 1, bit, otherGroup + 1, otherBit};
    }
    if (text.starts_with(kDeadChip)) {
        const std::string_view rest = text.substr(kDeadChip.size());
        const int chip = digit(rest, 0, 'A', 'D');
        if (rest.size() != 1 || chip < 0)
            throw bad();
        return DeadChip {chip};
    }
    throw bad();
}

std::string describeFault(const SimulatedFault &fault)
{
    if (const auto *stuck = std::get_if<StuckBit>(&fault))
        return "stuck:" + std::to_string(stuck->group) + "." + std::to_string(stuck->bit) + "="
            + (stuck->value ? "1" : "0");
    if (const auto *shorted = std::get_if<ShortedBits>(&fault))
        return "short:" + std::to_string(shorted->group) + "." + std::to_string(shorted->bit) + "-"
            + std::to_string(shorted->otherGroup) + "." + std::to_string(shorted->otherBit);
    return std::string("dead-chip:") + static_cast<char>('A' + std::get<DeadChip>(fault).chip);
}

} // namespace qm5083::hardware
