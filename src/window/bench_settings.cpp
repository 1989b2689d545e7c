#include "bench_settings.h"

#include <QFile>
#include <QIODevice>
#include <QStandardPaths>
#include <QStringList>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::window {

namespace {

const QString kApplication = QStringLiteral("qm5083-bench");

// A folder named by the environment that this user may take as its own.
bool ownFolder(const char *variable, bool mayBeUnset)
{
    const QByteArray path = qgetenv(variable);
    if (path.isEmpty())
        return mayBeUnset;
    struct stat status
    { };
    return path.startsWith('/') && ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid();
}

// HOME (and XDG_CONFIG_HOME, when set) are this user's own.
bool homeIsOwn()
{
    return ownFolder("HOME", false) && ownFolder("XDG_CONFIG_HOME", true);
}

// This user's home as the password database gives it; empty when it gives none.
QString accountHome()
{
    const passwd *account = ::getpwuid(::geteuid());
    return account && account->pw_dir && account->pw_dir[0] == '/'
        ? QFile::decodeName(account->pw_dir)
        : QString();
}

// "\"...\"" as QSettings writes a string: backslash escapes for \, ", and control characters.
QString unquoted(QStringView text)
{
    QString value;
    for (qsizetype at = 1; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == QLatin1Char('"'))
            break;
        if (c != QLatin1Char('\\') || at + 1 == text.size()) {
            value += c;
            continue;
        }
        const QChar next = text[++at];
        if (next == QLatin1Char('n'))
            value += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            value += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            value += QLatin1Char('\r');
        else if (next == QLatin1Char('x')) {
            qsizetype end = at + 1;
            while (end < text.size() && end < at + 5
                   && QStringLiteral("0123456789abcdefABCDEF").contains(text[end]))
                ++end;
            value
                += QChar(static_cast<char16_t>(text.mid(at + 1, end - at - 1).toUInt(nullptr, 16)));
            at = end - 1;
        } else
            value += next;
    }
    return value;
}

QString quoted(const QString &value)
{
    QString text = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            text += QLatin1Char('\\') + c;
        else if (c == QLatin1Char('\n'))
            text += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            text += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            text += QStringLiteral("\\r");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            text += QStringLiteral("\\x%1").arg(c.unicode(), 0, 16);
        else
            text += c;
    }
    return text + QLatin1Char('"');
}

bool readSettings(QIODevice &device, QSettings::SettingsMap &map)
{
    QString section;
    // A file is a few lines: at most 64 KiB of it is read.
    const QStringList lines
        = QString::fromUtf8(device.read(qint64 {64} * 1024)).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))
            || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        map.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key,
                   value.startsWith(QLatin1Char('"')) ? unquoted(value) : value);
    }
    return true;
}

bool writeSettings(QIODevice &device, const QSettings::SettingsMap &map)
{
    QString text;
    QString section = QStringLiteral("\n"); // none yet
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        const qsizetype slash = entry.key().lastIndexOf(QLatin1Char('/'));
        const QString entrySection
            = slash < 0 ? QStringLiteral("General") : entry.key().left(slash);
        if (entrySection != section) {
            text += (section == QLatin1String("\n") ? QString() : QStringLiteral("\n"))
                + QLatin1Char('[') + entrySection + QStringLiteral("]\n");
            section = entrySection;
        }
        text += entry.key().mid(slash + 1) + QLatin1Char('=') + quoted(entry.value().toString())
            + QLatin1Char('\n');
    }
    return device.write(text.toUtf8()) >= 0;
}

} // namespace

QSettings::Format benchSettingsFormat()
{
    static const QSettings::Format kFormat
        = QSettings::registerFormat(QStringLiteral("conf"), readSettings, writeSettings);
    return kFormat;
}

QSettings benchSettings()
{
    if (homeIsOwn())
        return QSettings(benchSettingsFormat(), QSettings::UserScope, kApplication, kApplication);
    return QSettings(accountHome() + QStringLiteral("/.config/qm5083-bench/qm5083-bench.conf"),
                     benchSettingsFormat());
}

QString defaultResultsFolder()
{
    if (homeIsOwn())
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            + QStringLiteral("/qm5083-bench");
    const QString home = accountHome();
    return home.isEmpty() ? QString() : home + QStringLiteral("/Documents/qm5083-bench");
}

} // namespace qm5083::window
