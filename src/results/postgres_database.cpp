#include "database.h"

#include <libpq-fe.h>

#include <QStringList>

#include <array>
#include <memory>

namespace qm5083::results {

namespace {

// The type numbers PostgreSQL gives its results' columns (pg_type.oid).
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

using ResultPtr = std::unique_ptr<PGresult, void (*)(PGresult *)>;

// The first line of a libpq message, without its end.
QString firstLine(const char *message)
{
    return QString::fromUtf8(message).trimmed().section(QLatin1Char('\n'), 0, 0);
}

// What messages call a database from its connection options: never its password.
QString describe(const PQconninfoOption *options)
{
    QString database;
    QString host;
    QString port;
    QString user;
    QString service;
    for (const PQconninfoOption *option = options; option && option->keyword; ++option) {
        if (!option->val || !*option->val)
            continue;
        const QString value = QString::fromUtf8(option->val);
        const std::string_view keyword = option->keyword;
        if (keyword == "dbname")
            database = value;
        else if (keyword == "host" || (keyword == "hostaddr" && host.isEmpty()))
            host = value;
        else if (keyword == "port")
            port = value;
        else if (keyword == "user")
            user = value;
        else if (keyword == "service")
            service = value;
    }
    QStringList parts;
    parts << (database.isEmpty() ? tr("PostgreSQL database")
                                 : tr("PostgreSQL database %1").arg(database));
    if (!service.isEmpty())
        parts << tr("of service %1").arg(service);
    if (!host.isEmpty())
        parts << tr("on %1").arg(port.isEmpty() ? host : host + QLatin1Char(':') + port);
    if (!user.isEmpty())
        parts << tr("as %1").arg(user);
    return parts.join(QLatin1Char(' '));
}

// Why a statement failed: the server gone, or the statement itself.
ResultsError postgresFailure(PGconn *connection, const QString &name, const PGresult *result)
{
    if (PQstatus(connection) != CONNECTION_OK)
        return {ResultsError::Kind::Unreachable,
                tr("the %1 cannot be reached: \"%2\"")
                    .arg(name, firstLine(PQerrorMessage(connection)))};
    const QString why
        = result ? firstLine(PQresultErrorMessage(result)) : firstLine(PQerrorMessage(connection));
    return {ResultsError::Kind::Failed, tr("the %1 failed: \"%2\"").arg(name, why)};
}

class PostgresDatabase final : public Database
{
public:
    PostgresDatabase(PGconn *connection, QString name)
        : connection_(connection)
        , name_(std::move(name))
    { }
    ~PostgresDatabase() override { PQfinish(connection_); }

    Dialect dialect() const override { return Dialect::Postgres; }
    QString name() const override { return name_; }

    void each(std::string_view sql, const std::vector<Value> &values,
              const std::function<void(const Row &)> &row) override
    {
        std::vector<QByteArray> texts(values.size());
        std::vector<const char *> pointers(values.size(), nullptr);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (std::holds_alternative<std::monostate>(values[i]))
                continue;
            texts[i] = textOf(values[i]).toUtf8();
            pointers[i] = texts[i].constData();
        }
        const std::string text(sql);
        // Rows one at a time, so that an export of a million results is never held whole.
        if (!PQsendQueryParams(connection_, text.c_str(), static_cast<int>(values.size()), nullptr,
                               pointers.data(), nullptr, nullptr, 0)
            || !PQsetSingleRowMode(connection_))
            throw failure();
        ResultPtr failed(nullptr, PQclear);
        Row current;
        while (PGresult *raw = PQgetResult(connection_)) {
            ResultPtr result(raw, PQclear);
            const ExecStatusType status = PQresultStatus(raw);
            if (status == PGRES_SINGLE_TUPLE) {
                const int columns = PQnfields(raw);
                current.assign(static_cast<std::size_t>(columns), Value {});
                for (int column = 0; column < columns; ++column)
                    current[static_cast<std::size_t>(column)] = valueOf(raw, column);
                // Every row is read to the end, so that the connection is ready for the next.
                if (!failed)
                    row(current);
            } else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && !failed) {
                failed = std::move(result);
            }
        }
        if (failed)
            throw failure(failed.get());
    }

    void begin() override { execute("BEGIN"); }

private:
    static Value valueOf(const PGresult *result, int column)
    {
        if (PQgetisnull(result, 0, column))
            return {};
        const char *text = PQgetvalue(result, 0, column);
        switch (PQftype(result, column)) {
        case kInt2:
        case kInt4:
        case kInt8:
            return static_cast<std::int64_t>(std::strtoll(text, nullptr, 10));
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return std::strtod(text, nullptr);
        default:
            return QString::fromUtf8(text, PQgetlength(result, 0, column));
        }
    }

    ResultsError failure(const PGresult *result = nullptr) const
    {
        return postgresFailure(connection_, name_, result);
    }

    PGconn *connection_;
    QString name_;
};

using OptionsPtr = std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption *)>;

OptionsPtr parsed(const QString &connection)
{
    char *error = nullptr;
    const QByteArray text = connection.toUtf8();
    OptionsPtr options(PQconninfoParse(text.constData(), &error), PQconninfoFree);
    if (!options) {
        const QString why = error ? firstLine(error) : tr("out of memory");
        PQfreemem(error);
        throw ResultsError(
            ResultsError::Kind::Refused,
            tr("the results setting is no PostgreSQL connection string or URI: %1").arg(why));
    }
    return options;
}

} // namespace

QString checkPostgresConnection(const QString &connection)
{
    const OptionsPtr options = parsed(connection);
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option)
        if (std::string_view(option->keyword) == "password" && option->val && *option->val)
            throw ResultsError(ResultsError::Kind::Refused,
                               tr("the results setting holds a password, which others could "
                                  "read: put it in ~/.pgpass or a service file "
                                  "(~/.pg_service.conf) and give the setting without it"));
    return describe(options.get());
}

std::unique_ptr<Database> openPostgres(const QString &connection, int connectTimeoutS)
{
    const QString name = checkPostgresConnection(connection);
    // The timeout comes first, so that the setting's own connect_timeout wins over it.
    const QByteArray timeout = QByteArray::number(connectTimeoutS);
    const QByteArray text = connection.toUtf8();
    const std::array<const char *, 4> keywords {"connect_timeout", "application_name", "dbname",
                                                nullptr};
    const std::array<const char *, 4> values {timeout.constData(), "qm5083-bench", text.constData(),
                                              nullptr};
    PGconn *handle = PQconnectdbParams(keywords.data(), values.data(), 1);
    if (!handle)
        throw ResultsError(ResultsError::Kind::Unreachable,
                           tr("the %1 cannot be reached: out of memory").arg(name));
    if (PQstatus(handle) != CONNECTION_OK) {
        const QString why = firstLine(PQerrorMessage(handle));
        PQfinish(handle);
        throw ResultsError(ResultsError::Kind::Unreachable,
                           tr("the %1 cannot be reached: \"%2\"").arg(name, why));
    }
    auto database = std::make_unique<PostgresDatabase>(handle, name);
    // Notices (a table that exists already) are no concern of the operator's.
    PQsetNoticeProcessor(
        handle, [](void *, const char *) {}, nullptr);
    return database;
}

} // namespace qm5083::results
