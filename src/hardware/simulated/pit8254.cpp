#include "pit8254.h"

#include <stdexcept>
#include <string>

namespace qm5083::hardware {

namespace pit = registers::pit8254;

namespace {

constexpr std::uint32_t kBinaryModulus = 65536;
constexpr std::uint32_t kBcdModulus = 10000;

// Nibbles above 9 are not BCD; the chip's result for them is undefined, so they simply weigh
// as digits here.
std::uint32_t fromBcd(std::uint16_t raw)
{
    return (raw >> 12 & 0xF) * 1000u + (raw >> 8 & 0xF) * 100u + (raw >> 4 & 0xF) * 10u
        + (raw & 0xF);
}

std::uint16_t toBcd(std::uint32_t value)
{
    return static_cast<std::uint16_t>((value / 1000 % 10) << 12 | (value / 100 % 10) << 8
                                      | (value / 10 % 10) << 4 | value % 10);
}

// M2 is don't-care for modes 2 and 3: 110 and 111 program them too.
pit::Mode decodeMode(std::uint8_t controlWord)
{
    auto bits = static_cast<std::uint8_t>((controlWord & pit::kModeMask) >> pit::kModeShift);
    if (bits >= 6)
        bits -= 4;
    return static_cast<pit::Mode>(bits);
}

bool isPeriodic(pit::Mode mode)
{
    return mode == pit::Mode::RateGenerator || mode == pit::Mode::SquareWave;
}

bool isGateTriggered(pit::Mode mode)
{
    return mode == pit::Mode::HardwareRetriggerableOneShot
        || mode == pit::Mode::HardwareTriggeredStrobe;
}

bool isStrobe(pit::Mode mode)
{
    return mode == pit::Mode::SoftwareTriggeredStrobe || mode == pit::Mode::HardwareTriggeredStrobe;
}

} // namespace

std::uint32_t Pit8254::Counter::modulus() const
{
    return bcd ? kBcdModulus : kBinaryModulus;
}

std::uint32_t Pit8254::Counter::divisor() const
{
    const std::uint32_t value = bcd ? fromBcd(countRegister) % kBcdModulus : countRegister;
    return value == 0 ? modulus() : value;
}

void Pit8254::Counter::program(std::uint8_t controlWord)
{
    programmed = controlWord & pit::kStatusProgrammedMask;
    access = static_cast<Access>((controlWord & pit::kAccessMask) >> pit::kAccessShift);
    mode = decodeMode(controlWord);
    bcd = (controlWord & pit::kBcdBit) != 0;

    haveCount = false;
    writeHighNext = false;
    readHighNext = false;
    countLatched = false;
    statusLatched = false;
    nullCount = true;
    triggerPending = false;
    loadPending = false;
    newCountPending = false;
    running = false;
    armed = false;
    strobing = false;
    element %= modulus();
    setOut(mode != Mode::InterruptOnTerminalCount);
}

void Pit8254::Counter::write(std::uint8_t byte)
{
    switch (access) {
    case Access::LowByte:
        countRegister = byte;
        break;
    case Access::HighByte:
        countRegister = static_cast<std::uint16_t>(byte << 8);
        break;
    case Access::LowThenHigh:
    case Access::LatchCommand: // never programmed: RW = 00 is the latch command
        if (!writeHighNext) {
            writeHighNext = true;
            lowByteWritten = byte;
            if (mode == Mode::InterruptOnTerminalCount) {
                // The first byte of a new count stops mode 0 until the count is complete.
                setOut(false);
                running = false;
                loadPending = false;
            }
            return;
        }
        writeHighNext = false;
        countRegister = static_cast<std::uint16_t>(lowByteWritten | byte << 8);
        break;
    }
    countWritten();
}

void Pit8254::Counter::countWritten()
{
    haveCount = true;
    nullCount = true;
    switch (mode) {
    case Mode::InterruptOnTerminalCount:
        setOut(false);
        running = false;
        loadPending = true;
        break;
    case Mode::SoftwareTriggeredStrobe:
        loadPending = true;
        break;
    case Mode::RateGenerator:
    case Mode::SquareWave:
        // A running rate takes a new count only when its current period (half-cycle) ends.
        if (running)
            newCountPending = true;
        else
            loadPending = true;
        break;
    case Mode::HardwareRetriggerableOneShot:
    case Mode::HardwareTriggeredStrobe:
        break; // waits for a trigger on GATE
    }
}

std::uint8_t Pit8254::Counter::read()
{
    if (statusLatched) {
        statusLatched = false;
        return latchedStatus;
    }
    const std::uint16_t value = countLatched ? latchedCount : elementRegister();
    bool high = false;
    bool lastByte = true;
    switch (access) {
    case Access::LowByte:
        break;
    case Access::HighByte:
        high = true;
        break;
    case Access::LowThenHigh:
    case Access::LatchCommand:
        high = readHighNext;
        lastByte = readHighNext;
        readHighNext = !readHighNext;
        break;
    }
    if (lastByte)
        countLatched = false;
    return static_cast<std::uint8_t>(high ? value >> 8 : value & 0xFF);
}

// A latch already held is kept until it is read.
void Pit8254::Counter::latchCount()
{
    if (countLatched)
        return;
    countLatched = true;
    latchedCount = elementRegister();
}

void Pit8254::Counter::latchStatus()
{
    if (statusLatched)
        return;
    statusLatched = true;
    latchedStatus = statusByte();
}

std::uint8_t Pit8254::Counter::statusByte() const
{
    return static_cast<std::uint8_t>((out ? pit::kStatusOutput : 0)
                                     | (nullCount ? pit::kStatusNullCount : 0) | programmed);
}

std::uint16_t Pit8254::Counter::elementRegister() const
{
    return bcd ? toBcd(element) : static_cast<std::uint16_t>(element);
}

void Pit8254::Counter::setOut(bool level)
{
    if (level && !out)
        ++risingEdges;
    out = level;
}

void Pit8254::Counter::setGate(bool high)
{
    if (high == gate)
        return;
    gate = high;
    if (high)
        triggerPending = true; // edge-sensitive: held until the next CLK pulse
    else if (isPeriodic(mode))
        setOut(true);
}

void Pit8254::Counter::clock(std::uint64_t pulses)
{
    while (pulses > 0) {
        if (loadsOnNextPulse()) {
            loadPulse();
            --pulses;
            continue;
        }
        triggerPending = false; // spent by this pulse without loading anything
        pulses = isPeriodic(mode) ? advancePeriodic(pulses) : countDown(pulses);
    }
}

bool Pit8254::Counter::loadsOnNextPulse() const
{
    if (isPeriodic(mode))
        return gate && haveCount && (loadPending || triggerPending);
    if (isGateTriggered(mode))
        return haveCount && triggerPending;
    return loadPending;
}

// The pulse that moves the count register into the counting element does not count.
void Pit8254::Counter::loadPulse()
{
    triggerPending = false;
    loadPending = false;
    newCountPending = false;
    nullCount = false;
    running = true;
    if (isPeriodic(mode)) {
        period = divisor();
        phase = 0;
        settlePeriodic();
        return;
    }
    element = divisor() % modulus();
    armed = true;
    if (strobing) {
        strobing = false;
        setOut(true);
    }
    if (mode == Mode::HardwareRetriggerableOneShot)
        setOut(false);
}

// Modes 0, 1, 4 and 5: the element counts down and wraps; OUT acts once per load, when the
// element reaches zero.
std::uint64_t Pit8254::Counter::countDown(std::uint64_t pulses)
{
    if (strobing) {
        strobing = false;
        setOut(true);
    }
    const bool counting = running && (gate || isGateTriggered(mode));
    if (!counting)
        return 0;
    const std::uint32_t m = modulus();
    const std::uint64_t toTerminal = element == 0 ? m : element;
    if (armed && pulses >= toTerminal) {
        armed = false;
        if (!isStrobe(mode)) {
            setOut(true);
        } else {
            setOut(false);
            if (pulses == toTerminal)
                strobing = true;
            else
                setOut(true);
        }
    }
    element = static_cast<std::uint32_t>((element + m - pulses % m) % m);
    return 0;
}

// Modes 2 and 3 repeat every `period` clocks, so any number of pulses is a division; only a
// pending new count needs a stop at the end of the current period (mode 3: half-cycle).
// Returns the pulses left after such a stop.
std::uint64_t Pit8254::Counter::advancePeriodic(std::uint64_t pulses)
{
    if (!running || !gate)
        return 0;
    const std::uint32_t highClocks = (period + 1) / 2;
    const bool square = mode == Mode::SquareWave;
    if (newCountPending) {
        const bool inHighHalf = square && phase < highClocks;
        const std::uint64_t toReload = inHighHalf ? highClocks - phase : period - phase;
        if (pulses >= toReload) {
            // Within a period OUT only falls, so the last clock before the reload shows the
            // level the reload rises from.
            phase = inHighHalf ? highClocks - 1 : period - 1;
            out = settlePeriodicElement();
            newCountPending = false;
            nullCount = false;
            period = divisor();
            phase = inHighHalf ? (period + 1) / 2 : 0;
            if (phase >= period)
                phase = 0;
            settlePeriodic();
            return pulses - toReload;
        }
    }
    const std::uint64_t total = phase + pulses;
    if (period >= 2)
        risingEdges += total / period; // each wrap ends a low stretch
    // Never a division by zero: a running counter's period comes from divisor(), at least 1.
    phase = static_cast<std::uint32_t>(total % period); // NOLINT(clang-analyzer-core.DivideZero)
    out = settlePeriodicElement();
    return 0;
}

bool Pit8254::Counter::settlePeriodicElement()
{
    const std::uint32_t m = modulus();
    if (mode == Mode::RateGenerator) {
        element = (period - phase) % m;
        return phase != period - 1;
    }
    const std::uint32_t highClocks = (period + 1) / 2;
    const std::uint32_t top = period % 2 == 0 ? period : period - 1;
    const std::uint32_t step = phase < highClocks ? phase : phase - highClocks;
    element = (top - 2 * step) % m;
    return phase < highClocks;
}

void Pit8254::Counter::settlePeriodic()
{
    setOut(settlePeriodicElement());
}

void Pit8254::Counter::save(StateWriter &to) const
{
    // Mode, access and BCD are bits of the programmed byte: kept once, there.
    to.byte(programmed);
    to.u16(countRegister);
    to.flag(haveCount);
    to.flag(writeHighNext);
    to.byte(lowByteWritten);
    to.flag(readHighNext);
    to.flag(countLatched);
    to.u16(latchedCount);
    to.flag(statusLatched);
    to.byte(latchedStatus);
    to.flag(out);
    to.flag(nullCount);
    to.flag(gate);
    to.flag(triggerPending);
    to.flag(loadPending);
    to.flag(newCountPending);
    to.flag(running);
    to.flag(armed);
    to.flag(strobing);
    to.u32(element);
    to.u32(period);
    to.u32(phase);
    to.u64(risingEdges);
}

Pit8254::Counter Pit8254::Counter::restored(StateReader &from)
{
    Counter c;
    c.programmed = from.byte(pit::kStatusProgrammedMask);
    // RW 00 is the latch command: no counter is ever programmed with it.
    if ((c.programmed & pit::kAccessMask) == 0)
        throw StateOutOfRange(from.lastField());
    c.access = static_cast<Access>((c.programmed & pit::kAccessMask) >> pit::kAccessShift);
    c.mode = decodeMode(c.programmed);
    c.bcd = (c.programmed & pit::kBcdBit) != 0;
    c.countRegister = from.u16();
    c.haveCount = from.flag();
    c.writeHighNext = from.flag();
    c.lowByteWritten = from.byte();
    c.readHighNext = from.flag();
    c.countLatched = from.flag();
    c.latchedCount = from.u16();
    c.statusLatched = from.flag();
    c.latchedStatus = from.byte();
    c.out = from.flag();
    c.nullCount = from.flag();
    c.gate = from.flag();
    c.triggerPending = from.flag();
    c.loadPending = from.flag();
    c.newCountPending = from.flag();
    c.running = from.flag();
    c.armed = from.flag();
    c.strobing = from.flag();
    c.element = from.u32(0, c.modulus() - 1);
    c.period = from.u32(0, kBinaryModulus);
    const std::size_t periodAt = from.lastField();
    // A running rate generator or square wave divides by its period: one of the counts it can
    // be given.
    if (c.running && isPeriodic(c.mode) && (c.period == 0 || c.period > c.modulus()))
        throw StateOutOfRange(periodAt);
    c.phase = from.u32(0, c.period == 0 ? 0 : c.period - 1);
    c.risingEdges = from.u64();
    return c;
}

void Pit8254::save(StateWriter &out) const
{
    for (const Counter &counter : counters_)
        counter.save(out);
}

void Pit8254::restore(StateReader &in)
{
    std::array<Counter, registers::kPitCountersPerChip> counters;
    for (Counter &counter : counters)
        counter = Counter::restored(in);
    counters_ = counters;
}

Pit8254::Pit8254()
{
    for (Counter &counter : counters_)
        counter.program(pit::controlWord(0, Access::LowThenHigh, Mode::InterruptOnTerminalCount));
}

Pit8254::Counter &Pit8254::at(int counter)
{
    if (counter < 0 || counter >= registers::kPitCountersPerChip)
        throw std::out_of_range("8254 counter " + std::to_string(counter) + " does not exist");
    return counters_[static_cast<std::size_t>(counter)];
}

const Pit8254::Counter &Pit8254::at(int counter) const
{
    return const_cast<Pit8254 *>(this)->at(counter);
}

void Pit8254::writeControl(std::uint8_t byte)
{
    const int select = byte >> pit::kSelectShift;
    if (select == pit::kSelectReadBack) {
        for (int c = 0; c < registers::kPitCountersPerChip; ++c) {
            if ((byte & pit::readBackSelect(c)) == 0)
                continue;
            if ((byte & pit::kReadBackNoCount) == 0)
                counters_[c].latchCount();
            if ((byte & pit::kReadBackNoStatus) == 0)
                counters_[c].latchStatus();
        }
        return;
    }
    Counter &counter = counters_[static_cast<std::size_t>(select)];
    if ((byte & pit::kAccessMask) == 0)
        counter.latchCount();
    else
        counter.program(byte);
}

void Pit8254::writeCounter(int counter, std::uint8_t byte)
{
    at(counter).write(byte);
}

std::uint8_t Pit8254::readCounter(int counter)
{
    return at(counter).read();
}

void Pit8254::clock(int counter, std::uint64_t pulses)
{
    at(counter).clock(pulses);
}

void Pit8254::setGate(int counter, bool high)
{
    at(counter).setGate(high);
}

Pit8254::CounterState Pit8254::state(int counter) const
{
    const Counter &c = at(counter);
    return {c.mode,
            c.access,
            c.bcd,
            c.programmed,
            c.haveCount ? std::optional<std::uint32_t>(c.divisor()) : std::nullopt,
            c.out,
            c.nullCount,
            c.gate,
            c.statusByte(),
            c.elementRegister(),
            c.risingEdges};
}

double Pit8254::squareWaveFrequencyHz(int counter, double clockHz) const
{
    const Counter &c = at(counter);
    if (!isPeriodic(c.mode) || !c.haveCount || c.divisor() < 2)
        return 0.0;
    return clockHz / c.divisor();
}

} // namespace qm5083::hardware
