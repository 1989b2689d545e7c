#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

namespace qm5083::window {

// What the self-test and DA check dialogs share: their verdict's colours and words, and their
// bounded text boxes.

inline const QColor kPassColour(0x00, 0x80, 0x00);
inline const QColor kFailColour(0xC0, 0x00, 0x00);

// The verdicts as the card's label says them, the same in every locale.
inline const QString kPassed = QStringLiteral("合格");
inline const QString kFailed = QStringLiteral("不合格");

// A text box named for the tests, holding at most maxLength characters of text.
inline QLineEdit *limitedEdit(const QString &name, int maxLength, const QString &text,
                              QWidget *parent)
{
    auto *edit = new QLineEdit(text.left(maxLength), parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

} // namespace qm5083::window
