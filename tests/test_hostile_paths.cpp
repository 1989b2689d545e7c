// Files the program writes, where someone else has been first: a link, a link swapped in while the
// program waits, a pipe, a folder, another user's file in a folder everyone may write, a umask of
// 000. Each row names what the program says and checks that nothing it should not touch was
// touched. Run as root (as CI runs it), the rows work in a tmpfs mounted in a mount namespace of
// their own, and the rows that need root run too.

#include "command_line.h"
#include "meter_address.h"
#include "report_file.h"
#include "script_runner.h"
#include "session_log.h"
#include "setup.h"
#include "simulated_state.h"
#include "support/captured_output.h"
#include "support/row_name.h"
#include "support/sysfs_fixture.h"
#include "text_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace qm5083;
using namespace qm5083::testing;

namespace {

constexpr uid_t kOtherUser = 5083;
const std::string kVictim = "a file someone else keeps\n";

enum class Target { Setup, SetupNamingAFile, Report, Log, Readings, Picture };

struct HostileRow
{
    const char *name;
    Target target;
    std::function<void(const QDir &)> prepare;   // before the program looks
    std::function<void(const QDir &)> meanwhile; // after its check, before it writes
    const char *problem;                         // what it says; empty: it goes ahead
    bool needsRoot = false;
    const char *file = nullptr; // the report's or record's path in the folder, if not the usual
};

void PrintTo(const HostileRow &row, std::ostream *os)
{
    *os << row.name;
}

std::string contents(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void link(const QDir &dir, const char *name, const char *to)
{
    ASSERT_EQ(
        ::symlink(dir.filePath(to).toStdString().c_str(), dir.filePath(name).toStdString().c_str()),
        0);
}

// A folder reached through a link of another user's, as another user's /tmp/x may lead elsewhere.
void linkedFolder(const QDir &dir, uid_t owner)
{
    dir.mkdir("real");
    link(dir, "hop", "real");
    ASSERT_EQ(::lchown(dir.filePath("hop").toStdString().c_str(), owner, owner), 0);
}

void fifo(const QDir &dir, const char *name)
{
    ASSERT_EQ(::mkfifo(dir.filePath(name).toStdString().c_str(), 0600), 0);
}

// A folder everyone may write, as /tmp is, holding a file of another user's.
void othersFileInSharedFolder(const QDir &dir, const char *name)
{
    dir.mkdir("shared");
    ::chmod(dir.filePath("shared").toStdString().c_str(), 01777);
    const std::string file = dir.filePath(QStringLiteral("shared/") + name).toStdString();
    std::ofstream(file) << "{\"session\":1}\n";
    ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherUser), 0);
}

class NoSystemChanges final : public commands::SystemSetup
{
public:
    bool isRoot() const override { return true; }
    std::optional<std::string> sudoUser() const override { return std::nullopt; }
    bool groupExists(const std::string &) const override { return true; }
    bool createGroup(const std::string &) override { return true; }
    bool userInGroup(const std::string &, const std::string &) const override { return true; }
    bool addUserToGroup(const std::string &, const std::string &) override { return true; }
    bool applyUdevRules() override { return true; }
};

// The set-up of ids with its card set-up at config (the built-in one is the program's only).
CapturedOutput setUp(const QString &config, const char *ids, const std::filesystem::path &sysfs)
{
    commands::CardsNamed named
        = commands::cardsNamed(commands::parseCommandLine({"qm5083-bench", "--setup", ids}));
    named.cardsConfig = config.toStdString();
    named.sysfsRoot = sysfs;
    NoSystemChanges system;
    return captureOutput([&](std::FILE *out, std::FILE *err) {
        return commands::runSetup(named, system, out, err);
    });
}

