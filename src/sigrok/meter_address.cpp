#include "meter_address.h"

#include <algorithm>

namespace qm5083::sigrok {

namespace {

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

} // namespace

MeterAddress parseMeterAddress(std::string_view text)
{
    if (text.size() > kMaxAddressBytes)
        throw AddressRefused {"the meter's driver and options are longer than "
                              + std::to_string(kMaxAddressBytes) + " bytes"};
    if (std::any_of(text.begin(), text.end(), isControl))
        throw AddressRefused {"the meter's driver and options hold a control character"};
    MeterAddress address;
    std::size_t at = text.find(':');
    address.driver = std::string(text.substr(0, at));
    if (address.driver.empty())
        throw AddressRefused {"no driver is named before the options: DRIVER[:KEY=VALUE]..."};
    while (at != std::string_view::npos) {
        const std::size_t next = text.find(':', at + 1);
        const std::string_view item = text.substr(at + 1, next - at - 1);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos || equals == 0)
            throw AddressRefused {"\"" + std::string(item)
                                  + "\" is no option: each is KEY=VALUE, such as conn=..."};
        std::string key(item.substr(0, equals));
        if (std::any_of(address.options.begin(), address.options.end(),
                        [&](const auto &option) { return option.first == key; }))
            throw AddressRefused {"the option " + key + " is given twice"};
        address.options.emplace_back(std::move(key), std::string(item.substr(equals + 1)));
        at = next;
    }
    return address;
}

std::string printable(std::string_view text)
{
    std::string shown(text.substr(0, kMaxMeterTextBytes));
    std::replace_if(shown.begin(), shown.end(), isControl, '?');
    return shown;
}

std::string otherFunction(std::string_view quantity, bool inVolts, bool dc, bool ac)
{
    if (quantity == "voltage" && inVolts && dc && !ac)
        return {};
    return std::string(ac && dc ? "AC+DC " : ac ? "AC " : dc ? "DC " : "").append(quantity);
}

} // namespace qm5083::sigrok
