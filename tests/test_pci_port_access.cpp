#include "pci_bus.h"
#include "pci_port_access.h"
#include "port_refused.h"
#include "support/fake_sys_io.h"
#include "support/row_name.h"
#include "support/sysfs_fixture.h"
#include "sys_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <type_traits>
#include <unistd.h>
#include <vector>

using namespace qm5083::hardware;
using namespace qm5083::testing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// Table rows are named by their name field, in test names and in failure messages.
template<class Row>
concept NamedRow = std::is_same_v<decltype(Row::name), const char *>;
void PrintTo(const NamedRow auto &row, std::ostream *os)
{
    *os << row.name;
}

// What call threw as an E; nothing when it returned.
template<class E, class F>
std::optional<E> thrown(F &&call)
{
    try {
        call();
    } catch (const E &error) {
        return error;
    }
    return std::nullopt;
}

// Two cards with I/O BARs E000-E01F (BAR 1) and D000-D00F (BAR 0); resource files are ordinary
// files.
class PciPorts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.add({"0000:03:00.0", 0x1234, 0x5678, {mem(0xf7e00000, 0x1000), io(0xe000, 0x20)}});
        tree.add({"0000:04:00.0", 0x1234, 0x5678, {io(0xd000, 0x10)}});
        cards = scanPciCards({{0x1234, 0x5678, {}}}, tree.root());
        ASSERT_EQ(cards.size(), 2U);
        sys.holder = LockHolder {4321, "qm5083-bench --pci-id 1234:5678 batch"};
    }

    std::filesystem::path fileE000() const { return tree.resourceFile("0000:03:00.0", 1); }
    std::filesystem::path fileD000() const { return tree.resourceFile("0000:04:00.0", 0); }

    SysfsFixture tree;
    std::vector<PciCard> cards;
    FakeSysIo sys;
};

std::vector<std::uint8_t> zerosWith(std::size_t size, std::vector<std::pair<int, int>> bytes)
{
    std::vector<std::uint8_t> result(size, 0);
    for (const auto &[at, value] : bytes)
        result[at] = static_cast<std::uint8_t>(value);
    return result;
}

TEST_F(PciPorts, WritesOneByteAtPortMinusBarStartInTheCardsOwnFile)
{
    {
        PciPortAccess ports(cards, sys);
        ports.outportb(0xE003, 0x1A5); // low byte only
        ports.outportb(0xE000, 0x11);
        ports.outportb(0xE01F, -1); // last port of the BAR
        ports.outportb(0xD007, 0x42);
    }
    EXPECT_EQ(readBytes(fileE000()), zerosWith(0x20, {{0, 0x11}, {3, 0xA5}, {0x1F, 0xFF}}));
    EXPECT_EQ(readBytes(fileD000()), zerosWith(0x10, {{7, 0x42}}));
    EXPECT_EQ(sys.pwrites, 4);
    EXPECT_EQ(sys.preads, 0);
    EXPECT_EQ(sys.counts, std::vector<std::size_t>(4, 1));
}

TEST_F(PciPorts, ReadsOneByteFromTheRightOffset)
{
    writeBytes(fileE000(), zerosWith(0x20, {{5, 0x5A}, {0x1F, 0xC3}}));
    writeBytes(fileD000(), zerosWith(0x10, {{0, 0x99}}));
    PciPortAccess ports(cards, sys);
    EXPECT_EQ(ports.inportb(0xE005), 0x5A);
    EXPECT_EQ(ports.inportb(0xE01F), 0xC3);
    EXPECT_EQ(ports.inportb(0xE006), 0x00);
    EXPECT_EQ(ports.inportb(0xD000), 0x99);
    EXPECT_EQ(sys.preads, 4);
    EXPECT_EQ(sys.pwrites, 0);
    EXPECT_EQ(sys.counts, std::vector<std::size_t>(4, 1));
}

