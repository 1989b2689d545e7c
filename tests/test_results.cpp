// The results database: what a report is stored as, the yield and the Pareto worked out by hand,
// SQLite files damaged or newer, and a real PostgreSQL server away, killed and shared.
#include "result_record.h"
#include "results_queries.h"
#include "results_store.h"
#include "support/postgres_server.h"
#include "support/row_name.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

namespace qm5083::results {
namespace {

using testing::PostgresServer;

const QTimeZone kZone(8 * 3600); // the stations' zone, +08:00

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), kZone);
}

ResultItem failing(const QString &name, const QString &problem)
{
    return {name, QStringLiteral("fail"), std::nullopt, {}, std::nullopt, std::nullopt, problem};
}

ResultRecord result(const QString &serial, const QString &check, const QString &status,
                    const QDateTime &started, const QString &station, const QString &who,
                    std::vector<ResultItem> items = {})
{
    static int next = 0;
    ResultRecord record;
    record.uuid
        = QStringLiteral("00000000-0000-4000-8000-%1").arg(++next, 12, 10, QLatin1Char('0'));
    record.serial = serial;
    record.cardKind = QStringLiteral("simulated");
    record.slot = 1;
    record.station = station;
    record.operatorName = who;
    record.programVersion = QStringLiteral("0.1.0");
    record.check = check;
    record.started = started;
    record.ended = started.addMSecs(1500);
    record.status = status;
    record.exitStatus = status == QStringLiteral("passed") ? 0 : 1;
    record.items = std::move(items);
    return record;
}

// Seven cards over two days and two stations, worked out by hand:
//   A001 passes. A002 fails its loopback on day 1 and passes its retest on day 2, at the other
//   station. A003 passes its self-test and fails DA0 (INL), then passes DA0. A004 could not run
//   (no verdict), then passes. A card without a serial passes (not counted). Day 2: A005 fails
//   with two counter problems, A006 is incomplete, A007 fails its loopback in two groups.
// Cards 7. First pass: A001, A004 (2). Final: A001, A002, A003, A004 (4).
// Day 1 (first results there): A001-A004, 4 cards, 2 first pass, 4 final. Day 2: A005-A007, 3, 0,
// 0. By check: self-test 7 cards, first pass A001 A003 A004 (3), final 4; da-check DA0 1, 0, 1.
// Pareto (results with the code): loopback 2 (A002, A007), counter-no-clock 1, counter-status 1,
// da-inl 1; since day 2: counter-no-clock 1, counter-status 1, loopback 1.
std::vector<ResultRecord> fixedResults()
{
    const QString st = QStringLiteral("self-test");
    const QString da = QStringLiteral("da-check DA0");
    const QString s1 = QStringLiteral("S1");
    const QString s2 = QStringLiteral("S2");
    const QString ann = QStringLiteral("ann");
    const QString bob = QStringLiteral("bob");
    const QString passed = QStringLiteral("passed");
    const QString failed = QStringLiteral("failed");
    return {
        result(QStringLiteral("A001"), st, passed, at(7, 9, 0), s1, ann),
        result(QStringLiteral("A002"), st, failed, at(7, 9, 10), s1, ann,
               {failing(QStringLiteral("loopback group 2"), QStringLiteral("loopback"))}),
        result(QStringLiteral("A003"), st, passed, at(7, 9, 20), s1, ann),
        result(QStringLiteral("A003"), da, failed, at(7, 9, 30), s1, ann,
               {failing(QStringLiteral("inl"), QStringLiteral("da-inl"))}),
        result(QStringLiteral("A003"), da, passed, at(7, 9, 40), s1, ann),
        result(QStringLiteral("A004"), st, QStringLiteral("could not run"), at(7, 9, 50), s1, ann),
        result(QStringLiteral("A004"), st, passed, at(7, 10, 0), s1, ann),
        result(QString(), st, passed, at(7, 10, 10), s1, ann),
        result(QStringLiteral("A002"), st, passed, at(8, 9, 0), s2, bob),
        result(
            QStringLiteral("A005"), st, failed, at(8, 9, 10), s2, bob,
            {failing(QStringLiteral("counters chip B counter 0"), QStringLiteral("counter-status")),
             failing(QStringLiteral("counters chip D counter 2"),
                     QStringLiteral("counter-no-clock"))}),
        result(QStringLiteral("A006"), st, QStringLiteral("incomplete"), at(8, 9, 20), s2, bob),
        result(QStringLiteral("A007"), st, failed, at(8, 9, 30), s2, bob,
               {failing(QStringLiteral("loopback group 1"), QStringLiteral("loopback")),
                failing(QStringLiteral("loopback group 3"), QStringLiteral("loopback"))}),
    };
}

