#include "field.h"

#include "value.h"

#include <vector>

namespace qm5083::panels {

std::uint16_t PortAddress(const StoredBase &IOBase, int offset)
{
    try {
        const auto port
            = convert::ToInt16(convert::Add(IOBase.value(), static_cast<std::int16_t>(offset)));
        return static_cast<std::uint16_t>(port);
    } catch (convert::RuntimeError &error) {
        error.setStoredBase(convert::ToDouble(IOBase.value()), offset);
        throw;
    }
}

void refuseUnreachable(hardware::PortAccess &port, const StoredBase &IOBase,
                       std::span<const int> offsets)
{
    std::vector<std::uint16_t> ports;
    ports.reserve(offsets.size());
    try {
        for (const int offset : offsets)
            ports.push_back(PortAddress(IOBase, offset));
    } catch (const convert::RuntimeError &) {
        // The ports up to here are the ones the operation can reach before it stops.
    }
    port.checkReachable(ports);
}

void refuseUnreachable(hardware::PortAccess &port, const StoredBase &IOBase,
                       std::span<const protocol::RegisterWrite> writes)
{
    std::vector<int> offsets;
    offsets.reserve(writes.size());
    for (const protocol::RegisterWrite &write : writes)
        offsets.push_back(write.offset);
    refuseUnreachable(port, IOBase, offsets);
}

void writeRegisters(hardware::PortAccess &port, const StoredBase &IOBase,
                    std::span<const protocol::RegisterWrite> writes)
{
    for (const protocol::RegisterWrite &write : writes)
        port.outportb(PortAddress(IOBase, write.offset), write.value);
}

} // namespace qm5083::panels
