#pragma once

#include "control_layout.h"
#include "port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <span>
#include <string_view>

namespace qm5083::panels {

inline constexpr std::array<std::string_view, 4> kDaBoxes {"txtda(0)", "txtda(1)", "txtda(2)",
                                                           "txtda(3)"};

inline constexpr std::array<ControlLayout, 9> kDaControls {{
    {ControlKind::Label, "Label3(14)", "DA0", 840, 240, 288, 180, 41},
    {ControlKind::TextBox, kDaBoxes[0], "0", 1560, 240, 612, 264, 34, Operation::None, "DA0", "0",
     "FFF"},
    {ControlKind::Label, "Label3(13)", "DA1", 840, 600, 288, 180, 40},
    {ControlKind::TextBox, kDaBoxes[1], "0", 1560, 600, 612, 264, 35, Operation::None, "DA1", "0",
     "FFF"},
    {ControlKind::Label, "Label3(10)", "DA2", 3000, 240, 288, 180, 39},
    {ControlKind::TextBox, kDaBoxes[2], "0", 3840, 240, 612, 264, 36, Operation::None, "DA2", "0",
     "FFF"},
    {ControlKind::Label, "Label3(6)", "DA3", 3000, 600, 288, 180, 38},
    {ControlKind::TextBox, kDaBoxes[3], "0", 3840, 600, 612, 264, 37, Operation::None, "DA3", "0",
     "FFF"},
    {ControlKind::Button, "cmdDA", "输出", 4656, 408, 660, 372, 42, Operation::WriteDaCodes},
}};

inline constexpr PanelLayout kDaPanel {
    {ControlKind::Frame, "Frame5", "DA", 168, 4728, 5412, 972, 33},
    kDaControls,
    Operation::WriteDaCodes};

// Stores the base typed in txtIOBase, then sends each channel's hexadecimal code, reading each
// box just before its channel's three writes: 12 writes. A code outside 0 to FFF is an overflow
// before its channel's writes.
void writeDaCodes(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtda,
                  StoredBase &IOBase, hardware::PortAccess &port);

} // namespace qm5083::panels
