// The 8254 model under any sequence of control words, counter writes and reads, gate changes
// and clock pulses. Two chips take the same sequence, except that where one takes n pulses at
// once the other takes them one at a time (small n) or in two parts (any n). Properties:
// - the two chips never differ: in every byte read and in everything they show (OUT, null
//   count, status, counting element, count, rising edges of OUT, mode);
// - what they show is consistent: the status byte's low six bits are the programmed ones, a
//   count is a divisor of 1..65536 (1..10000 in BCD), a frequency is finite and not negative;
// - counter indices other than 0..2 throw std::out_of_range and change nothing.

#include "fuzz_check.h"

#include "pit8254.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace {

using qm5083::hardware::Pit8254;

constexpr std::uint64_t kPulseByPulseLimit = 512;

struct Run
{
    std::string_view input;
    Pit8254 once;
    Pit8254 stepped;

    void check(bool condition, const char *property) const
    {
        if (!condition)
            qm5083::fuzz::fail(property, input);
    }

    void compare() const
    {
        for (int c = 0; c < 3; ++c) {
            check(once.state(c) == stepped.state(c), "both chips show the same");
            const Pit8254::CounterState state = once.state(c);
            check((state.status & 0x3F) == state.programmedBits, "status holds the mode");
            if (state.count)
                check(*state.count >= 1 && *state.count <= (state.bcd ? 10000U : 65536U),
                      "count range");
            const double hz = once.squareWaveFrequencyHz(c, 2e6);
            check(std::isfinite(hz) && hz >= 0, "frequency is a number");
        }
    }

    // Applies to both chips; a counter outside 0..2 must throw std::out_of_range from both.
    template<class F>
    void onBoth(int counter, F &&apply)
    {
        const bool valid = counter >= 0 && counter < 3;
        for (Pit8254 *chip : {&once, &stepped}) {
            try {
                apply(*chip);
                check(valid, "counter outside 0..2 accepted");
            } catch (const std::out_of_range &) {
                check(!valid, "counter 0..2 refused");
            }
        }
    }
};

// The input read front to back, one operation after another (bytes past the end read as 0):
//   0 c          control word c
//   1 i b        byte b written to counter i
//   2 i          counter i read
//   3 i g        gate of counter i set to g & 1
//   4 i lo hi    (hi << 8 | lo) % 513 pulses, the stepped chip taking them one at a time
//   5 i p*5 f*5  p pulses (40 bits, little-endian), the stepped chip taking f % (p + 1) of
//                them first and then the rest
// The operation is its byte % 6, the counter index its byte % 5 with 4 standing for -1.
class Reader
{
public:
    Reader(const std::uint8_t *data, std::size_t size)
        : data_(data)
        , size_(size)
    { }
    bool atEnd() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int counter()
    {
        const int c = byte() % 5;
        return c == 4 ? -1 : c;
    }
    std::uint64_t bytes(int count)
    {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i)
            value |= static_cast<std::uint64_t>(byte()) << (8 * i);
        return value;
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Reader in(data, size);
    Run run {qm5083::fuzz::textOf(data, size), {}, {}};
    while (!in.atEnd()) {
        switch (in.byte() % 6) {
        case 0: {
            const std::uint8_t byte = in.byte();
            run.once.writeControl(byte);
            run.stepped.writeControl(byte);
            break;
        }
        case 1: {
            const int counter = in.counter();
            const std::uint8_t byte = in.byte();
            run.onBoth(counter, [&](Pit8254 &chip) { chip.writeCounter(counter, byte); });
            break;
        }
        case 2: {
            const int counter = in.counter();
            int bytes[2] = {-1, -1};
            int which = 0;
            run.onBoth(counter, [&](Pit8254 &chip) { bytes[which++] = chip.readCounter(counter); });
            run.check(bytes[0] == bytes[1], "both chips read the same byte");
            break;
        }
        case 3: {
            const int counter = in.counter();
            const bool gate = (in.byte() & 1) != 0;
            run.onBoth(counter, [&](Pit8254 &chip) { chip.setGate(counter, gate); });
            break;
        }
        case 4: {
            const int counter = in.counter();
            const std::uint64_t pulses = in.bytes(2) % (kPulseByPulseLimit + 1);
            run.onBoth(counter, [&](Pit8254 &chip) {
                if (&chip == &run.once) {
                    chip.clock(counter, pulses);
                    return;
                }
                chip.clock(counter, 0); // no pulse at all changes nothing
                for (std::uint64_t i = 0; i < pulses; ++i)
                    chip.clock(counter, 1);
            });
            break;
        }
        case 5: {
            // Up to 2^40 pulses: some six days of the card's 2 MHz clock.
            const int counter = in.counter();
            const std::uint64_t pulses = in.bytes(5);
            const std::uint64_t first = in.bytes(5) % (pulses + 1);
            run.onBoth(counter, [&](Pit8254 &chip) {
                if (&chip == &run.once) {
                    chip.clock(counter, pulses);
                    return;
                }
                chip.clock(counter, first);
                chip.clock(counter, pulses - first);
            });
            break;
        }
        }
        run.compare();
    }
    return 0;
}
