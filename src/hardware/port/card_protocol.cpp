#include "card_protocol.h"

namespace qm5083::protocol {

namespace {

namespace pit = registers::pit8254;

constexpr std::array<Register, registers::kRegisterSpan> kRegisterMap = [] {
    std::array<Register, registers::kRegisterSpan> map {};
    for (int group = 0; group < registers::kDigitalGroupCount; ++group)
        map[static_cast<std::size_t>(registers::kDigitalGroupOffsets[group])]
            = {RegisterKind::DigitalGroup, 0, group};
    for (int chip = 0; chip < registers::kPitChipCount; ++chip) {
        const registers::PitChip &ports = registers::kPitChips[static_cast<std::size_t>(chip)];
        for (int counter = 0; counter < registers::kPitCountersPerChip; ++counter)
            map[static_cast<std::size_t>(ports.counter[static_cast<std::size_t>(counter)])]
                = {RegisterKind::CounterData, chip, counter};
        map[static_cast<std::size_t>(ports.control)] = {RegisterKind::ControlWord, chip, 0};
    }
    return map;
}();

} // namespace

std::array<RegisterWrite, kClockSetupWriteCount> clockSetupWrites(CounterBytes k, CounterBytes n)
{
    std::array<RegisterWrite, kClockSetupWriteCount> writes {};
    std::size_t next = 0;
    const auto load = [&](const Counter &counter, CounterBytes count) {
        writes[next++] = {controlWordOffset(counter), pit::squareWaveControlWord(counter.counter)};
        writes[next++] = {counterOffset(counter), count.low};
        writes[next++] = {counterOffset(counter), count.high};
    };
    load(kBaseClock, k);
    for (const Counter &output : kOutputClocks)
        load(output, n);
    return writes;
}

std::array<RegisterWrite, 3> daChannelWrites(int channel, std::int16_t lowByte,
                                             std::int16_t highPart)
{
    const auto high = static_cast<std::int16_t>(highPart | (channel << registers::kDaChannelShift));
    return {{{registers::kDaLowByte, lowByte},
             {registers::kDaHighByte, high},
             {registers::kDaLatch, 0}}};
}

Register registerAt(int offset)
{
    if (offset < 0 || offset >= registers::kRegisterSpan)
        return {};
    return kRegisterMap[static_cast<std::size_t>(offset)];
}

} // namespace qm5083::protocol
