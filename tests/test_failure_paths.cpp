// Every way an operation can fail, through the real window: the boxes are typed into and the
// buttons clicked as an operator would. For each failure the report says what failed, the port
// accesses made before it are exactly the ones the operation makes up to that point and none
// follow, IOBase holds what the operation had stored, and the window goes on working.

#include "main_window.h"
#include "pci_bus.h"
#include "pci_locator.h"
#include "pci_port_access.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "support/clock_protocol.h"
#include "support/fake_sys_io.h"
#include "support/recording_port.h"
#include "support/sysfs_fixture.h"

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

using Call = support::FakeSysIo::Call;

// A system call that fails: the nth call of its kind after the fault is armed.
struct Fault
{
    Call call = Call::None;
    int nth = 1;
    hardware::SysResult result {};
    const char *lockdown = nullptr; // the kernel's lockdown state line; none without
};

enum class Backend {
    Simulated,      // the simulated card, its clock frozen
    Pci,            // a real card at E000-E01F, reached through its resource file
    PciDecodingOff, // the same card with I/O decoding switched off
    PciNoCard,      // started without --pci-id
};

// ---- the operations, as an operator starts them ----

using Act = panels::Operation;

// What the reports call each operation: the frame and button the operator sees.
const char *operationTitle(Act act)
{
    switch (act) {
    case Act::LocateCard:
        return "基地址 得到板卡的基地址";
    case Act::WriteDigitalOutputs:
        return "开关量输出 输出";
    case Act::ReadDigitalInputs:
        return "开关量输入";
    case Act::StartClockOutputs:
        return "脉冲量 时钟输出";
    case Act::WriteDaCodes:
        return "DA 输出";
    default:
        return "";
    }
}

