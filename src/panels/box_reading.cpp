#include "box_reading.h"

#include "base_address_panel.h"
#include "clock_panel.h"
#include "da_panel.h"
#include "digital_output_panel.h"
#include "hex_text.h"
#include "parse_number.h"
#include "port_access.h"
#include "runtime_error.h"
#include "value.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace qm5083::panels {

namespace {

using hardware::Message;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

// Why a hexadecimal box's text does not read as the number it shows, if it does not.
std::optional<Message> hexTextNote(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), isBlank))
        return Message(QM5083_MESSAGE("Card", "an empty box reads as 0"));
    const auto stop = std::find_if(text.begin(), text.end(), [](char c) {
        return !isBlank(c) && convert::hexDigitValue(c) < 0;
    });
    if (stop != text.end()) {
        // The whole character, however many bytes it takes in UTF-8.
        auto end = stop + 1;
        while (end != text.end() && (static_cast<unsigned char>(*end) & 0xC0) == 0x80)
            ++end;
        return Message(QM5083_MESSAGE("Card", "reading stops at \"%1\""),
                       {Message::value(std::string(stop, end))});
    }
    if (std::any_of(text.begin(), text.end(), isBlank))
        return Message(QM5083_MESSAGE("Card", "blanks are left out"));
    return std::nullopt;
}

// A number read from a hexadecimal box as it was typed: 16-bit patterns from 8000 up read as
// negative numbers, and so do 32-bit ones from 80000000.
Message typedHex(double value)
{
    if (value < 0)
        value += value >= -32768 ? 65536.0 : 4294967296.0;
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return Message::value(text);
}

Message stopsAtThisBox(const convert::RuntimeError &error, const char *operation)
{
    return Message(QM5083_MESSAGE("Card", "%1: %2 stops at this box"),
                   {Message::value(error.what()), Message::value(operation)});
}

BoxReading readsAs(double value, const Message &writes, std::optional<Message> note)
{
    if (!note)
        return {};
    return {Message(QM5083_MESSAGE("Card", "reads as %1, writes %2: %3"),
                    {typedHex(value), writes, *note}),
            false};
}

BoxReading byteReading(std::string_view text)
{
    try {
        const double value = convert::ParseHexField(text);
        // As the port takes it: the low byte of the 16-bit value passed.
        const std::uint8_t written = hardware::lowByte(convert::ToInt16(value));
        std::optional<Message> note = hexTextNote(text);
        if (!note && (value < 0 || value > 0xFF))
            note = Message(QM5083_MESSAGE("Card", "a byte keeps its low 8 bits"));
        return readsAs(value, Message::value(convert::hex2(written)), note);
    } catch (const convert::RuntimeError &error) {
        return {stopsAtThisBox(error, "输出"), false};
    }
}

BoxReading daReading(std::string_view text)
{
    try {
        const double value = convert::ParseHexField(text);
        if (!(value >= 0 && value <= protocol::kDaCodeMax))
            return {Message(QM5083_MESSAGE("Card",
                                           "reads as %1, beyond FFF: DA 输出 stops at "
                                           "this box"),
                            {typedHex(value)}),
                    false};
        return readsAs(value, Message::value(convert::FormatHex(static_cast<std::int16_t>(value))),
                       hexTextNote(text));
    } catch (const convert::RuntimeError &error) {
        return {stopsAtThisBox(error, "DA 输出"), false};
    }
}

BoxReading baseReading(std::string_view text)
{
    try {
        const double value = convert::ParseHexField(text);
        if (value < -32768 || value > 0xFFFF)
            return {Message(QM5083_MESSAGE("Card",
                                           "reads as %1, beyond FFFF: no port can be "
                                           "formed from it"),
                            {typedHex(value)}),
                    false};
        if (const std::optional<Message> note = hexTextNote(text))
            return {Message(QM5083_MESSAGE("Card", "reads as %1: %2"), {typedHex(value), *note}),
                    false};
        return {};
    } catch (const convert::RuntimeError &error) {
        return {stopsAtThisBox(error, "输出, DA 输出"), false};
    }
}

} // namespace

std::optional<BoxReading> readingOf(std::string_view box,
                                    const std::function<std::string(std::string_view)> &texts)
{
    const auto isOneOf = [box](const auto &names) {
        return std::find(names.begin(), names.end(), box) != names.end();
    };
    if (isOneOf(kOutputBoxes))
        return byteReading(texts(box));
    if (isOneOf(kDaBoxes))
        return daReading(texts(box));
    if (box == kBaseAddressBox)
        return baseReading(texts(box));
    if (box == kBaseDividerBox || box == kOutputDividerBox) {
        const ClockDescription clock
            = describeClockDividers(texts(kBaseDividerBox), texts(kOutputDividerBox));
        return box == kBaseDividerBox ? clock.base : clock.output;
    }
    return std::nullopt;
}

std::optional<Message> inputBits(std::string_view text)
{
    if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), [](char c) {
            return convert::hexDigitValue(c) >= 0;
        }))
        return std::nullopt;
    const auto byte = static_cast<unsigned>(convert::ParseHexField(text));
    std::string bits;
    for (int bit = 7; bit >= 0; --bit) {
        bits += (byte >> bit & 1) ? '1' : '0';
        if (bit == 4)
            bits += ' ';
    }
    return Message(QM5083_MESSAGE("Card", "bits 7 to 0: %1"), {Message::value(bits)});
}

} // namespace qm5083::panels
