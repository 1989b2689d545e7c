// The card set-up (--setup) on a system that records what it is asked to change, and its check
// (--check-setup) on fixture sysfs trees, for users in and out of the group.

#include "command_line.h"
#include "setup.h"
#include "support/captured_output.h"
#include "support/row_name.h"
#include "support/sysfs_fixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

using namespace qm5083;
using namespace qm5083::testing;

namespace {

// Runs fn on two temporary files; what each received, with the tree's and the set-up's
// directory written as @ROOT@ and @DIR@.
CapturedOutput capture(const std::function<int(std::FILE *, std::FILE *)> &fn,
                       const std::string &root, const std::string &dir)
{
    CapturedOutput output = captureOutput(fn);
    for (std::string *text : {&output.out, &output.err}) {
        for (const auto &[path, mark] : {std::pair {root, "@ROOT@"}, {dir, "@DIR@"}})
            for (auto at = text->find(path); at != std::string::npos; at = text->find(path))
                text->replace(at, path.size(), mark);
    }
    return output;
}

class Tester final : public commands::UserAccess
{
public:
    bool listed = false;
    bool hasIt = false;
    std::string name() const override { return "tester"; }
    bool mayOpen(const std::filesystem::path &) const override { return hasIt; }
    bool listedIn(const std::string &) const override { return listed; }
    bool hasGroup(const std::string &) const override { return hasIt; }
};

struct CheckRow
{
    const char *name;
    std::optional<std::string> config; // the set-up's text; none: no file; "/": a folder
    bool listed;
    bool hasGroup;
    std::uint16_t command; // the card's PCI command register
    const char *lockdown;
    int status;
    std::string out;
    // Another board on the same chip at 0000:04:00.0, subsystem 8086:0001, with this PCI command
    // register; none: no such board.
    std::optional<std::uint16_t> twin = std::nullopt;
    mode_t configMode = 0644; // the card set-up's
};

void PrintTo(const CheckRow &row, std::ostream *os)
{
    *os << row.name;
}

class SetupCheck : public ::testing::TestWithParam<CheckRow>
{ };

const std::string kRegionFile = "FAIL card 1: @ROOT@/devices/0000:03:00.0/resource1 is group ";

TEST_P(SetupCheck, SaysWhatStandsBetweenTheUserAndCard1)
{
    SysfsFixture tree;
    FixtureDevice card {
        "0000:03:00.0", 0x1234, 0x5678, {mem(0xf7e00000, 0x1000), io(0xe000, 0x20)}};
    card.command = GetParam().command;
    tree.add(card);
    if (GetParam().twin)
        tree.add({"0000:04:00.0",
                  0x1234,
                  0x5678,
                  {io(0xe100, 0x20)},
                  *GetParam().twin,
                  0x118000,
                  16,
                  std::pair {0x8086, 0x0001}});
    QTemporaryDir dir;
    if (GetParam().config == "/")
        QDir(dir.path()).mkdir("cards.conf");
    else if (GetParam().config)
        std::ofstream(dir.filePath("cards.conf").toStdString()) << *GetParam().config;
    ::chmod(dir.filePath("cards.conf").toStdString().c_str(), GetParam().configMode);
    std::ofstream(dir.filePath("lockdown").toStdString()) << GetParam().lockdown << "\n";
    commands::CommandLine commandLine = commands::parseCommandLine(
        {"qm5083-bench", "--check-setup", "--config", dir.filePath("cards.conf")});
    commandLine.backends.sysfsRoot = tree.root();
    Tester user;
    user.listed = GetParam().listed;
    user.hasIt = GetParam().hasGroup;
    const CapturedOutput output = capture(
        [&](std::FILE *out, std::FILE *err) {
            return commands::runSetupCheck(commands::cardsNamed(commandLine), user,
                                           dir.filePath("lockdown").toStdString(), out, err);
        },
        tree.root().string(), dir.path().toStdString());
    EXPECT_EQ(output.status, GetParam().status);
    // The region file's group and mode are the test's own: that line only has to be there.
    std::istringstream expected(GetParam().out);
    std::istringstream actual(output.out);
    std::string want;
    std::string got;
    while (std::getline(expected, want)) {
        ASSERT_TRUE(std::getline(actual, got)) << "no line for: " << want;
        if (want == "@REGION@")
            EXPECT_EQ(got.rfind(kRegionFile, 0), 0U) << got;
        else if (want == "@REGION2@")
            EXPECT_EQ(got.rfind("FAIL card 2: @ROOT@/devices/0000:04:00.0/resource0 is group ", 0),
                      0U)
                << got;
        else
            EXPECT_EQ(got, want);
    }
    EXPECT_FALSE(std::getline(actual, got)) << "and more: " << got;
}

// The fixture's region files belong to whoever runs the tests, never to group qm5083.
// Two boards on one chip, each named by its subsystem ids.
const char *const kBoth = "1234:5678/1234:5678\n1234:5678/8086:0001\n";
const std::string kBothFound
    = "OK   card set-up @DIR@/cards.conf: 1234:5678/1234:5678, 1234:5678/8086:0001\n"
      "OK   card 1: 0000:03:00.0 (1234:5678, subsystem 1234:5678), BAR 1, base E000\n";
const std::string kCard2
    = "OK   card 2: 0000:04:00.0 (1234:5678, subsystem 8086:0001), BAR 0, base E100\n";

const std::string kFound
    = "OK   card set-up @DIR@/cards.conf: 1234:5678\n"
      "OK   card 1: 0000:03:00.0 (1234:5678, subsystem 1234:5678), BAR 1, base E000\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, SetupCheck,
    ::testing::Values(
        CheckRow {"NoSetUp", std::nullopt, true, true, 0x0003, "[none] integrity", 1,
                  "FAIL no card set-up @DIR@/cards.conf: run sudo qm5083-bench --setup VVVV:DDDD "
                  "once, with the ids lspci -nn shows for the card\n"
                  "OK   kernel lockdown: none\n"},
        CheckRow {"MalformedLine", "1234:5678\nzz\n", true, true, 0x0003, "[none]", 1,
                  "FAIL @DIR@/cards.conf, line 2: \"zz\" is not VVVV:DDDD[:BAR][/SSSS:TTTT] "
                  "(vendor and device id, four hex digits each as lspci -nn shows them, BAR 0 to "
                  "5, and the subsystem's ids as lspci -nnv shows them); correct it, or set the "
                  "cards up again with sudo qm5083-bench --setup\n"
                  "OK   kernel lockdown: none\n"},
        // A NUL would glue two lines of this check together; it is the line's fault instead.
        CheckRow {"NulInALine", std::string("1234:5678\n\0zz\n", 14), true, true, 0x0003, "[none]",
                  1,
                  "FAIL @DIR@/cards.conf, line 2: \"\\x00zz\" holds the control character "
                  "\\x00; correct it, or set the cards up again with sudo qm5083-bench --setup\n"
                  "OK   kernel lockdown: none\n"},
        // A C1 control, named as the character it is (the udev helper's parser is this one).
        CheckRow {"C1ControlInALine", "1234:5678\n\xC2\x85zz\n", true, true, 0x0003, "[none]", 1,
                  "FAIL @DIR@/cards.conf, line 2: \"\\u0085zz\" holds the control character "
                  "\\u0085; correct it, or set the cards up again with sudo qm5083-bench --setup\n"
                  "OK   kernel lockdown: none\n"},
        CheckRow {"OneCardNamedTwice", "1234:5678\n1234:5678:1\n", true, true, 0x0003, "[none]", 1,
                  "FAIL @DIR@/cards.conf, line 2: 1234:5678:1 names a card that line 1 names "
                  "already (1234:5678); each card is named once; correct it, or set the cards up "
                  "again with sudo qm5083-bench --setup\n"
                  "OK   kernel lockdown: none\n"},
        // The udev helper gives the group no card from it, and says so; so does the check.
        CheckRow {"SetUpTheGroupMayChange", "1234:5678\n", true, true, 0x0003, "[none]", 1,
                  "FAIL the card set-up @DIR@/cards.conf is not used: group or others may change "
                  "it (mode 0664); the udev helper gives the group no card from it either. Make "
                  "it and its folder root's and writable by root alone (sudo chown root: FILE; "
                  "sudo chmod go-w FILE), or set the cards up again with sudo qm5083-bench "
                  "--setup\nOK   kernel lockdown: none\n",
                  std::nullopt, 0664},
        CheckRow {"SetUpIsAFolder", "/", true, true, 0x0003, "[none]", 1,
                  "FAIL the card set-up @DIR@/cards.conf cannot be read: it is a folder, not a "
                  "file\nOK   kernel lockdown: none\n"},
        CheckRow {"TwinBoardLeftOut", "1234:5678/1234:5678\n", true, true, 0x0003, "[none]", 0,
                  "OK   card set-up @DIR@/cards.conf: 1234:5678/1234:5678\n"
                  "OK   card 1: 0000:03:00.0 (1234:5678, subsystem 1234:5678), BAR 1, base E000\n"
                  "OK   card 1: I/O decoding is on\n@REGION@\nOK   card 1: tester can open it\n"
                  "WARN 0000:04:00.0 has the ids 1234:5678 but the subsystem ids 8086:0001, not "
                  "1234:5678: another board on the same chip; it is not listed and stays closed\n"
                  "OK   kernel lockdown: none\n",
                  0x0003},
        // Card 1 decides, whatever the cards after it.
        CheckRow {"JudgedByCard1NotTheLast", kBoth, true, true, 0x0003, "[none]", 0,
                  kBothFound
                      + "OK   card 1: I/O decoding is on\n@REGION@\n"
                        "OK   card 1: tester can open it\n"
                      + kCard2
                      + "FAIL card 2: I/O decoding is off, so no port reaches it: load the card's "
                        "driver, or sudo setpci -s 0000:04:00.0 COMMAND=0001:0001\n@REGION2@\n"
                        "OK   card 2: tester can open it\nOK   kernel lockdown: none\n",
                  0x0002},
        CheckRow {"Card1UnusableCard2Fine", kBoth, true, true, 0x0002, "[none]", 1,
                  kBothFound
                      + "FAIL card 1: I/O decoding is off, so no port reaches it: load the card's "
                        "driver, or sudo setpci -s 0000:03:00.0 COMMAND=0001:0001\n@REGION@\n"
                        "OK   card 1: tester can open it\n"
                      + kCard2
                      + "OK   card 2: I/O decoding is on\n@REGION2@\n"
                        "OK   card 2: tester can open it\nOK   kernel lockdown: none\n",
                  0x0003},
        // Everything in place but the kernel's lockdown: no port can be written.
        CheckRow {
            "LockedDownAlone", "1234:5678\n", true, true, 0x0003, "none [integrity]", 1,
            kFound
                + "OK   card 1: I/O decoding is on\n@REGION@\nOK   card 1: tester can open it\n"
                  "FAIL kernel lockdown is integrity: port writes are refused; boot with "
                  "Secure Boot off and no lockdown= parameter\n"},
        CheckRow {"InTheGroupButNotLoggedInAgain", "1234:5678\n", true, false, 0x0003, "[none]", 1,
                  kFound
                      + "OK   card 1: I/O decoding is on\n@REGION@\n"
                        "FAIL card 1: tester is in group qm5083 but has not logged in again "
                        "since: log out and in\nOK   kernel lockdown: none\n"},
        CheckRow {"NotInTheGroupUnderLockdown", "1234:5678\n", false, false, 0x0003,
                  "none [integrity]", 1,
                  kFound
                      + "OK   card 1: I/O decoding is on\n@REGION@\n"
                        "FAIL card 1: tester is not in group qm5083: sudo usermod -aG qm5083 "
                        "tester, then log in again\n"
                        "FAIL kernel lockdown is integrity: port writes are refused; boot with "
                        "Secure Boot off and no lockdown= parameter\n"},
        CheckRow {"DecodingOff", "1234:5678\n", true, true, 0x0002, "[none]", 1,
                  kFound
                      + "FAIL card 1: I/O decoding is off, so no port reaches it: load the card's "
                        "driver, or sudo setpci -s 0000:03:00.0 COMMAND=0001:0001\n@REGION@\n"
                        "OK   card 1: tester can open it\nOK   kernel lockdown: none\n"}),
    RowName {});

