#include "digital_input_panel.h"

#include "convert/value.h"
#include "field.h"
#include "hardware/registers.h"

namespace qm5083::panels {

void Timer1_Timer(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
                  hardware::PortAccess &port)
{
    for (int group = 0; group < registers::kDigitalGroupCount; ++group) {
        const std::uint8_t byte = port.inportb(PortAddress(IOBase, registers::digitalGroup(group)));
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
        Timer1_Timer(txtInput, IOBase, port);
    } catch (...) {
        failedAtGeneration_ = IOBase.generation();
        throw;
    }
}

} // namespace qm5083::panels
