// Every way an operation can fail, through the real window: the boxes are typed into and the
// buttons clicked as an operator would. For each failure the report says what failed, the port
// accesses made before it are exactly the ones the operation makes up to that point and none
// follow, IOBase holds what the operation had stored, and the window goes on working.

#include "pci_bus.h"
#include "pci_locator.h"
#include "pci_port_access.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "sys_io.h"
#include "support/clock_protocol.h"
#include "support/recording_port.h"
#include "main_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace qm5083;
namespace support = qm5083::testing;
using support::Access;
using support::in;
using support::out;

namespace {

// ---- backends ----

// Passes each access on and records it once made; an access that threw was not made.
class RecordingBackend final : public hardware::PortAccess
{
public:
    explicit RecordingBackend(hardware::PortAccess &inner)
        : inner_(inner)
    { }
    std::uint8_t inportb(std::uint16_t port) override
    {
        const std::uint8_t byte = inner_.inportb(port);
        accesses.push_back(in(port, byte));
        return byte;
    }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        inner_.outportb(port, value);
        accesses.push_back(out(port, value));
    }
    std::vector<Access> accesses;

private:
    hardware::PortAccess &inner_;
};

enum class Call { None, Open, Pread, Pwrite };

// A system call that fails: the nth call of its kind after the fault is armed.
struct Fault
{
    Call call = Call::None;
    int nth = 1;
    hardware::SysResult result {};
    const char *lockdown = nullptr; // the kernel's lockdown state line; none without
};

// The card's I/O region held in memory: bytes written read back, nothing touches a file.
class FakeSysIo final : public hardware::SysIo
{
public:
    void arm(const Fault &next)
    {
        fault_ = next;
        calls_ = 0;
    }
    hardware::SysResult open(const std::filesystem::path &, int) override
    {
        return failing(Call::Open).value_or(hardware::SysResult {kFd, 0});
    }
    hardware::SysResult pread(int, void *buffer, std::size_t count, off_t offset) override
    {
        if (auto failed = failing(Call::Pread))
            return *failed;
        std::memcpy(buffer, region.data() + offset, count);
        return {static_cast<long>(count), 0};
    }
    hardware::SysResult pwrite(int, const void *buffer, std::size_t count, off_t offset) override
    {
        if (auto failed = failing(Call::Pwrite))
            return *failed;
        std::memcpy(region.data() + offset, buffer, count);
        return {static_cast<long>(count), 0};
    }
    hardware::SysResult close(int) override { return {}; }
    std::optional<std::string> readLockdown() override
    {
        if (!fault_.lockdown)
            return std::nullopt;
        return fault_.lockdown;
    }

    std::array<std::uint8_t, 0x20> region {};

private:
    static constexpr long kFd = 7;
    std::optional<hardware::SysResult> failing(Call call)
    {
        if (fault_.call != call || ++calls_ != fault_.nth)
            return std::nullopt;
        fault_.call = Call::None;
        return fault_.result;
    }
    Fault fault_;
    int calls_ = 0;
};

enum class Backend {
    Simulated,      // the simulated card, its clock frozen
    Pci,            // a real card at E000-E01F, reached through its resource file
    PciDecodingOff, // the same card with I/O decoding switched off
    PciNoCard,      // started without --pci-id
};

hardware::PciCard cardAtE000(bool decodingOff)
{
    hardware::PciCard card;
    card.address = "0000:03:00.0";
    card.vendor = 0x1234;
    card.device = 0x5678;
    card.bar = 1;
    card.resourceFile = "/nonexistent/qm5083/devices/0000:03:00.0/resource1";
    card.start = 0xE000;
    card.size = 0x20;
    card.ioDecoding = decodingOff ? hardware::IoDecoding::Disabled : hardware::IoDecoding::Enabled;
    return card;
}

// ---- the operations, as an operator starts them ----

enum class Act { Locate, Output, Tick, Clock, Da };

const char *operationName(Act act)
{
    switch (act) {
    case Act::Locate:
        return "cmdIOBase_Click";
    case Act::Output:
        return "cmdOutput_Click";
    case Act::Tick:
        return "Timer1_Timer";
    case Act::Clock:
        return "cmdClk_Click";
    case Act::Da:
        return "cmdDA_Click";
    }
    return "";
}

