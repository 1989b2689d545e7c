#include "database.h"

#include <QCoreApplication>

namespace qm5083::results {

QString tr(const char *text)
{
    return QCoreApplication::translate("qm5083::results", text);
}

QString textOf(const Value &value)
{
    if (const auto *text = std::get_if<QString>(&value))
        return *text;
    if (const auto *integer = std::get_if<std::int64_t>(&value))
        return QString::number(*integer);
    if (const auto *number = std::get_if<double>(&value))
        return QString::number(*number, 'g', 17);
    return {};
}

std::int64_t integerOf(const Value &value)
{
    if (const auto *integer = std::get_if<std::int64_t>(&value))
        return *integer;
    if (const auto *number = std::get_if<double>(&value))
        return static_cast<std::int64_t>(*number);
    if (const auto *text = std::get_if<QString>(&value))
        return text->toLongLong();
    return 0;
}

std::vector<Row> Database::query(std::string_view sql, const std::vector<Value> &values)
{
    std::vector<Row> rows;
    each(sql, values, [&](const Row &row) { rows.push_back(row); });
    return rows;
}

void Database::execute(std::string_view sql, const std::vector<Value> &values)
{
    each(sql, values, [](const Row &) {});
}

void Database::commit()
{
    execute("COMMIT");
}

void Database::rollback() noexcept
{
    try {
        execute("ROLLBACK");
    } catch (...) { // nothing to roll back, or the connection is gone: nothing was written
    }
}

Transaction::Transaction(Database &database)
    : database_(database)
{
    database_.begin();
}

Transaction::~Transaction()
{
    if (!done_)
        database_.rollback();
}

void Transaction::commit()
{
    database_.commit();
    done_ = true;
}

} // namespace qm5083::results