// One server for the tests of a run (each test is a process of its own under ctest), stopped
// when they end.
PostgresServer *server = nullptr;

class ServerEnvironment : public ::testing::Environment
{
public:
    void TearDown() override
    {
        delete server;
        server = nullptr;
    }
};
const auto *const kServerEnvironment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

// The server running, with an empty database for this test.
PostgresServer &lineServer()
{
    if (!server)
        server = new PostgresServer;
    if (!server->running())
        server->start();
    server->recreate();
    return *server;
}

class ResultsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    QString file(const QString &name) const { return folder_.filePath(name); }
    ResultsPlace local(const QString &name = QStringLiteral("results.sqlite")) const
    {
        return {file(name), {}, {}};
    }
    ResultsPlace line() const
    {
        return {file(QStringLiteral("queue.sqlite")), QString::fromStdString(server->connection()),
                QStringLiteral("--results")};
    }

    QTemporaryDir folder_;
};

// Tests of a line's database.
class LineTest : public ResultsTest
{
protected:
    void SetUp() override
    {
        ResultsTest::SetUp();
        ASSERT_TRUE(PostgresServer::available())
            << "PostgreSQL 15 is not installed: scripts/deps.sh's TEST_PACKAGES name it";
        lineServer();
    }
};

// ---- What a report is stored as

TEST_F(ResultsTest, ASelfTestReportBecomesOneItemPerCheckAndProblem)
{
    const QJsonObject report = QJsonDocument::fromJson(R"({
        "command": "self-test", "status": 1, "version": "0.1.0", "serial": "SN-7",
        "operator": "ann", "station": "S1", "time": "2026-12-07T09:00:00.000+08:00",
        "card": {"number": 2, "base": "E100", "kind": "pci", "address": "0000:03:00.0",
                 "ids": "1234:5678"},
        "checks": [
            {"check": "loopback", "group": 1, "result": "pass", "failingBits": []},
            {"check": "loopback", "group": 2, "result": "fail", "failingBits": [
                {"group": 2, "bit": 3, "wrote": 0, "read": 1, "byteWritten": "F7",
                 "byteRead": "FF"}]},
            {"check": "counters", "chip": "A", "result": "pass", "problems": [],
             "countingNotChecked": []},
            {"check": "counters", "chip": "B", "result": "fail", "problems": [
                {"code": "status", "chip": "B", "counter": 0, "expected": "34", "read": "14",
                 "text": "t"},
                {"code": "no-clock", "chip": "B", "counter": 2, "expected": "34", "read": "74",
                 "text": "t"}], "countingNotChecked": []},
            {"check": "counters", "chip": "C", "result": "absent", "problems": [],
             "countingNotChecked": []}
        ]})")
                                   .object();
    const ResultRecord record = recordFromReport(report, {at(7, 9, 0), at(7, 9, 1)});
    EXPECT_EQ(record.status, QStringLiteral("failed"));
    EXPECT_EQ(record.check, QStringLiteral("self-test"));
    EXPECT_EQ(record.serial, QStringLiteral("SN-7"));
    EXPECT_EQ(record.slot, 2);
    EXPECT_EQ(record.cardIds, QStringLiteral("1234:5678"));
    EXPECT_EQ(record.durationMs(), 60000);
    EXPECT_EQ(record.uuid.size(), 36);
    const std::vector<ResultItem> expected {
        {QStringLiteral("loopback group 1"),
         QStringLiteral("pass"),
         0.0,
         QStringLiteral("bits"),
         std::nullopt,
         std::nullopt,
         {}},
        {QStringLiteral("loopback group 2"), QStringLiteral("fail"), 1.0, QStringLiteral("bits"),
         std::nullopt, std::nullopt, QStringLiteral("loopback")},
        {QStringLiteral("counters chip A"),
         QStringLiteral("pass"),
         std::nullopt,
         {},
         std::nullopt,
         std::nullopt,
         {}},
        failing(QStringLiteral("counters chip B counter 0"), QStringLiteral("counter-status")),
        failing(QStringLiteral("counters chip B counter 2"), QStringLiteral("counter-no-clock")),
        {QStringLiteral("counters chip C"),
         QStringLiteral("absent"),
         std::nullopt,
         {},
         std::nullopt,
         std::nullopt,
         QStringLiteral("chip-absent")},
    };
    EXPECT_EQ(record.items, expected);
    EXPECT_EQ(record.reason,
              QStringLiteral("loopback group 2: loopback; counters chip B counter 0: "
                             "counter-status; counters chip B counter 2: counter-no-clock; "
                             "counters chip C: chip-absent"));
}

