#include "results_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace qm5083::results {

namespace {

// The longest line the setting file may hold.
constexpr qsizetype kMaxSettingLine = 4096;

// A key for PostgreSQL's advisory lock, so that programs creating the schema at once take turns.
constexpr std::int64_t kSchemaLock = 5083001;

// The columns a result is written and sent with, in order; the items' likewise.
constexpr std::string_view kResultColumns
    = "uuid, serial, card_kind, card_ids, card_address, slot, station, operator, "
      "program_version, check_name, started, ended, started_ms, utc_offset_s, day, "
      "duration_ms, status, exit_status, reason, report";
constexpr int kResultColumnCount = 20;
constexpr std::string_view kItemColumns = "position, name, status, value, unit, low, high, problem";
constexpr int kItemColumnCount = 8;

std::string placeholders(int count, int first = 1)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? ", $" : "$") + std::to_string(first + i);
    return text;
}

// Version 1: the results, their items, the queue for the line, and the schema's own version.
constexpr const char *kResultsColumns
    = "uuid TEXT NOT NULL UNIQUE, serial TEXT NOT NULL, card_kind TEXT NOT NULL, "
      "card_ids TEXT NOT NULL, card_address TEXT NOT NULL, slot INTEGER NOT NULL, "
      "station TEXT NOT NULL, operator TEXT NOT NULL, program_version TEXT NOT NULL, "
      "check_name TEXT NOT NULL, started TEXT NOT NULL, ended TEXT NOT NULL, "
      "started_ms BIGINT NOT NULL, utc_offset_s INTEGER NOT NULL, day TEXT NOT NULL, "
      "duration_ms BIGINT NOT NULL, status TEXT NOT NULL, exit_status INTEGER NOT NULL, "
      "reason TEXT NOT NULL, report TEXT NOT NULL)";
// Holds everything the yield reads, by day too: it is read without the table.
constexpr const char *kResultsBySerial
    = "CREATE INDEX results_by_serial ON results (serial, check_name, started_ms, status, "
      "utc_offset_s)";
constexpr const char *kResultsByTime = "CREATE INDEX results_by_time ON results (started_ms)";
constexpr const char *kItems
    = "CREATE TABLE result_items (result_id BIGINT NOT NULL REFERENCES results (id) ON DELETE "
      "CASCADE, position INTEGER NOT NULL, name TEXT NOT NULL, status TEXT NOT NULL, value "
      "DOUBLE PRECISION, unit TEXT NOT NULL, low DOUBLE PRECISION, high DOUBLE PRECISION, "
      "problem TEXT, PRIMARY KEY (result_id, position))";
// The Pareto reads only the items that name a problem.
constexpr const char *kItemsByProblem
    = "CREATE INDEX result_items_by_problem ON result_items (problem) WHERE problem IS NOT NULL";
constexpr const char *kQueue
    = "CREATE TABLE queue (uuid TEXT PRIMARY KEY REFERENCES results (uuid) ON DELETE CASCADE, "
      "queued_ms BIGINT NOT NULL)";

std::vector<std::string> schemaVersion1(Dialect dialect)
{
    const std::string id = dialect == Dialect::Sqlite
        ? "id INTEGER PRIMARY KEY, "
        : "id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, ";
    return {"CREATE TABLE results (" + id + kResultsColumns,
            kResultsBySerial,
            kResultsByTime,
            kItems,
            kItemsByProblem,
            kQueue};
}

struct Migration
{
    int version;
    std::vector<std::string> (*statements)(Dialect dialect);
};

// Every migration, in order; the last one's version is kSchemaVersion.
constexpr std::array<Migration, 1> kMigrations {{{1, schemaVersion1}}};
static_assert(kMigrations.back().version == kSchemaVersion, "a migration for every version");

int versionOf(Database &database)
{
    const std::vector<Row> rows = database.query("SELECT MAX(version) FROM schema_version");
    return rows.empty() ? 0 : static_cast<int>(integerOf(rows.front().front()));
}

void refuseNewer(const Database &database, int version)
{
    if (version > kSchemaVersion)
        throw ResultsError(ResultsError::Kind::Newer,
                           tr("the results database %1 has schema version %2, newer than this "
                              "program's %3: it was written by a later qm5083-bench; update this "
                              "one, or name another database with --results")
                               .arg(database.name())
                               .arg(version)
                               .arg(kSchemaVersion));
}

QString isoText(const QDateTime &time)
{
    return time.toString(Qt::ISODateWithMs);
}

Value textOrNull(const QString &text)
{
    return text.isEmpty() ? Value {} : Value {text};
}

Value numberOrNull(const std::optional<double> &number)
{
    return number ? Value {*number} : Value {};
}

