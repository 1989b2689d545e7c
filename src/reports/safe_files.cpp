#include "safe_files.h"

#include "translations.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::reports {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void refuse(QString why)
{
    throw FileRefused {std::move(why)};
}

bool sharedWriting(const struct stat &status)
{
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

struct stat statusOf(int fd, const QString &path)
{
    struct stat status
    { };
    if (::fstat(fd, &status) != 0)
        refuse(tr("%1 cannot be examined: %2").arg(path, systemError(errno)));
    return status;
}

// The path's folder and the file's name in it; a name that is no file's is refused.
std::pair<QString, std::string> split(const QString &path)
{
    const QFileInfo info(path);
    const std::string name = QFile::encodeName(info.fileName()).toStdString();
    if (name.empty() || name == "." || name == "..")
        refuse(tr("%1 names no file").arg(path));
    return {info.absolutePath(), name};
}

void writeAll(int fd, const QByteArray &bytes)
{
    const char *at = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, at, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            throw errno;
        }
        at += written;
        left -= static_cast<std::size_t>(written);
    }
}

std::string temporaryName(const std::string &name)
{
    static std::mt19937_64 random {std::random_device {}()};
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(random()));
    return "." + name + suffix;
}

// Whose links root follows: its own, and those of the user who ran the program (through sudo).
bool trustedLinkOwner(uid_t owner)
{
    if (owner == 0 || owner == ::getuid())
        return true;
    const QByteArray sudoUid = qgetenv("SUDO_UID");
    bool number = false;
    const uint invoking = sudoUid.toUInt(&number);
    return number && owner == invoking;
}

