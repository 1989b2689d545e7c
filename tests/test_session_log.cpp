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
    const char *refused = nullptr;              // open refuses the file, and leaves it as it was
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
    if (row.refused) {
        EXPECT_FALSE(log);
        EXPECT_EQ(error.toStdString(), row.refused);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), row.before);
        return;
    }
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
        RecordRow {"AfterWholeLines",
                   "{\"session\":1}\n",
                   {},
                   "{\"session\":1}\n" + kTwoLines,
                   false,
                   nullptr},
        RecordRow {"AfterALineCutShort",
                   "{\"session\":1}\n{\"operation\":\"clo",
                   {},
                   "{\"session\":1}\n{\"incomplete\":\"{\\\"operation\\\":\\\"clo\"}\n" + kTwoLines,
                   true,
                   nullptr},
        // A cut in the middle of a character: the exact bytes are kept as well.
        RecordRow {"CutInsideACharacter",
                   "{\"session\":\"\xE5\x8D",
                   {},
                   "{\"bytes\":\"eyJzZXNzaW9uIjoi5Y0=\",\"incomplete\":\"{\\\"session\\\":"
                   "\\\"\xEF\xBF\xBD\xEF\xBF\xBD\"}\n"
                       + kTwoLines,
                   true,
                   nullptr},
        // Up to 4096 bytes are taken up as the line's text; a longer one is left as it is,
        // ended, and named by the line after it, which takes up its first 4096.
        RecordRow {"ACutLineAtTheBound",
                   "{\"session\":1}\n" + QByteArray(4096, 'a'),
                   {},
                   "{\"session\":1}\n{\"incomplete\":\"" + QByteArray(4096, 'a') + "\"}\n"
                       + kTwoLines,
                   true,
                   nullptr},
        RecordRow {"ACutLineBeyondTheBound",
                   "{\"session\":1}\n" + QByteArray(4097, 'a'),
                   {},
                   "{\"session\":1}\n" + QByteArray(4097, 'a') + "\n{\"incomplete\":\""
                       + QByteArray(4096, 'a') + "\",\"left\":{\"bytes\":4097,\"offset\":14}}\n"
                       + kTwoLines,
                   true,
                   nullptr},
        RecordRow {"OnlyALineCutShort",
                   "{\"ses",
                   {},
                   "{\"incomplete\":\"{\\\"ses\"}\n" + kTwoLines,
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
                   "removed or replaced"},
        // Someone else's file, whose last line has no end: never rewritten, not even appended to.
        RecordRow {"NotASessionRecord",
                   "root:x:0:0:root:/root:/bin/bash",
                   {},
                   {},
                   false,
                   nullptr,
                   "it is not a session record (its first line is no {\"session\": ...}); name "
                   "a new file, or a record this program began"}),
    qm5083::testing::RowName {});

// A device is no record: the record goes to a regular file only (and /dev/full would take no
// line at all).
TEST(SessionRecordOnADevice, IsRefusedAtOpening)
{
    QString error;
    QString notice;
    EXPECT_FALSE(reports::SessionLog::open("/dev/full", error, notice));
    EXPECT_EQ(error.toStdString(),
              "it is not a regular file (a device, a pipe or a socket); the "
              "record goes to a file only");
}

} // namespace