class HostilePath : public ::testing::TestWithParam<HostileRow>
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0) {
            if (GetParam().needsRoot)
                GTEST_SKIP() << "another user's file needs root to make";
            return;
        }
        // Everything below happens in a tmpfs only this process sees.
        ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
        ASSERT_EQ(::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        ASSERT_EQ(::mount("tmpfs", dir_.path().toStdString().c_str(), "tmpfs", 0, "size=1m"), 0);
    }
    void TearDown() override
    {
        if (::geteuid() == 0)
            ::umount2(dir_.path().toStdString().c_str(), MNT_DETACH);
    }

    // What the program said of the target; empty when it went ahead.
    std::string attempt(const QDir &dir, const HostileRow &row)
    {
        switch (row.target) {
        case Target::Setup: {
            tree_.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
            const CapturedOutput output
                = setUp(dir.filePath("etc/cards.conf"), "1234:5678", tree_.root());
            EXPECT_EQ(output.status, output.err.empty() ? 0 : 2) << output.err;
            return output.err;
        }
        case Target::SetupNamingAFile: {
            // As a station's script would give it, run as root: the file named is not touched.
            tree_.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
            commands::CommandLine line = commands::parseCommandLine(
                {"qm5083-bench", "--config", dir.filePath("victim"), "--setup", "1234:5678"});
            line.backends.sysfsRoot = tree_.root();
            NoSystemChanges system;
            const CapturedOutput output = captureOutput([&](std::FILE *out, std::FILE *err) {
                return line.exitCode
                    ? *line.exitCode
                    : commands::runSetup(commands::cardsNamed(line), system, out, err);
            });
            EXPECT_EQ(output.status, 2);
            const QString builtIn = QString::fromStdString(
                commands::parseCommandLine({"qm5083-bench"}).backends.cardsConfig.string());
            QString said = line.errors + QString::fromStdString(output.err);
            return said.replace(builtIn, "@CONF@").toStdString();
        }
        case Target::Report:
            try {
                const commands::ReportTarget target(
                    dir.filePath(row.file ? row.file : "report.json"));
                if (row.meanwhile)
                    row.meanwhile(dir);
                QString why;
                return target.write({{"outcome", "passed"}}, why) ? "" : why.toStdString();
            } catch (const reports::FileRefused &refused) {
                return refused.why.toStdString();
            }
        case Target::Log: {
            QString error;
            QString notice;
            const auto log = reports::SessionLog::open(
                dir.filePath(row.file ? row.file : "shared/session.log"), error, notice);
            return error.toStdString();
        }
        case Target::Readings: {
            const commands::CommandLine line = commands::parseCommandLine(
                {"qm5083-bench", "--simulate", "da-check", "--channel", "0", "--range", "0:10",
                 "--readings", dir.filePath("readings")});
            std::istringstream none;
            const CapturedOutput output = captureOutput([&](std::FILE *out, std::FILE *err) {
                return commands::runScriptCommand(line, none, out, err, nullptr);
            });
            EXPECT_EQ(output.status, 2);
            return output.err;
        }
        case Target::Picture: {
            const commands::CommandLine line = commands::parseCommandLine(
                {"qm5083-bench", "--simulate", "da-check", "--channel", "0", "--range", "0:10",
                 "--meter", "sim", "--plot", dir.filePath("picture.svg")});
            std::istringstream none;
            const CapturedOutput output = captureOutput([&](std::FILE *out, std::FILE *err) {
                return commands::runScriptCommand(line, none, out, err, nullptr);
            });
            EXPECT_EQ(output.status, 2);
            return output.err;
        }
        }
        return "no such target";
    }

    QTemporaryDir dir_;
    SysfsFixture tree_;
};

TEST_P(HostilePath, IsRefusedAndLeavesWhatItFoundAlone)
{
    const HostileRow &row = GetParam();
    const QDir dir(dir_.path());
    dir.mkdir("shared");
    std::ofstream(dir.filePath("victim").toStdString()) << kVictim;
    row.prepare(dir);
    std::string problem = attempt(dir, row);
    for (auto at = problem.find(dir.path().toStdString()); at != std::string::npos;
         at = problem.find(dir.path().toStdString()))
        problem.replace(at, static_cast<std::size_t>(dir.path().size()), "@DIR@");
    EXPECT_EQ(problem, row.problem);
    EXPECT_EQ(contents(dir.filePath("victim")), kVictim) << "the file a link pointed to";
}

