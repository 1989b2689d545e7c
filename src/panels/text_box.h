#pragma once

#include <string>
#include <string_view>

namespace qm5083::panels {

// A single-line text box as the operations see it: read afresh each time it is needed.
class TextBox
{
public:
    virtual ~TextBox() = default;
    virtual std::string_view name() const = 0;
    virtual std::string text() const = 0;
    virtual void setText(std::string_view text) = 0;

protected:
    TextBox() = default;
    TextBox(const TextBox &) = default;
    TextBox &operator=(const TextBox &) = default;
};

} // namespace qm5083::panels
