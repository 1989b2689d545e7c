#pragma once

// A libsigrok meter as --meter sigrok: names it: DRIVER[:KEY=VALUE]..., for example
// scpi-dmm:conn=tcp-raw/192.168.1.20/5025 or uni-t-ut61e:conn=/dev/ttyUSB0.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm5083::sigrok {

// The longest meter naming taken, and the longest text of a meter's (its model, its serial, an
// error) passed on.
inline constexpr std::size_t kMaxAddressBytes = 1024;
inline constexpr std::size_t kMaxMeterTextBytes = 200;

struct MeterAddress
{
    std::string driver;
    std::vector<std::pair<std::string, std::string>> options; // scan options, in order given
};

struct AddressRefused
{
    std::string why;
};

// Throws AddressRefused naming what is wrong: no driver, an option without "=" or without a key, a
// key given twice, a control character, more than kMaxAddressBytes.
MeterAddress parseMeterAddress(std::string_view text);

// The text with each control character as '?', cut to kMaxMeterTextBytes: what a meter says,
// safe on one line.
std::string printable(std::string_view text);

// The function a meter is on, from a reading's quantity (as libsigrok names it, "voltage"),
// whether it is in volts and its AC and DC flags: empty for DC volts, the one function a check
// takes; else "AC voltage", "AC+DC voltage" (flagged both: no DC reading), "DC current"...
std::string otherFunction(std::string_view quantity, bool inVolts, bool dc, bool ac);

} // namespace qm5083::sigrok