TEST_F(ResultsTest, ADaCheckReportKeepsEachFigureWithItsLimit)
{
    const QJsonObject report = QJsonDocument::fromJson(R"({
        "command": "da-check", "status": 1, "channel": 1, "serial": "SN-8", "station": "",
        "card": {"number": 1, "base": "E000", "kind": "simulated"},
        "figures": {"offset": {"volts": 0.001, "lsb": 0.4}, "gain": {"volts": 0, "lsb": 0.2,
                    "percent": 0}, "inl": {"lsb": 1.5, "code": "7FF"}, "dnl": null},
        "verdicts": [{"figure": "offset", "value": 0.4, "limit": 2, "within": true},
                     {"figure": "inl", "value": 1.5, "limit": 1, "within": false}]})")
                                   .object();
    const ResultRecord record = recordFromReport(report, {at(7, 9, 0), at(7, 9, 0)});
    EXPECT_EQ(record.check, QStringLiteral("da-check DA1"));
    EXPECT_FALSE(record.station.isEmpty()) << "an unnamed station is the machine's name";
    const std::vector<ResultItem> expected {
        {QStringLiteral("offset"),
         QStringLiteral("pass"),
         0.4,
         QStringLiteral("LSB"),
         -2.0,
         2.0,
         {}},
        {QStringLiteral("inl"), QStringLiteral("fail"), 1.5, QStringLiteral("LSB"), -1.0, 1.0,
         QStringLiteral("da-inl")},
        {QStringLiteral("gain"),
         QStringLiteral("not judged"),
         0.2,
         QStringLiteral("LSB"),
         std::nullopt,
         std::nullopt,
         {}},
        {QStringLiteral("dnl"),
         QStringLiteral("not judged"),
         std::nullopt,
         QStringLiteral("LSB"),
         std::nullopt,
         std::nullopt,
         {}},
    };
    EXPECT_EQ(record.items, expected);
    EXPECT_EQ(record.reason, QStringLiteral("inl: da-inl"));
}

struct StatusRow
{
    std::string name;
    const char *report;
    const char *status;
};

class StatusOfReport : public ::testing::TestWithParam<StatusRow>
{ };

TEST_P(StatusOfReport, IsTheVerdictOrWhatItsStatusMeans)
{
    const QJsonObject report = QJsonDocument::fromJson(GetParam().report).object();
    EXPECT_EQ(statusOfReport(report), QString::fromUtf8(GetParam().status));
}

