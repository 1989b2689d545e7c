#pragma once

class QApplication;

namespace qm5083::window {

// One look on every machine: the Fusion style and a CJK font whose Latin letters are half as wide
// as its ideographs, so the labels' texts fit the widths they were laid out for.
void applyAppearance(QApplication &app);

} // namespace qm5083::window
