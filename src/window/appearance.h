#pragma once

#include <QString>

class QApplication;
class QMessageBox;

namespace qm5083::window {

// One look on every machine: the Fusion style and a CJK font whose Latin letters are half as wide
// as its ideographs, so the labels' texts fit the widths they were laid out for.
void applyAppearance(QApplication &app);

// A report shows its texts as they are: a quoted file name, typed text or another program's
// command line is never taken for markup, and nothing in it is a link.
void showAsPlainText(QMessageBox &box);

// A tooltip that shows text exactly: Qt takes a tooltip that looks like markup for markup, so
// such a text is escaped and set as such.
QString plainToolTip(const QString &text);

} // namespace qm5083::window
