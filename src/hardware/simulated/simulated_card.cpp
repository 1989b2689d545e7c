#include "simulated_card.h"

#include "card_protocol.h"
#include "hex_text.h"
#include "port_refused.h"

#include <ctime>
#include <stdexcept>
#include <utility>

namespace qm5083::hardware {

namespace {

using namespace std::chrono;

constexpr std::int64_t kCardClockPeriodNs
    = static_cast<std::int64_t>(1e9 / registers::kCardClockHz);
static_assert(1e9 / registers::kCardClockHz == static_cast<double>(kCardClockPeriodNs),
              "the card clock period must be a whole number of nanoseconds");

nanoseconds monotonicNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return seconds(now.tv_sec) + nanoseconds(now.tv_nsec);
}

Message hex4(std::uint16_t port)
{
    return Message::value(convert::hex4(port));
}

std::uint16_t lastPort(int number)
{
    return static_cast<std::uint16_t>(simulatedCardBase(number) + registers::kRegisterSpan - 1);
}

constexpr int kBaseChip = protocol::kBaseClock.chip;
constexpr int kBaseCounter = protocol::kBaseClock.counter;

} // namespace

PortRefused notASimulatedRegister(std::uint16_t port, int firstCard, int lastCard)
{
    if (firstCard == lastCard)
        return PortRefused(
            port, Refusal::NotARegister,
            Message(QM5083_MESSAGE("Card",
                                   "it is not a register of the simulated card "
                                   "(%1-%2); check the base address"),
                    {hex4(simulatedCardBase(firstCard)), hex4(lastPort(firstCard))}));
    std::vector<Message> ranges;
    for (int number = firstCard; number <= lastCard; ++number)
        ranges.push_back(Message::value(convert::hex4(simulatedCardBase(number)) + "-"
                                        + convert::hex4(lastPort(number))));
    return PortRefused(port, Refusal::NotARegister,
                       Message(QM5083_MESSAGE("Card",
                                              "it is not a register of the simulated cards (%1); "
                                              "check the base address"),
                               {Message::list(std::move(ranges))}));
}

SimulatedCard::SimulatedCard(Clock clock, const std::vector<SimulatedFault> &faults, int number)
    : clock_(clock ? std::move(clock) : Clock(monotonicNow))
    , number_(number)
    , base_(simulatedCardBase(number))
    , lastTime_(clock_())
{
    if (number < 1 || number > kMaxSimulatedCards)
        throw std::out_of_range("simulated card " + std::to_string(number) + " does not exist");
    for (const SimulatedFault &fault : faults) {
        if (fault.card != number)
            continue;
        std::visit(EachKind {
                       [this](const StuckBit &stuck) { stuckBits_.push_back(stuck); },
                       [this](const ShortedBits &shorted) { shortedBits_.push_back(shorted); },
                       [this](const DeadChip &dead) { chipFaults_.at(dead.chip).dead = true; },
                       [this](const StoppedCounter &stopped) {
                           chipFaults_.at(stopped.chip).stopped.at(stopped.counter) = true;
                       },
                       [this](const DaOffset &offset) {
                           daFaults_.at(offset.channel).offsetVolts = offset.millivolts / 1000.0;
                       },
                       [this](const DaGain &gain) {
                           daFaults_.at(gain.channel).spanFactor = 1 + gain.percent / 100;
                       },
                       [this](const StuckDataLine &line) {
                           const auto bit = static_cast<std::uint8_t>(1 << line.bit);
                           ChipFaults &chip = chipFaults_.at(line.chip);
                           chip.dataHigh = static_cast<std::uint8_t>(
                               line.value ? chip.dataHigh | bit : chip.dataHigh & ~bit);
                           chip.dataLow = static_cast<std::uint8_t>(
                               line.value ? chip.dataLow | bit : chip.dataLow & ~bit);
                       },
                   },
                   fault.kind);
    }
}

// Chip A counter 1 runs from the card clock; every other counter is clocked by the rising edges
// of its OUT, including an edge made by reprogramming it.
void SimulatedCard::catchUp()
{
    const nanoseconds now = clock_();
    if (now > lastTime_) {
        const std::int64_t elapsed = (now - lastTime_).count() + carryNs_;
        lastTime_ = now;
        carryNs_ = elapsed % kCardClockPeriodNs;
        const auto pulses = static_cast<std::uint64_t>(elapsed / kCardClockPeriodNs);
        if (pulses > 0 && !counterStopped(kBaseChip, kBaseCounter))
            chips_[kBaseChip].clock(kBaseCounter, pulses);
    }
    deliverBaseClock();
}

