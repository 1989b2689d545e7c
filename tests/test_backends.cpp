#include "backends.h"
#include "port_refused.h"
#include "simulated_bus.h"
#include "support/row_name.h"
#include "support/sysfs_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace qm5083;
using qm5083::testing::BarKind;
using qm5083::testing::SysfsFixture;

namespace {

hardware::BackendOptions simulated(bool trace = false, std::FILE *traceOut = nullptr)
{
    hardware::BackendOptions options;
    options.simulate = true;
    options.trace = trace;
    options.traceOut = traceOut;
    return options;
}

hardware::BackendOptions onTheBus(const std::filesystem::path &sysfsRoot)
{
    hardware::BackendOptions options;
    options.pciIds = {{0x1234, 0x5678, {}}};
    options.sysfsRoot = sysfsRoot;
    return options;
}

TEST(Backends, SimulateChoosesTheSimulatedCardAndItsLocator)
{
    const hardware::Backend backend = hardware::chooseBackend(simulated());
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backend.port().outportb(0xE002, 0x5A);
    EXPECT_EQ(backend.port().inportb(0xE002), 0x5A); // the loopback cable
    EXPECT_EQ(backend.trace, nullptr);
    EXPECT_FALSE(backend.startupFailure);
}

TEST(Backends, TraceWrapsWhicheverCardIsChosen)
{
    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const hardware::Backend backend = hardware::chooseBackend(simulated(true, out));
    backend.port().outportb(0xE003, 0x1FF);
    EXPECT_EQ(backend.port().inportb(0xE003), 0xFF);
    std::rewind(out);
    char start[96] = {};
    char line[2][64] = {};
    ASSERT_NE(std::fgets(start, sizeof start, out), nullptr);
    EXPECT_EQ(std::string(start).find("# trace of process "), 0U) << start;
    ASSERT_NE(std::fgets(line[0], sizeof line[0], out), nullptr);
    ASSERT_NE(std::fgets(line[1], sizeof line[1], out), nullptr);
    EXPECT_NE(std::string(line[0]).find(" out E003 FF\n"), std::string::npos) << line[0];
    EXPECT_NE(std::string(line[1]).find(" in E003 FF\n"), std::string::npos) << line[1];
    std::fclose(out);
}

TEST(Backends, WithoutSimulateTheCardsComeFromThePciBus)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE000, 0x20}}}});
    tree.add({"0000:04:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE020, 0x20}}}});
    hardware::BackendOptions options = onTheBus(tree.root());
    std::FILE *out = std::tmpfile();
    options.trace = true;
    options.traceOut = out;
    const hardware::Backend backend = hardware::chooseBackend(options);
    ASSERT_FALSE(backend.startupFailure);
    EXPECT_FALSE(backend.noCard);
    // Traced, an operation still stays on the card it began on.
    {
        const hardware::OperationScope operation(backend.port());
        backend.port().outportb(0xE01F, 0x01);
        EXPECT_THROW(backend.port().outportb(0xE020, 0x02), hardware::PortRefused);
    }
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backend.port().outportb(0xE001, 0x42);
    EXPECT_EQ(qm5083::testing::readBytes(tree.resourceFile("0000:03:00.0", 0)).at(1), 0x42);
    EXPECT_THROW(backend.port().outportb(0x0001, 0x42), hardware::PortRefused);
    std::fclose(out); // the trace writes to it until here
}

// A card that left the bus and came back with another base is found there at the next locate.
TEST(Backends, ALocateFindsTheCardWhereTheBusShowsItNow)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE000, 0x20}}}});
    const hardware::Backend backend = hardware::chooseBackend(onTheBus(tree.root()));
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xE000));
    backend.port().outportb(0xE001, 0x11);
    std::filesystem::remove_all(tree.deviceDir("0000:03:00.0"));
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xD000, 0x20}}}});
    EXPECT_EQ(backend.locator->findCard(1), std::optional<std::uint16_t>(0xD000));
    backend.port().outportb(0xD001, 0x42);
    EXPECT_EQ(qm5083::testing::readBytes(tree.resourceFile("0000:03:00.0", 0)).at(1), 0x42);
    EXPECT_THROW(backend.port().outportb(0xE001, 0x42), hardware::PortRefused);
}

