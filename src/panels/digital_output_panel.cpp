#include "digital_output_panel.h"

#include "convert/value.h"
#include "field.h"
#include "hardware/registers.h"

namespace qm5083::panels {

void cmdOutput_Click(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtOutput,
                     StoredBase &IOBase, hardware::PortAccess &port)
{
    IOBase.store(readHexField(txtIOBase, asRead));
    for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
        // The byte is converted before the port, so a bad byte is reported ahead of a bad base.
        const std::int16_t value
            = readHexField(*txtOutput[group], [](double v) { return convert::ToInt16(v); });
        port.outportb(PortAddress(IOBase, registers::digitalGroup(group)), value);
    }
}

} // namespace qm5083::panels