void SimulatedCard::deliverBaseClock()
{
    const std::uint64_t edges = chips_[kBaseChip].state(kBaseCounter).outRisingEdges;
    if (edges == baseEdgesDelivered_)
        return;
    const std::uint64_t pulses = edges - baseEdgesDelivered_;
    baseEdgesDelivered_ = edges;
    for (int chip = 0; chip < registers::kPitChipCount; ++chip) {
        for (int counter = 0; counter < registers::kPitCountersPerChip; ++counter) {
            if (protocol::Counter {chip, counter} != protocol::kBaseClock
                && !counterStopped(chip, counter))
                chips_[chip].clock(counter, pulses);
        }
    }
}

std::uint16_t SimulatedCard::registerOffset(std::uint16_t port) const
{
    const auto offset = static_cast<std::uint16_t>(port - base_);
    if (offset >= registers::kRegisterSpan)
        throw notASimulatedRegister(port, number_, number_);
    return offset;
}

void SimulatedCard::checkReachable(std::span<const std::uint16_t> ports)
{
    for (const std::uint16_t port : ports)
        registerOffset(port);
}

std::uint8_t SimulatedCard::inportb(std::uint16_t port)
{
    const std::uint16_t offset = registerOffset(port);
    catchUp();
    const protocol::Register reg = protocol::registerAt(offset);
    switch (reg.kind) {
    case protocol::RegisterKind::DigitalGroup:
        return inputByte(reg.index);
    case protocol::RegisterKind::CounterData:
        if (chipFaults_[static_cast<std::size_t>(reg.chip)].dead)
            return kEmptyBusByte;
        return throughDataLines(reg.chip,
                                chips_[static_cast<std::size_t>(reg.chip)].readCounter(reg.index));
    case protocol::RegisterKind::ControlWord: // write-only: nothing drives the bus
    case protocol::RegisterKind::None:
        break;
    }
    return kEmptyBusByte;
}

void SimulatedCard::outportb(std::uint16_t port, std::int16_t value)
{
    const std::uint16_t offset = registerOffset(port);
    catchUp();
    const std::uint8_t byte = lowByte(value);
    const protocol::Register reg = protocol::registerAt(offset);
    switch (reg.kind) {
    case protocol::RegisterKind::DigitalGroup:
        outputs_[static_cast<std::size_t>(reg.index)] = byte;
        return;
    case protocol::RegisterKind::CounterData:
        if (!chipFaults_[static_cast<std::size_t>(reg.chip)].dead)
            chips_[static_cast<std::size_t>(reg.chip)].writeCounter(
                reg.index, throughDataLines(reg.chip, byte));
        break;
    case protocol::RegisterKind::ControlWord:
        if (!chipFaults_[static_cast<std::size_t>(reg.chip)].dead)
            chips_[static_cast<std::size_t>(reg.chip)].writeControl(
                throughDataLines(reg.chip, byte));
        break;
    case protocol::RegisterKind::None:
        return;
    }
    if (reg.chip == kBaseChip)
        deliverBaseClock();

    // The DA registers sit on chip B's data ports and see the same writes.
    if (offset == registers::kDaLowByte) {
        daLow_ = byte;
    } else if (offset == registers::kDaHighByte) {
        daHigh_ = byte;
    } else if (offset == registers::kDaLatch) {
        const int channel = (daHigh_ & registers::kDaChannelMask) >> registers::kDaChannelShift;
        daCodes_[channel]
            = static_cast<std::uint16_t>((daHigh_ & registers::kDaHighCodeMask) << 8 | daLow_);
    }
}

