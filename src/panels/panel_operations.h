#pragma once

#include "base_address_panel.h"
#include "card_locator.h"
#include "clock_panel.h"
#include "control_layout.h"
#include "da_panel.h"
#include "digital_input_panel.h"
#include "digital_output_panel.h"
#include "port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm5083::panels {

// The panels, top to bottom: the window, the tests, the benchmarks and the fuzzers all take
// them from here.
inline constexpr std::array<const PanelLayout *, 5> kPanels {
    &kBaseAddressPanel, &kDigitalOutputPanel, &kDigitalInputPanel, &kClockPanel, &kDaPanel};

constexpr bool eachOperationHasOnePanel()
{
    for (int operation = static_cast<int>(Operation::None) + 1;
         operation < static_cast<int>(Operation::Exit); ++operation) {
        int panels = 0;
        for (const PanelLayout *panel : kPanels)
            panels += panel->operation == static_cast<Operation>(operation) ? 1 : 0;
        if (panels != 1)
            return false;
    }
    return true;
}
static_assert(eachOperationHasOnePanel(), "every panel operation belongs to one listed panel");

// The panel whose operation this is; none for None and Exit.
const PanelLayout *panelRunning(Operation operation);

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

// A box's name and the text an operation read from it.
using TextRead = std::pair<std::string, std::string>;

// Notes every text an operation reads, in order, for the session record: the operation is given
// boxes() in place of the boxes themselves, which pass every read and write on.
class TextReadRecorder
{
public:
    explicit TextReadRecorder(const PanelBoxes &boxes);
    TextReadRecorder(const TextReadRecorder &) = delete;
    TextReadRecorder &operator=(const TextReadRecorder &) = delete;
    ~TextReadRecorder();

    const PanelBoxes &boxes() const { return noting_; }
    const std::vector<TextRead> &reads() const { return reads_; }

private:
    class NotingBox;
    TextBox *noting(TextBox *box);
    const TextBox *noting(const TextBox *box);

    std::vector<std::unique_ptr<NotingBox>> boxes_;
    PanelBoxes noting_;
    std::vector<TextRead> reads_;
};

} // namespace qm5083::panels
