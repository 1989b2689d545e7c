#pragma once

#include <span>
#include <string_view>

namespace qm5083::panels {

enum class ControlKind { Frame, Label, TextBox, Button, Timer };

// One control as designed: positions and sizes in twips (1/1440 inch), relative to the window's
// client area for frames and to the enclosing frame for everything inside one. Labels are
// elements of the array "Label3(i)", the DA boxes of "txtda(i)".
struct ControlSpec
{
    ControlKind kind;
    std::string_view name;
    std::string_view text; // design-time text or caption
    int left;
    int top;
    int width;
    int height;
    int tabIndex; // -1 where the control has none (the timer)
};

struct PanelSpec
{
    ControlSpec frame;
    std::span<const ControlSpec> controls;
};

} // namespace qm5083::panels
