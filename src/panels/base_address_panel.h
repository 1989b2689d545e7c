#pragma once

#include "card_locator.h"
#include "control_layout.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <string_view>

namespace qm5083::panels {

inline constexpr std::string_view kCardNumberBox = "txtCardNo";
inline constexpr std::string_view kBaseAddressBox = "txtIOBase";
inline constexpr std::string_view kCardNumberingHint = "Label3(2)";

inline constexpr std::array<ControlLayout, 6> kBaseAddressControls {{
    {ControlKind::Label, "Label3(0)", "卡号", 480, 240, 360, 180, 5},
    {ControlKind::Label, "Label3(1)", "基地址", 1320, 240, 540, 180, 6},
    {ControlKind::TextBox, kCardNumberBox, "1", 600, 480, 252, 372, 2, Operation::None, "卡号", "1",
     "32767"},
    {ControlKind::TextBox, kBaseAddressBox, "E00d", 1200, 480, 852, 372, 3, Operation::None,
     "基地址", "0000", "FFFF", nullptr, false},
    {ControlKind::Button, "cmdIOBase", "得到板卡的基地址", 2520, 360, 1692, 372, 4,
     Operation::LocateCard},
    {ControlKind::Label, kCardNumberingHint, "求基地址前,必须用软件Mirsa.exe设定各个板卡的卡号",
     600, 960, 4572, 180, 7},
}};

inline constexpr PanelLayout kBaseAddressPanel {
    {ControlKind::Frame, "Frame1", "基地址", 120, 120, 5412, 1212, 1},
    kBaseAddressControls,
    Operation::LocateCard};

// Asks the locator for the base of the card numbered in txtCardNo. A card found has its base
// stored in IOBase and shown in hexadecimal; otherwise "NO" is shown and IOBase holds 0. True
// when the card was found.
bool locateCard(const TextBox &txtCardNo, TextBox &txtIOBase, StoredBase &IOBase,
                hardware::CardLocator &locator);

} // namespace qm5083::panels
