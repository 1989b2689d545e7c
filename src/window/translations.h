#pragma once

class QCoreApplication;

namespace qm5083::window {

// Installs the program's translation (and Qt's own) into app when the user's locale is Chinese;
// the messages stay in English otherwise. The window's own captions and texts are the same in
// every locale.
void installTranslations(QCoreApplication &app);

} // namespace qm5083::window
