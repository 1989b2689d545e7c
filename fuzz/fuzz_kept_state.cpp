// A simulated card's kept state, as one program leaves it and as a damaged file may hold it. A card
// is driven through accesses and time, saved, and the saved bytes are restored into a fresh card,
// some of them overwritten first. Properties:
// - bytes left as saved are taken back, save again to themselves, and the restored card answers
//   every later access exactly as the card it was saved from;
// - overwritten bytes are either refused (StateOutOfRange), with the card left as it was, or taken,
//   after which they save again to themselves and the card runs through any accesses and any time
//   without a sanitizer report: no field the restore takes can make a later step divide by zero
//   or run past its range.
//
// Input, read front to back (bytes past the end read as 0):
//   n, then n % 32 accesses     driving the first card
//   m, then m % 16 overwrites   each: offset (2 bytes, little-endian, modulo the state's size),
//                               byte
//   accesses to the end         on the restored card (and on the first, when nothing was
//                               overwritten)
// An access is 3 bytes: a (offset (a & 0x1F) % 20, written when a & 0x80), a byte, and t: the
// clock moves t << 10 * (a >> 5 & 3) ns first (up to about 270 s).

#include "fuzz_check.h"

#include "simulated_card.h"
#include "state_bytes.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace {

using qm5083::hardware::SimulatedCard;
using qm5083::hardware::StateOutOfRange;
using qm5083::hardware::StateReader;
using qm5083::hardware::StateWriter;

class Reader
{
public:
    Reader(const std::uint8_t *data, std::size_t size)
        : data_(data)
        , size_(size)
    { }
    bool atEnd() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Access
{
    std::uint16_t port;
    bool write;
    std::uint8_t byte;
    std::chrono::nanoseconds step;
};

Access readAccess(Reader &in)
{
    const std::uint8_t a = in.byte();
    const std::uint8_t byte = in.byte();
    const std::uint64_t t = in.byte();
    return {static_cast<std::uint16_t>(0xE000 + (a & 0x1F) % 20), (a & 0x80) != 0, byte,
            std::chrono::nanoseconds(t << (10 * ((a >> 5) & 3)))};
}

// The byte a read gave, or the byte written.
std::uint8_t apply(SimulatedCard &card, const Access &access)
{
    if (!access.write)
        return card.inportb(access.port);
    card.outportb(access.port, access.byte);
    return access.byte;
}

std::vector<std::uint8_t> saved(const SimulatedCard &card)
{
    StateWriter out;
    card.save(out);
    return out.bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input = qm5083::fuzz::textOf(data, size);
    Reader in(data, size);
    std::chrono::nanoseconds now = std::chrono::seconds(1000);
    const SimulatedCard::Clock clock = [&now] {
        return now;
    };
    SimulatedCard first(clock);
    for (int n = in.byte() % 32; n > 0; --n) {
        const Access access = readAccess(in);
        now += access.step;
        apply(first, access);
    }

    std::vector<std::uint8_t> bytes = saved(first);
    QM5083_CHECK(bytes.size() == SimulatedCard::kSavedSize, input);
    const int overwrites = in.byte() % 16;
    for (int m = 0; m < overwrites; ++m) {
        const std::size_t at = (in.byte() | std::size_t {in.byte()} << 8) % bytes.size();
        bytes[at] = in.byte();
    }

    SimulatedCard kept(clock);
    const std::vector<std::uint8_t> fresh = saved(kept);
    try {
        StateReader reader(bytes);
        kept.restore(reader);
    } catch (const StateOutOfRange &) {
        QM5083_CHECK(overwrites > 0, input);
        QM5083_CHECK(saved(kept) == fresh, input);
        return 0;
    }
    QM5083_CHECK(saved(kept) == bytes, input);
    const bool same = bytes == saved(first);
    QM5083_CHECK(overwrites > 0 || same, input);
    while (!in.atEnd()) {
        const Access access = readAccess(in);
        now += access.step;
        const std::uint8_t answer = apply(kept, access);
        if (same)
            QM5083_CHECK(apply(first, access) == answer, input);
    }
    if (same)
        QM5083_CHECK(saved(kept) == saved(first), input);
    return 0;
}