INSTANTIATE_TEST_SUITE_P(
    Results, StatusOfReport,
    ::testing::Values(
        StatusRow {"Passed", R"({"command":"self-test","status":0})", "passed"},
        StatusRow {"Failed", R"({"command":"self-test","status":1})", "failed"},
        StatusRow {"CouldNotRun", R"({"command":"self-test","status":2})", "could not run"},
        StatusRow {"SelfTestSkippedParts", R"({"command":"self-test","status":3})", "incomplete"},
        StatusRow {"DaCheckWithoutLimits", R"({"command":"da-check","status":3})", "not judged"},
        StatusRow {"EndedBySigterm", R"({"command":"self-test","status":143})", "stopped"},
        StatusRow {"StoppedByTheOperator",
                   R"({"command":"da-check","status":2,"verdict":"stopped"})", "stopped"},
        StatusRow {"UnknownVerdictWord", R"({"command":"self-test","status":1,"verdict":"ok"})",
                   "failed"}),
    testing::RowName {});

// ---- Where results go

TEST_F(ResultsTest, ThePlaceFollowsResultsThenTheSettingFile)
{
    const QString setting = file(QStringLiteral("results.conf"));
    const QString shared = file(QStringLiteral("var-lib"));
    ASSERT_TRUE(QDir().mkpath(shared));
    // No setting file: the station keeps its own, in the package's folder when it is there.
    ResultsPlace place = resultsPlace({}, setting, shared);
    EXPECT_EQ(place.localFile, shared + QStringLiteral("/results.sqlite"));
    EXPECT_TRUE(place.line.isEmpty());
    // A setting file names the line's database.
    QFile conf(setting);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("# the line's database\n\npostgresql://qm5083@db.example/line\n");
    conf.close();
    place = resultsPlace({}, setting, shared);
    EXPECT_EQ(place.line, QStringLiteral("postgresql://qm5083@db.example/line"));
    EXPECT_EQ(place.lineSource, setting);
    // --results wins: another database, or a file of its own instead.
    place = resultsPlace(QStringLiteral("host=db2 dbname=line"), setting, shared);
    EXPECT_EQ(place.line, QStringLiteral("host=db2 dbname=line"));
    place = resultsPlace(file(QStringLiteral("mine.sqlite")), setting, shared);
    EXPECT_EQ(place.localFile, file(QStringLiteral("mine.sqlite")));
    EXPECT_TRUE(place.line.isEmpty());
    // Without the package's folder, the user's own data folder.
    place = resultsPlace({}, file(QStringLiteral("none.conf")), file(QStringLiteral("absent")));
    EXPECT_TRUE(place.localFile.endsWith(QStringLiteral("/qm5083-bench/results.sqlite")));
    EXPECT_FALSE(place.localFile.startsWith(file(QStringLiteral("absent"))));
}

TEST_F(ResultsTest, RunWithAnotherUsersDataFolderRootKeepsItsOwn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can be given another user's folder";
    const QString theirs = file(QStringLiteral("theirs"));
    ASSERT_TRUE(QDir().mkpath(theirs));
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(theirs));
    const QString chosen = defaultLocalFile({});
    qputenv("XDG_DATA_HOME", before);
    EXPECT_FALSE(chosen.startsWith(theirs)) << chosen.toStdString();
    EXPECT_EQ(chosen,
              QStringLiteral("%1/.local/share/qm5083-bench/results.sqlite")
                  .arg(QFile::decodeName(::getpwuid(0)->pw_dir)));
}

struct RefusedRow
{
    std::string name;
    QString given;
    QByteArray settingFile;
    const char *says;
};

class RefusedSetting : public ResultsTest, public ::testing::WithParamInterface<RefusedRow>
{ };