// The first writes of the clock set-up with the design-time dividers (k 1000: E8 03; n 10: 0A 00).
std::vector<Access> clockWrites(std::uint16_t base, std::size_t count)
{
    auto writes = support::expectedClockWrites(base, 0xE8, 0x03, 0x0A, 0x00);
    writes.resize(count);
    return writes;
}

// ---- the table ----

struct Typed
{
    const char *box;
    const char *text;
};

struct Row
{
    const char *name = "";
    Backend backend = Backend::Simulated;
    std::vector<Typed> typed {};
    std::vector<Act> setup {}; // run first; their own reports and accesses aside
    Act act = Act::Locate;
    Fault fault {};
    int number = 0;
    const char *headline = "";
    const char *sourceBox = ""; // empty when the failure is not a box's text
    std::vector<const char *> says {};
    std::vector<Access> before {}; // the accesses the failing operation makes, in order
    convert::Value ioBase {};      // IOBase after it
};

constexpr std::int16_t kE000 = -8192; // as a locate stores it
constexpr double kE000Read = -8192.0; // as a digital or DA output reads it from the base box
const char *const kOverflow = "Run-time error 6: Overflow";
const char *const kTypeMismatch = "Run-time error 13: Type mismatch";
const char *const kRefused = "Port access refused";
const char *const kIoError = "Port access error 5: Input/output error";

std::ostream &operator<<(std::ostream &os, const Row &row)
{
    return os << row.name;
}

