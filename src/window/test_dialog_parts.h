#pragma once

#include "verdict.h"

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QString>

namespace qm5083::window {

// What the self-test and DA check dialogs share: their verdicts' colours, and their bounded text
// boxes.

inline const QColor kPassColour(0x00, 0x80, 0x00);
inline const QColor kFailColour(0xC0, 0x00, 0x00);
// Neither a pass nor a failure: parts not tested, figures not judged.
inline const QColor kNotAllColour(0xB0, 0x60, 0x00);
// No verdict at all: stopped by the operator.
inline const QColor kStoppedColour(0x60, 0x60, 0x60);

// Each verdict in its own colour: only a pass is green.
inline QColor verdictColour(commands::Verdict verdict)
{
    switch (verdict) {
    case commands::Verdict::Passed:
        return kPassColour;
    case commands::Verdict::Failed:
    case commands::Verdict::CouldNotRun:
        return kFailColour;
    case commands::Verdict::Incomplete:
    case commands::Verdict::NotJudged:
        return kNotAllColour;
    case commands::Verdict::Stopped:
        return kStoppedColour;
    }
    return kFailColour;
}

// A label's text in a colour of its own.
inline void showInColour(QLabel *label, const QString &text, const QColor &colour)
{
    label->setText(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

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
