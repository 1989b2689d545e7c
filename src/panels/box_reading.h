#pragma once

#include "message.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm5083::panels {

// How a box's text reads by the card's conventions, for the box's tooltip: what it reads as and
// what it makes the card do. The conventions stay as they are; the window only says what they do.
struct BoxReading
{
    std::optional<hardware::Message> tooltip; // none when the text says it all
    bool asShown = true; // false: the text reads as something else than it shows
};

// The reading of a box the operations read: a byte box, a DA code, the base address or a
// divider (the dividers' tooltips tell the frequencies, so they read each other's text). texts
// gives the text of a box by name. Nothing for the card number, read strictly, and for the
// input boxes, which the monitor sets.
std::optional<BoxReading> readingOf(std::string_view box,
                                    const std::function<std::string(std::string_view)> &texts);

// An input box's byte in bits, bit 7 to bit 0 ("0000 1101"); nothing when the box holds no byte.
std::optional<hardware::Message> inputBits(std::string_view text);

} // namespace qm5083::panels