TEST(Backends, AnUnreadableBusIsKeptForTheWindowToReportAndNoPortIsReached)
{
    const hardware::Backend backend
        = hardware::chooseBackend(onTheBus("/nonexistent/qm5083-bench/bus"));
    EXPECT_TRUE(backend.startupFailure);
    EXPECT_EQ(backend.locator->findCard(1), std::nullopt);
    EXPECT_THROW(backend.port().inportb(0xE000), hardware::PortRefused);
}

struct NoCardRow
{
    const char *name;
    std::vector<hardware::PciId> ids;
    const char *says; // nothing when a card is reached
};

void PrintTo(const NoCardRow &row, std::ostream *os)
{
    *os << row.name;
}

class BackendsNoCard : public ::testing::TestWithParam<NoCardRow>
{ };

// The bus holds one card, 1234:5678.
TEST_P(BackendsNoCard, SaysWhyTheProgramReachesNoCard)
{
    SysfsFixture tree;
    tree.add({"0000:03:00.0", 0x1234, 0x5678, {{{BarKind::Io, 0xE000, 0x20}}}});
    hardware::BackendOptions options = onTheBus(tree.root());
    options.pciIds = GetParam().ids;
    const hardware::Backend backend = hardware::chooseBackend(options);
    EXPECT_EQ(backend.noCard ? backend.noCard->english() : "", GetParam().says);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BackendsNoCard,
    ::testing::Values(
        NoCardRow {"NoPciIdGiven",
                   {},
                   "The program reaches no card: it was started without --pci-id, and the card "
                   "set-up /etc/qm5083-bench/cards.conf names no card. To practise on the "
                   "simulated card, start it with --simulate. For a real card, set it up once with "
                   "sudo qm5083-bench --setup VVVV:DDDD, the vendor and device id that lspci -nn "
                   "shows for the card, or start the program with --pci-id VVVV:DDDD."},
        NoCardRow {"IdsOfNoCardOnTheBus",
                   {{0x1234, 0x9999, {}}, {0xabcd, 0x0001, {}}},
                   "The program reaches no card: no card 1234:9999, ABCD:0001 is on the PCI bus. "
                   "Check with lspci -nn that the card is in the PC and that these are its ids, "
                   "then start the program again."},
        NoCardRow {"CardFound", {{0x1234, 0x5678, {}}}, ""}),
    qm5083::testing::RowName {});

// ---- the simulated cards between programs ----

using namespace std::chrono_literals;
using ::testing::HasSubstr;

// Programs on the simulated cards one after another, in this test's runtime folder, on a clock
// the test moves and in a boot the test names.
class SimulatedPrograms : public ::testing::Test
{
public:
    void boot(const char *id) const { std::ofstream(runtime / "boot_id") << id << '\n'; }

protected:
    SimulatedPrograms() { boot("boot-one"); }

    hardware::Backend program(int cards = 1, std::vector<const char *> faults = {})
    {
        hardware::BackendOptions options = simulated();
        options.simulatedCards = cards;
        for (const char *fault : faults)
            options.simulatedFaults.push_back(hardware::parseSimulatedFault(fault));
        options.simulatedClock = [this] {
            return now;
        };
        options.bootIdFile = runtime / "boot_id";
        return hardware::chooseBackend(options);
    }
    std::filesystem::path stateFile(int card = 1) const
    {
        return folder / ("card" + std::to_string(card) + ".state");
    }
    static std::array<std::uint8_t, 4> inputs(const hardware::Backend &backend,
                                              std::uint16_t base = 0xE000)
    {
        const hardware::OperationScope operation(backend.port());
        std::array<std::uint8_t, 4> read {};
        for (std::uint16_t group = 0; group < 4; ++group)
            read[group] = backend.port().inportb(base + group);
        return read;
    }
    static void outputs(const hardware::Backend &backend, std::array<std::uint8_t, 4> bytes,
                        std::uint16_t base = 0xE000)
    {
        const hardware::OperationScope operation(backend.port());
        for (std::uint16_t group = 0; group < 4; ++group)
            backend.port().outportb(base + group, bytes[group]);
    }

    const std::filesystem::path runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::filesystem::path folder = runtime / "qm5083-bench";
    std::chrono::nanoseconds now = 5s;
};

