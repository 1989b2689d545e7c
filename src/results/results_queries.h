#pragma once

// The questions a line asks of its results: a card's history, the yield, the Pareto of problems,
// and every result for a spreadsheet or another program. The same SQL on SQLite and PostgreSQL.

#include "database.h"
#include "result_record.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qm5083::results {

// The results whose check started in [since, until), in milliseconds since the epoch; either end
// open.
struct Period
{
    std::optional<std::int64_t> sinceMs;
    std::optional<std::int64_t> untilMs;
};

// One result of a card, with what failed.
struct HistoryEntry
{
    QString uuid;
    QString check;
    QString started; // as the station wrote it, with its zone
    std::int64_t durationMs = 0;
    QString station;
    QString operatorName;
    int slot = 0;
    QString status;
    int exitStatus = 0;
    QString reason;
    std::vector<ResultItem> failures; // the items with a problem
};

// Every result of the card with this serial, newest first.
std::vector<HistoryEntry> history(Database &database, const QString &serial);

enum class GroupBy { None, Day, Station, Operator, Check };

// The cards of one group: how many were tested, how many passed their first result, how many
// their last. A card passed first time when the first result of each check it had passed; it
// passed in the end when the last one of each did. Only verdicts on the card count ("could not
// run" and "stopped" do not), and only cards with a serial. Grouped by day, station or operator,
// a card is counted where its first result was; by check, each check of a card is counted apart.
struct YieldGroup
{
    QString group; // the day (YYYY-MM-DD), station, operator or check; empty for the whole
    std::int64_t cards = 0;
    std::int64_t firstPass = 0;
    std::int64_t finalPass = 0;

    double firstPassYield() const { return cards ? double(firstPass) / double(cards) : 0; }
    double finalYield() const { return cards ? double(finalPass) / double(cards) : 0; }
    bool operator==(const YieldGroup &) const = default;
};

struct YieldAnswer
{
    std::vector<YieldGroup> groups; // in the group's order; none without GroupBy
    YieldGroup total;               // every card of the period
    std::int64_t noVerdict = 0;     // results that could not run or were stopped
    std::int64_t withoutSerial = 0; // verdicts on cards without a serial, not counted
};

YieldAnswer yield(Database &database, const Period &period, GroupBy by);

// One problem code: in how many results it was found.
struct ParetoEntry
{
    QString problem;
    std::int64_t results = 0;
    bool operator==(const ParetoEntry &) const = default;
};

// The problem codes of the period, most frequent first (ties by code); with the total of their
// counts, their shares.
std::vector<ParetoEntry> pareto(Database &database, const Period &period);

// A result as the export gives it: its columns, and its items for the JSON export.
struct ExportedResult
{
    std::vector<std::pair<QString, Value>> columns;
    std::vector<ResultItem> items;
};

// The names of the export's columns, in order.
const std::vector<QString> &exportColumns();

// Every result of the period, oldest first, one at a time.
void exportResults(Database &database, const Period &period, bool withItems,
                   const std::function<void(const ExportedResult &)> &each);

} // namespace qm5083::results
