#pragma once

#include "controls.h"
#include "hardware/card_locator.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>

namespace qm5083::panels {

inline constexpr std::array<ControlSpec, 6> kBaseAddressControls {{
    {ControlKind::Label, "Label3(0)", "卡号", 480, 240, 360, 180, 5},
    {ControlKind::Label, "Label3(1)", "基地址", 1320, 240, 540, 180, 6},
    {ControlKind::TextBox, "txtCardNo", "1", 600, 480, 252, 372, 2},
    {ControlKind::TextBox, "txtIOBase", "E00d", 1200, 480, 852, 372, 3},
    {ControlKind::Button, "cmdIOBase", "得到板卡的基地址", 2520, 360, 1692, 372, 4},
    {ControlKind::Label, "Label3(2)", "求基地址前,必须用软件Mirsa.exe设定各个板卡的卡号", 600, 960,
     4572, 180, 7},
}};

inline constexpr PanelSpec kBaseAddressPanel {
    {ControlKind::Frame, "Frame1", "基地址", 120, 120, 5412, 1212, 1}, kBaseAddressControls};

// Asks the locator for the base of the card numbered in txtCardNo, stores it in IOBase whether
// or not the card was found, and shows it in hexadecimal, or "NO".
void cmdIOBase_Click(const TextBox &txtCardNo, TextBox &txtIOBase, StoredBase &IOBase,
                     hardware::CardLocator &locator);

} // namespace qm5083::panels
