// The results database's costs: what storing a check's result adds to the check on SQLite, and
// the yield and the Pareto over 1,000,000 generated results on SQLite and on a real PostgreSQL
// 15 server (started here in a temporary folder, as the tests start theirs).
//
//   store/sqlite           one self-test's result, 12 items, into a station's file (WAL,
//                          synchronous FULL), the file open
//   open_and_store/sqlite  the same with the file opened and its schema checked first, and
//                          closed after, as a program that runs one check pays it
//   open/sqlite            the opening alone, without and with the schema's check
//   yield/..., yield_by_day/..., pareto/...  over 1,000,000 results (1,000,000 results, 800,000
//                          cards, 200,000 of them tested again; 60 days, 10 stations; 2 items a
//                          result), each database filled once before its figures
//
// QM5083_BENCH_RESULTS_ROWS changes the count of generated results.

#include "postgres_server.h"
#include "result_record.h"
#include "results_queries.h"
#include "results_store.h"

#include <benchmark/benchmark.h>

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

using namespace qm5083::results;

std::int64_t generatedRows()
{
    const char *rows = std::getenv("QM5083_BENCH_RESULTS_ROWS");
    return rows ? std::atoll(rows) : 1000000;
}

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

ResultRecord typicalSelfTest()
{
    const QJsonObject report = QJsonDocument::fromJson(R"({
        "command": "self-test", "status": 1, "version": "0.1.0", "serial": "SN-1",
        "operator": "ann", "station": "S1", "time": "2026-12-07T09:00:00.000+08:00",
        "card": {"number": 1, "base": "E000", "kind": "simulated"},
        "checks": [
          {"check": "loopback", "group": 1, "result": "pass", "failingBits": []},
          {"check": "loopback", "group": 2, "result": "fail", "failingBits": [{"group": 2,
           "bit": 3, "wrote": 0, "read": 1, "byteWritten": "F7", "byteRead": "FF"}]},
          {"check": "loopback", "group": 3, "result": "pass", "failingBits": []},
          {"check": "loopback", "group": 4, "result": "pass", "failingBits": []},
          {"check": "counters", "chip": "A", "result": "pass", "problems": []},
          {"check": "counters", "chip": "B", "result": "pass", "problems": []},
          {"check": "counters", "chip": "C", "result": "pass", "problems": []},
          {"check": "counters", "chip": "D", "result": "pass", "problems": []},
          {"check": "da", "channel": 0, "result": "pass"},
          {"check": "da", "channel": 1, "result": "pass"},
          {"check": "da", "channel": 2, "result": "pass"},
          {"check": "da", "channel": 3, "result": "pass"}]})")
                                   .object();
    const QDateTime now = QDateTime::currentDateTime();
    return recordFromReport(report, {now, now.addMSecs(50)});
}

void storeSqlite(benchmark::State &state)
{
    const ResultsPlace place {folder().filePath(QStringLiteral("store.sqlite")), {}, {}};
    ResultsStore store(place);
    ResultRecord record = typicalSelfTest();
    for (auto _ : state) {
        record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        store.store(record);
    }
}
BENCHMARK(storeSqlite)->Name("store/sqlite")->Unit(benchmark::kMillisecond)->UseRealTime();

void openAndStoreSqlite(benchmark::State &state)
{
    const ResultsPlace place {folder().filePath(QStringLiteral("open-store.sqlite")), {}, {}};
    {
        ResultsStore made(place);
    }
    ResultRecord record = typicalSelfTest();
    for (auto _ : state) {
        ResultsStore store(place);
        record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        store.store(record);
    }
}
// Opening alone, without and with the schema's check: what the store's cost above is made of.
void openSqliteFile(benchmark::State &state)
{
    const ResultsPlace place {folder().filePath(QStringLiteral("open.sqlite")), {}, {}};
    {
        ResultsStore made(place);
    }
    for (auto _ : state) {
        const std::unique_ptr<Database> database = openSqlite(place.localFile);
        if (state.range(0) > 0)
            migrate(*database);
    }
}
BENCHMARK(openSqliteFile)
    ->Name("open/sqlite")
    ->ArgName("schema_checked")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(openAndStoreSqlite)
    ->Name("open_and_store/sqlite")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- A million results, made by the database itself from a row number n.

// The generated columns, the same on both: one result every 5 s from 2026-10-01 00:00 UTC.
std::string generatedSelect(const std::string &n, const std::string &day)
{
    return "SELECT 'g-' || " + n + ", 'SN-' || (" + n
        + " % 800000), 'simulated', '', '', 1, "
          "'S' || ("
        + n + " % 10), 'op' || (" + n
        + " % 20), '0.1.0', "
          "CASE WHEN "
        + n + " % 5 = 0 THEN 'da-check DA' || (" + n
        + " % 4) ELSE 'self-test' END, "
          "'', '', 1790812800000 + "
        + n + " * 5000, 0, " + day
        + ", 50, "
          "CASE WHEN "
        + n + " % 13 = 0 THEN 'failed' WHEN " + n
        + " % 97 = 0 THEN 'incomplete' "
          "WHEN "
        + n + " % 101 = 0 THEN 'could not run' ELSE 'passed' END, 0, '', '{}'";
}