const HostileRow kRows[] = {
    {"SetUpThroughALink",
     Target::Setup,
     [](const QDir &dir) {
         dir.mkdir("etc");
         link(dir, "etc/cards.conf", "victim");
     },
     {},
     "qm5083-bench: the card set-up @DIR@/etc/cards.conf was not written: it is a link; give the "
     "file itself; nothing was set up\n"},
    {"SetUpWhoseOldCopyIsAFolder",
     Target::Setup,
     [](const QDir &dir) {
         dir.mkpath("etc/cards.conf.old");
         std::ofstream(dir.filePath("etc/cards.conf").toStdString()) << "ABCD:0001\n";
     },
     {},
     "qm5083-bench: the card set-up @DIR@/etc/cards.conf was not written: "
     "@DIR@/etc/cards.conf.old, where the old one would be kept: it is a folder; nothing was set "
     "up\n"},
    {"SetUpInAFolderEveryoneMayWrite",
     Target::Setup,
     [](const QDir &dir) {
         dir.mkdir("etc");
         ::chmod(dir.filePath("etc").toStdString().c_str(), 0777);
     },
     {},
     "qm5083-bench: the card set-up @DIR@/etc/cards.conf was not written: the folder @DIR@/etc "
     "may be changed by others than its owner or is not root's (owner 0, mode 0777); make it "
     "root's and writable by root alone; nothing was set up\n",
     true},
    // The sticky bit lets a folder on the way be shared, as /tmp is, but not the set-up's own.
    {"SetUpInAStickyFolderEveryoneMayWrite",
     Target::Setup,
     [](const QDir &dir) {
         dir.mkdir("etc");
         ::chmod(dir.filePath("etc").toStdString().c_str(), 01777);
     },
     {},
     "qm5083-bench: the card set-up @DIR@/etc/cards.conf was not written: the folder @DIR@/etc "
     "may be changed by others than its owner or is not root's (owner 0, mode 1777); make it "
     "root's and writable by root alone; nothing was set up\n",
     true},
    {"SetUpInAFolderAnotherUserOwns",
     Target::Setup,
     [](const QDir &dir) {
         dir.mkdir("etc");
         ASSERT_EQ(::chown(dir.filePath("etc").toStdString().c_str(), kOtherUser, kOtherUser), 0);
     },
     {},
     "qm5083-bench: the card set-up @DIR@/etc/cards.conf was not written: the folder @DIR@/etc "
     "may be changed by others than its owner or is not root's (owner 5083, mode 0755); make it "
     "root's and writable by root alone; nothing was set up\n",
     true},
    {"SetUpOfAnotherFile",
     Target::SetupNamingAFile,
     [](const QDir &) {},
     {},
     "qm5083-bench: --setup writes the card set-up the udev helper reads, @CONF@, and no other "
     "file: give no --config\n"},
    {"ReportThroughALink",
     Target::Report,
     [](const QDir &dir) { link(dir, "report.json", "victim"); },
     {},
     "it is a link; give the file itself"},
    {"ReportWhoseLinkCameDuringTheWait", Target::Report, [](const QDir &) {},
     [](const QDir &dir) { link(dir, "report.json", "victim"); },
     "it is a link; give the file itself"},
    {"ReportIntoAPipe",
     Target::Report,
     [](const QDir &dir) { fifo(dir, "report.json"); },
     {},
     "it is not a regular file (a device, a pipe or a socket)"},
    {"ReportOverAFolder",
     Target::Report,
     [](const QDir &dir) { dir.mkdir("report.json"); },
     {},
     "it is a folder"},
    {"LogThroughALink",
     Target::Log,
     [](const QDir &dir) { link(dir, "shared/session.log", "victim"); },
     {},
     "it is a link; give the file itself"},
    {"LogIntoAPipe",
     Target::Log,
     [](const QDir &dir) { fifo(dir, "shared/session.log"); },
     {},
     "it is not a regular file (a device, a pipe or a socket); the record goes to a file only"},
    {"LogAnotherUsersFileInASharedFolder",
     Target::Log,
     [](const QDir &dir) { othersFileInSharedFolder(dir, "session.log"); },
     {},
     "it belongs to another user, in a folder others may write; run as root, the program writes "
     "there only its own files",
     true},
    {"ReportOverAnotherUsersFileInASharedFolder",
     Target::Report,
     [](const QDir &dir) { othersFileInSharedFolder(dir, "report.json"); },
     {},
     "it belongs to another user, in a folder others may write; run as root, the program writes "
     "there only its own files",
     true,
     "shared/report.json"},
    {"ReportThroughAnotherUsersFolderLink",
     Target::Report,
     [](const QDir &dir) { linkedFolder(dir, kOtherUser); },
     {},
     "@DIR@/hop is a link of another user's (uid 5083); run as root, the program follows only "
     "root's links and those of the user who ran it",
     true,
     "hop/report.json"},
    {"ReportThroughItsOwnFolderLink",
     Target::Report,
     [](const QDir &dir) { linkedFolder(dir, ::geteuid()); },
     {},
     "",
     false,
     "hop/report.json"},
    {"LogThroughAnotherUsersFolderLink",
     Target::Log,
     [](const QDir &dir) { linkedFolder(dir, kOtherUser); },
     {},
     "@DIR@/hop is a link of another user's (uid 5083); run as root, the program follows only "
     "root's links and those of the user who ran it",
     true,
     "hop/session.log"},
    {"PictureThroughALink",
     Target::Picture,
     [](const QDir &dir) { link(dir, "picture.svg", "victim"); },
     {},
     "qm5083-bench: da-check: the picture @DIR@/picture.svg cannot be written: it is a link; give "
     "the file itself\n"},
    {"ReadingsFromAPipe",
     Target::Readings,
     [](const QDir &dir) { fifo(dir, "readings"); },
     {},
     "qm5083-bench: da-check: the readings file @DIR@/readings cannot be read: it is not a regular "
     "file; a program that reads the meter pipes the readings to standard input instead\n"},
};

