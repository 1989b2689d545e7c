#pragma once

#include "control_layout.h"
#include "port_access.h"
#include "stored_base.h"
#include "text_box.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qm5083::panels {

inline constexpr std::array<std::string_view, 4> kInputBoxes {"txtInput0", "txtInput1", "txtInput2",
                                                              "txtInput3"};

inline constexpr std::array<ControlLayout, 8> kDigitalInputControls {{
    {ControlKind::Label, "Label3(16)", "第一组", 840, 240, 540, 180, 29},
    {ControlKind::TextBox, kInputBoxes[0], "Text1", 1560, 240, 612, 264, 19},
    {ControlKind::Label, "Label3(7)", "第二组", 840, 600, 540, 180, 30},
    {ControlKind::TextBox, kInputBoxes[1], "Text1", 1560, 600, 612, 264, 18},
    {ControlKind::Label, "Label3(8)", "第三组", 3000, 240, 540, 180, 31},
    {ControlKind::TextBox, kInputBoxes[2], "Text1", 3840, 240, 612, 264, 17},
    {ControlKind::Label, "Label3(9)", "第四组", 3000, 600, 540, 180, 32},
    {ControlKind::TextBox, kInputBoxes[3], "Text1", 3840, 600, 612, 264, 16},
}};

// The input monitor reads the card once a second.
inline constexpr int kInputPollIntervalMs = 1000;

inline constexpr PanelLayout kDigitalInputPanel {
    {ControlKind::Frame, "Frame3", "开关量输入", 120, 2640, 5412, 972, 15},
    kDigitalInputControls,
    Operation::ReadDigitalInputs};

// Reads the four input groups at IOBase and shows each byte in hexadecimal, setting each box
// right after its own read: 4 reads.
void readDigitalInputs(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
                       hardware::PortAccess &port);

// Runs the reads once a second. A tick that fails is reported once (its error is thrown); the
// monitor then holds, making no reads, until IOBase is stored again.
class InputMonitor
{
public:
    void tick(std::span<TextBox *const, 4> txtInput, const StoredBase &IOBase,
              hardware::PortAccess &port);
    bool holding(const StoredBase &IOBase) const;
    // Holds without a failing tick, until IOBase is stored again: when the program reaches no
    // card, there is nothing to read.
    void hold(const StoredBase &IOBase) { failedAtGeneration_ = IOBase.generation(); }

private:
    std::optional<std::uint64_t> failedAtGeneration_;
};

} // namespace qm5083::panels
