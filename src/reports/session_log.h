#pragma once

#include "access_recorder.h"
#include "error_report.h"

#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qm5083::reports {

// One operation as the session record keeps it: its title (the window's frame and button, or
// the command as given), the texts it read, every access it made, and how it ended.
struct RecordedOperation
{
    QString operation;
    std::vector<std::pair<std::string, std::string>> textsRead; // box name and text
    std::vector<hardware::RecordedAccess> accesses;
    const ErrorReport *failure = nullptr; // none when it ran to its end
    bool reported = true;                 // the failure was shown (not the same cause again)
};

// The record's line for an operation: time, operation, texts, accesses, result, report.
QJsonObject operationLine(const RecordedOperation &operation);

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
