#include "session_log.h"
#include "support/row_name.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace qm5083;

namespace {

// A record as a row finds it, what happens to it after opening, and what it holds after one
// more line: whole lines only, nothing of the old text lost, and a failure told once.
struct RecordRow
{
    const char *name;
    QByteArray before;                          // the file's bytes before opening; none: absent
    std::function<void(const QString &)> after; // done to the path once it is open
    QByteArray expected;                        // the file afterwards; empty: not looked at
    bool notice;                                // open says a line was cut short
    const char *stoppedBecause;                 // nothing when the record goes on
};

class SessionRecord : public ::testing::TestWithParam<RecordRow>
{ };

TEST_P(SessionRecord, KeepsWholeLinesAndTellsAFailureOnce)
{
    const RecordRow &row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("session.log");
    if (!row.before.isNull()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(row.before);
    }
    QString error;
    QString notice;
    auto log = reports::SessionLog::open(path, error, notice);
    ASSERT_TRUE(log) << error.toStdString();
    EXPECT_EQ(!notice.isEmpty(), row.notice) << notice.toStdString();
    QStringList told;
    log->setStopped([&](const QString &why) { told << why; });
    if (row.after)
        row.after(path);
    log->append({{"operation", "out 01"}});
    log->append({{"operation", "in"}});
    EXPECT_EQ(log->stopped(), row.stoppedBecause != nullptr);
    log.reset();
    if (row.stoppedBecause) {
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told.front().contains(row.stoppedBecause)) << told.front().toStdString();
        EXPECT_TRUE(told.front().contains(path)) << told.front().toStdString();
    } else {
        EXPECT_TRUE(told.isEmpty());
    }
    if (!row.expected.isEmpty()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), row.expected.toStdString());
    }
}

const QByteArray kTwoLines = "{\"operation\":\"out 01\"}\n{\"operation\":\"in\"}\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionRecord,
    ::testing::Values(
        RecordRow {"New", {}, {}, kTwoLines, false, nullptr},
        RecordRow {"AfterWholeLines", "{\"a\":1}\n", {}, "{\"a\":1}\n" + kTwoLines, false, nullptr},
        RecordRow {"AfterALineCutShort",
                   "{\"a\":1}\n{\"operation\":\"clo",
                   {},
                   "{\"a\":1}\n{\"incomplete\":\"{\\\"operation\\\":\\\"clo\"}\n" + kTwoLines,
                   true,
                   nullptr},
        // A cut in the middle of a character: the exact bytes are kept as well.
        RecordRow {"CutInsideACharacter",
                   "{\"x\":\"\xE5\x8D",
                   {},
                   "{\"bytes\":\"eyJ4Ijoi5Y0=\",\"incomplete\":\"{\\\"x\\\":"
                   "\\\"\xEF\xBF\xBD\xEF\xBF\xBD\"}\n"
                       + kTwoLines,
                   true,
                   nullptr},
        RecordRow {"OnlyALineCutShort",
                   "{\"a\"",
                   {},
                   "{\"incomplete\":\"{\\\"a\\\"\"}\n" + kTwoLines,
                   true,
                   nullptr},
        RecordRow {"Removed",
                   {},
                   [](const QString &path) { QFile::remove(path); },
                   {},
                   false,
                   "removed or replaced"},
        RecordRow {"ReplacedByADirectory",
                   {},
                   [](const QString &path) {
                       QFile::remove(path);
                       QDir().mkdir(path);
                   },
                   {},
                   false,
                   "removed or replaced"}),
    qm5083::testing::RowName {});

// A device that is always full: the first line fails, and that is said once.
TEST(SessionRecordOnAFullDevice, StopsAtTheFirstLineAndSaysSoOnce)
{
    QString error;
    QString notice;
    auto log = reports::SessionLog::open("/dev/full", error, notice);
    ASSERT_TRUE(log) << error.toStdString();
    QStringList told;
    log->setStopped([&](const QString &why) { told << why; });
    log->append({{"operation", "out 01"}});
    log->append({{"operation", "in"}});
    log.reset();
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told.front().toStdString(),
              "the session record /dev/full cannot be written: No space left on device; recording "
              "stopped, and the program goes on without it");
}

} // namespace
