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

// The period as a condition on a result's start, and its values: only the ends given, so that an
// open period reads the results in the order of the index the question wants rather than by time.
std::string during(const Period &period, std::vector<Value> &values, const char *column)
{
    std::string condition;
    if (period.sinceMs) {
        values.emplace_back(*period.sinceMs);
        condition += std::string(" AND ") + column + " >= $" + std::to_string(values.size());
    }
    if (period.untilMs) {
        values.emplace_back(*period.untilMs);
        condition += std::string(" AND ") + column + " < $" + std::to_string(values.size());
    }
    return condition;
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

// PostgreSQL: each unit's first and last verdict by aggregates alone, on the server: a result's
// start doubled plus 1 when it passed, so that the smallest is the first result with whether it
// passed, and the largest the last (two results of one unit in the same millisecond count as
// the first having failed and the last having passed). A unit is a card (its checks together),
// or by check each check of a card; its group is the one of its first result: the smallest of
// the start's 13 digits followed by the group.
std::vector<YieldGroup> yieldGroupsOnTheServer(Database &database, const Period &period, GroupBy by)
{
    std::vector<Value> values;
    // The station's day as a number beside the start, in integers alone (twice as quick as the
    // day's text): the start times 100000 plus the station's days since 1970.
    const bool byDay = by == GroupBy::Day;
    const std::string grouped = by == GroupBy::None || by == GroupBy::Check ? "''"
        : byDay ? "MIN(started_ms * 100000 + (started_ms / 1000 + utc_offset_s) / 86400)"
                : "MIN(lpad(started_ms::text, 13, '0') || " + groupColumn(by) + " COLLATE \"C\")";
    const std::string cardGroup = byDay
        ? "to_char(DATE '1970-01-01' + (MIN(grp) % 100000)::integer, 'YYYY-MM-DD')"
        : "substr(MIN(grp), 14)";
    const std::string passed = "(CASE WHEN status = 'passed' THEN 1 ELSE 0 END)";
    const std::string checks = "SELECT serial, check_name, MIN(started_ms * 2 + " + passed
        + ") % 2 AS first_pass, "
          "MAX(started_ms * 2 + "
        + passed + ") % 2 AS final_pass, " + grouped
        + " AS grp FROM results WHERE serial <> '' AND status IN ('passed', 'failed', "
          "'incomplete', 'not judged')"
        + during(period, values, "started_ms") + " GROUP BY serial, check_name";
    std::string sql;
    if (by == GroupBy::Check)
        sql = "SELECT check_name, COUNT(*), SUM(first_pass), SUM(final_pass) FROM (" + checks
            + ") units GROUP BY check_name ORDER BY check_name";
    else if (by == GroupBy::None)
        sql = "SELECT '', COUNT(*), SUM(first_pass), SUM(final_pass) FROM (SELECT "
              "MIN(first_pass) AS first_pass, MIN(final_pass) AS final_pass FROM ("
            + checks + ") units GROUP BY serial) cards";
    else
        sql = "SELECT grp, COUNT(*), SUM(first_pass), SUM(final_pass) FROM (SELECT "
              "MIN(first_pass) AS first_pass, MIN(final_pass) AS final_pass, "
            + cardGroup + " AS grp FROM (" + checks
            + ") units GROUP BY serial) cards GROUP BY grp ORDER BY grp";
    std::vector<YieldGroup> groups;
    database.each(sql, values, [&](const Row &row) {
        if (integerOf(row[1]) > 0)
            groups.push_back(
                {textOf(row[0]), integerOf(row[1]), integerOf(row[2]), integerOf(row[3])});
    });
    return groups;
}

YieldAnswer yieldOnTheServer(Database &database, const Period &period, GroupBy by)
{
    YieldAnswer answer;
    if (by != GroupBy::None)
        answer.groups = yieldGroupsOnTheServer(database, period, by);
    if (by == GroupBy::None || by == GroupBy::Check) {
        const std::vector<YieldGroup> whole
            = yieldGroupsOnTheServer(database, period, GroupBy::None);
        if (!whole.empty())
            answer.total = whole.front();
    } else {
        // Each card is counted in one group, where its first result was: the whole is their sum.
        for (const YieldGroup &group : answer.groups) {
            answer.total.cards += group.cards;
            answer.total.firstPass += group.firstPass;
            answer.total.finalPass += group.finalPass;
        }
    }
    std::vector<Value> values;
    const Row counts = database
                           .query("SELECT SUM(CASE WHEN status IN ('could not run', 'stopped') "
                                  "THEN 1 ELSE 0 END), SUM(CASE WHEN serial = '' AND status NOT "
                                  "IN ('could not run', 'stopped') THEN 1 ELSE 0 END) FROM "
                                  "results WHERE TRUE"
                                      + during(period, values, "started_ms"),
                                  values)
                           .front();
    answer.noVerdict = integerOf(counts[0]);
    answer.withoutSerial = integerOf(counts[1]);
    return answer;
}

// SQLite: the results read once in the order of the index that holds them (serial, check,
// start, status: no sort, no table), each card's verdicts followed as they come. Ties in one
// millisecond come in the status's order, every other verdict before "passed", as on the server.
class YieldByStream
{
public:
    explicit YieldByStream(GroupBy by)
        : by_(by)
    { }

    void add(const Row &row)
    {
        const QString &status = std::get<QString>(row[2]);
        if (!judgesTheCard(status)) {
            ++answer_.noVerdict;
            return;
        }
        const QString &serial = std::get<QString>(row[0]);
        if (serial.isEmpty()) {
            ++answer_.withoutSerial;
            return;
        }
        const QString &check = std::get<QString>(row[1]);
        if (serial != serial_) {
            endUnit();
            endCard();
            serial_ = serial;
            check_ = check;
        } else if (check != check_) {
            endUnit();
            check_ = check;
        }
        const bool passed = status == QLatin1String("passed");
        if (!unit_.any) {
            unit_ = {true, passed, passed, integerOf(row[3]), textOf(row[4])};
        }
        unit_.lastPass = passed;
    }

    YieldAnswer finish()
    {
        endUnit();
        endCard();
        for (const auto &[name, group] : groups_)
            answer_.groups.push_back(group);
        return answer_;
    }

private:
    struct Unit
    {
        bool any = false;
        bool firstPass = true;
        bool lastPass = true;
        std::int64_t firstMs = std::numeric_limits<std::int64_t>::max();
        QString group;
    };

    static void count(YieldGroup &group, bool firstPass, bool finalPass)
    {
        ++group.cards;
        group.firstPass += firstPass ? 1 : 0;
        group.finalPass += finalPass ? 1 : 0;
    }

    YieldGroup &groupNamed(const QString &name)
    {
        YieldGroup &group = groups_[name];
        group.group = name;
        return group;
    }

    void endUnit()
    {
        if (!unit_.any)
            return;
        if (by_ == GroupBy::Check)
            count(groupNamed(check_), unit_.firstPass, unit_.lastPass);
        card_.any = true;
        card_.firstPass = card_.firstPass && unit_.firstPass;
        card_.lastPass = card_.lastPass && unit_.lastPass;
        if (unit_.firstMs < card_.firstMs) {
            card_.firstMs = unit_.firstMs;
            card_.group = unit_.group;
        }
        unit_ = {};
    }

    void endCard()
    {
        if (!card_.any)
            return;
        count(answer_.total, card_.firstPass, card_.lastPass);
        if (by_ != GroupBy::None && by_ != GroupBy::Check)
            count(groupNamed(card_.group), card_.firstPass, card_.lastPass);
        card_ = {};
    }

    GroupBy by_;
    QString serial_;
    QString check_;
    Unit unit_;
    Unit card_;
    YieldAnswer answer_;
    std::map<QString, YieldGroup> groups_;
};

YieldAnswer yieldByStream(Database &database, const Period &period, GroupBy by)
{
    std::vector<Value> values;
    const std::string group = by == GroupBy::None || by == GroupBy::Check ? "''" : groupColumn(by);
    YieldByStream stream(by);
    database.each("SELECT serial, check_name, status, started_ms, " + group
                      + " FROM results WHERE TRUE" + during(period, values, "started_ms")
                      + " ORDER BY serial, check_name, started_ms, status",
                  values, [&](const Row &row) { stream.add(row); });
    return stream.finish();
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
    // The same figures two ways, each its database's quickest (bench/results_bench.cpp): SQLite
    // hands the rows over in process, in its index's order, faster than it groups them; a server
    // is asked for the sums alone.
    return database.dialect() == Dialect::Sqlite ? yieldByStream(database, period, by)
                                                 : yieldOnTheServer(database, period, by);
}

std::vector<ParetoEntry> pareto(Database &database, const Period &period)
{
    std::vector<ParetoEntry> entries;
    std::vector<Value> values;
    database.each("SELECT i.problem, COUNT(DISTINCT i.result_id) AS n FROM result_items i JOIN "
                  "results r ON r.id = i.result_id WHERE i.problem IS NOT NULL"
                      + during(period, values, "r.started_ms")
                      + " GROUP BY i.problem ORDER BY n DESC, i.problem",
                  values, [&](const Row &row) {
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
