#include "hex_text.h"

namespace qm5083::convert {

std::string hex4(std::uint16_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

} // namespace qm5083::convert
