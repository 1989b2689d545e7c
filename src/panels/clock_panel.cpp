#include "clock_panel.h"

#include "convert/parse_number.h"
#include "convert/value.h"
#include "field.h"
#include "hardware/registers.h"

#include <cstdio>
#include <optional>

namespace qm5083::panels {

namespace {

using convert::Value;
namespace pit = registers::pit8254;

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

CounterBytes OutputDividerBytes(double n)
{
    const std::uint8_t low = lowByteOf(n);
    const std::uint8_t high = highByteOf(n);
    return {low, high};
}

CounterBytes BaseDividerBytes(double k)
{
    const std::uint8_t high = highByteOf(k);
    const std::uint8_t low = lowByteOf(k);
    return {low, high};
}

std::array<RegisterWrite, 33> ClockSetupWrites(CounterBytes k, CounterBytes n)
{
    std::array<RegisterWrite, 33> writes {};
    std::size_t next = 0;
    const auto load = [&](int chip, int counter, CounterBytes count) {
        const registers::PitChip &pitChip = registers::kPitChips[chip];
        writes[next++] = {pitChip.control, pit::squareWaveControlWord(counter)};
        writes[next++] = {pitChip.counter[counter], count.low};
        writes[next++] = {pitChip.counter[counter], count.high};
    };
    // Chip A counter 0 is not part of the clock outputs and is left alone.
    load(registers::kBaseClockChip, registers::kBaseClockCounter, k);
    load(0, 2, n);
    for (int chip = 1; chip < registers::kPitChipCount; ++chip)
        for (int counter = 0; counter < 3; ++counter)
            load(chip, counter, n);
    return writes;
}

void cmdClk_Click(const TextBox &txtClkBase, const TextBox &txtClkOutput, const StoredBase &IOBase,
                  hardware::PortAccess &port)
{
    const CounterBytes n = readDecimalField(txtClkOutput, OutputDividerBytes);
    const CounterBytes k = readDecimalField(txtClkBase, BaseDividerBytes);
    for (const RegisterWrite &write : ClockSetupWrites(k, n))
        port.outportb(PortAddress(IOBase, write.offset), write.byte);
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

Divider readDivider(std::string_view text, CounterBytes (*bytesOf)(double))
{
    double value = 0;
    try {
        value = convert::ParseDecimalField(text);
        const CounterBytes bytes = bytesOf(value);
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

ClockDescription DescribeClockDividers(std::string_view clkBaseText, std::string_view clkOutputText)
{
    const Divider k = readDivider(clkBaseText, BaseDividerBytes);
    const Divider n = readDivider(clkOutputText, OutputDividerBytes);
    ClockDescription description;
    if (!k.count) {
        description.base = "Not accepted by the clock output: " + k.note;
        description.output = "Output frequency unknown: the base divider is not accepted";
        if (!n.count)
            description.output = "Not accepted by the clock output: " + n.note;
        return description;
    }
    const double baseHz = registers::kCardClockHz / *k.count;
    description.base = withNote("Base frequency (pin 31) = 2 MHz / " + std::to_string(*k.count)
                                    + " = " + formatFrequency(baseHz),
                                k);
    if (!n.count) {
        description.output = "Not accepted by the clock output: " + n.note;
        return description;
    }
    description.output
        = withNote("Outputs 1, 4, 7, ..., 28 = 2 MHz / (" + std::to_string(*k.count) + " x "
                       + std::to_string(*n.count) + ") = " + formatFrequency(baseHz / *n.count),
                   n);
    return description;
}

} // namespace qm5083::panels
