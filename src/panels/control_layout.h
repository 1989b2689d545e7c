#pragma once

#include <span>
#include <string_view>

namespace qm5083::panels {

enum class ControlKind { Frame, Label, TextBox, Button };

// What a button runs when it is pressed; the input monitor runs from the window's timer.
enum class Operation {
    None,
    LocateCard,
    WriteDigitalOutputs,
    ReadDigitalInputs,
    StartClockOutputs,
    WriteDaCodes,
    Exit,
};

// One control as laid out: positions and sizes in twips (1/1440 inch), relative to the window's
// client area for frames and to the enclosing frame for everything inside one. Labels are
// elements of the array "Label3(i)", the DA boxes of "txtda(i)".
struct ControlLayout
{
    ControlKind kind;
    std::string_view name;
    std::string_view text; // the text the control starts with, or its caption
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    Operation operation = Operation::None; // buttons only
    // Text boxes that an operation reads: what the window shows for the box, and the values it
    // takes, as the operator types them.
    std::string_view shownAs = {};
    std::string_view lowest = {};
    std::string_view highest = {};
};

struct PanelLayout
{
    ControlLayout frame;
    std::span<const ControlLayout> controls;
};

} // namespace qm5083::panels
