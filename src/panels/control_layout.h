#pragma once

// The panels' controls as tables, from which the window is built. Names kept from the card's
// long-standing conventions:
//   IOBase         the base address stored for every panel (StoredBase)
//   txt..., cmd... text boxes and buttons: txtCardNo the card number, txtIOBase the base
//                  address, txtOutput0..3 and txtInput0..3 the digital groups, txtClkBase and
//                  txtClkOutput the dividers k and n, txtda(0..3) the DA codes; cmdIOBase,
//                  cmdOutput, cmdClk and cmdDA the panels' buttons
//   Frame1..5      the panels' frames, top to bottom
//   Label3(i)      every label, one array in the order the labels were made

#include <span>
#include <string>
#include <string_view>

namespace qm5083::panels {

enum class ControlKind { Frame, Label, TextBox, Button };

// What a panel runs: from its button, Enter in its boxes, or (the input monitor) the window's
// timer. Every operation between None and Exit belongs to one panel of kPanels.
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
    const char *rangeNote = nullptr; // what the box does with a value beyond the range it shows
    // Enter in the box runs its panel's operation (the base box, which the output and DA panels
    // read too, runs nothing).
    bool enterRuns = true;
};

struct PanelLayout
{
    ControlLayout frame;
    std::span<const ControlLayout> controls;
    Operation operation; // the panel's own operation
};

// What the reports and the session record call a panel's operation: the frame's caption and its
// button's, as the operator sees them ("开关量输出 输出"), or the frame's alone without a button.
std::string operationTitle(const PanelLayout &panel);

} // namespace qm5083::panels
