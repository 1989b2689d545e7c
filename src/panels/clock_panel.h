#pragma once

#include "controls.h"
#include "hardware/port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm5083::panels {

inline constexpr std::array<ControlSpec, 5> kClockControls {{
    {ControlKind::Label, "Label3(11)", "基频(31针)分频因子(2MHz/k)", 120, 240, 2412, 180, 24},
    {ControlKind::TextBox, "txtClkBase", "1000", 3600, 240, 612, 264, 22},
    {ControlKind::Label, "Label3(12)", "输出(1,4,7,10,13,16,19,22,25,28)因子", 120, 600, 3408, 180,
     25},
    {ControlKind::TextBox, "txtClkOutput", "10", 3600, 600, 612, 264, 23},
    {ControlKind::Button, "cmdClk", "时钟输出", 4320, 360, 972, 372, 21},
}};

inline constexpr PanelSpec kClockPanel {
    {ControlKind::Frame, "Frame4", "脉冲量", 120, 3720, 5412, 972, 20}, kClockControls};

// The two bytes a divider loads into a counter, low byte first on the bus.
struct CounterBytes
{
    std::uint8_t low;
    std::uint8_t high;
    bool operator==(const CounterBytes &) const = default;
};

// N And 255 (rounding rule), then Floor(N / 256); out of byte range: overflow.
CounterBytes OutputDividerBytes(double n);
// The same bytes for the base divider, the high byte converted first.
CounterBytes BaseDividerBytes(double k);

struct RegisterWrite
{
    int offset;
    std::uint8_t byte;
    bool operator==(const RegisterWrite &) const = default;
};

// The whole clock set-up: chip A counter 1 gets k, chip A counter 2 gets n, chips B to D get n
// in counters 0 to 2, every counter preceded by its control word. 33 writes.
std::array<RegisterWrite, 33> ClockSetupWrites(CounterBytes k, CounterBytes n);

// Reads both dividers (all four bytes before any write), then makes the 33 writes at IOBase.
void cmdClk_Click(const TextBox &txtClkBase, const TextBox &txtClkOutput, const StoredBase &IOBase,
                  hardware::PortAccess &port);

// What the dividers in the two texts give, for the boxes' tooltips: the base frequency
// 2 MHz / k and the output frequency 2 MHz / (k x n), or why a text would fail the operation.
struct ClockDescription
{
    std::string base;
    std::string output;
};
ClockDescription DescribeClockDividers(std::string_view clkBaseText,
                                       std::string_view clkOutputText);

} // namespace qm5083::panels
