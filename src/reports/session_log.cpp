#include "session_log.h"

#include <QJsonDocument>

#include <cerrno>
#include <cstring>

namespace qm5083::reports {

std::unique_ptr<SessionLog> SessionLog::open(const QString &path, QString &error)
{
    std::FILE *file = std::fopen(path.toLocal8Bit().constData(), "a");
    if (!file) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<SessionLog>(new SessionLog(file));
}

SessionLog::~SessionLog()
{
    std::fclose(file_);
}

void SessionLog::append(const QJsonObject &line)
{
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), file_);
    std::fflush(file_);
}

} // namespace qm5083::reports