// The setting file's connection: its one line that is neither blank nor a comment.
QString readSettingFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw ResultsError(
            ResultsError::Kind::Refused,
            tr("the results setting %1 cannot be read: %2").arg(path, file.errorString()));
    QString connection;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        // At most one byte more than a line may hold, and its end.
        const QByteArray bytes = file.readLine(kMaxSettingLine + 2);
        const QString line = QString::fromUtf8(bytes).trimmed();
        const bool control
            = std::any_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 0x20; });
        if (bytes.size() - (bytes.endsWith('\n') ? 1 : 0) > kMaxSettingLine || control)
            throw ResultsError(ResultsError::Kind::Refused,
                               tr("the results setting %1, line %2, is longer than %3 bytes or "
                                  "holds a control character")
                                   .arg(path)
                                   .arg(number)
                                   .arg(kMaxSettingLine));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (!connection.isEmpty())
            throw ResultsError(ResultsError::Kind::Refused,
                               tr("the results setting %1, line %2: it names one database, on "
                                  "one line; this is a second")
                                   .arg(path)
                                   .arg(number));
        if (!isConnection(line))
            throw ResultsError(ResultsError::Kind::Refused,
                               tr("the results setting %1, line %2, is no PostgreSQL connection "
                                  "string or URI (postgresql://HOST/DATABASE, or "
                                  "\"host=HOST dbname=DATABASE\")")
                                   .arg(path)
                                   .arg(number));
        connection = line;
    }
    return connection;
}

// A folder this user may take as its own: its own, or, not there yet, in a folder of its own.
bool ownFolder(const QByteArray &path)
{
    if (!path.startsWith('/'))
        return false;
    struct stat status
    { };
    if (::stat(path.constData(), &status) != 0)
        return ::stat(
                   QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath()).constData(),
                   &status)
            == 0
            && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid();
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid();
}

// The user's data folder: $XDG_DATA_HOME, or ~/.local/share, when the environment names this
// user's own; else (run with another user's environment, as sudo -E runs root) the home the
// password database gives, so that root never makes its database in another user's home.
QString ownDataFolder()
{
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QByteArray home = qgetenv("HOME");
    if (!data.isEmpty() && ownFolder(data))
        return QFile::decodeName(data);
    if (data.isEmpty() && ownFolder(home))
        return QFile::decodeName(home) + QStringLiteral("/.local/share");
    const passwd *account = ::getpwuid(::geteuid());
    const QString accountHome = account && account->pw_dir && account->pw_dir[0] == '/'
        ? QFile::decodeName(account->pw_dir)
        : QStringLiteral("/nonexistent");
    return accountHome + QStringLiteral("/.local/share");
}

} // namespace

void migrate(Database &database)
{
    const char *const versions = "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT "
                                 "NULL, program TEXT NOT NULL, applied TEXT NOT NULL)";
    const bool server = database.dialect() == Dialect::Postgres;
    // SQLite: a look first, so that a file already up to date is never written. PostgreSQL makes
    // even a table that exists already in a race with another program: every look is locked.
    if (!server) {
        database.execute(versions);
        const int version = versionOf(database);
        refuseNewer(database, version);
        if (version == kSchemaVersion)
            return;
    }
    Transaction transaction(database);
    if (server) {
        database.execute("SELECT pg_advisory_xact_lock($1)", {kSchemaLock});
        database.execute(versions);
    }
    // Looked at again inside: another program may have migrated meanwhile.
    const int version = versionOf(database);
    refuseNewer(database, version);
    for (const Migration &migration : kMigrations) {
        if (migration.version <= version)
            continue;
        for (const std::string &statement : migration.statements(database.dialect()))
            database.execute(statement);
        database.execute("INSERT INTO schema_version (version, program, applied) VALUES ($1, "
                         "$2, $3)",
                         {std::int64_t {migration.version},
                          QStringLiteral("qm5083-bench %1").arg(QM5083_VERSION),
                          isoText(QDateTime::currentDateTime())});
    }
    transaction.commit();
}

QString defaultLocalFile(const QString &sharedFolder)
{
    // A user outside the group (practising on the simulated card) keeps their own.
    if (!sharedFolder.isEmpty() && QFileInfo(sharedFolder).isDir()
        && ::access(QFile::encodeName(sharedFolder).constData(), W_OK | X_OK) == 0)
        return QDir(sharedFolder).filePath(QStringLiteral("results.sqlite"));
    return QDir(ownDataFolder()).filePath(QStringLiteral("qm5083-bench/results.sqlite"));
}

bool isConnection(const QString &text)
{
    return text.startsWith(QStringLiteral("postgresql://"))
        || text.startsWith(QStringLiteral("postgres://")) || text.contains(QLatin1Char('='));
}

ResultsPlace resultsPlace(const QString &given, const QString &settingFile,
                          const QString &sharedFolder)
{
    ResultsPlace place {defaultLocalFile(sharedFolder), {}, {}};
    if (given.isEmpty()) {
        place.line = readSettingFile(settingFile);
        place.lineSource = settingFile;
    } else if (isConnection(given)) {
        place.line = given;
        place.lineSource = QStringLiteral("--results");
    } else {
        place.localFile = given;
    }
    if (!place.line.isEmpty())
        checkPostgresConnection(place.line);
    return place;
}

