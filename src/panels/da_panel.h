#pragma once

#include "controls.h"
#include "hardware/port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <span>

namespace qm5083::panels {

inline constexpr std::array<ControlSpec, 9> kDaControls {{
    {ControlKind::Label, "Label3(14)", "DA0", 840, 240, 288, 180, 41},
    {ControlKind::TextBox, "txtda(0)", "0", 1560, 240, 612, 264, 34},
    {ControlKind::Label, "Label3(13)", "DA1", 840, 600, 288, 180, 40},
    {ControlKind::TextBox, "txtda(1)", "0", 1560, 600, 612, 264, 35},
    {ControlKind::Label, "Label3(10)", "DA2", 3000, 240, 288, 180, 39},
    {ControlKind::TextBox, "txtda(2)", "0", 3840, 240, 612, 264, 36},
    {ControlKind::Label, "Label3(6)", "DA3", 3000, 600, 288, 180, 38},
    {ControlKind::TextBox, "txtda(3)", "0", 3840, 600, 612, 264, 37},
    {ControlKind::Button, "cmdDA", "输出", 4656, 408, 660, 372, 42},
}};

inline constexpr PanelSpec kDaPanel {{ControlKind::Frame, "Frame5", "DA", 168, 4728, 5412, 972, 33},
                                     kDaControls};

// Stores the base typed in txtIOBase, then sends each channel's hexadecimal code: low byte,
// code / 256 with the channel in bits 4 and 5, then the latch strobe. 12 writes.
void cmdDA_Click(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtda,
                 StoredBase &IOBase, hardware::PortAccess &port);

} // namespace qm5083::panels
