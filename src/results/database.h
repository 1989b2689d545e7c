#pragma once

// The results database, SQLite or PostgreSQL, as the store and the queries reach it: one small
// interface over the two C libraries, with the SQL written once and $1, $2... for its values.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qm5083::results {

// Translates a text of this library, in the context the translation tools file it under.
QString tr(const char *text);

// Why the results could not be stored, sent or asked: a message that names the database.
class ResultsError : public std::runtime_error
{
public:
    enum class Kind {
        Refused,     // the setting or the file cannot be used as given: nothing was tried
        Unreachable, // the server could not be reached (the result stays queued)
        Damaged,     // the file is no database, or a damaged one
        Newer,       // the database's schema is newer than this program's
        Failed,      // a statement failed
    };
    ResultsError(Kind kind, const QString &message)
        : std::runtime_error(message.toStdString())
        , kind_(kind)
        , message_(message)
    { }
    Kind kind() const { return kind_; }
    const QString &message() const { return message_; }

private:
    Kind kind_;
    QString message_;
};

// A value in or out of a statement: NULL, an integer, a number or a text.
using Value = std::variant<std::monostate, std::int64_t, double, QString>;
using Row = std::vector<Value>;

QString textOf(const Value &value);
std::int64_t integerOf(const Value &value);

enum class Dialect { Sqlite, Postgres };

class Database
{
public:
    virtual ~Database() = default;
    Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    virtual Dialect dialect() const = 0;
    // What messages call it: the SQLite file's path, or the PostgreSQL database, server and user.
    virtual QString name() const = 0;
    // Runs one statement ($1, $2... stand for values) and hands each row to row as it comes,
    // never holding them all. Throws ResultsError naming the database.
    virtual void each(std::string_view sql, const std::vector<Value> &values,
                      const std::function<void(const Row &)> &row)
        = 0;
    // A transaction that writes: taken at once on SQLite, so that two programs wait in turn
    // rather than fail when they both write.
    virtual void begin() = 0;

    std::vector<Row> query(std::string_view sql, const std::vector<Value> &values = {});
    void execute(std::string_view sql, const std::vector<Value> &values = {});
    void commit();
    void rollback() noexcept;
};

// A transaction that rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(Database &database);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Database &database_;
    bool done_ = false;
};

// The SQLite file at path, made when missing: in WAL mode, waiting for other writers, never
// through a link; a file made in a folder shared by its group (set-group-id, group-writable, as
// the package makes it) is made writable by the group, others' own mode 600. Throws ResultsError:
// Damaged for a file that is no database.
std::unique_ptr<Database> openSqlite(const QString &path);

// The PostgreSQL database a libpq connection string or URI names. A password in it is refused:
// it belongs in ~/.pgpass or a service file. connectTimeoutS applies unless the text sets its
// own connect_timeout. Throws ResultsError: Refused, Unreachable.
std::unique_ptr<Database> openPostgres(const QString &connection, int connectTimeoutS = 3);

// Checks a connection string or URI without connecting: refused (with why) when libpq cannot read
// it or it holds a password. Returns what messages call the database.
QString checkPostgresConnection(const QString &connection);

} // namespace qm5083::results