TEST_F(PciPorts, OpensEachCardsFileOnceAtItsFirstAccessAndClosesItAtTheEnd)
{
    {
        PciPortAccess ports(cards, sys);
        EXPECT_EQ(sys.opens, 0);
        ports.outportb(0xE000, 1);
        ports.inportb(0xE001);
        ports.outportb(0xE002, 2);
        EXPECT_EQ(sys.opens, 1);
        EXPECT_EQ(sys.openFlags, O_RDWR | O_CLOEXEC);
        ports.inportb(0xD000);
        ports.inportb(0xD001);
        EXPECT_EQ(sys.opens, 2);
        EXPECT_EQ(sys.closes, 0);
    }
    EXPECT_EQ(sys.closes, 2);
}

// One operation stays on one card; the next may begin on another.
TEST_F(PciPorts, EachOperationMayBeginOnAnotherCard)
{
    PciPortAccess ports(cards, sys);
    {
        const OperationScope first(ports);
        ports.outportb(0xE000, 1);
    }
    const OperationScope second(ports);
    EXPECT_NO_THROW(ports.outportb(0xD000, 2));
    EXPECT_THROW(ports.outportb(0xE001, 3), PortRefused);
}

// ---- refusal: no port outside the named cards' I/O BARs is ever reached ----

class PciPortsRefuse : public PciPorts, public ::testing::WithParamInterface<std::uint16_t>
{ };

TEST_P(PciPortsRefuse, BothDirectionsWithoutTouchingAnything)
{
    const std::uint16_t port = GetParam();
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", port);
    PciPortAccess ports(cards, sys);
    const auto read = thrown<PortRefused>([&] { ports.inportb(port); });
    const auto write = thrown<PortRefused>([&] { ports.outportb(port, 0x55); });
    ASSERT_TRUE(read && write) << "port " << hex << " was reached";
    for (const PortRefused &refused : {*read, *write}) {
        EXPECT_EQ(refused.port(), port);
        EXPECT_THAT(refused.what(), HasSubstr(std::string("port ") + hex + " refused"));
        EXPECT_THAT(refused.what(), HasSubstr("0000:03:00.0 BAR 1: E000-E01F"));
        EXPECT_THAT(refused.what(), HasSubstr("0000:04:00.0 BAR 0: D000-D00F"));
    }
    EXPECT_EQ(sys.calls(), 0);
    EXPECT_EQ(readBytes(fileE000()), zerosWith(0x20, {}));
    EXPECT_EQ(readBytes(fileD000()), zerosWith(0x10, {}));
}

// Port 0 upward is what an empty or "NO" base reaches; the others sit just outside each BAR.
INSTANTIATE_TEST_SUITE_P(Ports, PciPortsRefuse,
                         ::testing::Values(0x0000, 0x0003, 0x0013, 0xDFFF, 0xE020, 0xCFFF, 0xD010,
                                           0xFFFF),
                         [](const auto &info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Port%04X", info.param);
                             return std::string(name);
                         });

TEST(PciPortsWithoutCards, RefuseEveryPortSayingNoCardWasGiven)
{
    FakeSysIo sys;
    PciPortAccess ports({}, sys);
    const auto refused = thrown<PortRefused>([&] { ports.outportb(0x0000, 1); });
    ASSERT_TRUE(refused) << "port 0000 was reached";
    EXPECT_THAT(refused->what(), HasSubstr("port 0000 refused"));
    EXPECT_THAT(refused->what(), HasSubstr("no card was given with --pci-id"));
    EXPECT_THROW(ports.inportb(0xE000), PortRefused);
    EXPECT_EQ(sys.calls(), 0);
}

TEST(PciPortsUnusableCard, IsNamedButNeverReached)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.1", 0x1234, 0x9abc, {mem(0xf7f00000, 0x100)}});
    FakeSysIo sys;
    PciPortAccess ports(scanPciCards({{0x1234, 0x9abc, 0}}, tree.root()), sys);
    const auto refused = thrown<PortRefused>([&] { ports.inportb(0x0000); });
    ASSERT_TRUE(refused) << "port 0000 was reached";
    EXPECT_THAT(refused->what(), HasSubstr("0000:03:00.1: BAR 0 is a memory BAR"));
    EXPECT_EQ(sys.calls(), 0);
}

