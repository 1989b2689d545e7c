#pragma once

#include "command_line.h"
#include "results_queries.h"
#include "results_store.h"
#include "script_command.h"
#include "session_log.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qm5083::commands {

// Where this run's results go: --results, else the results setting file and the station's own
// database (in the package's shared folder, or the user's own). Throws results::ResultsError.
results::ResultsPlace resultsPlaceOf(const CommandLine &commandLine);

// The filing of one check's result in the results database: opened before the check, so that a
// database that cannot be used (damaged, newer, a setting refused) stops the check before it
// begins; stored when its verdict is given, in one transaction; then sent to the line's database
// when there is one, the result staying queued when it cannot be reached.
class ResultsFiling
{
public:
    // Throws results::ResultsError.
    explicit ResultsFiling(const CommandLine &commandLine);
    explicit ResultsFiling(results::ResultsPlace place);

    // The check's start, with the station's zone: given to the result when it is stored.
    void started();
    // The result the report stands for, stored now (its end). False, with why, when it could not
    // be: the verdict stands, and the caller says so.
    bool store(const QJsonObject &report, QString &why);
    // Sends what is queued; why it could not (each result that was not sent stays queued).
    std::optional<QString> send();

    results::ResultsStore &store() { return *store_; }

private:
    std::unique_ptr<results::ResultsStore> store_;
    QDateTime started_;
};

// Opens the filing of one check's result; nothing where no result is stored (a window in a test
// without a command line). Throws results::ResultsError.
using ResultsOpener = std::function<std::unique_ptr<ResultsFiling>()>;

// How a window's test files its result: the filing opened before the test, and handed over
// after it to be sent while the window goes on.
struct ResultsHandling
{
    std::function<std::unique_ptr<ResultsFiling>()> open;
    std::function<void(std::unique_ptr<ResultsFiling>)> send;
};

// The opener for this run's results, as --results and the results setting say.
ResultsOpener resultsOpenerFor(const CommandLine &commandLine);

// Stores the result a report stands for, when filing is given; why it could not be, for the
// operator, when it was not (the verdict stands).
std::optional<QString> storeResult(ResultsFiling *filing, const QJsonObject &report);

// What a self-test dialog says of a card's earlier results, from its history (newest first):
// how often it was tested, its last verdict with its failures, and "retest" when it failed
// before; "first test" when it has none.
struct EarlierResults
{
    QString text;
    bool retest = false; // it failed, or had no verdict, before
};
EarlierResults earlierResults(const std::vector<results::HistoryEntry> &entries);

// The card's earlier results, from the line's database (or, when it cannot be reached, the
// station's, which the text says); why not, when neither can be read.
EarlierResults earlierResultsOf(ResultsFiling &filing, const QString &serial);

// Today's results, for the window: where they are kept, the yield (by station, for a line) as
// lines, and the problems' Pareto.
struct TodaysResults
{
    QString database;
    QStringList lines;
    std::vector<results::ParetoEntry> pareto;
};
// Throws results::ResultsError.
TodaysResults todaysResults(ResultsFiling &filing);

// The time now, with the station's offset from UTC.
QDateTime nowWithZone();

// The results command: its answer on out (lines, or one JSON object with --json), why it could
// not on err, its record line. Returns 0 done, 2 could not run (the database cannot be opened or
// reached, a result not sent).
int runResultsCommand(const scripting::ResultsCommand &command, const CommandLine &commandLine,
                      std::FILE *out, std::FILE *err, reports::SessionLog *sessionLog);

} // namespace qm5083::commands
