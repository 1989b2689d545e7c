#include "da_panel.h"

#include "card_protocol.h"
#include "field.h"
#include "value.h"

namespace qm5083::panels {

void writeDaCodes(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtda,
                  StoredBase &IOBase, hardware::PortAccess &port)
{
    IOBase.store(readHexField(txtIOBase));
    refuseUnreachable(port, IOBase, protocol::daChannelWrites(0, 0, 0));
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel) {
        // A code beyond 12 bits would spill into the channel field and set another channel.
        const auto writes = readHexField(*txtda[channel], [channel](double code) {
            if (!(code >= 0 && code <= protocol::kDaCodeMax))
                convert::throwOverflow();
            const std::int16_t low = convert::ToInt16(convert::And(code, std::int16_t {255}));
            const std::int16_t high = convert::ToInt16(convert::IntDiv(code, 256));
            return protocol::daChannelWrites(channel, low, high);
        });
        writeRegisters(port, IOBase, writes);
    }
}

} // namespace qm5083::panels
