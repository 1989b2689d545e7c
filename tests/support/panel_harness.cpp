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
    panelBoxes_ = panels::findPanelBoxes(
        [this](std::string_view name) -> panels::TextBox & { return at(name); });
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