TEST_P(RefusedSetting, IsRefusedBeforeAnythingIsTried)
{
    const QString setting = file(QStringLiteral("results.conf"));
    QFile conf(setting);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(GetParam().settingFile);
    conf.close();
    try {
        resultsPlace(GetParam().given, setting, {});
        FAIL() << "not refused";
    } catch (const ResultsError &error) {
        EXPECT_EQ(error.kind(), ResultsError::Kind::Refused);
        EXPECT_TRUE(error.message().contains(QString::fromUtf8(GetParam().says)))
            << error.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Results, RefusedSetting,
    ::testing::Values(RefusedRow {"PasswordInAUri",
                                  QStringLiteral("postgresql://u:secret@db/line"),
                                  {},
                                  "holds a password"},
                      RefusedRow {"PasswordInAConnectionString",
                                  QStringLiteral("host=db dbname=line password=secret"),
                                  {},
                                  "~/.pgpass"},
                      RefusedRow {"UnknownKeyword",
                                  QStringLiteral("host=db colour=red"),
                                  {},
                                  "no PostgreSQL connection string"},
                      RefusedRow {"PasswordInTheSettingFile",
                                  {},
                                  "postgresql://u:pw@db/line\n",
                                  "holds a password"},
                      RefusedRow {"TwoDatabasesInTheSettingFile",
                                  {},
                                  "postgresql://db/line\npostgresql://db/other\n",
                                  "line 2"},
                      RefusedRow {"NoConnectionInTheSettingFile",
                                  {},
                                  "/var/lib/results.sqlite\n",
                                  "line 1, is no PostgreSQL"},
                      RefusedRow {"ControlCharacterInTheSettingFile",
                                  {},
                                  "host=db\x1b[2J dbname=x\n",
                                  "control character"},
                      RefusedRow {"OverlongLineInTheSettingFile",
                                  {},
                                  QByteArray(5000, 'x') + "=y\n",
                                  "longer than 4096"}),
    testing::RowName {});

// ---- SQLite files

TEST_F(ResultsTest, AStoredResultIsInTheHistoryWithItsFailures)
{
    ResultsStore store(local());
    for (const ResultRecord &record : fixedResults())
        store.store(record);
    const std::vector<HistoryEntry> entries = history(store.asked(), QStringLiteral("A002"));
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0].status, QStringLiteral("passed")) << "newest first";
    EXPECT_EQ(entries[0].station, QStringLiteral("S2"));
    EXPECT_EQ(entries[0].started, QStringLiteral("2026-12-08T09:00:00.000+08:00"));
    EXPECT_EQ(entries[1].status, QStringLiteral("failed"));
    ASSERT_EQ(entries[1].failures.size(), 1U);
    EXPECT_EQ(entries[1].failures[0].problem, QStringLiteral("loopback"));
    EXPECT_TRUE(history(store.asked(), QStringLiteral("A999")).empty());
    EXPECT_EQ(store.queueStatus().queued, 0) << "nothing is queued without a line";
}

TEST_F(ResultsTest, AResultIsStoredOnceWhateverItsUuidMeets)
{
    ResultsStore store(local());
    const ResultRecord record = fixedResults().front();
    store.store(record);
    store.store(record);
    EXPECT_EQ(integerOf(store.local().query("SELECT COUNT(*) FROM results").front().front()), 1);
}

TEST_F(ResultsTest, ADamagedFileIsRefusedByName)
{
    const QString path = file(QStringLiteral("damaged.sqlite"));
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, '\x5a'));
    damaged.close();
    try {
        ResultsStore store(local(QStringLiteral("damaged.sqlite")));
        FAIL() << "a damaged file was opened";
    } catch (const ResultsError &error) {
        EXPECT_EQ(error.kind(), ResultsError::Kind::Damaged);
        EXPECT_TRUE(error.message().contains(path)) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains(QStringLiteral("move it aside")));
    }
}

TEST_F(ResultsTest, ALinkInTheFilesPlaceIsNotFollowed)
{
    const QString target = file(QStringLiteral("elsewhere.sqlite"));
    {
        ResultsStore store(local(QStringLiteral("elsewhere.sqlite")));
    }
    ASSERT_TRUE(QFile::link(target, file(QStringLiteral("link.sqlite"))));
    EXPECT_THROW(ResultsStore(local(QStringLiteral("link.sqlite"))), ResultsError);
}