INSTANTIATE_TEST_SUITE_P(Rows, HostilePath, ::testing::ValuesIn(kRows), RowName {});

// What the set-up makes, it makes rwxr-xr-x and rw-r--r-- whatever the umask: under 000 no one
// else may write the folder, under 077 every user of the program may still read the card set-up.
// The old set-up is kept beside the new one the same way.
class SetUpUnderAUmask : public ::testing::TestWithParam<mode_t>
{ };

TEST_P(SetUpUnderAUmask, MakesItsFolderAndFilesReadableByAllAndWritableByRootAlone)
{
    QTemporaryDir dir;
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
    const mode_t before = ::umask(GetParam());
    for (const char *ids : {"1234:5678", "1234:5678:0"})
        EXPECT_EQ(setUp(dir.filePath("new/etc/cards.conf"), ids, tree.root()).status, 0);
    ::umask(before);
    const auto modeOf = [&](const char *name) {
        struct stat status
        { };
        ::stat(dir.filePath(name).toStdString().c_str(), &status);
        return status.st_mode & 07777;
    };
    EXPECT_EQ(modeOf("new"), 0755U);
    EXPECT_EQ(modeOf("new/etc"), 0755U);
    EXPECT_EQ(modeOf("new/etc/cards.conf"), 0644U);
    EXPECT_EQ(modeOf("new/etc/cards.conf.old"), 0644U);
}

INSTANTIATE_TEST_SUITE_P(Umasks, SetUpUnderAUmask, ::testing::Values(0000, 0077));

