// A batch's lines, whatever a script may send: each line is either one command whose accesses are
// exactly its protocol's, or an error with nothing written, and the simulated card's state after
// a line never depends on a line that failed.
//
// Input: lines of text, each read as one batch line. The protocol is written out here from the
// card's rules, not taken from the program's tables.

#include "fuzz_check.h"

#include "card_commands.h"
#include "recording_port.h"
#include "script_command.h"
#include "simulated_card.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

using namespace qm5083;
using testing::Access;
using testing::in;
using testing::out;

constexpr std::uint16_t kBase = 0xE000;
constexpr std::size_t kMaxLines = 16;

// Everything a line can change on the card.
struct CardState
{
    std::array<std::uint8_t, 4> outputs;
    std::array<std::uint16_t, 4> daCodes;
    std::array<hardware::Pit8254::CounterState, 12> counters;
    bool operator==(const CardState &) const = default;
};

CardState stateOf(const hardware::SimulatedCard &card)
{
    CardState state {};
    for (int i = 0; i < 4; ++i) {
        state.outputs[i] = card.outputLatch(i);
        state.daCodes[i] = card.daCode(i);
    }
    for (int chip = 0; chip < 4; ++chip)
        for (int counter = 0; counter < 3; ++counter)
            state.counters[chip * 3 + counter] = card.chip(chip).state(counter);
    return state;
}

// The protocol of each card command, from the card's rules.
std::vector<Access> expected(const scripting::ScriptCommand &command,
                             const std::array<std::uint8_t, 4> &latches)
{
    std::vector<Access> accesses;
    const auto write = [&](int offset, int value) {
        accesses.push_back(
            out(static_cast<std::uint16_t>(kBase + offset), static_cast<std::int16_t>(value)));
    };
    if (const auto *c = std::get_if<scripting::OutCommand>(&command)) {
        for (int g = 0; g < 4; ++g)
            write(g, c->bytes[g]);
    } else if (std::holds_alternative<scripting::InCommand>(command)) {
        // The loopback: each input reads its output latch.
        for (int g = 0; g < 4; ++g)
            accesses.push_back(in(static_cast<std::uint16_t>(kBase + g), latches[g]));
    } else if (const auto *c = std::get_if<scripting::ClockCommand>(&command)) {
        const unsigned k = c->k % 65536;
        const unsigned n = c->n % 65536;
        // Chip A counter 1 takes k; chip A counter 2 and chips B to D counters 0 to 2 take n.
        const int loads[11][3] = {{7, 5, 0x76},   {7, 6, 0xB6},   {11, 8, 0x36},  {11, 9, 0x76},
                                  {11, 10, 0xB6}, {15, 12, 0x36}, {15, 13, 0x76}, {15, 14, 0xB6},
                                  {19, 16, 0x36}, {19, 17, 0x76}, {19, 18, 0xB6}};
        for (const auto &load : loads) {
            const unsigned count = load[1] == 5 ? k : n;
            write(load[0], load[2]);
            write(load[1], static_cast<int>(count & 0xFF));
            write(load[1], static_cast<int>(count >> 8));
        }
    } else if (const auto *c = std::get_if<scripting::DaCommand>(&command)) {
        for (int channel = 0; channel < 4; ++channel) {
            write(8, c->codes[channel] & 0xFF);
            write(9, (c->codes[channel] >> 8) | channel << 4);
            write(10, 0);
        }
    }
    return accesses;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input = fuzz::textOf(data, size);
    hardware::SimulatedCard card {[] {
        return std::chrono::nanoseconds(0);
    }};
    testing::RecordingPort port(card);
    protocol::CardRegisters registers(port, kBase);

    std::size_t lines = 0;
    for (std::size_t start = 0; start <= input.size() && lines < kMaxLines; ++lines) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        const std::string_view line = input.substr(start, end - start);
        start = end + 1;

        const std::vector<std::string> words = scripting::wordsOf(line);
        const CardState before = stateOf(card);
        port.clear();
        try {
            const scripting::ScriptCommand command = scripting::parseCommand(words);
            const std::vector<Access> protocol = expected(command, before.outputs);
            const hardware::OperationScope operation(port);
            std::visit(EachKind {
                           [&](const scripting::OutCommand &c) {
                               scripting::writeOutputs(registers, c.bytes);
                           },
                           [&](const scripting::InCommand &c) {
                               scripting::readInputs(registers, c.expect);
                           },
                           [&](const scripting::ClockCommand &c) {
                               scripting::startClocks(registers, c.k, c.n);
                           },
                           [&](const scripting::DaCommand &c) {
                               scripting::writeDaCodes(registers, c.codes);
                           },
                           [](const auto &) {}, // not a card command: it reaches no port
                       },
                       command);
            QM5083_CHECK(port.accesses() == protocol, line);
        } catch (const scripting::CommandError &) {
            // Any other exception is a fault: it escapes and libFuzzer reports it.
            QM5083_CHECK(port.accesses().empty(), line);
            QM5083_CHECK(stateOf(card) == before, line);
        }
    }
    return 0;
}