// The folder at path, reached one name at a time from / (or the working folder): as root, a link
// on the way is followed only when its owner is trusted; with make, a missing folder is made
// rwxr-xr-x whatever the umask.
FileDescriptor reachFolder(const QString &path, bool make)
{
    const bool root = ::geteuid() == 0;
    FileDescriptor folder(
        ::open(path.startsWith(QLatin1Char('/')) ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString reached = path.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral(".");
    int links = 0;
    while (!names.isEmpty()) {
        const QString name = names.takeFirst();
        if (name == QLatin1String("."))
            continue;
        reached += QLatin1Char('/') + name;
        const QByteArray part = QFile::encodeName(name);
        FileDescriptor next(
            ::openat(folder.get(), part.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        bool made = false;
        if (!next && errno == ENOENT && make) {
            if (::mkdirat(folder.get(), part.constData(), 0755) != 0 && errno != EEXIST)
                refuse(tr("the folder %1 cannot be made: %2").arg(reached, systemError(errno)));
            made = true;
            next = FileDescriptor(
                ::openat(folder.get(), part.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!next && errno == ENOENT)
            refuse(tr("its folder %1 does not exist").arg(path));
        if (!next)
            refuse(tr("its folder %1 cannot be opened: %2").arg(reached, systemError(errno)));
        const struct stat status = statusOf(next.get(), reached);
        if (S_ISLNK(status.st_mode)) {
            if (root && !trustedLinkOwner(status.st_uid))
                refuse(tr("%1 is a link of another user's (uid %2); run as root, the program "
                          "follows only root's links and those of the user who ran it")
                           .arg(reached, QString::number(status.st_uid)));
            char target[PATH_MAX + 1];
            const ssize_t length = ::readlinkat(next.get(), "", target, PATH_MAX);
            if (length < 0 || ++links > 40)
                refuse(tr("its folder %1 cannot be opened: %2")
                           .arg(reached, systemError(length < 0 ? errno : ELOOP)));
            const QString to = QFile::decodeName(QByteArray(target, length));
            names = to.split(QLatin1Char('/'), Qt::SkipEmptyParts) + names;
            if (to.startsWith(QLatin1Char('/'))) {
                folder = FileDescriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                reached.clear();
            } else {
                reached.chop(name.size() + 1);
            }
            continue;
        }
        if (!S_ISDIR(status.st_mode))
            refuse(tr("%1 is not a folder").arg(reached));
        if (made) {
            // Made just now by this process: rwxr-xr-x whatever the umask.
            const FileDescriptor opened(
                ::openat(next.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!opened || ::fchmod(opened.get(), 0755) != 0)
                refuse(tr("the folder %1 cannot be made: %2").arg(reached, systemError(errno)));
        }
        folder = std::move(next);
    }
    FileDescriptor opened(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened)
        refuse(tr("its folder %1 cannot be opened: %2").arg(path, systemError(errno)));
    return opened;
}

} // namespace

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

FolderEntry openFolderOf(const QString &path)
{
    auto [folderPath, name] = split(path);
    if (::geteuid() == 0) {
        FileDescriptor folder = reachFolder(folderPath, false);
        const bool shared = sharedWriting(statusOf(folder.get(), folderPath));
        return {std::move(folder), std::move(name), path, shared};
    }
    FileDescriptor folder(
        ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        if (errno == ENOENT)
            refuse(tr("its folder %1 does not exist").arg(folderPath));
        if (errno == ENOTDIR)
            refuse(tr("%1 is not a folder").arg(folderPath));
        refuse(tr("its folder %1 cannot be opened: %2").arg(folderPath, systemError(errno)));
    }
    const bool shared = sharedWriting(statusOf(folder.get(), folderPath));
    return {std::move(folder), std::move(name), path, shared};
}

void makeFolders(const QString &path)
{
    reachFolder(path, true);
}

FolderEntry openSystemFolderOf(const QString &path)
{
    auto [folderPath, name] = split(path);
    const uid_t self = ::geteuid();
    FileDescriptor folder(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QString reached;
    const QStringList parts = folderPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i <= parts.size(); ++i) {
        const bool last = i == parts.size();
        if (i > 0) {
            reached += QLatin1Char('/') + parts[i - 1];
            const QByteArray part = QFile::encodeName(parts[i - 1]);
            int fd = ::openat(folder.get(), part.constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT) {
                if (::mkdirat(folder.get(), part.constData(), 0755) != 0 && errno != EEXIST)
                    refuse(tr("the folder %1 cannot be made: %2").arg(reached, systemError(errno)));
                fd = ::openat(folder.get(), part.constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                // Made just now by this process: rwxr-xr-x whatever the umask.
                if (fd >= 0 && ::fchmod(fd, 0755) != 0)
                    refuse(tr("the folder %1 cannot be made: %2").arg(reached, systemError(errno)));
            }
            if (fd < 0 && (errno == ELOOP || errno == ENOTDIR))
                refuse(tr("%1 is a link or not a folder; the card set-up is kept only in a real "
                          "folder")
                           .arg(reached));
            if (fd < 0)
                refuse(tr("the folder %1 cannot be opened: %2").arg(reached, systemError(errno)));
            folder = FileDescriptor(fd);
        }
        const struct stat status = statusOf(folder.get(), reached.isEmpty() ? "/" : reached);
        const QString shown = reached.isEmpty() ? QStringLiteral("/") : reached;
        const bool ownerOk = status.st_uid == 0 || status.st_uid == self;
        if (!ownerOk || (sharedWriting(status) && (last || !(status.st_mode & S_ISVTX))))
            refuse(
                tr("the folder %1 may be changed by others than its owner or is not root's "
                   "(owner %2, mode %3); make it root's and writable by root alone")
                    .arg(shown, QString::number(status.st_uid),
                         QStringLiteral("%1").arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'))));
    }
    return {std::move(folder), std::move(name), path, false};
}

std::optional<ExistingFile> regularOrNothing(const FolderEntry &entry)
{
    struct stat status
    { };
    if (::fstatat(entry.folder.get(), entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        refuse(tr("it cannot be examined: %1").arg(systemError(errno)));
    }
    if (S_ISLNK(status.st_mode))
        refuse(tr("it is a link; give the file itself"));
    if (S_ISDIR(status.st_mode))
        refuse(tr("it is a folder"));
    if (!S_ISREG(status.st_mode))
        refuse(tr("it is not a regular file (a device, a pipe or a socket)"));
    if (::geteuid() == 0 && status.st_uid != 0 && entry.folderSharedWriting)
        refuse(tr("it belongs to another user, in a folder others may write; run as root, the "
                  "program writes there only its own files"));
    return ExistingFile {status.st_uid, static_cast<mode_t>(status.st_mode & 07777)};
}

QByteArray readWhole(const FolderEntry &entry, qsizetype limit)
{
    FileDescriptor fd(::openat(entry.folder.get(), entry.name.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        refuse(tr("it cannot be read: %1").arg(systemError(errno)));
    if (!S_ISREG(statusOf(fd.get(), entry.path).st_mode))
        refuse(tr("it is not a regular file (a device, a pipe or a socket)"));
    QByteArray bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            refuse(tr("it cannot be read: %1").arg(systemError(errno)));
        if (got == 0)
            return bytes;
        bytes.append(buffer, got);
        if (bytes.size() > limit)
            refuse(tr("it is larger than %1 bytes").arg(limit));
    }
}

void replaceWhole(const FolderEntry &entry, const QByteArray &bytes, mode_t mode, bool exact)
{
    std::string temporary;
    FileDescriptor fd;
    for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        temporary = temporaryName(entry.name);
        fd = FileDescriptor(::openat(entry.folder.get(), temporary.c_str(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd && errno != EEXIST)
            break;
    }
    if (!fd)
        refuse(tr("it cannot be written: %1").arg(systemError(errno)));
    try {
        if (exact && ::fchmod(fd.get(), mode) != 0)
            throw errno;
        writeAll(fd.get(), bytes);
        if (::fsync(fd.get()) != 0)
            throw errno;
        if (::renameat(entry.folder.get(), temporary.c_str(), entry.folder.get(),
                       entry.name.c_str())
            != 0)
            throw errno;
    } catch (int error) {
        ::unlinkat(entry.folder.get(), temporary.c_str(), 0);
        refuse(tr("it cannot be written: %1").arg(systemError(error)));
    }
    // The rename itself reaches the disk with the folder.
    ::fsync(entry.folder.get());
}

FolderEntry sibling(const FolderEntry &entry, const std::string &name)
{
    FileDescriptor folder(::fcntl(entry.folder.get(), F_DUPFD_CLOEXEC, 0));
    if (!folder)
        refuse(tr("it cannot be opened: %1").arg(systemError(errno)));
    const QString path = QFileInfo(entry.path).dir().filePath(QFile::decodeName(name.c_str()));
    return {std::move(folder), name, path, entry.folderSharedWriting};
}

} // namespace qm5083::reports
