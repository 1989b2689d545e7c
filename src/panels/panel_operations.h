#pragma once

#include "card_locator.h"
#include "control_layout.h"
#include "digital_input_panel.h"
#include "port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <functional>
#include <string_view>

namespace qm5083::panels {

// The text boxes the operations read and write, by what they hold.
struct PanelBoxes
{
    TextBox *cardNumber = nullptr;
    TextBox *baseAddress = nullptr;
    std::array<const TextBox *, 4> outputs {};
    std::array<TextBox *, 4> inputs {};
    TextBox *baseDivider = nullptr;
    TextBox *outputDivider = nullptr;
    std::array<const TextBox *, 4> daCodes {};
};

// The boxes by the names the panels' tables give them; find gives the box of a name, or throws.
PanelBoxes findPanelBoxes(const std::function<TextBox &(std::string_view name)> &find);

// Everything the operations share besides their boxes: IOBase, the input monitor's state and
// the card.
struct OperationContext
{
    StoredBase &IOBase;
    InputMonitor &monitor;
    hardware::PortAccess &port;
    hardware::CardLocator &locator;
};

// Runs one panel operation to its end; a failure is thrown where it happens. Exit and None
// are not panel operations and do nothing here.
void runPanelOperation(Operation operation, const PanelBoxes &boxes, OperationContext &context);

} // namespace qm5083::panels