// Reports, pictures and the dialogs' results folders, made under a umask of 000: a filed verdict
// is its writer's alone to change, as the session record and the card set-up are.
TEST(ReportsUnderAUmaskOf000, AreWritableByTheirWriterAlone)
{
    QTemporaryDir dir;
    std::ofstream(dir.filePath("old.json").toStdString()) << "{}\n";
    ::chmod(dir.filePath("old.json").toStdString().c_str(), 0666);
    const mode_t before = ::umask(0);
    reports::makeFolders(dir.filePath("results/DA"));
    QString why;
    for (const char *name : {"results/DA/new.json", "old.json"})
        EXPECT_TRUE(commands::ReportTarget(dir.filePath(name)).write({{"status", 0}}, why)) << name;
    ::umask(before);
    const auto modeOf = [&](const char *name) {
        struct stat status
        { };
        ::stat(dir.filePath(name).toStdString().c_str(), &status);
        return status.st_mode & 07777;
    };
    EXPECT_EQ(modeOf("results"), 0755U);
    EXPECT_EQ(modeOf("results/DA"), 0755U);
    EXPECT_EQ(modeOf("results/DA/new.json"), 0644U);
    EXPECT_EQ(modeOf("old.json"), 0644U);
}

} // namespace

namespace {

// A program that reads the meter, as a station may have one that misbehaves: what it starts ends
// with the reading, what it prints is read up to a bound, what it says on standard error reaches
// the terminal escaped. @SLEEP@ stands for a sleep only this test runs, counted afterwards.
struct MeterRow
{
    const char *name;
    const char *command;
    const char *timeout;
    std::string err;
};

void PrintTo(const MeterRow &row, std::ostream *os)
{
    *os << row.name;
}

// The processes still running (not yet reaped ones aside) whose command line is exactly words.
int runningWith(const std::string &words)
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
        const std::string text {std::istreambuf_iterator<char>(cmdline), {}};
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        stat >> pid >> name >> state;
        count += text == words && state != "Z" ? 1 : 0;
    }
    return count;
}

// The most this process held resident while fn ran, above what it held before, in kB.
long residentGrowthKb(const std::function<void()> &fn)
{
    const auto statusField = [](const char *field) {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with(field))
                return std::stol(line.substr(std::strlen(field)));
        return 0L;
    };
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
    const long before = statusField("VmRSS:");
    fn();
    return statusField("VmHWM:") - before;
}

class MeterCommand : public ::testing::TestWithParam<MeterRow>
{ };

TEST_P(MeterCommand, EndsWithTheReadingAndIsReadUpToABound)
{
    const MeterRow &row = GetParam();
    const std::string sleep = "sleep " + std::to_string(1000 + ::getpid() % 1000) + ".5";
    const auto withSleep = [&](std::string text) {
        for (auto at = text.find("@SLEEP@"); at != std::string::npos; at = text.find("@SLEEP@"))
            text.replace(at, 7, sleep);
        return text;
    };
    const std::string command = withSleep(row.command);
    std::string expected = withSleep(row.err);
    if (const auto at = expected.find("@COMMAND@"); at != std::string::npos)
        expected.replace(at, 9, convert::excerpt(command)); // as a message quotes it
    const commands::CommandLine line = commands::parseCommandLine(
        {"qm5083-bench", "--simulate", "da-check", "--channel", "1", "--range", "0:4.096",
         "--points", "2", "--meter-timeout", row.timeout, "--meter",
         QString::fromStdString("command:" + command)});
    ASSERT_FALSE(line.exitCode) << line.errors.toStdString();
    std::istringstream none;
    CapturedOutput output {};
    const long growth = residentGrowthKb([&] {
        output = captureOutput([&](std::FILE *out, std::FILE *err) {
            return commands::runScriptCommand(line, none, out, err, nullptr);
        });
    });
    EXPECT_EQ(output.status, 2);
    EXPECT_EQ(output.err, expected);
    EXPECT_LT(growth, 50 * 1024) << "kB resident, above what the test held before";
    std::string words = sleep;
    words.replace(words.find(' '), 1, std::string(1, '\0'));
    EXPECT_EQ(runningWith(words + '\0'), 0) << "of the meter command's children left running";
}

