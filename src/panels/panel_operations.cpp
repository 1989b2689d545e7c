#include "panel_operations.h"

#include "base_address_panel.h"
#include "clock_panel.h"
#include "da_panel.h"
#include "digital_output_panel.h"

namespace qm5083::panels {

PanelBoxes findPanelBoxes(const std::function<TextBox &(std::string_view name)> &find)
{
    PanelBoxes boxes;
    boxes.cardNumber = &find(kCardNumberBox);
    boxes.baseAddress = &find(kBaseAddressBox);
    for (std::size_t i = 0; i < 4; ++i) {
        boxes.outputs[i] = &find(kOutputBoxes[i]);
        boxes.inputs[i] = &find(kInputBoxes[i]);
        boxes.daCodes[i] = &find(kDaBoxes[i]);
    }
    boxes.baseDivider = &find(kBaseDividerBox);
    boxes.outputDivider = &find(kOutputDividerBox);
    return boxes;
}

void runPanelOperation(Operation operation, const PanelBoxes &boxes, OperationContext &context)
{
    context.port.beginOperation();
    switch (operation) {
    case Operation::LocateCard:
        return locateCard(*boxes.cardNumber, *boxes.baseAddress, context.IOBase, context.locator);
    case Operation::WriteDigitalOutputs:
        return writeDigitalOutputs(*boxes.baseAddress, boxes.outputs, context.IOBase, context.port);
    case Operation::ReadDigitalInputs:
        return context.monitor.tick(boxes.inputs, context.IOBase, context.port);
    case Operation::StartClockOutputs:
        return startClockOutputs(*boxes.baseDivider, *boxes.outputDivider, context.IOBase,
                                 context.port);
    case Operation::WriteDaCodes:
        return writeDaCodes(*boxes.baseAddress, boxes.daCodes, context.IOBase, context.port);
    case Operation::Exit:
    case Operation::None:
        return;
    }
}

} // namespace qm5083::panels
