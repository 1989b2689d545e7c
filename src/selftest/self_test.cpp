#include "self_test.h"

#include "card_protocol.h"
#include "field.h"
#include "registers.h"
#include "stored_base.h"

#include <algorithm>

namespace qm5083::selftest {

namespace {

namespace pit = registers::pit8254;
using namespace std::chrono_literals;

// A count long enough that a clocked counter moves without coming round between two reads.
constexpr unsigned kTestCount = 0xF000;
// The base clock while the other counters are tested: the card clock / 2.
constexpr unsigned kFastBaseDivider = 2;
constexpr std::uint8_t kNoAnswer = 0xFF;

class Card
{
public:
    Card(hardware::PortAccess &port, std::uint16_t base)
        : port_(port)
    {
        IOBase_.store(static_cast<std::int16_t>(base));
    }

    void write(int offset, std::int16_t value)
    {
        const protocol::RegisterWrite one {offset, value};
        write({&one, 1});
    }
    void write(std::span<const protocol::RegisterWrite> writes)
    {
        panels::writeRegisters(port_, IOBase_, writes);
    }
    std::uint8_t read(int offset) { return port_.inportb(panels::PortAddress(IOBase_, offset)); }

private:
    hardware::PortAccess &port_;
    panels::StoredBase IOBase_;
};

std::array<std::uint8_t, 4> inputs(Card &card)
{
    std::array<std::uint8_t, 4> read {};
    for (int group = 0; group < registers::kDigitalGroupCount; ++group)
        read[static_cast<std::size_t>(group)] = card.read(protocol::digitalInputOffset(group));
    return read;
}

// Every pattern on the group under test, with the other groups at its inverse: a walking one, a
// walking zero, all zeros and all ones. Stuck bits show against either level, and bits bridged
// within or between groups show where their patterns differ.
std::vector<std::uint8_t> loopbackPatterns()
{
    std::vector<std::uint8_t> patterns;
    patterns.reserve(18);
    for (int bit = 0; bit < 8; ++bit)
        patterns.push_back(static_cast<std::uint8_t>(1 << bit));
    for (int bit = 0; bit < 8; ++bit)
        patterns.push_back(static_cast<std::uint8_t>(~(1 << bit)));
    patterns.push_back(0x00);
    patterns.push_back(0xFF);
    return patterns;
}

void testLoopback(Card &card, SelfTestResult &result)
{
    for (std::size_t g = 0; g < result.loopback.size(); ++g)
        result.loopback[g].group = static_cast<int>(g) + 1;
    for (int tested = 0; tested < registers::kDigitalGroupCount; ++tested) {
        for (const std::uint8_t pattern : loopbackPatterns()) {
            std::array<std::uint8_t, 4> written {};
            for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
                const auto byte = group == tested ? pattern : static_cast<std::uint8_t>(~pattern);
                written[static_cast<std::size_t>(group)] = byte;
                const protocol::RegisterWrite write = protocol::digitalOutputWrite(group, byte);
                card.write({&write, 1});
            }
            const std::array<std::uint8_t, 4> read = inputs(card);
            for (std::size_t group = 0; group < 4; ++group) {
                LoopbackResult &groupResult = result.loopback[group];
                for (int bit = 0; bit < 8; ++bit) {
                    const bool wrote = (written[group] >> bit) & 1;
                    const bool got = (read[group] >> bit) & 1;
                    const bool known = std::any_of(
                        groupResult.failures.begin(), groupResult.failures.end(),
                        [bit](const BitFailure &failure) { return failure.bit == bit; });
                    if (wrote != got && !known)
                        groupResult.failures.push_back(
                            {groupResult.group, bit, wrote, got, written[group], read[group]});
                }
            }
        }
    }
    for (LoopbackResult &groupResult : result.loopback)
        std::sort(groupResult.failures.begin(), groupResult.failures.end(),
                  [](const BitFailure &a, const BitFailure &b) { return a.bit < b.bit; });
}

void load(Card &card, const protocol::Counter &counter, unsigned count)
{
    card.write(
        protocol::controlWordOffset(counter),
        pit::controlWord(counter.counter, pit::Access::LowThenHigh, pit::Mode::RateGenerator));
    card.write(protocol::counterOffset(counter), static_cast<std::int16_t>(count & 0xFF));
    card.write(protocol::counterOffset(counter), static_cast<std::int16_t>((count >> 8) & 0xFF));
}

std::uint8_t status(Card &card, const protocol::Counter &counter)
{
    card.write(protocol::controlWordOffset(counter),
               static_cast<std::uint8_t>(pit::kReadBackCommand | pit::kReadBackNoCount
                                         | pit::readBackSelect(counter.counter)));
    return card.read(protocol::counterOffset(counter));
}

unsigned latchedCount(Card &card, const protocol::Counter &counter)
{
    card.write(protocol::controlWordOffset(counter),
               pit::controlWord(counter.counter, pit::Access::LatchCommand, pit::Mode {}));
    const unsigned low = card.read(protocol::counterOffset(counter));
    const unsigned high = card.read(protocol::counterOffset(counter));
    return high << 8 | low;
}

// Programs the counter's mode and access, then checks them in its status, its count against the
// count loaded, and that it counts.
void checkCounter(Card &card, const protocol::Counter &counter, unsigned loaded, const Wait &wait,
                  std::vector<CounterProblem> &problems, std::vector<std::uint8_t> &statuses)
{
    constexpr std::uint8_t kProgrammed
        = pit::controlWord(0, pit::Access::LowThenHigh, pit::Mode::RateGenerator)
        & pit::kStatusProgrammedMask;
    const std::uint8_t read = status(card, counter);
    statuses.push_back(read);
    if ((read & pit::kStatusProgrammedMask) != kProgrammed) {
        problems.push_back({CounterProblem::Kind::Status, counter.counter, kProgrammed,
                            static_cast<unsigned>(read & pit::kStatusProgrammedMask)});
        return;
    }
    const unsigned first = latchedCount(card, counter);
    if (first == 0 || first > loaded) {
        problems.push_back({CounterProblem::Kind::Count, counter.counter, loaded, first});
        return;
    }
    wait(2ms);
    const unsigned second = latchedCount(card, counter);
    if (second == first)
        problems.push_back({CounterProblem::Kind::Stopped, counter.counter, loaded, second});
}

void testCounters(Card &card, const Wait &wait, SelfTestResult &result)
{
    std::array<std::vector<std::uint8_t>, 4> statuses;
    for (std::size_t chip = 0; chip < result.chips.size(); ++chip)
        result.chips[chip].chip = static_cast<int>(chip);

    // The base clock first, counting the card clock with a long count.
    load(card, protocol::kBaseClock, kTestCount);
    wait(1ms);
    checkCounter(card, protocol::kBaseClock, kTestCount, wait,
                 result.chips[static_cast<std::size_t>(protocol::kBaseClock.chip)].problems,
                 statuses[static_cast<std::size_t>(protocol::kBaseClock.chip)]);

    // Then every other counter, clocked by a fast base clock.
    std::vector<protocol::Counter> clocked;
    for (int chip = 0; chip < registers::kPitChipCount; ++chip)
        for (int counter = 0; counter < registers::kPitCountersPerChip; ++counter)
            if (protocol::Counter {chip, counter} != protocol::kBaseClock)
                clocked.push_back({chip, counter});
    for (const protocol::Counter &counter : clocked)
        load(card, counter, kTestCount);
    load(card, protocol::kBaseClock, kFastBaseDivider);
    wait(1ms);
    for (const protocol::Counter &counter : clocked)
        checkCounter(card, counter, kTestCount, wait,
                     result.chips[static_cast<std::size_t>(counter.chip)].problems,
                     statuses[static_cast<std::size_t>(counter.chip)]);

    for (std::size_t chip = 0; chip < result.chips.size(); ++chip) {
        const auto &read = statuses[chip];
        if (!read.empty() && std::all_of(read.begin(), read.end(), [](std::uint8_t s) {
                return s == kNoAnswer;
            })) {
            result.chips[chip].absent = true;
            result.chips[chip].problems.clear();
        }
    }
}

void writeDaCode(Card &card, int channel, std::uint16_t code)
{
    card.write(protocol::daChannelWrites(channel, static_cast<std::int16_t>(code & 0xFF),
                                         static_cast<std::int16_t>(code >> 8)));
}

void leaveInKnownState(Card &card)
{
    for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
        const protocol::RegisterWrite write = protocol::digitalOutputWrite(group, 0);
        card.write({&write, 1});
    }
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel)
        writeDaCode(card, channel, 0);
    // The clocks last: the DA writes reach chip B's counters, and these leave the DA codes at 0.
    const auto bytes = [](unsigned divider) {
        return protocol::CounterBytes {static_cast<std::uint8_t>(divider & 0xFF),
                                       static_cast<std::uint8_t>(divider >> 8)};
    };
    card.write(protocol::clockSetupWrites(bytes(kFinalBaseDivider), bytes(kFinalOutputDivider)));
}

} // namespace

bool SelfTestResult::passed() const
{
    return std::all_of(loopback.begin(), loopback.end(),
                       [](const LoopbackResult &r) { return r.passed(); })
        && std::all_of(chips.begin(), chips.end(), [](const ChipResult &r) { return r.passed(); });
}

SelfTestResult runSelfTest(hardware::PortAccess &port, std::uint16_t base, const Wait &wait)
{
    port.beginOperation();
    Card card(port, base);
    SelfTestResult result;
    testLoopback(card, result);
    testCounters(card, wait, result);
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel) {
        for (const std::uint16_t code : kDaTestCodes)
            writeDaCode(card, channel, code);
        result.daSteps.push_back({channel, {kDaTestCodes.begin(), kDaTestCodes.end()}});
    }
    leaveInKnownState(card);
    return result;
}

} // namespace qm5083::selftest