const MeterRow kMeterRows[] = {
    {"ItsChildrenEndWithItsTimeout", "@SLEEP@ & @SLEEP@ & @SLEEP@", "1",
     "qm5083-bench: da-check: the meter command \"@COMMAND@\" gave no reading within 1 s at code "
     "0; DA1 is left at code 0\n"},
    // A reading, and a child left behind, which goes with the reading: the next code's run
    // fails, and none of them is left.
    {"ItsChildrenEndWithItsReading", "@SLEEP@ & test $QM5083_DA_CODE = 0 && echo 0", "5",
     "qm5083-bench: da-check: the meter command \"@COMMAND@\" failed (exit status 1) at code 1; "
     "DA1 is left at code 0\n"},
    {"ItsOutputHasABound", "head -c 100000000 /dev/zero; echo 5", "10",
     "qm5083-bench: da-check: the meter command \"@COMMAND@\" printed more than 4096 bytes, which "
     "is no reading at code 0; DA1 is left at code 0\n"},
    {"OutputWithoutEnd", "yes", "2",
     "qm5083-bench: da-check: the meter command \"yes\" printed more than 4096 bytes, which is no "
     "reading at code 0; DA1 is left at code 0\n"},
    {"ItsStandardErrorEscaped", "printf 'moved\\033[2J\\302\\205\\n' >&2; exit 4", "5",
     "moved\\x1B[2J\\u0085\n"
     "qm5083-bench: da-check: the meter command \"@COMMAND@\" failed (exit status 4) at code 0; "
     "DA1 is left at code 0\n"},
};

INSTANTIATE_TEST_SUITE_P(Rows, MeterCommand, ::testing::ValuesIn(kMeterRows), RowName {});

} // namespace

namespace {

// Outside text that looks like a message's own placeholders (%1, %2) is shown as it is: each
// message substitutes it once, never again with the arguments after it.
struct PlaceholderRow
{
    const char *name;
    std::function<std::string(const QDir &)> said; // what the program said, with @DIR@
    const char *expected;
};

void PrintTo(const PlaceholderRow &row, std::ostream *os)
{
    *os << row.name;
}

class OutsideTextLikePlaceholders : public ::testing::TestWithParam<PlaceholderRow>
{ };

TEST_P(OutsideTextLikePlaceholders, IsShownAsItIs)
{
    QTemporaryDir dir;
    QString said = QString::fromStdString(GetParam().said(QDir(dir.path())));
    EXPECT_EQ(
        said.replace(dir.path(), "@DIR@").toStdString(),
        QString(GetParam().expected).replace("@UID@", QString::number(::geteuid())).toStdString());
}

std::string daCheck(const QStringList &arguments)
{
    const commands::CommandLine line = commands::parseCommandLine(
        QStringList {"qm5083-bench", "--simulate", "da-check", "--channel", "1", "--range",
                     "0:4.096", "--points", "2"}
        + arguments);
    std::istringstream none;
    return captureOutput([&](std::FILE *out, std::FILE *err) {
               return commands::runScriptCommand(line, none, out, err, nullptr);
           })
        .err;
}

const PlaceholderRow kPlaceholderRows[] = {
    {"AReadingsFileName",
     [](const QDir &dir) {
         std::ofstream file(dir.filePath("r%1x%2.txt").toStdString());
         for (int i = 0; i < 11; ++i)
             file << "0\n";
         file.close();
         return daCheck({"--readings", dir.filePath("r%1x%2.txt")});
     },
     "qm5083-bench: da-check: the readings file @DIR@/r%1x%2.txt has 11 readings; the check takes "
     "10, one a line in the order of its codes\n"},
    {"AMeterCommand",
     [](const QDir &) {
         return daCheck({"--meter", "command:echo %1; exit 3"});
     },
     "qm5083-bench: da-check: the meter command \"echo %1; exit 3\" failed (exit status 3) at code "
     "0; DA1 is left at code 0\n"},
    {"AFolderOnTheWayToTheCardSetUp",
     [](const QDir &dir) {
         dir.mkdir("%1");
         ::chmod(dir.filePath("%1").toStdString().c_str(), 0777);
         SysfsFixture tree;
         return setUp(dir.filePath("%1/cards.conf"), "1234:5678", tree.root()).err;
     },
     "qm5083-bench: the card set-up @DIR@/%1/cards.conf was not written: the folder @DIR@/%1 may "
     "be changed by others than its owner or is not root's (owner @UID@, mode 0777); make it "
     "root's and writable by root alone; nothing was set up\n"},
};

INSTANTIATE_TEST_SUITE_P(Rows, OutsideTextLikePlaceholders, ::testing::ValuesIn(kPlaceholderRows),
                         RowName {});

} // namespace

