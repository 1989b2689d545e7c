#include "results_queries.h"

#include <limits>
#include <map>

namespace qm5083::results {

namespace {

std::vector<Value> bounds(const Period &period)
{
    return {period.sinceMs.value_or(std::numeric_limits<std::int64_t>::min()),
            period.untilMs.value_or(std::numeric_limits<std::int64_t>::max())};
}

std::optional<double> numberOf(const Value &value)
{
    if (std::holds_alternative<std::monostate>(value))
        return std::nullopt;
    if (const auto *number = std::get_if<double>(&value))
        return *number;
    return static_cast<double>(integerOf(value));
}

ResultItem itemOf(const Row &row, std::size_t first)
{
    return {textOf(row[first]),     textOf(row[first + 1]),   numberOf(row[first + 2]),
            textOf(row[first + 3]), numberOf(row[first + 4]), numberOf(row[first + 5]),
            textOf(row[first + 6])};
}

constexpr std::string_view kItemSelect
    = "i.name, i.status, i.value, i.unit, i.low, i.high, i.problem";

// The column a card's group is taken from.
std::string groupColumn(GroupBy by)
{
    switch (by) {
    case GroupBy::None:
        return "''";
    case GroupBy::Day:
        return "day";
    case GroupBy::Station:
        return "station";
    case GroupBy::Operator:
        return "operator";
    case GroupBy::Check:
        return "check_name";
    }
    return "''";
}

// Each unit's first and last verdict: a card (its checks together), or by check each check of a
// card; its group is the group of its first result.
std::vector<YieldGroup> yieldGroups(Database &database, const Period &period, GroupBy by)
{
    const std::string unit = by == GroupBy::Check ? "serial, check_name" : "serial";
    const std::string sql = "WITH ranked AS (SELECT serial, check_name, status, " + groupColumn(by)
        + " AS grp, "
          "ROW_NUMBER() OVER (PARTITION BY serial, check_name ORDER BY started_ms, id) AS first_n, "
          "ROW_NUMBER() OVER (PARTITION BY serial, check_name ORDER BY started_ms DESC, id "
          "DESC) AS last_n, "
          "ROW_NUMBER() OVER (PARTITION BY "
        + unit
        + " ORDER BY started_ms, id) AS unit_n "
          "FROM results WHERE started_ms >= $1 AND started_ms < $2 AND serial <> '' AND status "
          "IN ('passed', 'failed', 'incomplete', 'not judged')), "
          "units AS (SELECT MAX(CASE WHEN unit_n = 1 THEN grp END) AS grp, "
          "MIN(CASE WHEN first_n = 1 THEN (CASE WHEN status = 'passed' THEN 1 ELSE 0 END) END) "
          "AS first_pass, "
          "MIN(CASE WHEN last_n = 1 THEN (CASE WHEN status = 'passed' THEN 1 ELSE 0 END) END) "
          "AS final_pass FROM ranked GROUP BY "
        + unit
        + ") SELECT grp, COUNT(*), SUM(first_pass), SUM(final_pass) FROM units GROUP BY grp "
          "ORDER BY grp";
    std::vector<YieldGroup> groups;
    database.each(sql, bounds(period), [&](const Row &row) {
        groups.push_back({textOf(row[0]), integerOf(row[1]), integerOf(row[2]), integerOf(row[3])});
    });
    return groups;
}

} // namespace

std::vector<HistoryEntry> history(Database &database, const QString &serial)
{
    std::vector<HistoryEntry> entries;
    std::map<std::int64_t, std::size_t> byId;
    database.each("SELECT id, uuid, check_name, started, duration_ms, station, operator, slot, "
                  "status, exit_status, reason FROM results WHERE serial = $1 ORDER BY "
                  "started_ms DESC, id DESC",
                  {serial}, [&](const Row &row) {
                      byId[integerOf(row[0])] = entries.size();
                      entries.push_back({textOf(row[1]),
                                         textOf(row[2]),
                                         textOf(row[3]),
                                         integerOf(row[4]),
                                         textOf(row[5]),
                                         textOf(row[6]),
                                         static_cast<int>(integerOf(row[7])),
                                         textOf(row[8]),
                                         static_cast<int>(integerOf(row[9])),
                                         textOf(row[10]),
                                         {}});
                  });
    if (entries.empty())
        return entries;
    database.each("SELECT i.result_id, " + std::string(kItemSelect)
                      + " FROM result_items i JOIN results r ON r.id = i.result_id WHERE "
                        "r.serial = $1 AND i.problem IS NOT NULL ORDER BY i.result_id, "
                        "i.position",
                  {serial}, [&](const Row &row) {
                      entries[byId.at(integerOf(row[0]))].failures.push_back(itemOf(row, 1));
                  });
    return entries;
}

YieldAnswer yield(Database &database, const Period &period, GroupBy by)
{
    YieldAnswer answer;
    if (by != GroupBy::None)
        answer.groups = yieldGroups(database, period, by);
    const std::vector<YieldGroup> whole = yieldGroups(database, period, GroupBy::None);
    if (!whole.empty())
        answer.total = whole.front();
    const Row counts = database
                           .query("SELECT SUM(CASE WHEN status IN ('could not run', 'stopped') "
                                  "THEN 1 ELSE 0 END), SUM(CASE WHEN serial = '' AND status NOT "
                                  "IN ('could not run', 'stopped') THEN 1 ELSE 0 END) FROM "
                                  "results WHERE started_ms >= $1 AND started_ms < $2",
                                  bounds(period))
                           .front();
    answer.noVerdict = integerOf(counts[0]);
    answer.withoutSerial = integerOf(counts[1]);
    return answer;
}

std::vector<ParetoEntry> pareto(Database &database, const Period &period)
{
    std::vector<ParetoEntry> entries;
    database.each("SELECT i.problem, COUNT(DISTINCT i.result_id) AS n FROM result_items i JOIN "
                  "results r ON r.id = i.result_id WHERE i.problem IS NOT NULL AND "
                  "r.started_ms >= $1 AND r.started_ms < $2 GROUP BY i.problem ORDER BY n DESC, "
                  "i.problem",
                  bounds(period), [&](const Row &row) {
                      entries.push_back({textOf(row[0]), integerOf(row[1])});
                  });
    return entries;
}

const std::vector<QString> &exportColumns()
{
    static const std::vector<QString> kColumns {
        QStringLiteral("uuid"),     QStringLiteral("serial"),   QStringLiteral("check"),
        QStringLiteral("started"),  QStringLiteral("ended"),    QStringLiteral("durationMs"),
        QStringLiteral("station"),  QStringLiteral("operator"), QStringLiteral("slot"),
        QStringLiteral("cardKind"), QStringLiteral("cardIds"),  QStringLiteral("cardAddress"),
        QStringLiteral("version"),  QStringLiteral("status"),   QStringLiteral("exitStatus"),
        QStringLiteral("reason")};
    return kColumns;
}

void exportResults(Database &database, const Period &period, bool withItems,
                   const std::function<void(const ExportedResult &)> &each)
{
    const std::vector<QString> &names = exportColumns();
    const std::string columns
        = "r.uuid, r.serial, r.check_name, r.started, r.ended, r.duration_ms, r.station, "
          "r.operator, r.slot, r.card_kind, r.card_ids, r.card_address, r.program_version, "
          "r.status, r.exit_status, r.reason";
    const std::string sql = withItems ? "SELECT r.id, " + columns + ", " + std::string(kItemSelect)
            + " FROM results r LEFT JOIN result_items i ON i.result_id = r.id WHERE "
              "r.started_ms >= $1 AND r.started_ms < $2 ORDER BY r.started_ms, r.id, i.position"
                                      : "SELECT r.id, " + columns
            + " FROM results r WHERE r.started_ms >= $1 AND r.started_ms < $2 ORDER BY "
              "r.started_ms, r.id";
    std::optional<std::int64_t> current;
    ExportedResult result;
    database.each(sql, bounds(period), [&](const Row &row) {
        const std::int64_t id = integerOf(row[0]);
        if (current != id) {
            if (current)
                each(result);
            current = id;
            result = {};
            for (std::size_t i = 0; i < names.size(); ++i)
                result.columns.emplace_back(names[i], row[i + 1]);
        }
        if (withItems && !std::holds_alternative<std::monostate>(row[names.size() + 1]))
            result.items.push_back(itemOf(row, names.size() + 1));
    });
    if (current)
        each(result);
}

} // namespace qm5083::results
