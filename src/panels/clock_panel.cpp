#include "clock_panel.h"

#include "field.h"
#include "parse_number.h"
#include "value.h"

#include <cstdio>
#include <optional>

namespace qm5083::panels {

namespace {

constexpr std::int16_t kByteMask = 255;
constexpr std::int16_t kByteSpan = 256;

std::uint8_t lowByteOf(double divider)
{
    return convert::ToByte(convert::And(divider, kByteMask));
}

std::uint8_t highByteOf(double divider)
{
    return convert::ToByte(convert::FloorOf(convert::Divide(divider, kByteSpan)));
}

} // namespace

protocol::CounterBytes outputDividerBytes(double n)
{
    const std::uint8_t low = lowByteOf(n);
    const std::uint8_t high = highByteOf(n);
    return {low, high};
}

protocol::CounterBytes baseDividerBytes(double k)
{
    const std::uint8_t high = highByteOf(k);
    const std::uint8_t low = lowByteOf(k);
    return {low, high};
}

void startClockOutputs(const TextBox &txtClkBase, const TextBox &txtClkOutput,
                       const StoredBase &IOBase, hardware::PortAccess &port)
{
    const protocol::CounterBytes n = readDecimalField(txtClkOutput, outputDividerBytes);
    const protocol::CounterBytes k = readDecimalField(txtClkBase, baseDividerBytes);
    const auto writes = protocol::clockSetupWrites(k, n);
    refuseUnreachable(port, IOBase, writes);
    writeRegisters(port, IOBase, writes);
}

namespace {

using hardware::Message;

struct Divider
{
    std::optional<unsigned> count; // the count the counter divides by: 1..65536
    std::optional<Message> note;   // how the text reads, or why it fails
};

std::string formatNumber(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

Message frequency(double hz)
{
    if (hz >= 1e6)
        return Message::value(formatNumber(hz / 1e6) + " MHz");
    if (hz >= 1e3)
        return Message::value(formatNumber(hz / 1e3) + " kHz");
    return Message::value(formatNumber(hz) + " Hz");
}

Message number(unsigned value)
{
    return Message::value(std::to_string(value));
}

std::string withoutBlanks(std::string_view text)
{
    std::string kept;
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            kept += c;
    return kept;
}

Divider readDivider(std::string_view text, protocol::CounterBytes (*bytesOf)(double))
{
    double value = 0;
    try {
        value = convert::ParseNumber(text);
        const protocol::CounterBytes bytes = bytesOf(value);
        const unsigned loaded = bytes.high * 256U + bytes.low;
        Divider divider {loaded == 0 ? 65536U : loaded, {}};
        if (loaded == 0)
            divider.note = Message(QM5083_MESSAGE("Card", "a count of 0 divides by 65536"));
        else if (loaded == 1)
            divider.note
                = Message(QM5083_MESSAGE("Card", "a count of 1 is not valid for a square wave"));
        else if (withoutBlanks(text) != std::to_string(loaded))
            divider.note
                = Message(QM5083_MESSAGE("Card", "the text reads as %1"), {number(loaded)});
        return divider;
    } catch (const convert::RuntimeError &error) {
        const Message typed = Message::value(std::string(text));
        if (error.number() == convert::ErrorNumber::Overflow
            && std::string_view(text).find_first_not_of(" \t\n") != std::string_view::npos)
            return {std::nullopt,
                    Message(QM5083_MESSAGE("Card",
                                           "%1: \"%2\" reads as %3, outside the divider's "
                                           "range 0 to 65535"),
                            {Message::value(error.what()), typed,
                             Message::value(formatNumber(value))})};
        return {std::nullopt,
                Message(QM5083_MESSAGE("Card", "%1: \"%2\" cannot be read as a divider"),
                        {Message::value(error.what()), typed})};
    }
}

Message withNote(Message text, const Divider &divider)
{
    if (!divider.note)
        return text;
    return Message(QM5083_MESSAGE("Card", "%1 (%2)"), {std::move(text), *divider.note});
}

Message notAccepted(const Divider &divider)
{
    return Message(QM5083_MESSAGE("Card", "Not accepted by the clock output: %1"), {*divider.note});
}

} // namespace

ClockDescription describeClockDividers(std::string_view clkBaseText, std::string_view clkOutputText)
{
    const Divider k = readDivider(clkBaseText, baseDividerBytes);
    const Divider n = readDivider(clkOutputText, outputDividerBytes);
    const Message cardClock = frequency(registers::kCardClockHz);
    ClockDescription description;
    description.base.asShown = !k.note;
    description.output.asShown = !n.note;
    if (!k.count) {
        description.base.tooltip = notAccepted(k);
        description.output.tooltip = n.count
            ? Message(QM5083_MESSAGE("Card",
                                     "Output frequency unknown: the base "
                                     "divider is not accepted"))
            : notAccepted(n);
        return description;
    }
    const double baseHz = registers::kCardClockHz / *k.count;
    description.base.tooltip
        = withNote(Message(QM5083_MESSAGE("Card", "Base frequency (pin 31) = %1 / %2 = %3"),
                           {cardClock, number(*k.count), frequency(baseHz)}),
                   k);
    if (!n.count) {
        description.output.tooltip = notAccepted(n);
        return description;
    }
    description.output.tooltip = withNote(
        Message(QM5083_MESSAGE("Card", "Outputs 1, 4, 7, ..., 28 = %1 / (%2 x %3) = %4"),
                {cardClock, number(*k.count), number(*n.count), frequency(baseHz / *n.count)}),
        n);
    return description;
}

} // namespace qm5083::panels
