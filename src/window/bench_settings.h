#pragma once

#include <QSettings>
#include <QString>

namespace qm5083::window {

// What the tests' dialogs remember between runs: the station's facts and where reports go, in
// qm5083-bench/qm5083-bench.conf of this user's configuration folder. As root, only a home of
// root's own is used: run with another user's environment (sudo -E), root reads no settings from
// that user's home (a meter command there would run as root) and writes none into it; it uses
// root's own, from the password database.
QSettings benchSettings();

// The settings' file format: "[section]" and "key=value" lines, as QSettings writes them, but a
// value written by hand is taken whole to the end of its line, a ";" in it too (QSettings' own
// reads it as a comment's start). Values are written quoted, as QSettings writes them.
QSettings::Format benchSettingsFormat();

inline const QString kOperatorKey = QStringLiteral("bench/operator");
inline const QString kStationKey = QStringLiteral("bench/station");
inline const QString kResultsFolderKey = QStringLiteral("bench/resultsFolder");

// Where reports go when none was chosen: the user's documents, in a folder of their own. Without
// a home of this user's own (HOME unset, or another user's), the documents folder of the home the
// password database gives.
QString defaultResultsFolder();

} // namespace qm5083::window