TEST_F(LineTest, ANewerSchemaIsRefusedByNameOnBothDatabases)
{
    {
        ResultsStore store(local());
        store.local().execute("INSERT INTO schema_version VALUES (2, 'qm5083-bench 9.0.0', '')");
    }
    const auto refused = [](const std::function<void()> &open, const QString &name) {
        try {
            open();
            ADD_FAILURE() << "a newer schema was taken";
        } catch (const ResultsError &error) {
            EXPECT_EQ(error.kind(), ResultsError::Kind::Newer);
            EXPECT_TRUE(error.message().contains(name)) << error.message().toStdString();
            EXPECT_TRUE(error.message().contains(QStringLiteral("schema version 2, newer than "
                                                                "this program's 1")))
                << error.message().toStdString();
        }
    };
    refused([&] { ResultsStore store(local()); }, file(QStringLiteral("results.sqlite")));
    const std::unique_ptr<Database> line
        = openPostgres(QString::fromStdString(server->connection()));
    migrate(*line);
    line->execute("INSERT INTO schema_version VALUES (2, 'qm5083-bench 9.0.0', '')");
    refused([&] { migrate(*openPostgres(QString::fromStdString(server->connection()))); },
            QStringLiteral("PostgreSQL database qm5083"));
}

TEST_F(ResultsTest, AFileInAFolderItsGroupSharesIsWritableByTheGroup)
{
    const QString shared = file(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 02775), 0);
    const QString own = file(QStringLiteral("own"));
    ASSERT_TRUE(QDir().mkpath(own));
    {
        ResultsStore store({shared + QStringLiteral("/results.sqlite"), {}, {}});
    }
    {
        ResultsStore store({own + QStringLiteral("/results.sqlite"), {}, {}});
    }
    struct stat info
    { };
    ASSERT_EQ(
        ::stat(QFile::encodeName(shared + QStringLiteral("/results.sqlite")).constData(), &info),
        0);
    EXPECT_EQ(info.st_mode & 0777, 0660U);
    ASSERT_EQ(::stat(QFile::encodeName(own + QStringLiteral("/results.sqlite")).constData(), &info),
              0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
}

// ---- The figures, worked out by hand, on both databases

struct Backend
{
    std::string name;
    bool postgres;
};

class Figures : public ResultsTest, public ::testing::WithParamInterface<Backend>
{
protected:
    std::unique_ptr<Database> filled()
    {
        std::unique_ptr<Database> database = GetParam().postgres
            ? openPostgres(QString::fromStdString(lineServer().connection()))
            : openSqlite(file(QStringLiteral("figures.sqlite")));
        migrate(*database);
        for (const ResultRecord &record : fixedResults())
            insertResult(*database, record);
        return database;
    }
};

