#include "support/panel_harness.h"

#include "base_address_panel.h"
#include "clock_panel.h"
#include "da_panel.h"
#include "digital_output_panel.h"

#include <stdexcept>

namespace qm5083::testing {

PanelHarness::PanelHarness()
{
    for (const panels::PanelLayout *panel :
         {&panels::kBaseAddressPanel, &panels::kDigitalOutputPanel, &panels::kDigitalInputPanel,
          &panels::kClockPanel, &panels::kDaPanel})
        for (const panels::ControlLayout &control : panel->controls)
            if (control.kind == panels::ControlKind::TextBox)
                boxes_.emplace(std::string(control.name),
                               panels::PlainTextBox(control.name, control.text));
    panelBoxes_.cardNumber = &at(panels::kCardNumberBox);
    panelBoxes_.baseAddress = &at(panels::kBaseAddressBox);
    for (std::size_t i = 0; i < 4; ++i) {
        panelBoxes_.outputs[i] = &at(panels::kOutputBoxes[i]);
        panelBoxes_.inputs[i] = &at(panels::kInputBoxes[i]);
        panelBoxes_.daCodes[i] = &at(panels::kDaBoxes[i]);
    }
    panelBoxes_.baseDivider = &at(panels::kBaseDividerBox);
    panelBoxes_.outputDivider = &at(panels::kOutputDividerBox);
}

void PanelHarness::run(panels::Operation operation)
{
    panels::OperationContext context {IOBase, monitor, port, locator};
    panels::runPanelOperation(operation, panelBoxes_, context);
}

panels::PlainTextBox &PanelHarness::at(std::string_view box)
{
    const auto found = boxes_.find(box);
    if (found == boxes_.end())
        throw std::invalid_argument("no text box named " + std::string(box));
    return found->second;
}

} // namespace qm5083::testing