// Records what the set-up changes, as a system would have it afterwards.
class RecordingSystem final : public commands::SystemSetup
{
public:
    bool root = true;
    bool group = false;
    bool member = false;
    bool udevWorks = true;
    bool groupaddWorks = true;
    std::vector<std::string> changes;

    bool isRoot() const override { return root; }
    std::optional<std::string> sudoUser() const override { return "alice"; }
    bool groupExists(const std::string &) const override { return group; }
    bool createGroup(const std::string &name) override
    {
        changes.push_back("groupadd " + name);
        return group = groupaddWorks;
    }
    bool userInGroup(const std::string &, const std::string &) const override { return member; }
    bool addUserToGroup(const std::string &user, const std::string &name) override
    {
        changes.push_back("usermod " + user + " " + name);
        return member = true;
    }
    bool applyUdevRules() override
    {
        changes.push_back("udev");
        return udevWorks;
    }
};

TEST(Setup, KeepsTheIdsAddsTheUserAndChangesNothingMoreTheSecondTime)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {mem(0xf7e00000, 0x1000), io(0xe000, 0x20)}});
    QTemporaryDir dir;
    const commands::CommandLine commandLine
        = commands::parseCommandLine({"qm5083-bench", "--setup", "1234:5678"});
    ASSERT_FALSE(commandLine.exitCode) << commandLine.errors.toStdString();
    commands::CardsNamed named = commands::cardsNamed(commandLine);
    named.cardsConfig = dir.filePath("etc/cards.conf").toStdString();
    named.sysfsRoot = tree.root();
    RecordingSystem system;
    const auto setUp = [&] {
        return capture([&](std::FILE *out,
                           std::FILE *err) { return commands::runSetup(named, system, out, err); },
                       tree.root().string(), dir.path().toStdString());
    };
    const CapturedOutput first = setUp();
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out,
              "Wrote @DIR@/etc/cards.conf: 1234:5678.\n"
              "Created group qm5083.\n"
              "Added alice to group qm5083.\n"
              "Reloaded the udev rules and applied them to every PCI device: the cards listed "
              "are open to group qm5083, and no other device is.\n"
              "Card 1: 0000:03:00.0 (1234:5678, subsystem 1234:5678), BAR 1, base E000.\n"
              "Next: alice logs out and in again, then starts qm5083-bench from the "
              "menu; qm5083-bench --check-setup tells whether all is ready.\n");
    std::ifstream written(dir.filePath("etc/cards.conf").toStdString());
    std::string line;
    std::vector<std::string> ids;
    while (std::getline(written, line))
        if (!line.starts_with('#'))
            ids.push_back(line);
    EXPECT_EQ(ids, std::vector<std::string> {"1234:5678"});

    const CapturedOutput second = setUp();
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out.substr(0, second.out.find("Reloaded")),
              "The card set-up @DIR@/etc/cards.conf already names 1234:5678.\n"
              "Group qm5083 exists.\n"
              "alice is in group qm5083.\n");
    EXPECT_EQ(
        system.changes,
        (std::vector<std::string> {"groupadd qm5083", "usermod alice qm5083", "udev", "udev"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("etc/cards.conf.old")));

    system.udevWorks = false;
    EXPECT_EQ(setUp().status, 1) << "a step that failed";
    system.udevWorks = true;
    system.group = false;
    system.groupaddWorks = false;
    EXPECT_EQ(setUp().status, 1) << "groupadd failed";

    system.root = false;
    const CapturedOutput notRoot = setUp();
    EXPECT_EQ(notRoot.status, 2);
    EXPECT_EQ(notRoot.err,
              "qm5083-bench: --setup changes the system: run it with sudo, as sudo "
              "qm5083-bench --setup 1234:5678\n");
}

} // namespace