// ---- errors: each carries the errno and says what to do ----

struct ErrorRow
{
    const char *name;
    FakeSysIo::Call failing; // its first call fails with result
    SysResult result;
    bool write;
    std::optional<std::string> lockdown;
    int code;
    std::vector<std::string> says;
    std::vector<std::string> doesNotSay;
};

class PciPortsError : public PciPorts, public ::testing::WithParamInterface<ErrorRow>
{ };

TEST_P(PciPortsError, ThrowsSystemErrorNamingTheFile)
{
    const ErrorRow &row = GetParam();
    sys.failNth(row.failing, 1, row.result);
    sys.lockdown = row.lockdown;
    PciPortAccess ports(cards, sys);
    const auto error = thrown<std::system_error>([&] {
        if (row.write)
            ports.outportb(0xE004, 0x7E);
        else
            ports.inportb(0xE004);
    });
    ASSERT_TRUE(error) << "the access succeeded";
    EXPECT_EQ(error->code().value(), row.code);
    EXPECT_THAT(error->what(), HasSubstr(fileE000().string()));
    EXPECT_THAT(error->what(), HasSubstr("E004"));
    for (const std::string &text : row.says)
        EXPECT_THAT(error->what(), HasSubstr(text));
    for (const std::string &text : row.doesNotSay)
        EXPECT_THAT(error->what(), Not(HasSubstr(text)));
}

using Call = FakeSysIo::Call;

INSTANTIATE_TEST_SUITE_P(
    Rows, PciPortsError,
    ::testing::Values(
        ErrorRow {"OpenAccessDenied",
                  Call::Open,
                  {-1, EACCES},
                  false,
                  {},
                  EACCES,
                  {"no permission to open", "--check-setup", "group qm5083"},
                  {}},
        ErrorRow {"OpenNotPermitted",
                  Call::Open,
                  {-1, EPERM},
                  true,
                  {},
                  EPERM,
                  {"no permission to open", "sudo qm5083-bench --setup"},
                  {}},
        ErrorRow {"OpenNoSuchFile",
                  Call::Open,
                  {-1, ENOENT},
                  false,
                  {},
                  ENOENT,
                  {"cannot open", "0000:03:00.0 BAR 1"},
                  {"udev"}},
        ErrorRow {"ReadIoError",
                  Call::Pread,
                  {-1, EIO},
                  false,
                  {},
                  EIO,
                  {"reading port E004", "failed"},
                  {}},
        ErrorRow {
            "ReadShort", Call::Pread, {0, 0}, false, {}, EIO, {"reading port E004", "no byte"}, {}},
        ErrorRow {"WriteIoError",
                  Call::Pwrite,
                  {-1, EIO},
                  true,
                  {},
                  EIO,
                  {"writing port E004", "failed"},
                  {"lockdown"}},
        ErrorRow {"WriteShort",
                  Call::Pwrite,
                  {0, 0},
                  true,
                  {},
                  EIO,
                  {"writing port E004", "no byte"},
                  {}},
        ErrorRow {"WriteUnderLockdown",
                  Call::Pwrite,
                  {-1, EPERM},
                  true,
                  "none [integrity] confidentiality",
                  EPERM,
                  {"writing port E004", "kernel lockdown", "\"integrity\"",
                   "forbids port writes from user space", "Secure Boot"},
                  {}},
        ErrorRow {"WriteUnderConfidentialityLockdown",
                  Call::Pwrite,
                  {-1, EPERM},
                  true,
                  "none integrity [confidentiality]",
                  EPERM,
                  {"kernel lockdown", "\"confidentiality\""},
                  {}},
        ErrorRow {"WriteNotPermittedWithoutLockdown",
                  Call::Pwrite,
                  {-1, EPERM},
                  true,
                  "[none] integrity confidentiality",
                  EPERM,
                  {"writing port E004", "failed"},
                  {"lockdown"}},
        ErrorRow {"BusyWithAnotherProgram",
                  Call::Lock,
                  {-1, EWOULDBLOCK},
                  true,
                  {},
                  EWOULDBLOCK,
                  {"card 0000:03:00.0 is busy: process 4321 (qm5083-bench --pci-id 1234:5678 "
                   "batch) has held",
                   "for over 2 s, so port E004 was not reached and nothing was written"},
                  {}},
        ErrorRow {"ReadFromACardThatLeftTheBus",
                  Call::Pread,
                  {-1, ENODEV},
                  false,
                  {},
                  ENODEV,
                  {"card 0000:03:00.0 is no longer reachable at port E004",
                   "locate it again with 得到板卡的基地址"},
                  {}},
        ErrorRow {"WriteToACardThatLeftTheBus",
                  Call::Pwrite,
                  {-1, ENODEV},
                  true,
                  {},
                  ENODEV,
                  {"card 0000:03:00.0 is no longer reachable at port E004"},
                  {}},
        ErrorRow {"WriteNotPermittedNoLockdownFile",
                  Call::Pwrite,
                  {-1, EPERM},
                  true,
                  {},
                  EPERM,
                  {"writing port E004", "failed"},
                  {"lockdown"}}),
    qm5083::testing::RowName {});

