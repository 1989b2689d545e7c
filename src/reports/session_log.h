#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <memory>

namespace qm5083::reports {

// The session record (--log): one JSON object a line, appended and flushed line by line, so
// that nothing is lost when the program is ended.
class SessionLog
{
public:
    // Opens path for appending; on failure, nothing is opened and error says why.
    static std::unique_ptr<SessionLog> open(const QString &path, QString &error);
    ~SessionLog();
    SessionLog(const SessionLog &) = delete;
    SessionLog &operator=(const SessionLog &) = delete;

    void append(const QJsonObject &line);

private:
    explicit SessionLog(std::FILE *file)
        : file_(file)
    { }

    std::FILE *file_;
};

} // namespace qm5083::reports
