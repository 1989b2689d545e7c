#pragma once

#include "database.h"
#include "result_record.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qm5083::results {

// The schema this program writes and reads. A database whose schema is newer is refused, naming
// it; an older one is brought up to this by the migrations, in one transaction.
inline constexpr int kSchemaVersion = 1;

// Brings the database's schema up to kSchemaVersion. Throws ResultsError: Newer.
void migrate(Database &database);

// Where results go: the station's own SQLite file, and for a line, the PostgreSQL database every
// result is sent to after it is stored here.
struct ResultsPlace
{
    QString localFile;
    QString line;       // a libpq connection string or URI; empty: the station keeps its own
    QString lineSource; // where the line's setting came from, for messages
};

// The SQLite file the station keeps its results in when none is named: in the folder the package
// makes for its group (sharedFolder), or where the package is not installed or this user may not
// write that folder (not in the group), in the user's own data folder
// ($XDG_DATA_HOME/qm5083-bench, ~/.local/share/qm5083-bench; run with another user's environment,
// as sudo -E runs root, the one of the home the password database gives).
QString defaultLocalFile(const QString &sharedFolder);

// Where the results go, from --results (given: empty when not) and the results setting file:
// a PostgreSQL connection string or URI (postgresql://..., or key=value words) names the line's
// database, anything else the SQLite file to keep them in. Without --results, the setting file
// (when there is one) names the line's database. A setting that holds a password, that libpq
// cannot read, or a setting file with a malformed line is refused. Throws ResultsError: Refused.
ResultsPlace resultsPlace(const QString &given, const QString &settingFile,
                          const QString &sharedFolder);

// A libpq connection string or URI, rather than a file's name.
bool isConnection(const QString &text);

// How the queue of results waiting for the line's database stands.
struct QueueStatus
{
    qint64 queued = 0;
    std::optional<QDateTime> since; // when the oldest was queued
};

// What a sync did.
struct SyncOutcome
{
    qint64 sent = 0;         // newly in the line's database
    qint64 alreadyThere = 0; // sent before (a program ended between sending and marking)
    qint64 queued = 0;       // still waiting
    std::optional<ResultsError> problem;
};

// For tests: called after a result is in the line's database and before it is marked sent here.
using AfterSending = std::function<void(const QString &uuid)>;

class ResultsStore
{
public:
    // Opens the station's file (made when missing) and brings its schema up to date; a line's
    // setting is checked, not connected to. Throws ResultsError: Damaged, Newer, Refused.
    explicit ResultsStore(ResultsPlace place);

    const ResultsPlace &place() const { return place_; }
    Database &local() { return *local_; }

    // The result and its items in one transaction, queued for the line when there is one.
    // Throws ResultsError.
    void store(const ResultRecord &record);

    // Sends the queued results to the line's database, each once: a result the line has already
    // (its UUID) is only marked sent. Stops at the first that cannot be sent, which stays
    // queued with those after it. Never throws.
    SyncOutcome sync(const AfterSending &afterSending = {});

    QueueStatus queueStatus();

    // The database the questions go to: the line's when there is one, else the station's.
    // Throws ResultsError (the line cannot be reached).
    Database &asked();

private:
    ResultsPlace place_;
    std::unique_ptr<Database> local_;
    std::unique_ptr<Database> line_;
    QString lineName_;
};

// Writes one result with its items into a database, unless one with its UUID is there; true when
// it was written. No transaction of its own.
bool insertResult(Database &database, const ResultRecord &record);

} // namespace qm5083::results
