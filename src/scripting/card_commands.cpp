#include "card_commands.h"

#include "registers.h"

namespace qm5083::scripting {

namespace {

// A divider as its counter takes it: 65536 is written as 0.
protocol::CounterBytes countBytes(unsigned divider)
{
    const unsigned count = divider % 65536;
    return {static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>(count >> 8)};
}

} // namespace

void writeOutputs(protocol::CardRegisters &card, const Bytes &bytes)
{
    std::array<protocol::RegisterWrite, registers::kDigitalGroupCount> writes {};
    for (int group = 0; group < registers::kDigitalGroupCount; ++group)
        writes[static_cast<std::size_t>(group)]
            = protocol::digitalOutputWrite(group, bytes[static_cast<std::size_t>(group)]);
    card.write(writes);
}

InResult readInputs(protocol::CardRegisters &card, const std::optional<Bytes> &expect)
{
    std::array<int, registers::kDigitalGroupCount> offsets {};
    for (int group = 0; group < registers::kDigitalGroupCount; ++group)
        offsets[static_cast<std::size_t>(group)] = protocol::digitalInputOffset(group);
    const std::vector<std::uint8_t> read = card.read(offsets);
    InResult result {{read[0], read[1], read[2], read[3]}, expect, {}};
    if (expect) {
        for (std::size_t group = 0; group < read.size(); ++group)
            for (int bit = 0; bit < 8; ++bit) {
                const bool wanted = ((*expect)[group] >> bit & 1) != 0;
                const bool got = (read[group] >> bit & 1) != 0;
                if (wanted != got)
                    result.differences.push_back({static_cast<int>(group) + 1, bit, wanted, got});
            }
    }
    return result;
}

ClockResult startClocks(protocol::CardRegisters &card, unsigned k, unsigned n)
{
    card.write(protocol::clockSetupWrites(countBytes(k), countBytes(n)));
    const double baseHz = registers::kCardClockHz / k;
    return {k, n, baseHz, baseHz / n};
}

void writeDaCodes(protocol::CardRegisters &card, const std::array<std::uint16_t, 4> &codes)
{
    std::vector<protocol::RegisterWrite> writes;
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel) {
        const auto three
            = protocol::daCodeWrites(channel, codes[static_cast<std::size_t>(channel)]);
        writes.insert(writes.end(), three.begin(), three.end());
    }
    card.write(writes);
}

void writeDaCode(protocol::CardRegisters &card, int channel, std::uint16_t code)
{
    card.write(protocol::daCodeWrites(channel, code));
}

} // namespace qm5083::scripting