// Chip A counter 1 in mode 2 with 1000 (control word 74, E8 03) counts down one a card clock
// pulse (500 ns) after the pulse that loads it.
TEST_F(SimulatedPrograms, KeepOutputsDaCodesAndCountersThatGoOnCounting)
{
    {
        const hardware::Backend first = program();
        outputs(first, {0x12, 0xA5, 0x3C, 0xFF});
        const hardware::OperationScope operation(first.port());
        for (const auto &[port, byte] : {std::pair {0xE007, 0x74},
                                         {0xE005, 0xE8},
                                         {0xE005, 0x03}, // A1: mode 2, 1000
                                         {0xE008, 0xFF},
                                         {0xE009, 0x27},
                                         {0xE00A, 0x00}}) // DA2: 7FF
            first.port().outportb(static_cast<std::uint16_t>(port),
                                  static_cast<std::int16_t>(byte));
        now += 250ns; // half a pulse, carried to the next program
        first.port().inportb(0xE000);
    }
    now += 100us + 250ns; // 100.5 us with the carried half: 201 pulses, the load and 200 counts
    const hardware::Backend second = program();
    EXPECT_EQ(inputs(second), (std::array<std::uint8_t, 4> {0x12, 0xA5, 0x3C, 0xFF}));
    const auto *bus = dynamic_cast<const hardware::SimulatedBus *>(second.card.get());
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->card(1)->daCode(2), 0x7FF);
    const hardware::OperationScope operation(second.port());
    second.port().outportb(0xE007, 0x40);           // latch A1
    EXPECT_EQ(second.port().inportb(0xE005), 0x20); // 800 = 320 hex
    EXPECT_EQ(second.port().inportb(0xE005), 0x03);
}

