#include "hex_text.h"

namespace qm5083::convert {

namespace {

std::string digits(unsigned value, std::size_t width)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(width, '0');
    for (std::size_t i = width; i-- > 0; value >>= 4)
        text[i] = kDigits[value & 0xF];
    return text;
}

} // namespace

std::string hex4(std::uint16_t value)
{
    return digits(value, 4);
}

std::string hex2(std::uint8_t value)
{
    return digits(value, 2);
}

} // namespace qm5083::convert