// clang-format off
const std::vector<Row> &rows()
{
    using B = Backend;
    static const std::vector<Row> table = {
        // Base address panel: the card number, then the stored base, fail before the locator.
        {.name = "CardNumberNotANumber", .typed = {{"txtCardNo", "abc"}}, .act = Act::Locate,
         .number = 13, .headline = kTypeMismatch, .sourceBox = "txtCardNo", .says = {"\"abc\""},
         .ioBase = kE000},
        {.name = "CardNumberOverflows", .typed = {{"txtCardNo", "40000"}}, .act = Act::Locate,
         .number = 6, .headline = kOverflow, .sourceBox = "txtCardNo", .says = {"\"40000\""},
         .ioBase = kE000},
        {.name = "LocateWithAStoredBaseOutside16Bits", .typed = {{"txtIOBase", "10000"}},
         .setup = {Act::Output}, .act = Act::Locate,
         .number = 6, .headline = kOverflow, .says = {"IOBase", "65536"},
         .ioBase = 65536.0},

        // Digital outputs: the base is stored first; each group's box is read just before its
        // write, its byte converted before the port.
        {.name = "OutputByteOverflows",
         .typed = {{"txtIOBase", "E000"}, {"txtOutput0", "11"}, {"txtOutput1", "22"},
                   {"txtOutput2", "10000"}},
         .act = Act::Output,
         .number = 6, .headline = kOverflow, .sourceBox = "txtOutput2", .says = {"\"10000\""},
         .before = {out(0xE000, 0x11), out(0xE001, 0x22)}, .ioBase = kE000Read},
        {.name = "OutputBaseTextOverflows", .typed = {{"txtIOBase", "123456789"}},
         .act = Act::Output,
         .number = 6, .headline = kOverflow, .sourceBox = "txtIOBase", .says = {"\"123456789\""},
         .ioBase = kE000},
        {.name = "OutputBaseSumOutside16Bits",
         .typed = {{"txtIOBase", "7FFE"}, {"txtOutput0", "1"}, {"txtOutput1", "2"}},
         .act = Act::Output,
         .number = 6, .headline = kOverflow, .says = {"IOBase + 2", "32766 + 2"},
         .before = {out(0x7FFE, 1), out(0x7FFF, 2)}, .ioBase = 32766.0},

        // Input monitor: each box is set right after its own read.
        {.name = "TickBaseSumOutside16Bits", .typed = {{"txtIOBase", "7FFE"}},
         .setup = {Act::Output}, .act = Act::Tick,
         .number = 6, .headline = kOverflow, .says = {"IOBase + 2"},
         .before = {in(0x7FFE, 0xFF), in(0x7FFF, 0xFF)}, .ioBase = 32766.0},
        {.name = "TickBaseBelow16Bits", .typed = {{"txtIOBase", "FFFF7FFE"}},
         .setup = {Act::Da}, .act = Act::Tick,
         .number = 6, .headline = kOverflow, .says = {"IOBase + 0", "-32770 + 0"},
         .ioBase = -32770.0},

        // Clock outputs: all four divider bytes are converted before the first write.
        {.name = "ClockOutputDividerOverflows", .typed = {{"txtClkOutput", "65536"}},
         .act = Act::Clock,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkOutput", .says = {"\"65536\""},
         .ioBase = kE000},
        {.name = "ClockBaseDividerNegative", .typed = {{"txtClkBase", "-1"}}, .act = Act::Clock,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkBase", .says = {"\"-1\""},
         .ioBase = kE000},
        {.name = "ClockDividerBeyond32Bits", .typed = {{"txtClkOutput", "3000000000"}},
         .act = Act::Clock,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkOutput",
         .says = {"\"3000000000\""}, .ioBase = kE000},
        {.name = "ClockDividerBeyondADouble", .typed = {{"txtClkBase", "1E400"}},
         .act = Act::Clock,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkBase", .says = {"\"1E400\""},
         .ioBase = kE000},
        {.name = "ClockBaseSumOutside16Bits", .typed = {{"txtIOBase", "7FF0"}},
         .setup = {Act::Output}, .act = Act::Clock,
         .number = 6, .headline = kOverflow, .says = {"IOBase + 19"},
         .before = clockWrites(0x7FF0, 24), .ioBase = 32752.0},

        // DA outputs: the base is stored first; each channel's box is read just before its
        // three writes.
        {.name = "DaCodeOverflows",
         .typed = {{"txtIOBase", "E000"}, {"txtda(0)", "FFF"}, {"txtda(1)", "800000"}},
         .act = Act::Da,
         .number = 6, .headline = kOverflow, .sourceBox = "txtda(1)", .says = {"\"800000\""},
         .before = {out(0xE008, 0xFF), out(0xE009, 0x0F), out(0xE00A, 0)},
         .ioBase = kE000Read},
        {.name = "DaBaseTextOverflows", .typed = {{"txtIOBase", "FFFFFFFFF"}}, .act = Act::Da,
         .number = 6, .headline = kOverflow, .sourceBox = "txtIOBase", .says = {"\"FFFFFFFFF\""},
         .ioBase = kE000},
        {.name = "DaBaseSumOutside16Bits", .typed = {{"txtIOBase", "7FF7"}, {"txtda(0)", "123"}},
         .act = Act::Da,
         .number = 6, .headline = kOverflow, .says = {"IOBase + 9"},
         .before = {out(0x7FFF, 0x23)}, .ioBase = 32759.0},

        // The real card: ports it refuses, and each failure the kernel can report.
        {.name = "PciPortOutsideTheCard", .backend = B::Pci, .typed = {{"txtIOBase", "NO"}},
         .act = Act::Output,
         .headline = kRefused,
         .says = {"port 0000 refused", "0000:03:00.0 BAR 1: E000-E01F", "check the base address"},
         .ioBase = 0.0},
        {.name = "PciNoCardGiven", .backend = B::PciNoCard, .act = Act::Output,
         .headline = kRefused, .says = {"port 0000 refused", "no card was given with --pci-id"},
         .ioBase = 0.0},
        {.name = "PciOpenNotPermitted", .backend = B::Pci, .act = Act::Output,
         .fault = {Call::Open, 1, {-1, EACCES}},
         .number = EACCES, .headline = "Port access error 13: Permission denied",
         .says = {"no permission to open", "resource1", "udev/60-qm5083-bench.rules",
                  "group qm5083"},
         .ioBase = kE000Read},
        {.name = "PciOpenFails", .backend = B::Pci, .act = Act::Clock,
         .fault = {Call::Open, 1, {-1, ENOENT}},
         .number = ENOENT, .headline = "Port access error 2: No such file or directory",
         .says = {"cannot open", "resource1 for port E007", "card 0000:03:00.0 BAR 1"},
         .ioBase = kE000},
        {.name = "PciDecodingOff", .backend = B::PciDecodingOff, .act = Act::Da,
         .number = ENXIO, .headline = "Port access error 6: No such device or address",
         .says = {"I/O decoding switched off", "port E008",
                  "setpci -s 0000:03:00.0 COMMAND=0001:0001"},
         .ioBase = kE000Read},
        {.name = "PciWriteFails", .backend = B::Pci,
         .typed = {{"txtOutput0", "11"}, {"txtOutput1", "22"}, {"txtOutput2", "33"}},
         .act = Act::Output, .fault = {Call::Pwrite, 3, {-1, EIO}},
         .number = EIO, .headline = kIoError, .says = {"writing port E002 through", "resource1 failed"},
         .before = {out(0xE000, 0x11), out(0xE001, 0x22)}, .ioBase = kE000Read},
        {.name = "PciWriteMovesNoByte", .backend = B::Pci, .typed = {{"txtda(0)", "345"}},
         .act = Act::Da, .fault = {Call::Pwrite, 2, {0, 0}},
         .number = EIO, .headline = kIoError, .says = {"writing port E009", "wrote no byte"},
         .before = {out(0xE008, 0x45)}, .ioBase = kE000Read},
        {.name = "PciWriteUnderLockdown", .backend = B::Pci, .act = Act::Clock,
         .fault = {Call::Pwrite, 1, {-1, EPERM}, "none [integrity] confidentiality"},
         .number = EPERM, .headline = "Port access error 1: Operation not permitted",
         .says = {"writing port E007", "kernel lockdown (mode \"integrity\")", "Secure Boot"},
         .ioBase = kE000},
        {.name = "PciReadFails", .backend = B::Pci, .act = Act::Tick,
         .fault = {Call::Pread, 2, {-1, EIO}},
         .number = EIO, .headline = kIoError, .says = {"reading port E001 through", "failed"},
         .before = {in(0xE000, 0)}, .ioBase = kE000},
        {.name = "PciReadMovesNoByte", .backend = B::Pci, .act = Act::Tick,
         .fault = {Call::Pread, 1, {0, 0}},
         .number = EIO, .headline = kIoError, .says = {"reading port E000", "returned no byte"},
         .ioBase = kE000},
    };
    return table;
}
// clang-format on

