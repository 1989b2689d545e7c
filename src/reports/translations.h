#pragma once

#include <QString>

class QCoreApplication;

namespace qm5083::reports {

// Installs the program's translation (and Qt's own) into app when the user's locale is Chinese;
// the messages stay in English otherwise. The window's own captions and texts are the same in
// every locale.
void installTranslations(QCoreApplication &app);

// Translates a text of this namespace's free functions, in the context the translation tools file
// them under (the namespace); classes with Q_OBJECT use their own tr().
QString tr(const char *text);

} // namespace qm5083::reports