TEST_P(Figures, YieldOfTheFixedResults)
{
    const auto database = filled();
    const YieldAnswer whole = yield(*database, {}, GroupBy::None);
    EXPECT_EQ(whole.total, (YieldGroup {{}, 7, 2, 4}));
    EXPECT_NEAR(whole.total.firstPassYield(), 2.0 / 7, 1e-12);
    EXPECT_NEAR(whole.total.finalYield(), 4.0 / 7, 1e-12);
    EXPECT_TRUE(whole.groups.empty());
    EXPECT_EQ(whole.noVerdict, 1);
    EXPECT_EQ(whole.withoutSerial, 1);

    const std::vector<YieldGroup> byDay {{QStringLiteral("2026-12-07"), 4, 2, 4},
                                         {QStringLiteral("2026-12-08"), 3, 0, 0}};
    EXPECT_EQ(yield(*database, {}, GroupBy::Day).groups, byDay);
    const std::vector<YieldGroup> byStation {{QStringLiteral("S1"), 4, 2, 4},
                                             {QStringLiteral("S2"), 3, 0, 0}};
    EXPECT_EQ(yield(*database, {}, GroupBy::Station).groups, byStation);
    const std::vector<YieldGroup> byOperator {{QStringLiteral("ann"), 4, 2, 4},
                                              {QStringLiteral("bob"), 3, 0, 0}};
    EXPECT_EQ(yield(*database, {}, GroupBy::Operator).groups, byOperator);
    const std::vector<YieldGroup> byCheck {{QStringLiteral("da-check DA0"), 1, 0, 1},
                                           {QStringLiteral("self-test"), 7, 3, 4}};
    EXPECT_EQ(yield(*database, {}, GroupBy::Check).groups, byCheck);

    // Day 2 alone: A002's retest is its first result there, so it passes first time.
    const Period day2 {at(8, 0, 0).toMSecsSinceEpoch(), at(9, 0, 0).toMSecsSinceEpoch()};
    EXPECT_EQ(yield(*database, day2, GroupBy::None).total, (YieldGroup {{}, 4, 1, 1}));
    // Until just before A002's retest: A002 failed in the end.
    const Period day1 {std::nullopt, at(8, 9, 0).toMSecsSinceEpoch()};
    EXPECT_EQ(yield(*database, day1, GroupBy::None).total, (YieldGroup {{}, 4, 2, 3}));
}

TEST_P(Figures, ParetoOfTheFixedResults)
{
    const auto database = filled();
    const std::vector<ParetoEntry> whole {{QStringLiteral("loopback"), 2},
                                          {QStringLiteral("counter-no-clock"), 1},
                                          {QStringLiteral("counter-status"), 1},
                                          {QStringLiteral("da-inl"), 1}};
    EXPECT_EQ(pareto(*database, {}), whole);
    const std::vector<ParetoEntry> day2 {{QStringLiteral("counter-no-clock"), 1},
                                         {QStringLiteral("counter-status"), 1},
                                         {QStringLiteral("loopback"), 1}};
    EXPECT_EQ(pareto(*database, {at(8, 0, 0).toMSecsSinceEpoch(), std::nullopt}), day2);
    EXPECT_TRUE(pareto(*database, {at(9, 0, 0).toMSecsSinceEpoch(), std::nullopt}).empty());
}

TEST_P(Figures, TheExportGivesEveryResultOldestFirstWithItsItems)
{
    const auto database = filled();
    std::vector<ExportedResult> exported;
    exportResults(*database, {}, true, [&](const ExportedResult &one) { exported.push_back(one); });
    ASSERT_EQ(exported.size(), fixedResults().size());
    EXPECT_EQ(textOf(exported.front().columns[1].second), QStringLiteral("A001"));
    EXPECT_EQ(exported.front().columns[1].first, QStringLiteral("serial"));
    EXPECT_EQ(textOf(exported.back().columns[1].second), QStringLiteral("A007"));
    EXPECT_EQ(exported.back().items.size(), 2U);
    EXPECT_EQ(exported[9].items.size(), 2U) << "A005's two counter problems";
}

INSTANTIATE_TEST_SUITE_P(Results, Figures,
                         ::testing::Values(Backend {"Sqlite", false}, Backend {"Postgres", true}),
                         testing::RowName {});

// ---- A line's PostgreSQL database

TEST_F(LineTest, TheServerDownQueuesTheResultAndTheNextSyncSendsItOnce)
{
    server->kill();
    ResultsStore store(line());
    const ResultRecord record = fixedResults().front();
    store.store(record);
    const SyncOutcome away = store.sync();
    ASSERT_TRUE(away.problem);
    EXPECT_EQ(away.problem->kind(), ResultsError::Kind::Unreachable);
    EXPECT_TRUE(away.problem->message().contains(QStringLiteral("cannot be reached")));
    EXPECT_EQ(away.queued, 1);
    const QueueStatus queued = store.queueStatus();
    EXPECT_EQ(queued.queued, 1);
    ASSERT_TRUE(queued.since);
    EXPECT_LE(std::abs(queued.since->secsTo(QDateTime::currentDateTime())), 60);

    server->start();
    // Another program on the station sends it: the queue is the station's file, not a program's.
    ResultsStore next(line());
    const SyncOutcome back = next.sync();
    EXPECT_FALSE(back.problem);
    EXPECT_EQ(back.sent, 1);
    EXPECT_EQ(back.queued, 0);
    EXPECT_EQ(next.sync().sent, 0);
    EXPECT_EQ(server->psql("SELECT COUNT(*), MIN(serial) FROM results"), "1|A001\n");
    EXPECT_EQ(next.queueStatus().queued, 0);
}

