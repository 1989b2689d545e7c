#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace qm5083::commands {

// Why a report cannot go where it is asked to, or nothing: a regular file (or a link to one)
// that can be written, or a new file in a directory that can. A device, a directory or anything
// else is never replaced.
std::optional<QString> reportPathProblem(const QString &path);

// Writes a report whole or not at all: a temporary file, renamed into place once complete.
// False, with the reason, when it could not be.
bool writeReport(const QString &path, const QJsonObject &report, QString &why);

} // namespace qm5083::commands