class FailurePath : public ::testing::TestWithParam<Row>
{
protected:
    void SetUp() override
    {
        const Row &row = GetParam();
        if (row.backend == Backend::Simulated) {
            simulated = std::make_unique<hardware::SimulatedCard>(
                [] { return std::chrono::nanoseconds(0); });
            port = std::make_unique<RecordingBackend>(*simulated);
            locator = std::make_unique<hardware::SimulatedLocator>();
        } else {
            std::vector<hardware::PciCard> cards;
            if (row.backend != Backend::PciNoCard)
                cards.push_back(cardAtE000(row.backend == Backend::PciDecodingOff));
            pci = std::make_unique<hardware::PciPortAccess>(cards, sys);
            port = std::make_unique<RecordingBackend>(*pci);
            locator = std::make_unique<hardware::PciLocator>(cards);
        }
        window = std::make_unique<window::Testqm5083>(*port, *locator, true);
        window->Timer1().stop(); // ticks come from the table only
        window->setReporter(
            [this](const window::ErrorReport &report) { reports.push_back(report); });
        window->Form_Load();
        ASSERT_TRUE(reports.empty());
    }

    QLineEdit *edit(const char *name) const
    {
        auto *box = window->findChild<QLineEdit *>(name);
        EXPECT_NE(box, nullptr) << name;
        return box;
    }

