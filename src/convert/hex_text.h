#pragma once

#include <cstdint>
#include <string>

namespace qm5083::convert {

// The value of one hexadecimal digit in either letter case, or -1 for any other character.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A port or PCI id as four upper-case hexadecimal digits: "E00D", "0300".
std::string hex4(std::uint16_t value);
// A byte as two upper-case hexadecimal digits: "0A", "FF".
std::string hex2(std::uint8_t value);

} // namespace qm5083::convert
