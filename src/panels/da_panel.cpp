#include "da_panel.h"

#include "card_protocol.h"
#include "field.h"
#include "value.h"

namespace qm5083::panels {

void writeDaCodes(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtda,
                  StoredBase &IOBase, hardware::PortAccess &port)
{
    IOBase.store(readHexField(txtIOBase));
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel) {
        // Code bits above bit 11 are not masked: they fall into the channel field.
        const auto writes = readHexField(*txtda[channel], [channel](double code) {
            const std::int16_t low = convert::ToInt16(convert::And(code, std::int16_t {255}));
            const std::int16_t high = convert::ToInt16(convert::IntDiv(code, 256));
            return protocol::daChannelWrites(channel, low, high);
        });
        writeRegisters(port, IOBase, writes);
    }
}

} // namespace qm5083::panels