TEST_F(PciPorts, AFailedOpenIsTriedAgainAtTheNextAccess)
{
    sys.failNth(Call::Open, 1, {-1, EACCES});
    PciPortAccess ports(cards, sys);
    EXPECT_THROW(ports.outportb(0xE002, 0x33), std::system_error);
    ports.outportb(0xE002, 0x44);
    EXPECT_EQ(sys.opens, 2);
    EXPECT_EQ(readBytes(fileE000()), zerosWith(0x20, {{2, 0x44}}));
}

// Two programs on one card: the second waits for the first's operation to end, and gives up
// without writing when it does not end in time; a card of its own it reaches at once.
TEST_F(PciPorts, AnOperationKeepsItsCardFromOtherProgramsUntilItEnds)
{
    PosixSysIo posix;
    PciPortAccess first(cards, sys);
    PciPortAccess second(cards, posix, {}, std::chrono::milliseconds(20));
    {
        const OperationScope operation(first);
        first.outportb(0xE000, 0x11);
        const auto busy = thrown<std::system_error>([&] { second.outportb(0xE001, 0x22); });
        ASSERT_TRUE(busy) << "the second program wrote during the first's operation";
        EXPECT_EQ(busy->code().value(), EWOULDBLOCK);
        EXPECT_THAT(busy->what(), HasSubstr("process " + std::to_string(::getpid()) + " ("));
        second.outportb(0xD000, 0x33);
        first.outportb(0xE002, 0x44);
    }
    second.outportb(0xE001, 0x22);
    EXPECT_EQ(readBytes(fileE000()), zerosWith(0x20, {{0, 0x11}, {1, 0x22}, {2, 0x44}}));
    EXPECT_EQ(sys.locks, 1) << "one lock for the whole operation";
    EXPECT_EQ(sys.unlocks, 1);
}

TEST_F(PciPorts, ACardBackOnTheBusIsReachedAgainThroughAFreshFile)
{
    sys.failNth(Call::Pread, 1, {-1, ENODEV});
    writeBytes(fileE000(), zerosWith(0x20, {{4, 0x5A}}));
    PciPortAccess ports(cards, sys);
    EXPECT_THROW(ports.inportb(0xE004), std::system_error);
    EXPECT_EQ(ports.inportb(0xE004), 0x5A);
    EXPECT_EQ(sys.opens, 2);
    EXPECT_EQ(sys.closes, 1);
    std::filesystem::remove_all(fileE000().parent_path());
    PciPortAccess later(cards, sys);
    const auto gone = thrown<std::system_error>([&] { later.inportb(0xE005); });
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->code().value(), ENODEV);
}

