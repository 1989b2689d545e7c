#include "simulated_card.h"

#include <utility>

namespace qm5083::hardware {

namespace {

using namespace std::chrono;

constexpr std::int64_t kCardClockPeriodNs
    = static_cast<std::int64_t>(1e9 / registers::kCardClockHz);
static_assert(1e9 / registers::kCardClockHz == static_cast<double>(kCardClockPeriodNs),
              "the card clock period must be a whole number of nanoseconds");

enum class Target : std::uint8_t { None, Digital, Counter, Control };
struct Register
{
    Target target = Target::None;
    std::uint8_t chip = 0;
    std::uint8_t index = 0; // digital group or counter
};

// Offset to register, built from the register map so there is one source for the numbers.
constexpr std::array<Register, registers::kRegisterSpan> kRegisters = [] {
    std::array<Register, registers::kRegisterSpan> table {};
    for (int group = 0; group < registers::kDigitalGroupCount; ++group)
        table[registers::digitalGroup(group)]
            = {Target::Digital, 0, static_cast<std::uint8_t>(group)};
    for (int chip = 0; chip < registers::kPitChipCount; ++chip) {
        const auto &ports = registers::kPitChips[chip];
        for (int counter = 0; counter < registers::kPitCountersPerChip; ++counter)
            table[ports.counter[counter]] = {Target::Counter, static_cast<std::uint8_t>(chip),
                                             static_cast<std::uint8_t>(counter)};
        table[ports.control] = {Target::Control, static_cast<std::uint8_t>(chip), 0};
    }
    return table;
}();

nanoseconds steadyNow()
{
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
}

} // namespace

SimulatedCard::SimulatedCard(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(steadyNow))
    , lastTime_(clock_())
{ }

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
        if (pulses > 0)
            chips_[registers::kBaseClockChip].clock(registers::kBaseClockCounter, pulses);
    }
    deliverBaseClock();
}

void SimulatedCard::deliverBaseClock()
{
    const std::uint64_t edges
        = chips_[registers::kBaseClockChip].outRisingEdges(registers::kBaseClockCounter);
    if (edges == baseEdgesDelivered_)
        return;
    const std::uint64_t pulses = edges - baseEdgesDelivered_;
    baseEdgesDelivered_ = edges;
    for (int chip = 0; chip < registers::kPitChipCount; ++chip) {
        for (int counter = 0; counter < registers::kPitCountersPerChip; ++counter) {
            if (chip != registers::kBaseClockChip || counter != registers::kBaseClockCounter)
                chips_[chip].clock(counter, pulses);
        }
    }
}

std::uint8_t SimulatedCard::inportb(std::uint16_t port)
{
    catchUp();
    const auto offset = static_cast<std::uint16_t>(port - kSimulatedCardBase);
    if (offset >= registers::kRegisterSpan)
        return kEmptyBusByte;
    const Register &reg = kRegisters[offset];
    switch (reg.target) {
    case Target::Digital:
        return outputs_[reg.index];
    case Target::Counter:
        return chips_[reg.chip].readCounter(reg.index);
    case Target::Control: // write-only: nothing drives the bus
    case Target::None:
        break;
    }
    return kEmptyBusByte;
}

void SimulatedCard::outportb(std::uint16_t port, std::int16_t value)
{
    catchUp();
    const auto offset = static_cast<std::uint16_t>(port - kSimulatedCardBase);
    if (offset >= registers::kRegisterSpan)
        return;
    const std::uint8_t byte = lowByte(value);
    const Register &reg = kRegisters[offset];
    switch (reg.target) {
    case Target::Digital:
        outputs_[reg.index] = byte;
        return;
    case Target::Counter:
        chips_[reg.chip].writeCounter(reg.index, byte);
        break;
    case Target::Control:
        chips_[reg.chip].writeControl(byte);
        break;
    case Target::None:
        return;
    }
    if (reg.chip == registers::kBaseClockChip)
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

double SimulatedCard::baseFrequencyHz() const
{
    return chips_[registers::kBaseClockChip].squareWaveFrequencyHz(registers::kBaseClockCounter,
                                                                   registers::kCardClockHz);
}

double SimulatedCard::squareWaveFrequencyHz(int chip, int counter) const
{
    if (chip == registers::kBaseClockChip && counter == registers::kBaseClockCounter)
        return baseFrequencyHz();
    return this->chip(chip).squareWaveFrequencyHz(counter, baseFrequencyHz());
}

} // namespace qm5083::hardware
