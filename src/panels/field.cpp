#include "field.h"

#include "value.h"

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

void writeRegisters(hardware::PortAccess &port, const StoredBase &IOBase,
                    std::span<const protocol::RegisterWrite> writes)
{
    for (const protocol::RegisterWrite &write : writes)
        port.outportb(PortAddress(IOBase, write.offset), write.value);
}

} // namespace qm5083::panels
