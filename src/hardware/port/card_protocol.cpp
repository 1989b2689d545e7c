#include "card_protocol.h"

#include <algorithm>

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

std::array<RegisterWrite, 3> counterLoadWrites(const Counter &counter, pit::Mode mode,
                                               CounterBytes count)
{
    return {{{controlWordOffset(counter),
              pit::controlWord(counter.counter, pit::Access::LowThenHigh, mode)},
             {counterOffset(counter), count.low},
             {counterOffset(counter), count.high}}};
}

std::array<RegisterWrite, kClockSetupWriteCount> clockSetupWrites(CounterBytes k, CounterBytes n)
{
    std::array<RegisterWrite, kClockSetupWriteCount> writes {};
    auto next = writes.begin();
    const auto load = [&](const Counter &counter, CounterBytes count) {
        const auto three = counterLoadWrites(counter, pit::Mode::SquareWave, count);
        next = std::copy(three.begin(), three.end(), next);
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

std::array<RegisterWrite, 3> daCodeWrites(int channel, std::uint16_t code)
{
    return daChannelWrites(channel, static_cast<std::int16_t>(code & 0xFF),
                           static_cast<std::int16_t>(code >> 8));
}

void CardRegisters::write(std::span<const RegisterWrite> writes)
{
    std::vector<std::uint16_t> ports;
    ports.reserve(writes.size());
    for (const RegisterWrite &write : writes)
        ports.push_back(portOf(write.offset));
    port_.checkReachable(ports);
    for (std::size_t i = 0; i < writes.size(); ++i)
        port_.outportb(ports[i], writes[i].value);
}

std::vector<std::uint8_t> CardRegisters::read(std::span<const int> offsets)
{
    std::vector<std::uint16_t> ports;
    ports.reserve(offsets.size());
    for (const int offset : offsets)
        ports.push_back(portOf(offset));
    port_.checkReachable(ports);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(offsets.size());
    for (const std::uint16_t port : ports)
        bytes.push_back(port_.inportb(port));
    return bytes;
}

std::uint8_t CardRegisters::read(int offset)
{
    return port_.inportb(portOf(offset));
}

std::uint8_t CardRegisters::readStatus(const Counter &counter)
{
    write(statusReadBackWrite(counter));
    return read(counterOffset(counter));
}

std::uint16_t CardRegisters::readLatchedCount(const Counter &counter)
{
    write(countLatchWrite(counter));
    const unsigned low = read(counterOffset(counter));
    const unsigned high = read(counterOffset(counter));
    return static_cast<std::uint16_t>(high << 8 | low);
}

Register registerAt(int offset)
{
    if (offset < 0 || offset >= registers::kRegisterSpan)
        return {};
    return kRegisterMap[static_cast<std::size_t>(offset)];
}

} // namespace qm5083::protocol
