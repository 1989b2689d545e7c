#pragma once

#include "pit8254.h"
#include "port_access.h"
#include "port_refused.h"
#include "registers.h"
#include "simulated_faults.h"
#include "simulated_locator.h"
#include "state_bytes.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace qm5083::hardware {

// What a read of a register that drives no byte (a control word register) returns.
inline constexpr std::uint8_t kEmptyBusByte = 0xFF;

// A port that is none of the registers of simulated cards firstCard to lastCard, refused saying
// which ports they have.
PortRefused notASimulatedRegister(std::uint16_t port, int firstCard, int lastCard);

// A qm5083 at simulatedCardBase(number) with a loopback cable from its outputs to its inputs:
// input group g reads output latch g. Its four 8254 chips count in real time (or the time the
// given clock tells): chip A counter 1 divides the card clock into the base frequency, which
// clocks every other counter; all gates are tied high. Writes to the DA registers latch a code
// into a channel. Reached alone, the simulated PC holds only this card: a port outside its
// registers is refused with PortRefused, as the real card's backend refuses it, and nothing is
// accessed.
class SimulatedCard final : public PortAccess
{
public:
    // Monotonic time; the card's counters catch up to it at every access.
    using Clock = std::function<std::chrono::nanoseconds()>;

    // Without a clock the card runs on CLOCK_MONOTONIC, which every program of one boot shares.
    // The faults on this card (number, 1 to kMaxSimulatedCards) change what its inputs read and
    // which chips answer, as a faulty card would; the others are left to their cards.
    explicit SimulatedCard(Clock clock = {}, const std::vector<SimulatedFault> &faults = {},
                           int number = kSimulatedCardNumber);

    std::uint16_t base() const { return base_; }

    std::uint8_t inportb(std::uint16_t port) override;
    void outportb(std::uint16_t port, std::int16_t value) override;
    void checkReachable(std::span<const std::uint16_t> ports) override;

    // State as of the last access. Indices out of range throw std::out_of_range.
    std::uint8_t outputLatch(int group) const;
    const Pit8254 &chip(int index) const; // 0..3 = A..D
    std::uint16_t daCode(int channel) const;
    // The voltage at a DA channel's output for an output range of low (code 0) to high (FFF):
    // the ideal line, moved by the channel's offset and gain faults.
    double daVolts(int channel, double low, double high) const;
    // The card clock divided by chip A counter 1 in modes 2 or 3, else 0.
    double baseFrequencyHz() const;
    // A counter's output frequency from its own clock input (the base frequency, or the card
    // clock for chip A counter 1), 0 unless it runs in mode 2 or 3 with a count written.
    double squareWaveFrequencyHz(int chip, int counter) const;

    // What the card's registers hold and the time its counters have reached, field by field, so
    // that it can be kept between programs; its faults are the program's own and not kept.
    // Its time, carry and base clock edges delivered (8 bytes each), the output latches, the two
    // DA data bytes, the DA codes (2 bytes each) and the chips.
    static constexpr std::size_t kSavedSize = 3 * 8 + registers::kDigitalGroupCount + 2
        + 2 * registers::kDaChannelCount + registers::kPitChipCount * Pit8254::kSavedSize;
    void save(StateWriter &out) const;
    // Takes the card back to what save wrote. Every field is checked: a time after the clock's
    // now, a carry of a whole clock period or more, more base clock edges delivered than chip A
    // made, a DA code beyond FFF, or a chip's field out of its range throws StateOutOfRange, and
    // the card is left as it was.
    void restore(StateReader &in);

private:
    std::uint16_t registerOffset(std::uint16_t port) const;
    std::uint8_t inputByte(int group) const;
    std::uint8_t throughDataLines(int chip, std::uint8_t byte) const;
    bool counterStopped(int chip, int counter) const;
    void catchUp();
    void deliverBaseClock();

    // What the faults do, sorted by where they act.
    struct ChipFaults
    {
        bool dead = false;
        std::array<bool, registers::kPitCountersPerChip> stopped {};
        std::uint8_t dataHigh = 0x00; // data lines stuck at 1
        std::uint8_t dataLow = 0xFF;  // clear where a data line is stuck at 0
    };

    Clock clock_;
    int number_;
    std::uint16_t base_;
    std::vector<StuckBit> stuckBits_;
    std::vector<ShortedBits> shortedBits_;
    std::array<ChipFaults, registers::kPitChipCount> chipFaults_ {};
    struct DaFaults
    {
        double offsetVolts = 0;
        double spanFactor = 1;
    };
    std::array<DaFaults, registers::kDaChannelCount> daFaults_ {};
    std::chrono::nanoseconds lastTime_;
    std::int64_t carryNs_ = 0; // time since the last card clock pulse
    std::uint64_t baseEdgesDelivered_ = 0;

    std::array<std::uint8_t, registers::kDigitalGroupCount> outputs_ {};
    std::array<Pit8254, registers::kPitChipCount> chips_;
    std::uint8_t daLow_ = 0;
    std::uint8_t daHigh_ = 0;
    std::array<std::uint16_t, registers::kDaChannelCount> daCodes_ {};
};

} // namespace qm5083::hardware