ResultsStore::ResultsStore(ResultsPlace place)
    : place_(std::move(place))
    , local_(openSqlite(place_.localFile))
{
    migrate(*local_);
    if (!place_.line.isEmpty())
        lineName_ = checkPostgresConnection(place_.line);
}

bool insertResult(Database &database, const ResultRecord &record)
{
    const std::vector<Row> inserted = database.query(
        "INSERT INTO results (" + std::string(kResultColumns) + ") VALUES ("
            + placeholders(kResultColumnCount) + ") ON CONFLICT (uuid) DO NOTHING RETURNING id",
        {record.uuid,
         record.serial,
         record.cardKind,
         record.cardIds,
         record.cardAddress,
         std::int64_t {record.slot},
         record.station,
         record.operatorName,
         record.programVersion,
         record.check,
         isoText(record.started),
         isoText(record.ended),
         std::int64_t {record.started.toMSecsSinceEpoch()},
         std::int64_t {record.started.offsetFromUtc()},
         record.started.date().toString(Qt::ISODate),
         std::int64_t {record.durationMs()},
         record.status,
         std::int64_t {record.exitStatus},
         record.reason,
         QString::fromUtf8(QJsonDocument(record.report).toJson(QJsonDocument::Compact))});
    if (inserted.empty())
        return false;
    const Value id = inserted.front().front();
    const std::string insertItem = "INSERT INTO result_items (result_id, "
        + std::string(kItemColumns) + ") VALUES (" + placeholders(kItemColumnCount + 1) + ")";
    std::int64_t position = 0;
    for (const ResultItem &item : record.items)
        database.execute(insertItem,
                         {id, position++, item.name, item.status, numberOrNull(item.value),
                          item.unit, numberOrNull(item.low), numberOrNull(item.high),
                          textOrNull(item.problem)});
    return true;
}

void ResultsStore::store(const ResultRecord &record)
{
    Transaction transaction(*local_);
    insertResult(*local_, record);
    if (!place_.line.isEmpty())
        local_->execute("INSERT INTO queue (uuid, queued_ms) VALUES ($1, $2) ON CONFLICT DO "
                        "NOTHING",
                        {record.uuid, std::int64_t {QDateTime::currentMSecsSinceEpoch()}});
    transaction.commit();
}

Database &ResultsStore::asked()
{
    if (place_.line.isEmpty())
        return *local_;
    if (!line_) {
        line_ = openPostgres(place_.line);
        migrate(*line_);
    }
    return *line_;
}

SyncOutcome ResultsStore::sync(const AfterSending &afterSending)
{
    SyncOutcome outcome;
    const auto waiting = [&] {
        return integerOf(local_->query("SELECT COUNT(*) FROM queue").front().front());
    };
    try {
        outcome.queued = waiting();
        if (place_.line.isEmpty() || outcome.queued == 0)
            return outcome;
        Database &line = asked();
        const std::string select
            = "SELECT id, " + std::string(kResultColumns) + " FROM results WHERE uuid = $1";
        const std::string selectItems = "SELECT " + std::string(kItemColumns)
            + " FROM result_items WHERE result_id = $1 "
              "ORDER BY position";
        const std::string insert = "INSERT INTO results (" + std::string(kResultColumns)
            + ") VALUES (" + placeholders(kResultColumnCount)
            + ") ON CONFLICT (uuid) DO NOTHING RETURNING id";
        const std::string insertItem = "INSERT INTO result_items (result_id, "
            + std::string(kItemColumns) + ") VALUES (" + placeholders(kItemColumnCount + 1) + ")";
        for (const Row &queued : local_->query("SELECT uuid FROM queue ORDER BY queued_ms, uuid")) {
            const QString uuid = textOf(queued.front());
            const std::vector<Row> rows = local_->query(select, {uuid});
            bool sent = false;
            if (!rows.empty()) {
                const Row &row = rows.front();
                Transaction transaction(line);
                const std::vector<Row> inserted
                    = line.query(insert, std::vector<Value>(row.begin() + 1, row.end()));
                sent = !inserted.empty();
                if (sent)
                    for (const Row &item : local_->query(selectItems, {row.front()})) {
                        std::vector<Value> values {inserted.front().front()};
                        values.insert(values.end(), item.begin(), item.end());
                        line.execute(insertItem, values);
                    }
                transaction.commit();
            }
            if (afterSending)
                afterSending(uuid);
            local_->execute("DELETE FROM queue WHERE uuid = $1", {uuid});
            ++(sent ? outcome.sent : outcome.alreadyThere);
        }
    } catch (const ResultsError &error) {
        outcome.problem = error;
    }
    try {
        outcome.queued = waiting();
    } catch (const ResultsError &error) {
        if (!outcome.problem)
            outcome.problem = error;
    }
    return outcome;
}

QueueStatus ResultsStore::queueStatus()
{
    const Row row = local_->query("SELECT COUNT(*), MIN(queued_ms) FROM queue").front();
    QueueStatus status {integerOf(row[0]), std::nullopt};
    if (status.queued > 0)
        status.since = QDateTime::fromMSecsSinceEpoch(integerOf(row[1]));
    return status;
}

} // namespace qm5083::results
