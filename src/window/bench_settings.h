#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace qm5083::window {

// What the tests' dialogs remember between runs: the station's facts and where reports go.
inline QSettings benchSettings()
{
    return QSettings(QStringLiteral("qm5083-bench"), QStringLiteral("qm5083-bench"));
}

inline const QString kOperatorKey = QStringLiteral("bench/operator");
inline const QString kStationKey = QStringLiteral("bench/station");
inline const QString kResultsFolderKey = QStringLiteral("bench/resultsFolder");

// Where reports go when none was chosen: the user's documents, in a folder of their own.
inline QString defaultResultsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
        + QStringLiteral("/qm5083-bench");
}

} // namespace qm5083::window
