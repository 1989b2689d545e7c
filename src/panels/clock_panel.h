#pragma once

#include "box_reading.h"
#include "card_protocol.h"
#include "control_layout.h"
#include "message.h"
#include "port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <string>
#include <string_view>

namespace qm5083::panels {

inline constexpr std::string_view kBaseDividerBox = "txtClkBase";
inline constexpr std::string_view kOutputDividerBox = "txtClkOutput";

inline constexpr const char *kDividerRangeNote = QM5083_MESSAGE("Card", "0 divides by 65536");

inline constexpr std::array<ControlLayout, 5> kClockControls {{
    {ControlKind::Label, "Label3(11)", "基频(31针)分频因子(2MHz/k)", 120, 240, 2412, 180, 24},
    {ControlKind::TextBox, kBaseDividerBox, "1000", 3600, 240, 612, 264, 22, Operation::None,
     "脉冲量 分频因子 k", "0", "65535", kDividerRangeNote},
    {ControlKind::Label, "Label3(12)", "输出(1,4,7,10,13,16,19,22,25,28)因子", 120, 600, 3408, 180,
     25},
    {ControlKind::TextBox, kOutputDividerBox, "10", 3600, 600, 612, 264, 23, Operation::None,
     "脉冲量 输出因子 n", "0", "65535", kDividerRangeNote},
    {ControlKind::Button, "cmdClk", "时钟输出", 4320, 360, 972, 372, 21,
     Operation::StartClockOutputs},
}};

inline constexpr PanelLayout kClockPanel {
    {ControlKind::Frame, "Frame4", "脉冲量", 120, 3720, 5412, 972, 20},
    kClockControls,
    Operation::StartClockOutputs};

// N And 255 (rounding rule), then Floor(N / 256); out of byte range: overflow.
protocol::CounterBytes outputDividerBytes(double n);
// The same bytes for the base divider, the high byte converted first.
protocol::CounterBytes baseDividerBytes(double k);

// Reads both dividers (all four bytes before any write), then writes the clock set-up at IOBase.
void startClockOutputs(const TextBox &txtClkBase, const TextBox &txtClkOutput,
                       const StoredBase &IOBase, hardware::PortAccess &port);

// What the dividers in the two texts give, for the boxes' tooltips: the base frequency
// (card clock / k) and the output frequency (card clock / (k x n)), or why a text would fail;
// a divider is not as shown when it reads as another count, is 0 or 1, or fails.
struct ClockDescription
{
    BoxReading base;
    BoxReading output;
};
ClockDescription describeClockDividers(std::string_view clkBaseText,
                                       std::string_view clkOutputText);

} // namespace qm5083::panels
