#pragma once

#include "card_protocol.h"
#include "parse_number.h"
#include "port_access.h"
#include "runtime_error.h"
#include "stored_base.h"
#include "text_box.h"

#include <cstdint>
#include <span>
#include <string>

namespace qm5083::panels {

// Runs a conversion of a box's text; a failure names the box and its text.
template<class Convert>
auto convertField(const TextBox &box, const std::string &text, Convert &&convert)
    -> decltype(convert())
{
    try {
        return convert();
    } catch (convert::RuntimeError &error) {
        error.setSource(convert::ErrorSource::TextBox, std::string(box.name()), text);
        throw;
    }
}

// Reads a hexadecimal box (its text with "&H" in front) and converts the number with `convert`.
template<class Convert>
auto readHexField(const TextBox &box, Convert &&convert)
{
    const std::string text = box.text();
    return convertField(box, text, [&] { return convert(convert::ParseHexField(text)); });
}

// The number in a hexadecimal box.
inline double readHexField(const TextBox &box)
{
    const std::string text = box.text();
    return convertField(box, text, [&] { return convert::ParseHexField(text); });
}

// Reads a decimal box and converts the number with `convert`.
template<class Convert>
auto readDecimalField(const TextBox &box, Convert &&convert)
{
    const std::string text = box.text();
    return convertField(box, text, [&] { return convert(convert::ParseNumber(text)); });
}

// The port of a register: the 16-bit pattern of ToInt16(IOBase + offset).
std::uint16_t PortAddress(const StoredBase &IOBase, int offset);

// Refuses the operation, before its first access, when the card would refuse one of the ports of
// these offsets from IOBase, as far as those ports can be formed (a port that cannot be formed
// stops the sequence where it stands, when the operation reaches it).
void refuseUnreachable(hardware::PortAccess &port, const StoredBase &IOBase,
                       std::span<const int> offsets);
void refuseUnreachable(hardware::PortAccess &port, const StoredBase &IOBase,
                       std::span<const protocol::RegisterWrite> writes);

// Makes the writes in order, each at its port from IOBase; a port that cannot be formed stops
// the sequence there.
void writeRegisters(hardware::PortAccess &port, const StoredBase &IOBase,
                    std::span<const protocol::RegisterWrite> writes);

} // namespace qm5083::panels