TEST_F(LineTest, AProgramEndedBetweenSendingAndMarkingSendsNoDuplicate)
{
    ResultsStore store(line());
    std::vector<ResultRecord> records = fixedResults();
    store.store(records[9]); // A005, with two items
    store.store(records[0]);
    struct Ended
    { };
    // The first is in the line's database; then the server is killed and the program ends
    // before marking it sent.
    EXPECT_THROW(store.sync([&](const QString &) {
        server->kill();
        throw Ended {};
    }),
                 Ended);
    EXPECT_EQ(store.queueStatus().queued, 2);
    server->start();
    const SyncOutcome outcome = ResultsStore(line()).sync();
    EXPECT_FALSE(outcome.problem);
    EXPECT_EQ(outcome.sent, 1);
    EXPECT_EQ(outcome.alreadyThere, 1);
    EXPECT_EQ(server->psql("SELECT serial, COUNT(*) FROM results GROUP BY serial ORDER BY serial"),
              "A001|1\nA005|1\n");
    EXPECT_EQ(server->psql("SELECT COUNT(*) FROM result_items"), "2\n");
}

// Four programs storing at once, each its own process: every result there once.
void storeFromFourPrograms(const ResultsPlace &place, int each)
{
    std::vector<pid_t> children;
    for (int program = 0; program < 4; ++program) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int status = 0;
            try {
                ResultsStore store(place);
                for (int i = 0; i < each; ++i) {
                    ResultRecord record
                        = result(QStringLiteral("P%1-%2").arg(program).arg(i),
                                 QStringLiteral("self-test"), QStringLiteral("passed"),
                                 at(7, 9, i % 60), QStringLiteral("S%1").arg(program), {});
                    record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
                    store.store(record);
                    if (!place.line.isEmpty())
                        if (const auto problem = store.sync().problem) {
                            std::fprintf(stderr, "%s\n", problem->what());
                            status = 3;
                        }
                }
            } catch (const ResultsError &error) {
                std::fprintf(stderr, "%s\n", error.what());
                status = 2;
            }
            ::_exit(status);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
}

TEST_F(ResultsTest, FourProgramsStoreAtOnceInOneSqliteFile)
{
    storeFromFourPrograms(local(), 25);
    ResultsStore store(local());
    EXPECT_EQ(
        integerOf(store.local().query("SELECT COUNT(DISTINCT uuid) FROM results").front().front()),
        100);
}

TEST_F(LineTest, FourProgramsStoreAtOnceInOneLineDatabase)
{
    storeFromFourPrograms(line(), 10);
    EXPECT_EQ(server->psql("SELECT COUNT(*), COUNT(DISTINCT uuid) FROM results"), "40|40\n");
    EXPECT_EQ(ResultsStore(line()).queueStatus().queued, 0);
}

TEST_F(LineTest, AUriReachesTheSameDatabaseAsAConnectionString)
{
    ResultsStore store(
        {file(QStringLiteral("queue.sqlite")), QString::fromStdString(server->uri()), {}});
    store.store(fixedResults().front());
    EXPECT_EQ(store.sync().sent, 1);
    EXPECT_EQ(
        history(*openPostgres(QString::fromStdString(server->connection())), QStringLiteral("A001"))
            .size(),
        1U);
}

} // namespace
} // namespace qm5083::results
