#pragma once

#include "registers.h"
#include "state_bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qm5083::hardware {

// One 8254 counter/timer chip: three counters behind a control word register, each with its
// own CLK input (fed by clock()) and GATE input (setGate()). Time only moves through clock(),
// which takes any number of pulses at constant cost, so the chip can be stepped pulse by pulse
// or seconds at a time.
//
// Before its first control word a counter behaves as if it had been programmed for mode 0,
// low byte then high byte, binary, with no count written; the real chip leaves that state
// undefined. Counter indices outside 0..2 throw std::out_of_range.
class Pit8254
{
public:
    using Access = registers::pit8254::Access;
    using Mode = registers::pit8254::Mode;

    Pit8254();

    // A byte written to the control word register: a control word, a counter latch command
    // or a read-back command.
    void writeControl(std::uint8_t byte);
    void writeCounter(int counter, std::uint8_t byte);
    std::uint8_t readCounter(int counter);

    // Pulses on the counter's CLK input.
    void clock(int counter, std::uint64_t pulses);
    // GATE level; the chip's gates are high until set otherwise.
    void setGate(int counter, bool high);

    // A counter as its registers and pins stand.
    struct CounterState
    {
        // What it was last programmed with; programmedBits are the low six bits of the last
        // control word, as the status byte reports them.
        Mode mode;
        Access access;
        bool bcd;
        std::uint8_t programmedBits;
        // The divisor of the last complete count written since the control word (a written 0
        // is 65536 in binary, 10000 in BCD); none before a count is complete.
        std::optional<std::uint32_t> count;
        bool out;
        bool nullCount;
        bool gate;
        std::uint8_t status;
        // The counting element as its register holds it (BCD digits in BCD mode).
        std::uint16_t countingElement;
        // Low-to-high transitions of OUT since power-up: what clocks a counter fed from it.
        std::uint64_t outRisingEdges;

        bool operator==(const CounterState &) const = default;
    };
    CounterState state(int counter) const;

    // The frequency at OUT for a CLK of clockHz: clockHz / count in modes 2 and 3 once a count
    // is written, otherwise 0. Counts below 2 make no periodic output in these modes.
    double squareWaveFrequencyHz(int counter, double clockHz) const;

    // The chip as it stands, every register, latch and pin of each counter field by field, so
    // that it can be kept between programs.
    static constexpr std::size_t kCounterSavedSize = 41;
    static constexpr std::size_t kSavedSize = registers::kPitCountersPerChip * kCounterSavedSize;
    void save(StateWriter &out) const;
    // Takes the chip back to what save wrote. Every field is checked against the values a chip
    // can hold, so that no later step divides by zero or counts past its modulus; a field out of
    // range throws StateOutOfRange, and the chip is left as it was.
    void restore(StateReader &in);

private:
    struct Counter
    {
        Mode mode = Mode::InterruptOnTerminalCount;
        Access access = Access::LowThenHigh;
        bool bcd = false;
        std::uint8_t programmed = 0;

        std::uint16_t countRegister = 0; // as written
        bool haveCount = false;          // a complete count since the control word
        bool writeHighNext = false;
        std::uint8_t lowByteWritten = 0;
        bool readHighNext = false;

        bool countLatched = false;
        std::uint16_t latchedCount = 0;
        bool statusLatched = false;
        std::uint8_t latchedStatus = 0;

        bool out = false;
        bool nullCount = true;
        bool gate = true;
        bool triggerPending = false;  // rising GATE edge not yet seen by a CLK pulse
        bool loadPending = false;     // count register goes into the counting element next pulse
        bool newCountPending = false; // modes 2, 3: at the next reload
        bool running = false;
        bool armed = false;    // OUT still owes its terminal count action for this load
        bool strobing = false; // modes 4, 5: OUT is in its one-clock low strobe

        std::uint32_t element = 0; // counting element as a number below modulus()
        std::uint32_t period = 0;  // modes 2, 3: the divisor in use
        std::uint32_t phase = 0;   // modes 2, 3: clocks since the last reload
        std::uint64_t risingEdges = 0;

        std::uint32_t modulus() const;
        std::uint32_t divisor() const;
        void program(std::uint8_t controlWord);
        void write(std::uint8_t byte);
        void countWritten();
        std::uint8_t read();
        void latchCount();
        void latchStatus();
        std::uint8_t statusByte() const;
        std::uint16_t elementRegister() const;
        void setOut(bool level);
        void setGate(bool high);
        void clock(std::uint64_t pulses);
        bool loadsOnNextPulse() const;
        void save(StateWriter &to) const;
        static Counter restored(StateReader &from);
        void loadPulse();
        std::uint64_t countDown(std::uint64_t pulses);
        std::uint64_t advancePeriodic(std::uint64_t pulses);
        bool settlePeriodicElement();
        void settlePeriodic();
    };

    Counter &at(int counter);
    const Counter &at(int counter) const;

    std::array<Counter, registers::kPitCountersPerChip> counters_;
};

} // namespace qm5083::hardware