// The state is what the card's registers hold; a program's faults are its own wiring.
TEST_F(SimulatedPrograms, KeepWhatTheRegistersHoldNotTheFaults)
{
    const hardware::Backend faulty = program(1, {"stuck:1.3=1"});
    outputs(faulty, {0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(inputs(faulty), (std::array<std::uint8_t, 4> {0x08, 0x00, 0x00, 0x00}));
    EXPECT_EQ(inputs(program()), (std::array<std::uint8_t, 4> {0x00, 0x00, 0x00, 0x00}));
}

struct FreshStartRow
{
    const char *name;
    std::function<void(SimulatedPrograms &)> between;
};

void PrintTo(const FreshStartRow &row, std::ostream *os)
{
    *os << row.name;
}

class SimulatedProgramsStartFresh : public SimulatedPrograms,
                                    public ::testing::WithParamInterface<FreshStartRow>
{ };

TEST_P(SimulatedProgramsStartFresh, AsAtPowerUp)
{
    outputs(program(), {0x12, 0xA5, 0x3C, 0xFF});
    GetParam().between(*this);
    EXPECT_EQ(inputs(program()), (std::array<std::uint8_t, 4> {0x00, 0x00, 0x00, 0x00}));
}

INSTANTIATE_TEST_SUITE_P(Rows, SimulatedProgramsStartFresh,
                         ::testing::Values(FreshStartRow {"AfterAReset",
                                                          [](SimulatedPrograms &) {
                                                              EXPECT_EQ(
                                                                  hardware::resetSimulatedCards(),
                                                                  std::filesystem::path(std::getenv(
                                                                      "XDG_RUNTIME_DIR"))
                                                                      / "qm5083-bench");
                                                          }},
                                           FreshStartRow {"InAnotherBoot",
                                                          [](SimulatedPrograms &programs) {
                                                              programs.boot("two");
                                                          }}),
                         qm5083::testing::RowName {});

// A second program waits the 2 s a real card's lock is waited for, then gives up on that card
// without writing; another card it reaches at once.
TEST_F(SimulatedPrograms, WaitForACardAnotherProgramHoldsThenGiveUp)
{
    const hardware::Backend first = program(2);
    const hardware::Backend second = program(2);
    {
        const hardware::OperationScope operation(first.port());
        first.port().outportb(0xE000, 0x11);
        const auto start = std::chrono::steady_clock::now();
        try {
            second.port().outportb(0xE001, 0x22);
            ADD_FAILURE() << "the second program wrote during the first's operation";
        } catch (const std::system_error &busy) {
            EXPECT_EQ(busy.code().value(), EWOULDBLOCK);
            // The holder's words as its command line gave them, joined by spaces.
            const std::vector<std::string> argv = ::testing::internal::GetArgvs();
            std::string words = argv.at(0);
            if (argv.size() > 1)
                words += ' ' + argv[1].substr(0, 8);
            EXPECT_THAT(
                busy.what(),
                HasSubstr("card 1 is busy: process " + std::to_string(::getpid()) + " (" + words));
            EXPECT_THAT(busy.what(),
                        HasSubstr("has held " + stateFile().string()
                                  + " for over 2 s, so port E001 was not reached "
                                    "and nothing was written"));
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, 2s);
        EXPECT_LT(waited, 4s);
        second.port().outportb(0xE100, 0x33);
        first.port().outportb(0xE002, 0x44);
    }
    second.port().outportb(0xE001, 0x22);
    EXPECT_EQ(inputs(program(2)), (std::array<std::uint8_t, 4> {0x11, 0x22, 0x44, 0x00}));
    EXPECT_EQ(inputs(program(2), 0xE100), (std::array<std::uint8_t, 4> {0x33, 0x00, 0x00, 0x00}));
}

TEST_F(SimulatedPrograms, ThreeCardsEachAtItsBaseOneCardPerOperation)
{
    const hardware::Backend backend = program(3, {"2/stuck:1.3=1"});
    EXPECT_EQ(backend.locator->cardNumbers(), (std::vector<std::int16_t> {1, 2, 3}));
    for (const std::uint16_t base : {0xE000, 0xE100, 0xE200})
        outputs(backend, {static_cast<std::uint8_t>(base >> 8), 0x00, 0x00, 0x00}, base);
    EXPECT_EQ(inputs(program(3), 0xE000), (std::array<std::uint8_t, 4> {0xE0, 0x00, 0x00, 0x00}));
    EXPECT_EQ(inputs(backend, 0xE100), (std::array<std::uint8_t, 4> {0xE9, 0x00, 0x00, 0x00}));
    EXPECT_EQ(inputs(program(3), 0xE100), (std::array<std::uint8_t, 4> {0xE1, 0x00, 0x00, 0x00}));
    EXPECT_EQ(inputs(backend, 0xE200), (std::array<std::uint8_t, 4> {0xE2, 0x00, 0x00, 0x00}));
    {
        const hardware::OperationScope operation(backend.port());
        backend.port().outportb(0xE013, 0x01);
        EXPECT_THAT([&] { backend.port().outportb(0xE100, 0x02); },
                    ::testing::ThrowsMessage<hardware::PortRefused>(
                        HasSubstr("port E100 refused: it belongs to card 2, but this operation "
                                  "is on card 1 (simulated card 1: E000-E013) and stays on one "
                                  "card")));
    }
    EXPECT_THAT([&] { backend.port().inportb(0xE014); },
                ::testing::ThrowsMessage<hardware::PortRefused>(
                    HasSubstr("port E014 refused: it is not a register of the simulated cards "
                              "(E000-E013, E100-E113, E200-E213)")));
    EXPECT_EQ(inputs(program(3), 0xE100), (std::array<std::uint8_t, 4> {0xE1, 0x00, 0x00, 0x00}));
}

// A state file the program did not leave as it keeps it is refused, naming it and the way out,
// and left as it is.
struct DamagedStateRow
{
    const char *name;
    std::function<void(const std::filesystem::path &file)> damage;
    std::string says;
};

void PrintTo(const DamagedStateRow &row, std::ostream *os)
{
    *os << row.name;
}

class SimulatedDamagedState : public SimulatedPrograms,
                              public ::testing::WithParamInterface<DamagedStateRow>
{ };

// CRC-32 as zlib and IEEE 802.3 give it: 123456789 sums to CBF43926.
std::uint32_t crc32(const std::vector<std::uint8_t> &bytes, std::size_t count)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

// Changes the bytes at `at`, and sums the file again unless told not to: a damage no checksum
// shows.
std::function<void(const std::filesystem::path &)>
rewrite(std::size_t at, std::vector<std::uint8_t> written, bool sum = true)
{
    return [=](const std::filesystem::path &file) {
        std::vector<std::uint8_t> bytes = qm5083::testing::readBytes(file);
        std::copy(written.begin(), written.end(), bytes.begin() + static_cast<long>(at));
        const std::uint32_t crc = crc32(bytes, bytes.size() - 4);
        for (int i = 0; sum && i < 4; ++i)
            bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        qm5083::testing::writeBytes(file, bytes);
    };
}

// Moves the file, or its folder, aside and puts a link to it in its place.
std::function<void(const std::filesystem::path &)> linked(bool folder)
{
    return [=](const std::filesystem::path &file) {
        const std::filesystem::path path = folder ? file.parent_path() : file;
        std::filesystem::rename(path, path.string() + ".old");
        std::filesystem::create_symlink(path.filename().string() + ".old", path);
    };
}

TEST(SimulatedStateChecksum, IsCrc32)
{
    EXPECT_EQ(crc32({'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 9), 0xCBF43926);
}

TEST_P(SimulatedDamagedState, IsRefusedNamingItAndTheReset)
{
    outputs(program(), {0x12, 0xA5, 0x3C, 0xFF});
    GetParam().damage(stateFile());
    std::error_code ignored;
    const auto before = std::filesystem::is_regular_file(stateFile(), ignored)
        ? qm5083::testing::readBytes(stateFile())
        : std::vector<std::uint8_t> {};
    const hardware::Backend backend = program();
    try {
        backend.port().outportb(0xE000, 0x00);
        ADD_FAILURE() << "the damaged state was taken";
    } catch (const hardware::PortError &refused) {
        EXPECT_THAT(refused.what(), HasSubstr(GetParam().says));
    }
    EXPECT_EQ(std::filesystem::is_regular_file(stateFile(), ignored)
                  ? qm5083::testing::readBytes(stateFile())
                  : std::vector<std::uint8_t> {},
              before);
}

// The file: a header of 48 bytes (QM5083SC, version 1, the boot's id), the card's 530 (its time,
// carry and base edges, 8 bytes each, then outputs from 72, the DA bytes at 76 and 77 and the DA
// codes from 78), a CRC-32 of all that: 582 bytes.
INSTANTIATE_TEST_SUITE_P(
    Rows, SimulatedDamagedState,
    ::testing::Values(
        DamagedStateRow {"BadChecksum", rewrite(72, {0x13}, false),
                         "is refused: its checksum does not match its contents; qm5083-bench "
                         "--sim-reset starts the simulated cards afresh"},
        DamagedStateRow {
            "Truncated",
            [](const std::filesystem::path &file) { std::filesystem::resize_file(file, 300); },
            "is refused: it holds 300 bytes, not 582"},
        DamagedStateRow {"DaCodeOutOfRange", rewrite(78, {0x00, 0x10}),
                         "is refused: it holds a value out of its range at byte 78"},
        DamagedStateRow {"AnotherProgramsFile", rewrite(0, {'Q', 'M', '5', '0', '8', '4'}),
                         "is refused: it is no state this program kept"},
        DamagedStateRow {"AnotherVersion", rewrite(8, {2}),
                         "is refused: it is of version 2, not 1"},
        DamagedStateRow {"ALink", linked(false),
                         "/qm5083-bench/card1.state is refused: it is a link"},
        DamagedStateRow {"OpenToOthers",
                         [](const std::filesystem::path &file) { ::chmod(file.c_str(), 0644); },
                         "is refused: it is not this user's own file (owner "
                             + std::to_string(::geteuid()) + ", mode 644"},
        DamagedStateRow {"TheFolderALink", linked(true),
                         "/qm5083-bench is refused: it is a link; remove it"},
        DamagedStateRow {
            "TheFolderOpenToOthers",
            [](const std::filesystem::path &file) { ::chmod(file.parent_path().c_str(), 0755); },
            "is refused: it is not this user's own folder (owner " + std::to_string(::geteuid())
                + ", mode 755"}),
    qm5083::testing::RowName {});

// Run as root, a file another user owns is another's however private.
TEST_F(SimulatedPrograms, RefuseAnotherUsersState)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file away";
    outputs(program(), {0x12, 0xA5, 0x3C, 0xFF});
    ASSERT_EQ(::chown(stateFile().c_str(), 65534, 65534), 0);
    EXPECT_THAT([&] { inputs(program()); },
                ::testing::ThrowsMessage<hardware::PortError>(
                    HasSubstr("it is not this user's own file (owner 65534, mode 600")));
}

} // namespace
