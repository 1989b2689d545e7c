#include "simulated_card.h"

#include "card_protocol.h"
#include "hex_text.h"
#include "port_refused.h"

#include <utility>

namespace qm5083::hardware {

namespace {

using namespace std::chrono;

constexpr std::int64_t kCardClockPeriodNs
    = static_cast<std::int64_t>(1e9 / registers::kCardClockHz);
static_assert(1e9 / registers::kCardClockHz == static_cast<double>(kCardClockPeriodNs),
              "the card clock period must be a whole number of nanoseconds");

nanoseconds steadyNow()
{
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
}

constexpr int kBaseChip = protocol::kBaseClock.chip;
constexpr int kBaseCounter = protocol::kBaseClock.counter;

} // namespace

SimulatedCard::SimulatedCard(Clock clock, const std::vector<SimulatedFault> &faults)
    : clock_(clock ? std::move(clock) : Clock(steadyNow))
    , lastTime_(clock_())
{
    for (const SimulatedFault &fault : faults)
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
                   fault);
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

std::uint16_t SimulatedCard::registerOffset(std::uint16_t port)
{
    const auto offset = static_cast<std::uint16_t>(port - kSimulatedCardBase);
    if (offset >= registers::kRegisterSpan)
        throw PortRefused(port, Refusal::NotARegister,
                          Message(QM5083_MESSAGE("Card",
                                                 "it is not a register of the simulated card "
                                                 "(%1-%2); check the base address"),
                                  {Message::value(convert::hex4(kSimulatedCardBase)),
                                   Message::value(convert::hex4(static_cast<std::uint16_t>(
                                       kSimulatedCardBase + registers::kRegisterSpan - 1)))}));
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
