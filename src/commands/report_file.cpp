#include "report_file.h"

#include "command_line.h"

#include <QJsonDocument>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::commands {

namespace {

// At namespace scope, so that the translation tools file them in tr()'s context.
QString folderNotWritable()
{
    return tr("its folder cannot be written");
}

QString fileNotWritable()
{
    return tr("it cannot be written");
}

} // namespace

ReportTarget::ReportTarget(const QString &path)
    : entry_(reports::openFolderOf(path))
{
    const auto existing = reports::regularOrNothing(entry_);
    if (::faccessat(entry_.folder.get(), ".", W_OK, AT_EACCESS) != 0)
        throw reports::FileRefused {folderNotWritable()};
    if (existing
        && ::faccessat(entry_.folder.get(), entry_.name.c_str(), W_OK,
                       AT_EACCESS | AT_SYMLINK_NOFOLLOW)
            != 0)
        throw reports::FileRefused {fileNotWritable()};
}

bool ReportTarget::write(const QJsonObject &report, QString &why) const
{
    return writeBytes(QJsonDocument(report).toJson(), why);
}

bool ReportTarget::writeBytes(const QByteArray &bytes, QString &why) const
{
    try {
        // Looked at again through the folder kept since the check: a link put there meanwhile
        // is refused, and the rename would replace the link itself, never what it points to.
        // A filed verdict is its writer's to change: rw-r--r-- whatever the umask, and a file
        // replaced keeps its mode but for others' writing.
        const auto existing = reports::regularOrNothing(entry_);
        reports::replaceWhole(entry_, bytes,
                              existing ? existing->mode & ~mode_t {S_IWGRP | S_IWOTH} : 0644, true);
        return true;
    } catch (const reports::FileRefused &refused) {
        why = refused.why;
        return false;
    }
}

std::optional<ReportTarget> reportTarget(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    return ReportTarget(path);
}

} // namespace qm5083::commands
