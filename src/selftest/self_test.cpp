#include "self_test.h"

#include "card_protocol.h"
#include "registers.h"

#include <algorithm>
#include <optional>

namespace qm5083::selftest {

namespace {

namespace pit = registers::pit8254;
using namespace std::chrono_literals;
using protocol::CardRegisters;

// A count long enough that a clocked counter moves without coming round between two reads.
constexpr unsigned kTestCount = 0xF000;
// The base clock while the other counters are tested: the card clock / 2.
constexpr unsigned kFastBaseDivider = 2;
constexpr std::uint8_t kNoAnswer = 0xFF;

std::array<std::uint8_t, 4> inputs(CardRegisters &card)
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

void testLoopback(CardRegisters &card, SelfTestResult &result)
{
    for (int tested = 0; tested < registers::kDigitalGroupCount; ++tested) {
        for (const std::uint8_t pattern : loopbackPatterns()) {
            std::array<std::uint8_t, 4> written {};
            for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
                const auto byte = group == tested ? pattern : static_cast<std::uint8_t>(~pattern);
                written[static_cast<std::size_t>(group)] = byte;
                card.write(protocol::digitalOutputWrite(group, byte));
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

void load(CardRegisters &card, const protocol::Counter &counter, unsigned count)
{
    card.write(protocol::counterLoadWrites(
        counter, pit::Mode::RateGenerator,
        {static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>(count >> 8)}));
}

// Checks what the counter was programmed with in its status, then (when its counting is
// checked) that it counts between two latched reads, then its count against the count loaded. A
// counter that does not move is named as such whatever it holds, and one whose count never
// loaded as reached by no clock. Unchecked, a count is judged only once loaded.
void checkCounter(CardRegisters &card, const protocol::Counter &counter, unsigned loaded,
                  const Wait &wait, bool countingChecked, std::vector<CounterProblem> &problems,
                  std::vector<std::uint8_t> &statuses)
{
    constexpr std::uint8_t kProgrammed
        = pit::controlWord(0, pit::Access::LowThenHigh, pit::Mode::RateGenerator)
        & pit::kStatusProgrammedMask;
    const std::uint8_t read = card.readStatus(counter);
    statuses.push_back(read);
    if ((read & pit::kStatusProgrammedMask) != kProgrammed) {
        problems.push_back({CounterProblem::Kind::Status, counter.counter, kProgrammed,
                            static_cast<unsigned>(read & pit::kStatusProgrammedMask)});
        return;
    }
    const unsigned first = card.readLatchedCount(counter);
    const bool outside = first == 0 || first > loaded;
    if (!countingChecked) {
        if ((read & pit::kStatusNullCount) == 0 && outside)
            problems.push_back({CounterProblem::Kind::Count, counter.counter, loaded, first});
        return;
    }
    wait(2ms);
    const unsigned second = card.readLatchedCount(counter);
    if (second == first) {
        const bool neverLoaded = (card.readStatus(counter) & pit::kStatusNullCount) != 0;
        problems.push_back(
            {neverLoaded ? CounterProblem::Kind::NoClock : CounterProblem::Kind::Stopped,
             counter.counter, loaded, second});
    } else if (outside) {
        problems.push_back({CounterProblem::Kind::Count, counter.counter, loaded, first});
    }
}

// Chip A counter 0 is not part of the clock outputs, and what clocks it is not known.
constexpr protocol::Counter kUnknownClock {0, 0};

void testCounters(CardRegisters &card, const Wait &wait, SelfTestResult &result)
{
    std::array<std::vector<std::uint8_t>, 4> statuses;

    // The base clock first, counting the card clock with a long count.
    load(card, protocol::kBaseClock, kTestCount);
    wait(1ms);
    auto &baseChip = statuses[static_cast<std::size_t>(protocol::kBaseClock.chip)];
    checkCounter(card, protocol::kBaseClock, kTestCount, wait, true,
                 result.chips[static_cast<std::size_t>(protocol::kBaseClock.chip)].problems,
                 baseChip);
    // A chip A that does not answer makes no base clock for the others to count.
    const bool baseClock = baseChip.back() != kNoAnswer;

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
    for (const protocol::Counter &counter : clocked) {
        ChipResult &chip = result.chips[static_cast<std::size_t>(counter.chip)];
        std::optional<CountingUnchecked> unchecked;
        if (counter == kUnknownClock)
            unchecked = CountingUnchecked::ClockUnknown;
        else if (!baseClock && counter.chip != protocol::kBaseClock.chip)
            unchecked = CountingUnchecked::NoBaseClock;
        if (unchecked)
            chip.countingUnchecked.emplace_back(counter.counter, *unchecked);
        checkCounter(card, counter, kTestCount, wait, !unchecked, chip.problems,
                     statuses[static_cast<std::size_t>(counter.chip)]);
    }

    for (std::size_t chip = 0; chip < result.chips.size(); ++chip) {
        const auto &read = statuses[chip];
        if (!read.empty() && std::all_of(read.begin(), read.end(), [](std::uint8_t s) {
                return s == kNoAnswer;
            })) {
            result.chips[chip].absent = true;
            result.chips[chip].problems.clear();
            result.chips[chip].countingUnchecked.clear();
        }
    }
}

void leaveInKnownState(CardRegisters &card)
{
    for (int group = 0; group < registers::kDigitalGroupCount; ++group)
        card.write(protocol::digitalOutputWrite(group, 0));
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel)
        card.write(protocol::daCodeWrites(channel, 0));
    // The clocks last: the DA writes reach chip B's counters, and these leave the DA codes at 0.
    const auto bytes = [](unsigned divider) {
        return protocol::CounterBytes {static_cast<std::uint8_t>(divider & 0xFF),
                                       static_cast<std::uint8_t>(divider >> 8)};
    };
    card.write(protocol::clockSetupWrites(bytes(kFinalBaseDivider), bytes(kFinalOutputDivider)));
}

} // namespace

bool SelfTestResult::ran(SelfTestPart part) const
{
    return std::find(skipped.begin(), skipped.end(), part) == skipped.end()
        && std::find(notReached.begin(), notReached.end(), part) == notReached.end();
}

bool SelfTestResult::passed() const
{
    return std::all_of(loopback.begin(), loopback.end(),
                       [](const LoopbackResult &r) { return r.passed(); })
        && std::all_of(chips.begin(), chips.end(), [](const ChipResult &r) { return r.passed(); });
}

SelfTestResult runSelfTest(hardware::PortAccess &port, std::uint16_t base, const Wait &wait,
                           const std::vector<SelfTestPart> &skip, const StopAsked &stop,
                           const PartDone &done, const DaMeasure &measure)
{
    // One operation from start to end: no other program reaches the card in between.
    const hardware::OperationScope scope(port);
    CardRegisters card(port, base);
    SelfTestResult result;
    for (const SelfTestPart part :
         {SelfTestPart::Loopback, SelfTestPart::Counters, SelfTestPart::Da})
        if (std::find(skip.begin(), skip.end(), part) != skip.end())
            result.skipped.push_back(part);
    for (std::size_t g = 0; g < result.loopback.size(); ++g)
        result.loopback[g].group = static_cast<int>(g) + 1;
    for (std::size_t chip = 0; chip < result.chips.size(); ++chip)
        result.chips[chip].chip = static_cast<int>(chip);
    // Each part runs whole or not at all; the card is left as always however the test ends.
    const auto reached = [&](SelfTestPart part) {
        if (!result.ran(part))
            return false;
        if (!result.notReached.empty() || (stop && stop())) {
            result.notReached.push_back(part);
            return false;
        }
        return true;
    };
    const auto tell = [&](SelfTestPart part) {
        if (done)
            done(part, result);
    };
    if (reached(SelfTestPart::Loopback)) {
        testLoopback(card, result);
        tell(SelfTestPart::Loopback);
    }
    if (reached(SelfTestPart::Counters)) {
        testCounters(card, wait, result);
        tell(SelfTestPart::Counters);
    }
    if (reached(SelfTestPart::Da)) {
        for (int channel = 0; channel < registers::kDaChannelCount; ++channel) {
            if (measure) {
                result.daSteps.push_back({channel, measure(channel)});
                continue;
            }
            for (const std::uint16_t code : kDaTestCodes)
                card.write(protocol::daCodeWrites(channel, code));
            result.daSteps.push_back({channel, {kDaTestCodes.begin(), kDaTestCodes.end()}});
        }
        tell(SelfTestPart::Da);
    }
    leaveInKnownState(card);
    return result;
}

} // namespace qm5083::selftest