namespace {

class AnyoneWhoMayOpen final : public commands::UserAccess
{
public:
    std::string name() const override { return "tester"; }
    bool mayOpen(const std::filesystem::path &) const override { return true; }
    bool listedIn(const std::string &) const override { return true; }
    bool hasGroup(const std::string &) const override { return true; }
};

// Group qm5083 (gid 5084), in a copy of /etc/group that only this test's mount namespace sees.
class WithTheCardGroup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "a group of the test's own needs root to add";
        ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
        ASSERT_EQ(::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        const std::string groups = dir.filePath("group").toStdString();
        {
            std::ifstream system("/etc/group");
            std::ofstream(groups) << system.rdbuf() << "qm5083:x:5084:\n";
        }
        ASSERT_EQ(::mount(groups.c_str(), "/etc/group", nullptr, MS_BIND, nullptr), 0);
    }
    void TearDown() override
    {
        if (::geteuid() == 0)
            ::umount2("/etc/group", MNT_DETACH);
    }
    QTemporaryDir dir;
};

// A region file group qm5083 may only read is not open to the group, and --check-setup says so.
TEST_F(WithTheCardGroup, CheckSetupSaysARegionFileTheGroupMayOnlyReadIsNotOpenToIt)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
    const std::filesystem::path region = tree.resourceFile("0000:03:00.0", 0);
    ASSERT_EQ(::chown(region.c_str(), 0, 5084), 0);
    ASSERT_EQ(::chmod(region.c_str(), 0640), 0);
    const commands::CardsNamed named {{{0x1234, 0x5678}}, true, {}, {}, tree.root()};
    const CapturedOutput output = captureOutput([&](std::FILE *out, std::FILE *err) {
        return commands::runSetupCheck(named, AnyoneWhoMayOpen {},
                                       dir.filePath("no-lockdown").toStdString(), out, err);
    });
    EXPECT_NE(output.out.find("FAIL card 1: " + region.string()
                              + " is group qm5083, rwr---, not open to group qm5083: the udev rule "
                                "has not reached it; run the set-up again (sudo qm5083-bench "
                                "--setup ...)\n"),
              std::string::npos)
        << output.out;
}

// A device whose ids the udev helper cannot read is no listed card: what the group held of it
// from an earlier grant is taken back, not left in place.
TEST_F(WithTheCardGroup, TheHelperTakesBackTheFilesOfADeviceItCannotRead)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {io(0xe000, 0x20)}});
    const std::filesystem::path region = tree.resourceFile("0000:03:00.0", 0);
    ASSERT_EQ(::chown(region.c_str(), 0, 5084), 0);
    ASSERT_EQ(::chmod(region.c_str(), 0660), 0);
    tree.remove("0000:03:00.0", "vendor");
    std::ofstream(dir.filePath("cards.conf").toStdString()) << "1234:5678\n";
    const std::string command = std::string(QM5083_CARD_ACCESS) + " --config '"
        + dir.filePath("cards.conf").toStdString() + "' '" + tree.deviceDir("0000:03:00.0").string()
        + "' 2>" + dir.filePath("said").toStdString();
    EXPECT_NE(std::system(command.c_str()), 0);
    struct stat status
    { };
    ASSERT_EQ(::stat(region.c_str(), &status), 0);
    EXPECT_EQ(status.st_gid, 0U);
    EXPECT_EQ(status.st_mode & 07777, 0600U);
    std::ifstream said(dir.filePath("said").toStdString());
    EXPECT_NE(
        std::string(std::istreambuf_iterator<char>(said), {})
            .find("vendor: No such file or directory; nothing of it is given to group qm5083"),
        std::string::npos);
}

