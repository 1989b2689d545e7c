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

// A text box with no window behind it: for driving operations from tests, benchmarks, fuzzers.
class PlainTextBox final : public TextBox
{
public:
    PlainTextBox(std::string_view name, std::string_view text)
        : name_(name)
        , text_(text)
    { }
    std::string_view name() const override { return name_; }
    std::string text() const override { return text_; }
    void setText(std::string_view text) override { text_.assign(text); }

private:
    std::string name_;
    std::string text_;
};

} // namespace qm5083::panels
