#include "report_file.h"

#include "command_line.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include <unistd.h>

namespace qm5083::commands {

std::optional<QString> reportPathProblem(const QString &path)
{
    const QFileInfo file(path);
    if (file.exists()) {
        if (!file.isFile())
            return tr("it is not a regular file (a device, a directory or a link to one); give a "
                      "new file or a regular one");
        if (::access(QFile::encodeName(file.canonicalFilePath()).constData(), W_OK) != 0)
            return tr("it cannot be written");
        return std::nullopt;
    }
    if (file.isSymLink())
        return tr("it is a link to nothing");
    const QFileInfo directory(file.absolutePath());
    if (!directory.isDir())
        return tr("its directory %1 does not exist").arg(directory.filePath());
    if (::access(QFile::encodeName(directory.filePath()).constData(), W_OK) != 0)
        return tr("its directory %1 cannot be written").arg(directory.filePath());
    return std::nullopt;
}

bool writeReport(const QString &path, const QJsonObject &report, QString &why)
{
    // A link to a regular file is followed, so the link stays and its file is replaced.
    const QFileInfo file(path);
    QSaveFile save(file.isSymLink() ? file.canonicalFilePath() : path);
    if (save.open(QIODevice::WriteOnly) && save.write(QJsonDocument(report).toJson()) >= 0
        && save.commit())
        return true;
    why = save.errorString();
    return false;
}

} // namespace qm5083::commands
