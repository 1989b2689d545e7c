#pragma once

#include "control_layout.h"

#include <string_view>

namespace qm5083::window {

inline constexpr std::string_view kCaption = "qm5083测试程序";
// Added to the caption on the simulated card, so nobody takes it for a real one.
inline constexpr std::string_view kSimulatedCaptionSuffix = " [仿真]";
// Added when the program has found no card to work on.
inline constexpr std::string_view kNoCardCaptionSuffix = " [未找到板卡]";

// Client area and its position on the screen, in twips.
inline constexpr int kClientWidth = 6180;
inline constexpr int kClientHeight = 6360;
inline constexpr int kClientLeft = 1896;
inline constexpr int kClientTop = 468;

inline constexpr panels::ControlLayout kExitButton {
    panels::ControlKind::Button, "Command_exit", "Exit", 192, 5856, 972, 372, 0,
    panels::Operation::Exit};

inline constexpr int kTwipsPerInch = 1440;

// Twips to pixels at a logical DPI, to the nearest pixel (15 twips a pixel at 96 dpi).
constexpr int twipsToPixels(int twips, double dpi)
{
    const double pixels = twips * dpi / kTwipsPerInch;
    return static_cast<int>(pixels >= 0 ? pixels + 0.5 : pixels - 0.5);
}

} // namespace qm5083::window
