#include "da_panel.h"

#include "convert/value.h"
#include "field.h"
#include "hardware/registers.h"

namespace qm5083::panels {

namespace {

struct DaBytes
{
    std::int16_t low;
    std::int16_t high;
};

} // namespace

void cmdDA_Click(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtda,
                 StoredBase &IOBase, hardware::PortAccess &port)
{
    IOBase.store(readHexField(txtIOBase, asRead));
    for (int channel = 0; channel < registers::kDaChannelCount; ++channel) {
        // Code bits above bit 11 are not masked: they land in the channel field, as the card
        // has always been driven.
        const DaBytes bytes = readHexField(*txtda[channel], [channel](double code) {
            const std::int16_t low = convert::ToInt16(convert::And(code, std::int16_t {255}));
            const std::int16_t quotient
                = convert::ToInt16(convert::IntDiv(code, std::int16_t {256}));
            const auto high
                = static_cast<std::int16_t>(quotient | (channel << registers::kDaChannelShift));
            return DaBytes {low, high};
        });
        port.outportb(PortAddress(IOBase, registers::kDaLowByte), bytes.low);
        port.outportb(PortAddress(IOBase, registers::kDaHighByte), bytes.high);
        port.outportb(PortAddress(IOBase, registers::kDaLatch), 0);
    }
}

} // namespace qm5083::panels
