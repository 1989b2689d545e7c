#pragma once

#include "access_recorder.h"
#include "error_report.h"

#include <QJsonObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
    QJsonObject details {};               // what else the operation found, added to its line
};

// The record's line for an operation: time, operation, texts, accesses, result, report.
QJsonObject operationLine(const RecordedOperation &operation);

// The session record (--log): one JSON object a line. Each line goes to the kernel whole, in
// one write, so that a program ended at any moment leaves only whole lines; a thread hands them
// on to the disk (fdatasync) at most a second later, and the last ones when the record closes.
//
// A line that cannot be written (disk full, an I/O error, the file removed or replaced) stops
// the record: stopped is told why, once, and the program goes on without it.
class SessionLog
{
public:
    using Stopped = std::function<void(const QString &why)>;

    // Opens path for appending. A last line cut short (a power cut mid-write) is first made a
    // line of its own, {"incomplete": "<its text>"}, and notice says so. On failure nothing is
    // opened and error says why.
    static std::unique_ptr<SessionLog> open(const QString &path, QString &error, QString &notice);
    ~SessionLog();
    SessionLog(const SessionLog &) = delete;
    SessionLog &operator=(const SessionLog &) = delete;

    // Called from whichever thread finds the failure; at once when the record has stopped
    // already.
    void setStopped(Stopped stopped);
    void append(const QJsonObject &line);
    bool stopped() const;
    const QString &path() const { return path_; }
    // What open said about the file, for a window to show as well.
    void setOpeningNotice(QString notice) { openingNotice_ = std::move(notice); }
    const QString &openingNotice() const { return openingNotice_; }

private:
    SessionLog(QString path, int fd, bool regularFile);
    void stop(const QString &why);
    bool stillTheFile() const;
    void syncLoop();

    const QString path_;
    const int fd_;
    const bool regularFile_; // only a regular file is synced and watched for replacement
    QString openingNotice_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool unsynced_ = false;
    bool closing_ = false;
    bool stopped_ = false;
    QString why_;
    Stopped onStopped_;
    std::thread syncer_;
};

} // namespace qm5083::reports
