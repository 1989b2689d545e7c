#include "digital_input_panel.h"

#include "card_protocol.h"
#include "field.h"
#include "value.h"

namespace qm5083::panels {

void readDigitalInputs(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
                       hardware::PortAccess &port)
{
    refuseUnreachable(port, IOBase, registers::kDigitalGroupOffsets);
    for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
        const std::uint8_t byte
            = port.inportb(PortAddress(IOBase, protocol::digitalInputOffset(group)));
        txtInput[group]->setText(convert::FormatHex(byte));
    }
}

bool InputMonitor::holding(const StoredBase &IOBase) const
{
    return failedAtGeneration_ && *failedAtGeneration_ == IOBase.generation();
}

void InputMonitor::tick(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
                        hardware::PortAccess &port)
{
    if (holding(IOBase))
        return;
    failedAtGeneration_.reset();
    try {
        readDigitalInputs(txtInput, IOBase, port);
    } catch (...) {
        failedAtGeneration_ = IOBase.generation();
        throw;
    }
}

} // namespace qm5083::panels
