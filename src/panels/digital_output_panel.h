#pragma once

#include "control_layout.h"
#include "message.h"
#include "port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <span>
#include <string_view>

namespace qm5083::panels {

inline constexpr std::array<std::string_view, 4> kOutputBoxes {"txtOutput0", "txtOutput1",
                                                               "txtOutput2", "txtOutput3"};

// The byte boxes take a 16-bit value and write its low byte.
inline constexpr const char *kByteRangeNote
    = QM5083_MESSAGE("Card", "a larger value, up to FFFF, keeps its low 8 bits");

inline constexpr std::array<ControlLayout, 9> kDigitalOutputControls {{
    {ControlKind::Label, "Label3(3)", "第一组", 480, 360, 540, 180, 9},
    {ControlKind::TextBox, kOutputBoxes[0], "00", 1320, 360, 612, 264, 11, Operation::None,
     "开关量输出 第一组", "00", "FF", kByteRangeNote},
    {ControlKind::Label, "Label3(15)", "第二组", 480, 720, 540, 180, 26},
    {ControlKind::TextBox, kOutputBoxes[1], "00", 1320, 720, 612, 264, 12, Operation::None,
     "开关量输出 第二组", "00", "FF", kByteRangeNote},
    {ControlKind::Label, "Label3(4)", "第三组", 2400, 360, 540, 180, 27},
    {ControlKind::TextBox, kOutputBoxes[2], "00", 3360, 360, 612, 264, 13, Operation::None,
     "开关量输出 第三组", "00", "FF", kByteRangeNote},
    {ControlKind::Label, "Label3(5)", "第四组", 2400, 720, 540, 180, 28},
    {ControlKind::TextBox, kOutputBoxes[3], "00", 3360, 720, 612, 264, 14, Operation::None,
     "开关量输出 第四组", "00", "FF", kByteRangeNote},
    {ControlKind::Button, "cmdOutput", "输出", 4200, 600, 972, 372, 10,
     Operation::WriteDigitalOutputs},
}};

inline constexpr PanelLayout kDigitalOutputPanel {
    {ControlKind::Frame, "Frame2", "开关量输出", 120, 1440, 5412, 1092, 8},
    kDigitalOutputControls,
    Operation::WriteDigitalOutputs};

// Stores the base typed in txtIOBase, then writes each group's hexadecimal value, reading each
// box just before its write: 4 writes.
void writeDigitalOutputs(const TextBox &txtIOBase, std::span<const TextBox *const, 4> txtOutput,
                         StoredBase &IOBase, hardware::PortAccess &port);

} // namespace qm5083::panels
