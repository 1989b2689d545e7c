#pragma once

class QWidget;

namespace qm5083::window {

// The program's manual in a plain-text viewer over parent: what --help says, in the user's
// language, and where the full manual page is.
void showManual(QWidget *parent);

} // namespace qm5083::window
