#include "panel_harness.h"

#include <stdexcept>

namespace qm5083::testing {

PanelHarness::PanelHarness()
{
    for (const panels::PanelLayout *panel : panels::kPanels)
        for (const panels::ControlLayout &control : panel->controls)
            if (control.kind == panels::ControlKind::TextBox)
                boxes_.emplace(std::string(control.name), PlainTextBox(control.name, control.text));
    panelBoxes_ = panels::findPanelBoxes(
        [this](std::string_view name) -> panels::TextBox & { return at(name); });
}

void PanelHarness::run(panels::Operation operation, hardware::PortAccess &through,
                       hardware::CardLocator &finding)
{
    panels::OperationContext context {IOBase, monitor, through, finding};
    panels::runPanelOperation(operation, panelBoxes_, context);
}

PlainTextBox &PanelHarness::at(std::string_view box)
{
    const auto found = boxes_.find(box);
    if (found == boxes_.end())
        throw std::invalid_argument("no text box named " + std::string(box));
    return found->second;
}

} // namespace qm5083::testing
