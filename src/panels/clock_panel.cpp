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
    writeRegisters(port, IOBase, protocol::clockSetupWrites(k, n));
}

namespace {

struct Divider
{
    std::optional<unsigned> count; // the count the counter divides by: 1..65536
    std::string note;              // how the text reads, or why it fails
};

std::string formatNumber(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

std::string formatFrequency(double hz)
{
    if (hz >= 1e6)
        return formatNumber(hz / 1e6) + " MHz";
    if (hz >= 1e3)
        return formatNumber(hz / 1e3) + " kHz";
    return formatNumber(hz) + " Hz";
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
            divider.note = "a count of 0 divides by 65536";
        else if (loaded == 1)
            divider.note = "a count of 1 is not valid for a square wave";
        else if (withoutBlanks(text) != std::to_string(loaded))
            divider.note = "the text reads as " + std::to_string(loaded);
        return divider;
    } catch (const convert::RuntimeError &error) {
        std::string why = error.what();
        why += ": \"" + std::string(text) + "\" ";
        if (error.number() == convert::ErrorNumber::Overflow
            && std::string_view(text).find_first_not_of(" \t\n") != std::string_view::npos)
            why += "reads as " + formatNumber(value) + ", outside the divider's range 0 to 65535";
        else
            why += "cannot be read as a divider";
        return {std::nullopt, why};
    }
}

std::string withNote(std::string text, const Divider &divider)
{
    if (!divider.note.empty())
        text += " (" + divider.note + ")";
    return text;
}

} // namespace

ClockDescription describeClockDividers(std::string_view clkBaseText, std::string_view clkOutputText)
{
    const Divider k = readDivider(clkBaseText, baseDividerBytes);
    const Divider n = readDivider(clkOutputText, outputDividerBytes);
    const std::string cardClock = formatFrequency(registers::kCardClockHz);
    ClockDescription description;
    if (!k.count) {
        description.base = "Not accepted by the clock output: " + k.note;
        description.output = "Output frequency unknown: the base divider is not accepted";
        if (!n.count)
            description.output = "Not accepted by the clock output: " + n.note;
        return description;
    }
    const double baseHz = registers::kCardClockHz / *k.count;
    description.base = withNote("Base frequency (pin 31) = " + cardClock + " / "
                                    + std::to_string(*k.count) + " = " + formatFrequency(baseHz),
                                k);
    if (!n.count) {
        description.output = "Not accepted by the clock output: " + n.note;
        return description;
    }
    description.output = withNote("Outputs 1, 4, 7, ..., 28 = " + cardClock + " / ("
                                      + std::to_string(*k.count) + " x " + std::to_string(*n.count)
                                      + ") = " + formatFrequency(baseHz / *n.count),
                                  n);
    return description;
}

} // namespace qm5083::panels
