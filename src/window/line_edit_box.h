#pragma once

#include "text_box.h"

#include <QLineEdit>
#include <string>
#include <utility>
#include <vector>

namespace qm5083::window {

// A window text box as the panel operations see it.
class LineEditBox final : public panels::TextBox
{
public:
    explicit LineEditBox(QLineEdit *edit)
        : edit_(edit)
        , name_(edit->objectName().toStdString())
    { }
    std::string_view name() const override { return name_; }
    std::string text() const override
    {
        std::string text = edit_->text().toStdString();
        if (readLog_)
            readLog_->emplace_back(name_, text);
        return text;
    }
    void setText(std::string_view text) override
    {
        edit_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    QLineEdit *edit() const { return edit_; }
    // Where to note each text an operation reads, for the session record; none when null.
    void setReadLog(std::vector<std::pair<std::string, std::string>> *readLog)
    {
        readLog_ = readLog;
    }

private:
    QLineEdit *edit_;
    std::string name_;
    std::vector<std::pair<std::string, std::string>> *readLog_ = nullptr;
};

} // namespace qm5083::window
