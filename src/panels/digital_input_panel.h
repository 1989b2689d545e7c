#pragma once

#include "controls.h"
#include "hardware/port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace qm5083::panels {

inline constexpr std::array<ControlSpec, 8> kDigitalInputControls {{
    {ControlKind::Label, "Label3(16)", "第一组", 840, 240, 540, 180, 29},
    {ControlKind::TextBox, "txtInput0", "Text1", 1560, 240, 612, 264, 19},
    {ControlKind::Label, "Label3(7)", "第二组", 840, 600, 540, 180, 30},
    {ControlKind::TextBox, "txtInput1", "Text1", 1560, 600, 612, 264, 18},
    {ControlKind::Label, "Label3(8)", "第三组", 3000, 240, 540, 180, 31},
    {ControlKind::TextBox, "txtInput2", "Text1", 3840, 240, 612, 264, 17},
    {ControlKind::Label, "Label3(9)", "第四组", 3000, 600, 540, 180, 32},
    {ControlKind::TextBox, "txtInput3", "Text1", 3840, 600, 612, 264, 16},
}};

// The monitor's timer: invisible at run time; its design position is kept for completeness.
inline constexpr ControlSpec kTimer1 {ControlKind::Timer, "Timer1", "", 2400, 480, 0, 0, -1};
inline constexpr int kTimer1IntervalMs = 1000;

inline constexpr PanelSpec kDigitalInputPanel {
    {ControlKind::Frame, "Frame3", "开关量输入", 120, 2640, 5412, 972, 15}, kDigitalInputControls};

// One tick: reads the four input groups at IOBase + group and shows each byte in hexadecimal,
// setting each box right after its own read: 4 reads.
void Timer1_Timer(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
                  hardware::PortAccess &port);

// Runs the ticks. A tick that fails is reported once (its error is thrown); the monitor then
// holds, making no reads, until IOBase is stored again.
class InputMonitor
{
public:
    void tick(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
              hardware::PortAccess &port);
    bool holding(const StoredBase &IOBase) const;

private:
    std::optional<std::uint64_t> failedAtGeneration_;
};

} // namespace qm5083::panels
