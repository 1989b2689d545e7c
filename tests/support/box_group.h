#pragma once

#include "text_box.h"

#include <array>
#include <string>

namespace qm5083::testing {

// The four boxes of one panel row ("txtOutput0".."txtOutput3", "txtda(0)".."txtda(3)"), in the
// shapes the operations take them.
class BoxGroup
{
public:
    BoxGroup(const std::array<std::string, 4> &names, const std::array<const char *, 4> &texts)
        : boxes_ {
            panels::PlainTextBox(names[0], texts[0]), panels::PlainTextBox(names[1], texts[1]),
            panels::PlainTextBox(names[2], texts[2]), panels::PlainTextBox(names[3], texts[3])}
    { }
    // Names "<prefix>0".."<prefix>3", or "<prefix>(0)".."<prefix>(3)" when parenthesised.
    static std::array<std::string, 4> names(const std::string &prefix, bool parenthesised = false)
    {
        std::array<std::string, 4> result;
        for (int i = 0; i < 4; ++i)
            result[i] = parenthesised ? prefix + "(" + std::to_string(i) + ")"
                                      : prefix + std::to_string(i);
        return result;
    }

    std::array<const panels::TextBox *, 4> read() const
    {
        return {&boxes_[0], &boxes_[1], &boxes_[2], &boxes_[3]};
    }
    std::array<panels::TextBox *, 4> written()
    {
        return {&boxes_[0], &boxes_[1], &boxes_[2], &boxes_[3]};
    }
    std::array<std::string, 4> texts() const
    {
        return {boxes_[0].text(), boxes_[1].text(), boxes_[2].text(), boxes_[3].text()};
    }

private:
    std::array<panels::PlainTextBox, 4> boxes_;
};

} // namespace qm5083::testing
