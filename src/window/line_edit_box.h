#pragma once

#include "text_box.h"

#include <QLineEdit>

#include <string>

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
    std::string text() const override { return edit_->text().toStdString(); }
    void setText(std::string_view text) override
    {
        edit_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    QLineEdit *edit() const { return edit_; }

private:
    QLineEdit *edit_;
    std::string name_;
};

} // namespace qm5083::window