    void typeInto(const char *name, const char *text)
    {
        QLineEdit *box = edit(name);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QString::fromUtf8(text));
        ASSERT_EQ(box->text(), QString::fromUtf8(text));
    }

    void run(Act act)
    {
        const auto click = [this](const char *name) {
            QTest::mouseClick(window->findChild<QPushButton *>(name), Qt::LeftButton);
        };
        switch (act) {
        case Act::Locate:
            return click("cmdIOBase");
        case Act::Output:
            return click("cmdOutput");
        case Act::Tick:
            return window->Timer1_Timer();
        case Act::Clock:
            return click("cmdClk");
        case Act::Da:
            return click("cmdDA");
        }
    }

    FakeSysIo sys;
    std::unique_ptr<hardware::SimulatedCard> simulated;
    std::unique_ptr<hardware::PciPortAccess> pci;
    std::unique_ptr<RecordingBackend> port;
    std::unique_ptr<hardware::CardLocator> locator;
    std::unique_ptr<window::Testqm5083> window;
    std::vector<window::ErrorReport> reports;
};

TEST_P(FailurePath, IsReportedStopsWhereItFailsAndTheWindowGoesOn)
{
    const Row &row = GetParam();
    for (const Typed &typed : row.typed)
        typeInto(typed.box, typed.text);
    for (const Act act : row.setup)
        run(act);
    const QString baseShown = edit("txtIOBase")->text();
    reports.clear();
    port->accesses.clear();
    sys.arm(row.fault);

    run(row.act);

    ASSERT_EQ(reports.size(), 1U);
    const window::ErrorReport &report = reports[0];
    EXPECT_EQ(report.number, row.number);
    EXPECT_EQ(report.headline, QString::fromUtf8(row.headline));
    EXPECT_EQ(report.sourceBox, QString::fromUtf8(row.sourceBox));
    EXPECT_EQ(report.operation, QString::fromLatin1(operationName(row.act)));
    for (const char *text : row.says)
        EXPECT_TRUE(report.detail.contains(QString::fromUtf8(text)))
            << "\"" << text << "\" missing from: " << report.detail.toStdString();
    EXPECT_TRUE(report.detail.contains("the program goes on")) << report.detail.toStdString();
    EXPECT_EQ(port->accesses, row.before);
    EXPECT_EQ(window->IOBase().value(), row.ioBase);
    if (row.act == Act::Locate) {
        EXPECT_EQ(edit("txtIOBase")->text(), baseShown); // the locator was never asked
    }
    if (row.act == Act::Tick) {
        for (std::size_t g = 0; g < 4; ++g) {
            const QString name = QStringLiteral("txtInput%1").arg(g);
            const QString shown = window->findChild<QLineEdit *>(name)->text();
            if (g < row.before.size())
                EXPECT_EQ(shown, QString::number(row.before[g].value, 16).toUpper()) << g;
            else
                EXPECT_EQ(shown, "Text1") << g;
        }
    }

    // Goes on: with valid texts each operation makes its whole sequence, with no report.
    reports.clear();
    port->accesses.clear();
    typeInto("txtIOBase", "E000");
    for (const char *box : {"txtOutput0", "txtOutput1", "txtOutput2", "txtOutput3"})
        typeInto(box, "5A");
    typeInto("txtCardNo", "1");
    typeInto("txtClkBase", "1000");
    typeInto("txtClkOutput", "10");
    run(Act::Output);
    run(Act::Locate);
    run(Act::Tick);
    run(Act::Clock);
    if (row.backend == Backend::PciNoCard || row.backend == Backend::PciDecodingOff) {
        // A card that cannot be reached stays so: each port operation says so, none reaches it.
        EXPECT_EQ(reports.size(), 3U);
        EXPECT_TRUE(port->accesses.empty());
        return;
    }
    EXPECT_TRUE(reports.empty()) << reports[0].detail.toStdString();
    EXPECT_EQ(edit("txtIOBase")->text(), "E000");
    std::vector<Access> whole
        = {out(0xE000, 0x5A), out(0xE001, 0x5A), out(0xE002, 0x5A), out(0xE003, 0x5A),
           in(0xE000, 0x5A),  in(0xE001, 0x5A),  in(0xE002, 0x5A),  in(0xE003, 0x5A)};
    const auto clock = clockWrites(0xE000, 33);
    whole.insert(whole.end(), clock.begin(), clock.end());
    EXPECT_EQ(port->accesses, whole);
}

INSTANTIATE_TEST_SUITE_P(Rows, FailurePath, ::testing::ValuesIn(rows()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