namespace {

// --setup refuses, with nothing written, what would open no port region or a card twice.
struct RefusedRow
{
    const char *name;
    const char *ids;
    std::string err;
};

void PrintTo(const RefusedRow &row, std::ostream *os)
{
    *os << row.name;
}

class SetupRefused : public ::testing::TestWithParam<RefusedRow>
{ };

TEST_P(SetupRefused, WritesNothing)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {mem(0xf7e00000, 0x1000), io(0xe000, 0x20)}});
    tree.add({"0000:05:00.0", 0x1234, 0x9999, {mem(0xf7f00000, 0x1000)}});
    QTemporaryDir dir;
    const commands::CommandLine commandLine = commands::parseCommandLine(
        QStringList {"qm5083-bench", "--setup"} + QString(GetParam().ids).split(' '));
    commands::CardsNamed named = commands::cardsNamed(commandLine);
    named.cardsConfig = dir.filePath("cards.conf").toStdString();
    named.sysfsRoot = tree.root();
    RecordingSystem system;
    const CapturedOutput output = capture(
        [&](std::FILE *out, std::FILE *err) {
            return commandLine.exitCode ? *commandLine.exitCode
                                        : commands::runSetup(named, system, out, err);
        },
        tree.root().string(), dir.path().toStdString());
    EXPECT_EQ(output.status, 2);
    EXPECT_EQ(output.err.empty() ? commandLine.errors.toStdString() : output.err, GetParam().err);
    EXPECT_FALSE(QFile::exists(dir.filePath("cards.conf")));
    EXPECT_TRUE(system.changes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetupRefused,
    ::testing::Values(
        RefusedRow {
            "AMemoryBar", "1234:5678:0",
            "qm5083-bench: nothing was set up: 0000:03:00.0 (1234:5678, subsystem "
            "1234:5678) cannot be used: BAR 0 is a memory BAR, not an I/O BAR; name its I/O "
            "BAR, as VVVV:DDDD:BAR (lspci -vv -s 0000:03:00.0 lists its regions; I/O BARs "
            "show \"I/O ports\")\n"},
        RefusedRow {"ADeviceWithNoIoBar", "1234:9999",
                    "qm5083-bench: nothing was set up: 0000:05:00.0 (1234:9999, subsystem "
                    "1234:9999) cannot be used: it has no I/O BAR; name its I/O BAR, as "
                    "VVVV:DDDD:BAR (lspci -vv -s 0000:05:00.0 lists its regions; I/O BARs show "
                    "\"I/O ports\")\n"},
        RefusedRow {"OneCardTwice", "1234:5678 1234:5678:1",
                    "qm5083-bench: --setup 1234:5678 and 1234:5678:1 can name the same card; name "
                    "each card once\n"}),
    RowName {});

} // namespace