// The first writes of the clock set-up with the starting dividers (k 1000: E8 03; n 10: 0A 00).
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
    Act act = Act::LocateCard;
    Fault fault {};
    int number = 0;
    const char *headline = "";
    const char *sourceBox = ""; // empty when the failure is not a box's text
    const char *where = "";     // the report's first paragraph; @FILE@ stands for the region file
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
        {.name = "CardNumberNotANumber", .typed = {{"txtCardNo", "abc"}}, .act = Act::LocateCard,
         .number = 13, .headline = kTypeMismatch, .sourceBox = "txtCardNo",  .where = "In text box txtCardNo: \"abc\"",
         .ioBase = kE000},
        {.name = "CardNumberOverflows", .typed = {{"txtCardNo", "40000"}}, .act = Act::LocateCard,
         .number = 6, .headline = kOverflow, .sourceBox = "txtCardNo",  .where = "In text box txtCardNo: \"40000\"",
         .ioBase = kE000},
        {.name = "LocateWithAStoredBaseOutside16Bits", .typed = {{"txtIOBase", "10000"}},
         .setup = {Act::WriteDigitalOutputs}, .act = Act::LocateCard,
         .number = 6, .headline = kOverflow,  .where = "In the port address IOBase, with IOBase = 65536",
         .ioBase = 65536.0},

        // Digital outputs: the base is stored first; each group's box is read just before its
        // write, its byte converted before the port.
        {.name = "OutputByteOverflows",
         .typed = {{"txtIOBase", "E000"}, {"txtOutput0", "11"}, {"txtOutput1", "22"},
                   {"txtOutput2", "10000"}},
         .act = Act::WriteDigitalOutputs,
         .number = 6, .headline = kOverflow, .sourceBox = "txtOutput2",  .where = "In text box txtOutput2: \"10000\"",
         .before = {out(0xE000, 0x11), out(0xE001, 0x22)}, .ioBase = kE000Read},
        {.name = "OutputBaseTextOverflows", .typed = {{"txtIOBase", "123456789"}},
         .act = Act::WriteDigitalOutputs,
         .number = 6, .headline = kOverflow, .sourceBox = "txtIOBase",  .where = "In text box txtIOBase: \"123456789\"",
         .ioBase = kE000},
        {.name = "OutputBaseSumOutside16Bits",
         .typed = {{"txtIOBase", "7FFE"}, {"txtOutput0", "1"}, {"txtOutput1", "2"}},
         .act = Act::WriteDigitalOutputs,
         .number = 6, .headline = kOverflow,  .where = "In the port address IOBase + 2, with IOBase = 32766 + 2",
         .before = {out(0x7FFE, 1), out(0x7FFF, 2)}, .ioBase = 32766.0},

        // Input monitor: each box is set right after its own read.
        {.name = "TickBaseSumOutside16Bits", .typed = {{"txtIOBase", "7FFE"}},
         .setup = {Act::WriteDigitalOutputs}, .act = Act::ReadDigitalInputs,
         .number = 6, .headline = kOverflow,  .where = "In the port address IOBase + 2, with IOBase = 32766 + 2",
         .before = {in(0x7FFE, 0xFF), in(0x7FFF, 0xFF)}, .ioBase = 32766.0},
        {.name = "TickBaseBelow16Bits", .typed = {{"txtIOBase", "FFFF7FFE"}},
         .setup = {Act::WriteDaCodes}, .act = Act::ReadDigitalInputs,
         .number = 6, .headline = kOverflow,  .where = "In the port address IOBase + 0, with IOBase = -32770 + 0",
         .ioBase = -32770.0},

        // Clock outputs: all four divider bytes are converted before the first write.
        {.name = "ClockOutputDividerOverflows", .typed = {{"txtClkOutput", "65536"}},
         .act = Act::StartClockOutputs,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkOutput",  .where = "In text box txtClkOutput: \"65536\"",
         .ioBase = kE000},
        {.name = "ClockBaseDividerNegative", .typed = {{"txtClkBase", "-1"}}, .act = Act::StartClockOutputs,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkBase",  .where = "In text box txtClkBase: \"-1\"",
         .ioBase = kE000},
        {.name = "ClockDividerBeyond32Bits", .typed = {{"txtClkOutput", "3000000000"}},
         .act = Act::StartClockOutputs,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkOutput",
          .where = "In text box txtClkOutput: \"3000000000\"", .ioBase = kE000},
        {.name = "ClockDividerBeyondADouble", .typed = {{"txtClkBase", "1E400"}},
         .act = Act::StartClockOutputs,
         .number = 6, .headline = kOverflow, .sourceBox = "txtClkBase",  .where = "In text box txtClkBase: \"1E400\"",
         .ioBase = kE000},
        {.name = "ClockBaseSumOutside16Bits", .typed = {{"txtIOBase", "7FF0"}},
         .setup = {Act::WriteDigitalOutputs}, .act = Act::StartClockOutputs,
         .number = 6, .headline = kOverflow,  .where = "In the port address IOBase + 19, with IOBase = 32752 + 19",
         .before = clockWrites(0x7FF0, 24), .ioBase = 32752.0},

        // DA outputs: the base is stored first; each channel's box is read just before its
        // three writes.
        {.name = "DaCodeOverflows",
         .typed = {{"txtIOBase", "E000"}, {"txtda(0)", "FFF"}, {"txtda(1)", "800000"}},
         .act = Act::WriteDaCodes,
         .number = 6, .headline = kOverflow, .sourceBox = "txtda(1)",  .where = "In text box txtda(1): \"800000\"",
         .before = {out(0xE008, 0xFF), out(0xE009, 0x0F), out(0xE00A, 0)},
         .ioBase = kE000Read},
        {.name = "DaBaseTextOverflows", .typed = {{"txtIOBase", "FFFFFFFFF"}}, .act = Act::WriteDaCodes,
         .number = 6, .headline = kOverflow, .sourceBox = "txtIOBase",  .where = "In text box txtIOBase: \"FFFFFFFFF\"",
         .ioBase = kE000},
        {.name = "DaBaseSumOutside16Bits", .typed = {{"txtIOBase", "7FF7"}, {"txtda(0)", "123"}},
         .act = Act::WriteDaCodes,
         .number = 6, .headline = kOverflow,  .where = "In the port address IOBase + 9, with IOBase = 32759 + 9",
         .before = {out(0x7FFF, 0x23)}, .ioBase = 32759.0},

        // The real card: ports it refuses, and each failure the kernel can report.
        {.name = "PciPortOutsideTheCard", .backend = B::Pci, .typed = {{"txtIOBase", "NO"}},
         .act = Act::WriteDigitalOutputs,
         .headline = kRefused,
          .where = "port 0000 refused: it is not a register of the cards given with --pci-id (0000:03:00.0 BAR 1: E000-E01F); check the base address",
         .ioBase = 0.0},
        {.name = "PciNoCardGiven", .backend = B::PciNoCard, .act = Act::WriteDigitalOutputs,
         .headline = kRefused,  .where = "port 0000 refused: no card was given with --pci-id, so the program reaches no port",
         .ioBase = 0.0},
        {.name = "PciOpenNotPermitted", .backend = B::Pci, .act = Act::WriteDigitalOutputs,
         .fault = {Call::Open, 1, {-1, EACCES}},
         .number = EACCES, .headline = "Port access error 13: Permission denied",
          .where = "no permission to open @FILE@ for port E000: install udev/60-qm5083-bench.rules with the card's ids, add your user to group qm5083 and log in again (README.md, \"Running on a real card\"), or run as root: Permission denied",
         .ioBase = kE000Read},
        {.name = "PciOpenFails", .backend = B::Pci, .act = Act::StartClockOutputs,
         .fault = {Call::Open, 1, {-1, ENOENT}},
         .number = ENOENT, .headline = "Port access error 2: No such file or directory",
          .where = "cannot open @FILE@ for port E007 (card 0000:03:00.0 BAR 1): No such file or directory",
         .ioBase = kE000},
        {.name = "PciDecodingOff", .backend = B::PciDecodingOff, .act = Act::WriteDaCodes,
         .number = ENXIO, .headline = "Port access error 6: No such device or address",
          .where = "card 0000:03:00.0 has I/O decoding switched off (I/O Space bit of its PCI command register is 0), so port E008 would not reach it; enable it as root with \"setpci -s 0000:03:00.0 COMMAND=0001:0001\" or load the card's driver: No such device or address",
         .ioBase = kE000Read},
        {.name = "PciWriteFails", .backend = B::Pci,
         .typed = {{"txtOutput0", "11"}, {"txtOutput1", "22"}, {"txtOutput2", "33"}},
         .act = Act::WriteDigitalOutputs, .fault = {Call::Pwrite, 3, {-1, EIO}},
         .number = EIO, .headline = kIoError,  .where = "writing port E002 through @FILE@ failed: Input/output error",
         .before = {out(0xE000, 0x11), out(0xE001, 0x22)}, .ioBase = kE000Read},
        {.name = "PciWriteMovesNoByte", .backend = B::Pci, .typed = {{"txtda(0)", "345"}},
         .act = Act::WriteDaCodes, .fault = {Call::Pwrite, 2, {0, 0}},
         .number = EIO, .headline = kIoError,  .where = "writing port E009 through @FILE@ wrote no byte: Input/output error",
         .before = {out(0xE008, 0x45)}, .ioBase = kE000Read},
        {.name = "PciWriteUnderLockdown", .backend = B::Pci, .act = Act::StartClockOutputs,
         .fault = {Call::Pwrite, 1, {-1, EPERM}, "none [integrity] confidentiality"},
         .number = EPERM, .headline = "Port access error 1: Operation not permitted",
          .where = "writing port E007 through @FILE@ was refused: kernel lockdown (mode \"integrity\") forbids port writes from user space; to use the card, boot with lockdown off: disable Secure Boot in the firmware setup (or with mokutil --disable-validation) and remove any lockdown= kernel parameter: Operation not permitted",
         .ioBase = kE000},
        {.name = "PciReadFails", .backend = B::Pci, .act = Act::ReadDigitalInputs,
         .fault = {Call::Pread, 2, {-1, EIO}},
         .number = EIO, .headline = kIoError,  .where = "reading port E001 through @FILE@ failed: Input/output error",
         .before = {in(0xE000, 0)}, .ioBase = kE000},
        {.name = "PciReadMovesNoByte", .backend = B::Pci, .act = Act::ReadDigitalInputs,
         .fault = {Call::Pread, 1, {0, 0}},
         .number = EIO, .headline = kIoError,  .where = "reading port E000 through @FILE@ returned no byte: Input/output error",
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
            port = std::make_unique<support::RecordingPort>(*simulated);
            locator = std::make_unique<hardware::SimulatedLocator>();
        } else {
            // A real card with its I/O region at E000-E01F (BAR 1), in a fixture sysfs tree.
            support::FixtureDevice card {
                "0000:03:00.0",
                0x1234,
                0x5678,
                {support::mem(0xf7e00000, 0x1000), support::io(0xe000, 0x20)}};
            if (row.backend == Backend::PciDecodingOff)
                card.command = 0x0002;
            tree.add(card);
            std::vector<hardware::PciCard> cards;
            if (row.backend != Backend::PciNoCard)
                cards = hardware::scanPciCards({{0x1234, 0x5678, {}}}, tree.root());
            pci = std::make_unique<hardware::PciPortAccess>(cards, sys);
            port = std::make_unique<support::RecordingPort>(*pci);
            locator = std::make_unique<hardware::PciLocator>(cards);
        }
        window = std::make_unique<window::MainWindow>(*port, *locator, true);
        window->inputTimer().stop(); // ticks come from the table only
        window->setReporter(
            [this](const window::ErrorReport &report) { reports.push_back(report); });
        window->locateCardAtStart();
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
        case Act::LocateCard:
            return click("cmdIOBase");
        case Act::WriteDigitalOutputs:
            return click("cmdOutput");
        case Act::ReadDigitalInputs:
            return window->run(Act::ReadDigitalInputs);
        case Act::StartClockOutputs:
            return click("cmdClk");
        case Act::WriteDaCodes:
            return click("cmdDA");
        default:
            return;
        }
    }

    support::SysfsFixture tree;
    support::FakeSysIo sys;
    std::unique_ptr<hardware::SimulatedCard> simulated;
    std::unique_ptr<hardware::PciPortAccess> pci;
    std::unique_ptr<support::RecordingPort> port;
    std::unique_ptr<hardware::CardLocator> locator;
    std::unique_ptr<window::MainWindow> window;
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
    sys.lockdown
        = row.fault.lockdown ? std::optional<std::string>(row.fault.lockdown) : std::nullopt;
    sys.failNth(row.fault.call, row.fault.nth, row.fault.result);

    run(row.act);

    ASSERT_EQ(reports.size(), 1U);
    const window::ErrorReport &report = reports[0];
    EXPECT_EQ(report.number, row.number);
    EXPECT_EQ(report.headline, QString::fromUtf8(row.headline));
    EXPECT_EQ(report.sourceBox, QString::fromUtf8(row.sourceBox));
    EXPECT_EQ(report.operation, QString::fromUtf8(operationTitle(row.act)));
    QString where = QString::fromUtf8(row.where);
    where.replace(QStringLiteral("@FILE@"),
                  QString::fromStdString(tree.resourceFile("0000:03:00.0", 1).string()));
    EXPECT_EQ(report.detail.toStdString(),
              (where.isEmpty() ? QString() : where + "\n\n").toStdString() + "The operation "
                  + operationTitle(row.act)
                  + " stopped here: port writes already made stay made, and the program goes "
                    "on.");
    EXPECT_EQ(port->accesses, row.before);
    EXPECT_EQ(window->IOBase().value(), row.ioBase);
    if (row.act == Act::LocateCard) {
        EXPECT_EQ(edit("txtIOBase")->text(), baseShown); // the locator was never asked
    }
    if (row.act == Act::ReadDigitalInputs) {
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
    run(Act::WriteDigitalOutputs);
    run(Act::LocateCard);
    run(Act::ReadDigitalInputs);
    run(Act::StartClockOutputs);
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