// A record followed by 200 MB of NUL bytes, as a damaged disk may leave it: what is taken up
// stays within a bound, in memory and in the file, and the record goes on.
TEST(SessionRecordAfterDamage, TakesUpABoundedLineAndGoesOn)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("session.log").toStdString();
    std::ofstream(path) << "{\"session\":1}\n";
    constexpr off_t kDamage = off_t {200} << 20;
    ASSERT_EQ(::truncate(path.c_str(), 14 + kDamage), 0); // zeros, without writing them
    QString error;
    QString notice;
    std::unique_ptr<reports::SessionLog> log;
    const long growth = residentGrowthKb(
        [&] { log = reports::SessionLog::open(QString::fromStdString(path), error, notice); });
    ASSERT_TRUE(log) << error.toStdString();
    EXPECT_LT(growth, 50 * 1024) << "kB resident, above what the test held before";
    EXPECT_TRUE(notice.contains("209715200 bytes long from byte 14")) << notice.toStdString();
    log->append({{"operation", "in"}});
    log.reset();
    EXPECT_LT(std::filesystem::file_size(path), 14 + kDamage + 65536);
    std::ifstream record(path);
    record.seekg(14 + kDamage);
    std::string line;
    ASSERT_TRUE(std::getline(record, line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(std::getline(record, line));
    EXPECT_TRUE(line.starts_with("{\"incomplete\":\"\\u0000\\u0000")) << line.substr(0, 40);
    EXPECT_TRUE(line.ends_with("\"left\":{\"bytes\":209715200,\"offset\":14}}")) << line;
    ASSERT_TRUE(std::getline(record, line));
    EXPECT_TRUE(line.starts_with("{\"operation\":\"in\"")) << line;
}

// Root run with another user's environment (sudo -E): the simulated cards' state goes to root's
// own folder, never into that user's runtime folder, where a folder of root's would lock the
// user out. /tmp is a tmpfs of this test's own mount namespace.
TEST(RuntimeFolderAsRoot, AnotherUsersIsLeftAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "another user's runtime folder needs root to make";
    ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
    ASSERT_EQ(::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    ASSERT_EQ(::mount("tmpfs", "/tmp", "tmpfs", 0, "size=1m"), 0);
    const QByteArray kept = qgetenv("XDG_RUNTIME_DIR");
    {
        QTemporaryDir theirs;
        ASSERT_EQ(::chown(theirs.path().toStdString().c_str(), kOtherUser, kOtherUser), 0);
        qputenv("XDG_RUNTIME_DIR", theirs.path().toLocal8Bit());
        EXPECT_EQ(hardware::defaultSimulatedStateDir(), "/tmp/qm5083-bench-0");
        const commands::CommandLine line
            = commands::parseCommandLine({"qm5083-bench", "--simulate", "out", "1", "2", "3", "4"});
        std::istringstream none;
        EXPECT_EQ(captureOutput([&](std::FILE *out, std::FILE *err) {
                      return commands::runScriptCommand(line, none, out, err, nullptr);
                  }).status,
                  0);
        EXPECT_FALSE(QFileInfo::exists(theirs.filePath("qm5083-bench")));
        EXPECT_TRUE(QFileInfo::exists("/tmp/qm5083-bench-0/card1.state"));
    }
    qputenv("XDG_RUNTIME_DIR", kept);
    ::umount2("/tmp", MNT_DETACH);
}

// What a libsigrok meter reads is taken only as DC volts: a reading flagged AC and DC together
// (a meter on AC+DC) is refused, named as its function, as AC alone is.
TEST(MeterFunction, IsDcVoltsOrNamed)
{
    EXPECT_EQ(sigrok::otherFunction("voltage", true, true, false), "");
    EXPECT_EQ(sigrok::otherFunction("voltage", true, false, true), "AC voltage");
    EXPECT_EQ(sigrok::otherFunction("voltage", true, true, true), "AC+DC voltage");
    EXPECT_EQ(sigrok::otherFunction("voltage", true, false, false), "voltage");
    EXPECT_EQ(sigrok::otherFunction("current", false, true, false), "DC current");
}

} // namespace
