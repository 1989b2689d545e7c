#pragma once

// Files the program writes, reached so that no one else can steer where the bytes go: a folder
// is opened once and checked on its descriptor, and everything in it is reached through that
// descriptor, never through a link, never by a second look-up of the path. A file is replaced
// whole (a temporary file, synced, renamed into place) or appended to as opened.

#include <QString>

#include <sys/types.h>

#include <optional>
#include <string>

namespace qm5083::reports {

// Why a file cannot be reached or written safely, for the operator.
struct FileRefused
{
    QString why;
};

// An open descriptor, closed with its owner.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1)
        : fd_(fd)
    { }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept
        : fd_(other.release())
    { }
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

// A file named in a folder that is open: the folder's descriptor and the file's name in it.
struct FolderEntry
{
    FileDescriptor folder;
    std::string name;
    QString path;                     // as given, for messages
    bool folderSharedWriting = false; // group or others may write the folder
};

// The folder a path names a file in, opened once (as the path gives it, links in the folder's
// own path followed as the user named them; run as root, only links of root's or of the user who
// ran the program, as the kernel's protected_symlinks would have it). Throws FileRefused.
FolderEntry openFolderOf(const QString &path);

// Makes the folders of path that are missing, each rwxr-xr-x whatever the umask, reached as
// openFolderOf reaches a folder. Throws FileRefused.
void makeFolders(const QString &path);

// A system folder for files root keeps (the card set-up's): every folder on the way from / is
// reached without following a link and may be changed by its owner alone (or is sticky, as /tmp
// is), the folder itself belongs to root (or, run by another user, to that user) and no one else
// may write it. Missing folders are made rwxr-xr-x whatever the umask. Throws FileRefused.
FolderEntry openSystemFolderOf(const QString &path);

// What stands in the entry's place now, never followed: nothing, a regular file (its owner and
// mode), or something else that is refused (a link, a folder, a device, a pipe). Throws
// FileRefused for anything but a regular file or nothing. As root, another user's file in a
// folder others may write is refused too: whoever owns it could swap it for a link at any time.
struct ExistingFile
{
    uid_t owner = 0;
    mode_t mode = 0;
};
std::optional<ExistingFile> regularOrNothing(const FolderEntry &entry);

// The entry's bytes, read whole through the folder (at most limit bytes). Throws FileRefused.
QByteArray readWhole(const FolderEntry &entry, qsizetype limit);

// Replaces the entry with bytes, whole or not at all: a temporary file in the same folder,
// synced, renamed into place, the folder synced. mode is the new file's permissions, as the
// umask leaves them or, when exact, whatever the umask. Throws FileRefused.
void replaceWhole(const FolderEntry &entry, const QByteArray &bytes, mode_t mode,
                  bool exact = false);

// The entry under another name in the same folder ("cards.conf.old").
FolderEntry sibling(const FolderEntry &entry, const std::string &name);

} // namespace qm5083::reports