TEST_F(PciPorts, ACardWithIoDecodingOffIsRefusedBeforeItsFileIsOpened)
{
    cards[1].ioDecoding = IoDecoding::Disabled;
    PciPortAccess ports(cards, sys);
    const auto error = thrown<std::system_error>([&] { ports.outportb(0xD001, 0x12); });
    ASSERT_TRUE(error) << "port D001 was reached";
    EXPECT_EQ(error->code().value(), ENXIO);
    EXPECT_THAT(error->what(), HasSubstr("0000:04:00.0 has I/O decoding switched off"));
    EXPECT_THAT(error->what(), HasSubstr("port D001"));
    EXPECT_THAT(error->what(), HasSubstr("setpci -s 0000:04:00.0 COMMAND=0001:0001"));
    EXPECT_THROW(ports.inportb(0xD000), std::system_error);
    EXPECT_EQ(sys.calls(), 0);
    // The other card is unaffected.
    ports.outportb(0xE000, 0x12);
    EXPECT_EQ(sys.opens, 1);
}

// ---- the real system calls behind the seam ----

TEST(PciPosixSysIo, ReportsTheErrnoOfAFailedCall)
{
    PosixSysIo sys;
    const SysResult result = sys.open("/nonexistent/qm5083/resource0", O_RDWR | O_CLOEXEC);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, ENOENT);
}

TEST(PciPosixSysIo, ReadsTheLockdownStateFromItsFile)
{
    SysfsFixture dir;
    const auto file = dir.root() / "lockdown";
    writeBytes(
        file,
        {'n', 'o', 'n', 'e', ' ', '[', 'i', 'n', 't', 'e', 'g', 'r', 'i', 't', 'y', ']', '\n'});
    EXPECT_EQ(PosixSysIo(file).readLockdown(), "none [integrity]");
    EXPECT_EQ(PosixSysIo(dir.root() / "absent").readLockdown(), std::nullopt);
}

struct LockTableRow
{
    const char *name;
    const char *table;
    std::optional<long> pid;
};

class PciFlockHolder : public ::testing::TestWithParam<LockTableRow>
{ };

// The file is device 00:15, inode 5678.
TEST_P(PciFlockHolder, IsTheFlockOnThatFile)
{
    EXPECT_EQ(flockHolderPid(GetParam().table, 0x00, 0x15, 5678), GetParam().pid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PciFlockHolder,
    ::testing::Values(
        LockTableRow {"Holder", "1: FLOCK  ADVISORY  WRITE 4321 00:15:5678 0 EOF\n", 4321},
        LockTableRow {"AfterOtherFiles",
                      "1: POSIX  ADVISORY  WRITE 77 00:15:5678 0 EOF\n"
                      "2: FLOCK  ADVISORY  WRITE 88 00:15:5679 0 EOF\n"
                      "3: FLOCK  ADVISORY  WRITE 99 00:16:5678 0 EOF\n"
                      "4: FLOCK  ADVISORY  WRITE 4321 00:15:5678 0 EOF\n",
                      4321},
        LockTableRow {"WaiterIsNoHolder", "1: -> FLOCK  ADVISORY  WRITE 55 00:15:5678 0 EOF\n", {}},
        LockTableRow {"HexDevice", "1: FLOCK  ADVISORY  WRITE 12 00:0f:5678 0 EOF\n", {}},
        LockTableRow {"Garbled", "1: FLOCK  ADVISORY\n", {}}, LockTableRow {"Empty", "", {}}),
    qm5083::testing::RowName {});

struct LockdownRow
{
    const char *name;
    const char *line;
    std::optional<std::string> mode;
};

class PciLockdownMode : public ::testing::TestWithParam<LockdownRow>
{ };

TEST_P(PciLockdownMode, IsTheBracketedWord)
{
    EXPECT_EQ(activeLockdownMode(GetParam().line), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PciLockdownMode,
    ::testing::Values(LockdownRow {"None", "[none] integrity confidentiality", "none"},
                      LockdownRow {"Integrity", "none [integrity] confidentiality", "integrity"},
                      LockdownRow {"Last", "none integrity [confidentiality]", "confidentiality"},
                      LockdownRow {"NoBrackets", "none integrity confidentiality", {}},
                      LockdownRow {"Unclosed", "none [integrity", {}},
                      LockdownRow {"EmptyBrackets", "[]", {}}, LockdownRow {"EmptyLine", "", {}}),
    qm5083::testing::RowName {});

} // namespace