constexpr const char *kResultColumns
    = "uuid, serial, card_kind, card_ids, card_address, slot, station, operator, "
      "program_version, check_name, started, ended, started_ms, utc_offset_s, day, "
      "duration_ms, status, exit_status, reason, report";

// Two items a result: a passing one, and a second that names one of six problem codes when the
// result failed.
constexpr const char *kItems
    = "INSERT INTO result_items (result_id, position, name, status, value, unit, low, high, "
      "problem) SELECT id, 0, 'loopback group 1', 'pass', 0, 'bits', NULL, NULL, NULL FROM "
      "results; "
      "INSERT INTO result_items (result_id, position, name, status, value, unit, low, high, "
      "problem) SELECT id, 1, 'second', CASE WHEN status = 'failed' THEN 'fail' ELSE 'pass' END, "
      "NULL, '', NULL, NULL, CASE WHEN status = 'failed' THEN (CASE id % 7 WHEN 0 THEN 'loopback' "
      "WHEN 1 THEN 'loopback' WHEN 2 THEN 'counter-status' WHEN 3 THEN 'counter-no-clock' WHEN 4 "
      "THEN 'da-inl' WHEN 5 THEN 'da-dnl' ELSE 'chip-absent' END) END FROM results";

void fill(Database &database)
{
    const auto began = std::chrono::steady_clock::now();
    migrate(database);
    const std::string rows = std::to_string(generatedRows());
    Transaction transaction(database);
    if (database.dialect() == Dialect::Sqlite)
        database.execute("WITH RECURSIVE g(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM g WHERE n "
                         "+ 1 < "
                         + rows + ") INSERT INTO results (" + kResultColumns + ") "
                         + generatedSelect("n",
                                           "date((1790812800000 + n * 5000) / 1000, "
                                           "'unixepoch')")
                         + " FROM g");
    else
        database.execute(std::string("INSERT INTO results (") + kResultColumns + ") "
                         + generatedSelect("n",
                                           "to_char(to_timestamp((1790812800000 + n * 5000) "
                                           "/ 1000) AT TIME ZONE 'UTC', 'YYYY-MM-DD')")
                         + " FROM generate_series(0::bigint, " + rows + " - 1) AS n");
    for (const char *statement : {kItems}) {
        std::string text = statement;
        const auto split = text.find("; ");
        database.execute(text.substr(0, split));
        database.execute(text.substr(split + 2));
    }
    transaction.commit();
    database.execute(database.dialect() == Dialect::Sqlite ? "ANALYZE" : "VACUUM ANALYZE");
    std::cerr << "filled " << database.name().toStdString() << " with " << rows << " results in "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count()
              << " s\n";
}

Database &sqliteFilled()
{
    static const std::unique_ptr<Database> database = [] {
        auto made = openSqlite(folder().filePath(QStringLiteral("million.sqlite")));
        fill(*made);
        return made;
    }();
    return *database;
}

Database &postgresFilled()
{
    static qm5083::testing::PostgresServer server;
    static const std::unique_ptr<Database> database = [] {
        server.start();
        server.recreate();
        auto made = openPostgres(QString::fromStdString(server.connection()));
        fill(*made);
        return made;
    }();
    return *database;
}

template<Database &(*filled)()>
void yieldWhole(benchmark::State &state)
{
    Database &database = filled();
    for (auto _ : state)
        benchmark::DoNotOptimize(yield(database, {}, GroupBy::None));
}

template<Database &(*filled)()>
void yieldByDay(benchmark::State &state)
{
    Database &database = filled();
    for (auto _ : state)
        benchmark::DoNotOptimize(yield(database, {}, GroupBy::Day));
}

template<Database &(*filled)()>
void paretoWhole(benchmark::State &state)
{
    Database &database = filled();
    for (auto _ : state)
        benchmark::DoNotOptimize(pareto(database, {}));
}

BENCHMARK(yieldWhole<sqliteFilled>)
    ->Name("yield/sqlite")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(yieldByDay<sqliteFilled>)
    ->Name("yield_by_day/sqlite")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(paretoWhole<sqliteFilled>)
    ->Name("pareto/sqlite")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(yieldWhole<postgresFilled>)
    ->Name("yield/postgres")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(yieldByDay<postgresFilled>)
    ->Name("yield_by_day/postgres")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(paretoWhole<postgresFilled>)
    ->Name("pareto/postgres")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
