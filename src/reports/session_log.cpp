#include "session_log.h"

#include "hex_text.h"
#include "safe_files.h"
#include "translations.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::reports {

QJsonObject operationLine(const RecordedOperation &operation)
{
    QJsonArray texts;
    for (const auto &[box, text] : operation.textsRead)
        texts.append(QJsonObject {{QStringLiteral("box"), QString::fromStdString(box)},
                                  {QStringLiteral("text"), QString::fromStdString(text)}});
    QJsonArray accesses;
    for (const hardware::RecordedAccess &access : operation.accesses)
        accesses.append(QJsonObject {
            {QStringLiteral("access"),
             access.kind == hardware::RecordedAccess::Kind::Out ? QStringLiteral("out")
                                                                : QStringLiteral("in")},
            {QStringLiteral("port"), QString::fromStdString(convert::hex4(access.port))},
            {QStringLiteral("byte"), QString::fromStdString(convert::hex2(access.byte()))}});
    QJsonObject line {
        {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
        {QStringLiteral("operation"), operation.operation},
        {QStringLiteral("texts"), texts},
        {QStringLiteral("accesses"), accesses},
        {QStringLiteral("result"),
         operation.failure ? QStringLiteral("failed") : QStringLiteral("done")},
    };
    for (auto detail = operation.details.begin(); detail != operation.details.end(); ++detail)
        line[detail.key()] = detail.value();
    if (operation.failure)
        line[QStringLiteral("report")] = operation.reported
            ? QJsonObject {{QStringLiteral("headline"), operation.failure->headline},
                           {QStringLiteral("detail"), operation.failure->detail}}
            : QJsonObject {
                {QStringLiteral("notShown"), QStringLiteral("the same cause was just reported")}};
    return line;
}

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads count bytes at offset; false when the file gave fewer.
bool readAt(int fd, char *buffer, std::size_t count, off_t offset)
{
    while (count > 0) {
        const ssize_t got = ::pread(fd, buffer, count, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        count -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

// The most of a line cut short that is taken up as its text; far more than a line of the
// program's whose write a power cut stopped usually leaves, and a bound on what damage costs.
constexpr off_t kMaxTakenUp = 4096;

// Where the last line, cut short, starts: after the last line's end, looked for from the file's
// end backwards, a chunk at a time. -1 when the file cannot be read.
off_t cutLineStart(int fd, off_t size)
{
    char chunk[65536];
    for (off_t end = size; end > 0;) {
        const off_t from = std::max<off_t>(0, end - static_cast<off_t>(sizeof chunk));
        if (!readAt(fd, chunk, static_cast<std::size_t>(end - from), from))
            return -1;
        for (off_t at = end - from; at-- > 0;)
            if (chunk[at] == '\n')
                return from + at + 1;
        end = from;
    }
    return 0;
}

// A last line cut short becomes a line of its own, in place of its bytes: {"incomplete": its
// text}, with the exact bytes in base64 too when they are not whole UTF-8. A longer one than
// kMaxTakenUp is left as it is, ended, and named by the line after it, which takes up its start:
// {"incomplete": ..., "left": {"offset": where it starts, "bytes": its length}}. Empty when the
// file ends in a whole line; error when the file cannot be read or written.
QString keepIncompleteLine(int fd, const QString &path, QString &error)
{
    struct stat status
    { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0)
        return {};
    char last = 0;
    if (!readAt(fd, &last, 1, status.st_size - 1)) {
        error = systemError(errno ? errno : EIO);
        return {};
    }
    if (last == '\n')
        return {};
    const off_t start = cutLineStart(fd, status.st_size);
    const off_t length = status.st_size - start;
    QByteArray bytes(static_cast<qsizetype>(std::min(length, kMaxTakenUp)), '\0');
    if (start < 0 || !readAt(fd, bytes.data(), static_cast<std::size_t>(bytes.size()), start)) {
        error = systemError(errno ? errno : EIO);
        return {};
    }
    const QString text = QString::fromUtf8(bytes);
    QJsonObject kept {{QStringLiteral("incomplete"), text}};
    if (text.toUtf8() != bytes)
        kept[QStringLiteral("bytes")] = QString::fromLatin1(bytes.toBase64());
    const bool left = length > kMaxTakenUp;
    if (left)
        kept[QStringLiteral("left")] = QJsonObject {{QStringLiteral("offset"), qint64 {start}},
                                                    {QStringLiteral("bytes"), qint64 {length}}};
    const QByteArray line = (left ? QByteArray("\n") : QByteArray())
        + QJsonDocument(kept).toJson(QJsonDocument::Compact) + '\n';
    const off_t at = left ? status.st_size : start;
    if (::pwrite(fd, line.constData(), static_cast<std::size_t>(line.size()), at) != line.size()
        || ::fdatasync(fd) != 0) {
        error = systemError(errno ? errno : EIO);
        return {};
    }
    if (left)
        return tr("The session record %1 ended in a line cut short, %2 bytes long from byte %3 "
                  "(the program or the power stopped while it was written, or the file was "
                  "damaged); its bytes are left as they are, its first %4 are kept as a line of "
                  "their own after it, {\"incomplete\": ..., \"left\": ...}, and the record goes "
                  "on after that.")
            .arg(path, QString::number(length), QString::number(start),
                 QString::number(kMaxTakenUp));
    return tr("The session record %1 ended in a line cut short (the program or the power stopped "
              "while it was written); its text is kept as a line of its own, {\"incomplete\": "
              "...}, and the record goes on after it.")
        .arg(path);
}

// The record's texts, at namespace scope so that they are translated in its context.
QString linkRefused()
{
    return tr("it is a link; give the file itself");
}

QString notAFile()
{
    return tr("it is not a regular file (a device, a pipe or a socket); the record goes to a "
              "file only");
}

QString anotherUsersFile()
{
    return tr("it belongs to another user, in a folder others may write; run as root, the "
              "program writes there only its own files");
}

QString notARecord()
{
    return tr("it is not a session record (its first line is no {\"session\": ...}); name a new "
              "file, or a record this program began");
}

QString removedOrReplaced()
{
    return tr("the file was removed or replaced");
}

QString partlyWritten(qsizetype written, qsizetype size)
{
    return tr("only %1 of a line's %2 bytes were written (is the disk full?)")
        .arg(written)
        .arg(size);
}

QString recordStopped(const QString &path, const QString &why)
{
    return tr("the session record %1 cannot be written: %2; recording stopped, and the program "
              "goes on without it")
        .arg(path, why);
}

} // namespace

namespace {

// What a record begins with; a file that begins otherwise is someone else's and is left alone.
constexpr std::string_view kRecordStart = "{\"session\":";

// Whether the file is a session record (or empty, or cut short inside its first line).
bool isSessionRecord(int fd)
{
    char start[kRecordStart.size()] = {};
    ssize_t got = 0;
    do
        got = ::pread(fd, start, sizeof start, 0);
    while (got < 0 && errno == EINTR);
    return got >= 0
        && kRecordStart.starts_with(std::string_view(start, static_cast<std::size_t>(got)));
}

} // namespace

std::unique_ptr<SessionLog> SessionLog::open(const QString &path, QString &error, QString &notice)
{
    // The folder once, the file in it never through a link, and not blocking on a pipe: the
    // record goes to a regular file only.
    std::optional<FolderEntry> entry;
    try {
        entry.emplace(openFolderOf(path));
    } catch (const FileRefused &refused) {
        error = refused.why;
        return nullptr;
    }
    constexpr int kFlags = O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    FileDescriptor fd(::openat(entry->folder.get(), entry->name.c_str(), O_RDWR | kFlags, 0644));
    // A file this user may write but not read is appended to as it is.
    const bool readable = static_cast<bool>(fd);
    if (!fd && errno == EACCES)
        fd = FileDescriptor(
            ::openat(entry->folder.get(), entry->name.c_str(), O_WRONLY | kFlags, 0644));
    if (!fd) {
        error = errno == ELOOP ? linkRefused() : systemError(errno);
        return nullptr;
    }
    struct stat status
    { };
    if (::fstat(fd.get(), &status) != 0) {
        error = systemError(errno);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        error = notAFile();
        return nullptr;
    }
    if (::geteuid() == 0 && status.st_uid != 0 && entry->folderSharedWriting) {
        error = anotherUsersFile();
        return nullptr;
    }
    if (readable && !isSessionRecord(fd.get())) {
        error = notARecord();
        return nullptr;
    }
    if (readable)
        notice = keepIncompleteLine(fd.get(), path, error);
    if (!error.isEmpty()
        || ::fcntl(fd.get(), F_SETFL, (::fcntl(fd.get(), F_GETFL) | O_APPEND) & ~O_NONBLOCK) != 0) {
        if (error.isEmpty())
            error = systemError(errno);
        return nullptr;
    }
    return std::unique_ptr<SessionLog>(new SessionLog(path, fd.release(), true));
}

SessionLog::SessionLog(QString path, int fd, bool regularFile)
    : path_(std::move(path))
    , fd_(fd)
    , regularFile_(regularFile)
{
    if (regularFile_)
        syncer_ = std::thread([this] { syncLoop(); });
}

SessionLog::~SessionLog()
{
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    if (syncer_.joinable())
        syncer_.join();
    if (regularFile_ && !stopped() && ::fdatasync(fd_) != 0)
        stop(systemError(errno));
    ::close(fd_);
}

void SessionLog::setStopped(Stopped stopped)
{
    std::unique_lock lock(mutex_);
    onStopped_ = std::move(stopped);
    if (stopped_ && onStopped_) {
        const Stopped tell = onStopped_;
        const QString why = why_;
        lock.unlock();
        tell(why);
    }
}

bool SessionLog::stopped() const
{
    const std::lock_guard lock(mutex_);
    return stopped_;
}

void SessionLog::append(const QJsonObject &line)
{
    if (stopped())
        return;
    // A line written after the file was removed or replaced would reach no reader.
    if (regularFile_ && !stillTheFile())
        return stop(removedOrReplaced());
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    ssize_t written = 0;
    do
        written = ::write(fd_, text.constData(), static_cast<std::size_t>(text.size()));
    while (written < 0 && errno == EINTR);
    if (written < 0)
        return stop(systemError(errno));
    if (written != text.size()) {
        // Part of the line went out (the disk filled up): the rest says why, and the part is
        // taken back, so that the record ends in a whole line.
        const ssize_t rest = ::write(fd_, text.constData() + written,
                                     static_cast<std::size_t>(text.size() - written));
        if (rest == text.size() - written)
            return;
        const int error = rest < 0 ? errno : 0;
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end >= 0 && regularFile_) [[maybe_unused]]
            const int truncated = ::ftruncate(fd_, end - written - std::max<ssize_t>(rest, 0));
        return stop(error ? systemError(error) : partlyWritten(written, text.size()));
    }
    if (regularFile_) {
        {
            const std::lock_guard lock(mutex_);
            unsynced_ = true;
        }
        wake_.notify_one();
    }
}

bool SessionLog::stillTheFile() const
{
    struct stat open
    { };
    struct stat named
    { };
    return ::fstat(fd_, &open) == 0 && ::stat(path_.toLocal8Bit().constData(), &named) == 0
        && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void SessionLog::stop(const QString &why)
{
    std::unique_lock lock(mutex_);
    if (stopped_)
        return;
    stopped_ = true;
    why_ = recordStopped(path_, why);
    const Stopped tell = onStopped_;
    const QString told = why_;
    lock.unlock();
    if (tell)
        tell(told);
}

void SessionLog::syncLoop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return unsynced_ || closing_; });
        if (closing_)
            return; // the destructor syncs what is left
        unsynced_ = false;
        lock.unlock();
        const bool synced = ::fdatasync(fd_) == 0;
        const int error = errno;
        if (!synced)
            stop(systemError(error));
        lock.lock();
        // At most one sync a second: a burst of lines waits for the next.
        wake_.wait_for(lock, std::chrono::seconds(1), [this] { return closing_; });
        if (closing_)
            return;
    }
}

} // namespace qm5083::reports
