#pragma once

#include "safe_files.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace qm5083::commands {

// Where a report goes, checked once before the test: its folder is opened then and kept, so that
// the path is never looked up again, and the report is written into that folder whatever is done
// to the path meanwhile. Only a regular file or a new one in a folder this user may write; a
// link, a device, a pipe or a folder there is refused.
class ReportTarget
{
public:
    // Throws reports::FileRefused with the reason.
    explicit ReportTarget(const QString &path);

    const QString &path() const { return entry_.path; }

    // The report, whole or not at all: a temporary file in the folder, renamed into place once
    // complete. False, with the reason, when it could not be.
    bool write(const QJsonObject &report, QString &why) const;
    // Any other file made the same way: a picture.
    bool writeBytes(const QByteArray &bytes, QString &why) const;

private:
    reports::FolderEntry entry_;
};

// The report's target, or nothing when no report is asked for; throws reports::FileRefused.
std::optional<ReportTarget> reportTarget(const QString &path);

} // namespace qm5083::commands
