#include "field.h"

#include "convert/value.h"

namespace qm5083::panels {

std::uint16_t PortAddress(const StoredBase &IOBase, int offset)
{
    try {
        const auto port
            = convert::ToInt16(convert::Add(IOBase.value(), static_cast<std::int16_t>(offset)));
        return static_cast<std::uint16_t>(port);
    } catch (convert::RuntimeError &error) {
        error.setSource(convert::ErrorSource::StoredBase, "IOBase + " + std::to_string(offset),
                        convert::Describe(IOBase.value()) + " + " + std::to_string(offset));
        throw;
    }
}

} // namespace qm5083::panels