namespace {

// Who ran sudo, as the password database knows the account: the environment is the caller's own
// to set, and a name reaches usermod only when it is an account with the uid sudo noted.
struct SudoRow
{
    const char *name;
    const char *user;
    const char *uid;
    std::optional<std::string> added;
};

void PrintTo(const SudoRow &row, std::ostream *os)
{
    *os << row.name;
}

class SudoUser : public ::testing::TestWithParam<SudoRow>
{ };

TEST_P(SudoUser, IsAnAccountWithItsOwnUid)
{
    ::setenv("SUDO_USER", GetParam().user, 1);
    ::setenv("SUDO_UID", GetParam().uid, 1);
    EXPECT_EQ(commands::SystemSetup::real().sudoUser(), GetParam().added);
    ::unsetenv("SUDO_USER");
    ::unsetenv("SUDO_UID");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SudoUser,
    ::testing::Values(SudoRow {"TheAccount", "nobody", "65534", "nobody"},
                      SudoRow {"AnotherUid", "nobody", "1000", std::nullopt},
                      SudoRow {"UidNotANumber", "nobody", "65534x", std::nullopt},
                      SudoRow {"NoSuchAccount", "qm5083-nobody-at-all", "65534", std::nullopt},
                      SudoRow {"AnOption", "--help", "65534", std::nullopt},
                      SudoRow {"Root", "root", "0", std::nullopt}),
    RowName {});

} // namespace
