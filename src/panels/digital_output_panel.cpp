#include "digital_output_panel.h"

#include "card_protocol.h"
#include "field.h"
#include "value.h"

namespace qm5083::panels {

void writeDigitalOutputs(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtOutput,
                         StoredBase &IOBase, hardware::PortAccess &port)
{
    IOBase.store(readHexField(txtIOBase));
    refuseUnreachable(port, IOBase, registers::kDigitalGroupOffsets);
    for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
        // The value is converted before the port, so a bad value is reported ahead of a bad base.
        const std::int16_t value
            = readHexField(*txtOutput[group], [](double v) { return convert::ToInt16(v); });
        const protocol::RegisterWrite write = protocol::digitalOutputWrite(group, value);
        writeRegisters(port, IOBase, {&write, 1});
    }
}

} // namespace qm5083::panels