// The loopback cable carries each output bit to its input bit; bridged bits both read the AND of
// what drives them, and a stuck bit reads its level whatever drives it.
std::uint8_t SimulatedCard::inputByte(int group) const
{
    const auto driven = [this](int numberedGroup, int bit) {
        return ((outputs_[static_cast<std::size_t>(numberedGroup - 1)] >> bit) & 1) != 0;
    };
    std::uint8_t byte = outputs_[static_cast<std::size_t>(group)];
    const int numberedGroup = group + 1; // the groups as the faults number them
    const auto set = [&byte](int bit, bool level) {
        byte = static_cast<std::uint8_t>(level ? byte | (1 << bit) : byte & ~(1 << bit));
    };
    for (const ShortedBits &shorted : shortedBits_) {
        const bool level
            = driven(shorted.group, shorted.bit) && driven(shorted.otherGroup, shorted.otherBit);
        if (shorted.group == numberedGroup)
            set(shorted.bit, level);
        if (shorted.otherGroup == numberedGroup)
            set(shorted.otherBit, level);
    }
    for (const StuckBit &stuck : stuckBits_)
        if (stuck.group == numberedGroup)
            set(stuck.bit, stuck.value);
    return byte;
}

std::uint8_t SimulatedCard::throughDataLines(int chip, std::uint8_t byte) const
{
    const ChipFaults &faults = chipFaults_[static_cast<std::size_t>(chip)];
    return static_cast<std::uint8_t>((byte | faults.dataHigh) & faults.dataLow);
}

bool SimulatedCard::counterStopped(int chip, int counter) const
{
    return chipFaults_[static_cast<std::size_t>(chip)].stopped[static_cast<std::size_t>(counter)];
}

std::uint8_t SimulatedCard::outputLatch(int group) const
{
    return outputs_.at(static_cast<std::size_t>(group));
}

const Pit8254 &SimulatedCard::chip(int index) const
{
    return chips_.at(static_cast<std::size_t>(index));
}

std::uint16_t SimulatedCard::daCode(int channel) const
{
    return daCodes_.at(static_cast<std::size_t>(channel));
}

double SimulatedCard::daVolts(int channel, double low, double high) const
{
    const DaFaults &faults = daFaults_.at(static_cast<std::size_t>(channel));
    const double ideal = daCode(channel) * (high - low) / protocol::kDaCodeMax;
    return low + ideal * faults.spanFactor + faults.offsetVolts;
}

void SimulatedCard::save(StateWriter &out) const
{
    out.i64(lastTime_.count());
    out.i64(carryNs_);
    out.u64(baseEdgesDelivered_);
    for (const std::uint8_t latch : outputs_)
        out.byte(latch);
    out.byte(daLow_);
    out.byte(daHigh_);
    for (const std::uint16_t code : daCodes_)
        out.u16(code);
    for (const Pit8254 &chip : chips_)
        chip.save(out);
}

void SimulatedCard::restore(StateReader &in)
{
    // The monotonic clock starts at boot: a time kept in this boot lies between then and now.
    const nanoseconds lastTime(in.i64(0, clock_().count()));
    const std::int64_t carryNs = in.i64(0, kCardClockPeriodNs - 1);
    const std::uint64_t baseEdgesDelivered = in.u64();
    const std::size_t deliveredAt = in.lastField();
    std::array<std::uint8_t, registers::kDigitalGroupCount> outputs {};
    for (std::uint8_t &latch : outputs)
        latch = in.byte();
    const std::uint8_t daLow = in.byte();
    const std::uint8_t daHigh = in.byte();
    std::array<std::uint16_t, registers::kDaChannelCount> daCodes {};
    for (std::uint16_t &code : daCodes)
        code = in.u16(0, static_cast<std::uint16_t>(protocol::kDaCodeMax));
    std::array<Pit8254, registers::kPitChipCount> chips;
    for (Pit8254 &chip : chips)
        chip.restore(in);
    // The edges not yet delivered are what the other counters are clocked by next.
    if (baseEdgesDelivered > chips[kBaseChip].state(kBaseCounter).outRisingEdges)
        throw StateOutOfRange(deliveredAt);

    lastTime_ = lastTime;
    carryNs_ = carryNs;
    baseEdgesDelivered_ = baseEdgesDelivered;
    outputs_ = outputs;
    daLow_ = daLow;
    daHigh_ = daHigh;
    daCodes_ = daCodes;
    chips_ = chips;
}

double SimulatedCard::baseFrequencyHz() const
{
    return chips_[kBaseChip].squareWaveFrequencyHz(kBaseCounter, registers::kCardClockHz);
}

double SimulatedCard::squareWaveFrequencyHz(int chip, int counter) const
{
    if (protocol::Counter {chip, counter} == protocol::kBaseClock)
        return baseFrequencyHz();
    return this->chip(chip).squareWaveFrequencyHz(counter, baseFrequencyHz());
}

} // namespace qm5083::hardware
