#include "database.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qm5083::results {

namespace {

// How long a program waits for another that is writing before it gives up.
constexpr int kBusyTimeoutMs = 10000;

// The error a result code stands for, naming the file.
ResultsError sqliteFailure(int code, const QString &path, const QString &why)
{
    const int primary = code & 0xFF;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return {ResultsError::Kind::Damaged,
                tr("the results database %1 is damaged or no SQLite database: move it aside, "
                   "and the next result starts a new one there")
                    .arg(path)};
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return {ResultsError::Kind::Failed,
                tr("the results database %1 stayed busy for %2 s: another program writes "
                   "it (\"%3\")")
                    .arg(path)
                    .arg(kBusyTimeoutMs / 1000)
                    .arg(why)};
    return {ResultsError::Kind::Failed,
            tr("the results database %1 failed: \"%2\"").arg(path, why)};
}

class SqliteDatabase final : public Database
{
public:
    SqliteDatabase(sqlite3 *handle, QString path)
        : handle_(handle)
        , path_(std::move(path))
    { }
    ~SqliteDatabase() override { sqlite3_close_v2(handle_); }

    Dialect dialect() const override { return Dialect::Sqlite; }
    QString name() const override { return path_; }

    void each(std::string_view sql, const std::vector<Value> &values,
              const std::function<void(const Row &)> &row) override
    {
        // SQLite numbers its values ?1, ?2...; the statements are written with $1, $2...
        std::string text(sql);
        for (std::size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at))
            text[at] = '?';
        sqlite3_stmt *statement = nullptr;
        check(sqlite3_prepare_v2(handle_, text.c_str(), static_cast<int>(text.size()), &statement,
                                 nullptr));
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> owned(statement,
                                                                           sqlite3_finalize);
        for (std::size_t i = 0; i < values.size(); ++i)
            bind(statement, static_cast<int>(i) + 1, values[i]);
        Row current;
        for (;;) {
            const int stepped = sqlite3_step(statement);
            if (stepped == SQLITE_DONE)
                return;
            if (stepped != SQLITE_ROW)
                check(stepped);
            const int columns = sqlite3_column_count(statement);
            current.assign(static_cast<std::size_t>(columns), Value {});
            for (int column = 0; column < columns; ++column)
                current[static_cast<std::size_t>(column)] = valueOf(statement, column);
            row(current);
        }
    }

    void begin() override { execute("BEGIN IMMEDIATE"); }

    // Throws the error a result code stands for, naming the file.
    void check(int code) const
    {
        if (code == SQLITE_OK)
            return;
        const QString why = QString::fromUtf8(sqlite3_errmsg(handle_));
        throw sqliteFailure(code, path_, why);
    }

private:
    static void bind(sqlite3_stmt *statement, int at, const Value &value)
    {
        if (const auto *integer = std::get_if<std::int64_t>(&value)) {
            sqlite3_bind_int64(statement, at, *integer);
        } else if (const auto *number = std::get_if<double>(&value)) {
            sqlite3_bind_double(statement, at, *number);
        } else if (const auto *text = std::get_if<QString>(&value)) {
            const QByteArray bytes = text->toUtf8();
            sqlite3_bind_text(statement, at, bytes.constData(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(statement, at);
        }
    }

    static Value valueOf(sqlite3_stmt *statement, int column)
    {
        switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            return static_cast<std::int64_t>(sqlite3_column_int64(statement, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(statement, column);
        case SQLITE_NULL:
            return {};
        default:
            return QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                sqlite3_column_bytes(statement, column));
        }
    }

    sqlite3 *handle_;
    QString path_;
};

// Makes the file when it is missing, with the mode its folder calls for: a folder its group
// shares (set-group-id and group-writable) gets a file its group may write, as SQLite gives the
// journal files the mode of the database. Never through a link.
void makeFile(const QString &path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw ResultsError(
            ResultsError::Kind::Refused,
            tr("the results database's folder %1 cannot be made").arg(info.absolutePath()));
    struct stat folder
    { };
    if (::stat(QFile::encodeName(info.absolutePath()).constData(), &folder) != 0)
        return;
    const bool shared = (folder.st_mode & S_ISGID) && (folder.st_mode & S_IWGRP);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return; // there already, or SQLite says why it cannot be opened
    if (shared)
        ::fchmod(fd, 0660);
    ::close(fd);
}

} // namespace

std::unique_ptr<Database> openSqlite(const QString &path)
{
    makeFile(path);
    sqlite3 *handle = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (opened != SQLITE_OK) {
        const QString why = handle ? QString::fromUtf8(sqlite3_errmsg(handle))
                                   : QString::fromUtf8(sqlite3_errstr(opened));
        sqlite3_close_v2(handle);
        throw sqliteFailure(opened, path, why);
    }
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, kBusyTimeoutMs);
    auto database = std::make_unique<SqliteDatabase>(handle, path);
    // The first read of the file: a file that is no database is found here.
    const std::vector<Row> mode = database->query("PRAGMA journal_mode=WAL");
    if (mode.empty() || textOf(mode.front().front()).compare(QStringLiteral("wal")) != 0)
        throw ResultsError(ResultsError::Kind::Failed,
                           tr("the results database %1 cannot be put in WAL mode").arg(path));
    // A result is on the disk when its transaction ends: a power cut loses none that was told
    // stored.
    database->execute("PRAGMA synchronous=FULL");
    database->execute("PRAGMA foreign_keys=ON");
    return database;
}

} // namespace qm5083::results
