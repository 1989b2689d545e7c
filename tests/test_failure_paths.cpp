// Every way an operation can fail, through the real window: the boxes are typed into and the
// buttons clicked as an operator would. For each failure the report says what failed, the port
// accesses made before it are exactly the ones the operation makes up to that point and none
// follow, IOBase holds what the operation had stored, and the window goes on working.

#include "main_window.h"
#include "pci_bus.h"
#include "pci_locator.h"
#include "pci_port_access.h"
#include "recording_port.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "support/clock_protocol.h"
#include "support/fake_sys_io.h"
#include "support/operation_rows.h"
#include "support/row_name.h"
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
    PciHigh,        // a real card at 7FE0-7FFF, where a base plus offset can leave 16 bits
    PciTwoCards,    // cards at E000-E01F and E020-E03F
    PciDecodingOff, // the card at E000 with I/O decoding switched off
    PciNoCard,      // started without --pci-id
    PciIdsNoCard,   // started with --pci-id, and no such card on the bus
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

using support::Typed;

struct Row
{
    const char *name = "";
    Backend backend = Backend::Simulated;
    std::vector<Typed> typed {};
    std::vector<Act> setup {}; // run first; their own reports and accesses aside
    Act act = Act::LocateCard;
    Fault fault {};
    const char *headline = "";
    const char *sourceBox = ""; // empty when the failure is not a box's text
    const char *where = ""; // what failed, the report's first paragraphs; @FILE@: the region file
    std::vector<Access> before {}; // the accesses the failing operation makes, in order
    convert::Value ioBase {};      // IOBase after it
};

constexpr std::int16_t kE000 = -8192; // as a locate stores it
constexpr double kE000Read = -8192.0; // as a digital or DA output reads it from the base box
const char *const kOverflow = "Run-time error 6: Overflow";
const char *const kTypeMismatch = "Run-time error 13: Type mismatch";
const char *const kRefused = "Port access refused";
const char *const kIoError = "Port access error 5: Input/output error";
// What a refusal report advises: to reach the card, or to start the program on one.
#define QM5083_LOCATE_OR_TYPE_BASE \
    "\n\nPress 得到板卡的基地址 to locate the card, or type its base address in 基地址 and press " \
    "输出 or DA 输出."
#define QM5083_START_WITH_IDS \
    "\n\nqm5083-bench --check-setup says what stands between the program and the card (the " \
    "card set-up, the card on the bus, its ids); then start the program again."

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
         .headline = kTypeMismatch, .sourceBox = "txtCardNo",  .where = "卡号: \"abc\" cannot be used; type a value from 1 to 32767.",
         .ioBase = kE000},
        {.name = "CardNumberOverflows", .typed = {{"txtCardNo", "40000"}}, .act = Act::LocateCard,
         .headline = kOverflow, .sourceBox = "txtCardNo",  .where = "卡号: \"40000\" cannot be used; type a value from 1 to 32767.",
         .ioBase = kE000},
        {.name = "LocateWithAStoredBaseOutside16Bits", .typed = {{"txtIOBase", "10000"}},
         .setup = {Act::WriteDigitalOutputs}, .act = Act::LocateCard,
         .headline = kOverflow,  .where = "The base address stored last (10000) is not a 16-bit port number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.",
         .ioBase = 65536.0},

        // Digital outputs: the base is stored first; each group's box is read just before its
        // write, its byte converted before the port.
        {.name = "OutputByteOverflows",
         .typed = {{"txtIOBase", "E000"}, {"txtOutput0", "11"}, {"txtOutput1", "22"},
                   {"txtOutput2", "10000"}},
         .act = Act::WriteDigitalOutputs,
         .headline = kOverflow, .sourceBox = "txtOutput2",  .where = "开关量输出 第三组: \"10000\" cannot be used; type a value from 00 to FF (a larger value, up to FFFF, keeps its low 8 bits).",
         .before = {out(0xE000, 0x11), out(0xE001, 0x22)}, .ioBase = kE000Read},
        {.name = "OutputBaseTextOverflows", .typed = {{"txtIOBase", "123456789"}},
         .act = Act::WriteDigitalOutputs,
         .headline = kOverflow, .sourceBox = "txtIOBase",  .where = "基地址: \"123456789\" cannot be used; type a value from 0000 to FFFF.",
         .ioBase = kE000},
        {.name = "OutputBaseSumOutside16Bits", .backend = B::PciHigh,
         .typed = {{"txtIOBase", "7FFE"}, {"txtOutput0", "1"}, {"txtOutput1", "2"}},
         .act = Act::WriteDigitalOutputs,
         .headline = kOverflow,  .where = "The base address stored last (7FFE) plus register offset 2 is not a 16-bit port number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.",
         .before = {out(0x7FFE, 1), out(0x7FFF, 2)}, .ioBase = 32766.0},

        // Input monitor: each box is set right after its own read.
        {.name = "TickBaseSumOutside16Bits", .backend = B::PciHigh, .typed = {{"txtIOBase", "7FFE"}},
         .setup = {Act::WriteDaCodes}, .act = Act::ReadDigitalInputs,
         .headline = kOverflow,  .where = "The base address stored last (7FFE) plus register offset 2 is not a 16-bit port number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.",
         .before = {in(0x7FFE, 0), in(0x7FFF, 0)}, .ioBase = 32766.0},
        {.name = "TickBaseBelow16Bits", .typed = {{"txtIOBase", "FFFF7FFE"}},
         .setup = {Act::WriteDaCodes}, .act = Act::ReadDigitalInputs,
         .headline = kOverflow,  .where = "The base address stored last (FFFF7FFE) plus register offset 0 is not a 16-bit port number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.",
         .ioBase = -32770.0},

        // Clock outputs: all four divider bytes are converted before the first write.
        {.name = "ClockOutputDividerOverflows", .typed = {{"txtClkOutput", "65536"}},
         .act = Act::StartClockOutputs,
         .headline = kOverflow, .sourceBox = "txtClkOutput",  .where = "脉冲量 输出因子 n: \"65536\" cannot be used; type a value from 0 to 65535 (0 divides by 65536).",
         .ioBase = kE000},
        {.name = "ClockBaseDividerNegative", .typed = {{"txtClkBase", "-1"}}, .act = Act::StartClockOutputs,
         .headline = kOverflow, .sourceBox = "txtClkBase",  .where = "脉冲量 分频因子 k: \"-1\" cannot be used; type a value from 0 to 65535 (0 divides by 65536).",
         .ioBase = kE000},
        {.name = "ClockDividerBeyond32Bits", .typed = {{"txtClkOutput", "3000000000"}},
         .act = Act::StartClockOutputs,
         .headline = kOverflow, .sourceBox = "txtClkOutput",
          .where = "脉冲量 输出因子 n: \"3000000000\" cannot be used; type a value from 0 to 65535 (0 divides by 65536).", .ioBase = kE000},
        {.name = "ClockDividerBeyondADouble", .typed = {{"txtClkBase", "1E400"}},
         .act = Act::StartClockOutputs,
         .headline = kOverflow, .sourceBox = "txtClkBase",  .where = "脉冲量 分频因子 k: \"1E400\" cannot be used; type a value from 0 to 65535 (0 divides by 65536).",
         .ioBase = kE000},
        {.name = "ClockBaseSumOutside16Bits", .backend = B::PciHigh, .typed = {{"txtIOBase", "7FF0"}},
         .setup = {Act::WriteDigitalOutputs}, .act = Act::StartClockOutputs,
         .headline = kOverflow,  .where = "The base address stored last (7FF0) plus register offset 19 is not a 16-bit port number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.",
         .before = clockWrites(0x7FF0, 24), .ioBase = 32752.0},

        // DA outputs: the base is stored first; each channel's box is read just before its
        // three writes.
        {.name = "DaCodeOverflows",
         .typed = {{"txtIOBase", "E000"}, {"txtda(0)", "FFF"}, {"txtda(1)", "800000"}},
         .act = Act::WriteDaCodes,
         .headline = kOverflow, .sourceBox = "txtda(1)",  .where = "DA1: \"800000\" cannot be used; type a value from 0 to FFF.",
         .before = {out(0xE008, 0xFF), out(0xE009, 0x0F), out(0xE00A, 0)},
         .ioBase = kE000Read},
        {.name = "DaBaseTextOverflows", .typed = {{"txtIOBase", "FFFFFFFFF"}}, .act = Act::WriteDaCodes,
         .headline = kOverflow, .sourceBox = "txtIOBase",  .where = "基地址: \"FFFFFFFFF\" cannot be used; type a value from 0000 to FFFF.",
         .ioBase = kE000},
        {.name = "DaBaseSumOutside16Bits", .backend = B::PciHigh, .typed = {{"txtIOBase", "7FF7"}, {"txtda(0)", "123"}},
         .act = Act::WriteDaCodes,
         .headline = kOverflow,  .where = "The base address stored last (7FF7) plus register offset 9 is not a 16-bit port number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.",
         .before = {out(0x7FFF, 0x23)}, .ioBase = 32759.0},

        // The real card: ports it refuses, and each failure the kernel can report.
        {.name = "SimulatedPortOutsideTheCard", .typed = {{"txtIOBase", "NO"}},
         .act = Act::WriteDigitalOutputs, .headline = kRefused, .where = "port 0000 refused: it is not a register of the simulated card (E000-E013); check the base address" QM5083_LOCATE_OR_TYPE_BASE, .ioBase = 0.0},
        {.name = "PciPortOutsideTheCard", .backend = B::Pci, .typed = {{"txtIOBase", "NO"}},
         .act = Act::WriteDigitalOutputs,
         .headline = kRefused,
          .where = "port 0000 refused: it is not a register of the cards given with --pci-id (0000:03:00.0 BAR 1: E000-E01F); check the base address" QM5083_LOCATE_OR_TYPE_BASE,
         .ioBase = 0.0},
        {.name = "PciNoCardGiven", .backend = B::PciNoCard, .act = Act::WriteDigitalOutputs,
         .headline = kRefused,  .where = "port 0000 refused: no card was given with --pci-id, so the program reaches no port" QM5083_START_WITH_IDS,
         .ioBase = 0.0},
        {.name = "PciIdsGivenNoCardFound", .backend = B::PciIdsNoCard, .act = Act::WriteDigitalOutputs,
         .headline = kRefused, .where = "port 0000 refused: no card 1234:5678 on the PCI bus; check with lspci -nn that the card is in the PC and that these are its ids" QM5083_START_WITH_IDS, .ioBase = 0.0},
        {.name = "PciOperationRunsIntoTheNextCard", .backend = B::PciTwoCards,
         .typed = {{"txtIOBase", "E010"}}, .setup = {Act::WriteDigitalOutputs},
         .act = Act::StartClockOutputs, .headline = kRefused, .where = "port E023 refused: it belongs to card 0000:03:00.1, but this operation is on card 0000:03:00.0 (0000:03:00.0 BAR 1: E000-E01F) and stays on one card; check the base address" QM5083_LOCATE_OR_TYPE_BASE,
         .ioBase = -8176.0},
        // A port the card would refuse is refused before the first access: nothing is written or read.
        {.name = "OutputsRunOffTheSimulatedCard", .typed = {{"txtIOBase", "E011"}}, .act = Act::WriteDigitalOutputs,
         .headline = kRefused, .where = "port E014 refused: it is not a register of the simulated card (E000-E013); check the base address" QM5083_LOCATE_OR_TYPE_BASE,
         .ioBase = -8175.0},
        // A long text is quoted by its first 40 characters.
        {.name = "LongTextQuotedShort", .typed = {{"txtOutput1", "1234567890123456789012345678901234567890ABCDEF"}},
         .act = Act::WriteDigitalOutputs, .headline = kOverflow, .sourceBox = "txtOutput1",
         .where = "开关量输出 第二组: \"1234567890123456789012345678901234567890…\" cannot be used; type a value from 00 to FF (a larger value, up to FFFF, keeps its low 8 bits).",
         .before = {out(0xE000, 0x00)}, .ioBase = kE000Read},
        {.name = "PciOpenNotPermitted", .backend = B::Pci, .act = Act::WriteDigitalOutputs,
         .fault = {Call::Open, 1, {-1, EACCES}},
         .headline = "Port access error 13: Permission denied",
          .where = "no permission to open @FILE@ for port E000: \"qm5083-bench --check-setup\" says what is missing; once \"sudo qm5083-bench --setup VVVV:DDDD\" has given group qm5083 the card, its members reach it after logging in again",
         .ioBase = kE000Read},
        {.name = "PciOpenFails", .backend = B::Pci, .act = Act::StartClockOutputs,
         .fault = {Call::Open, 1, {-1, ENOENT}},
         .headline = "Port access error 2: No such file or directory",
          .where = "cannot open @FILE@ for port E007 (card 0000:03:00.0 BAR 1)",
         .ioBase = kE000},
        {.name = "PciDecodingOff", .backend = B::PciDecodingOff, .act = Act::WriteDaCodes,
         .headline = "Port access error 6: No such device or address",
          .where = "card 0000:03:00.0 has I/O decoding switched off (I/O Space bit of its PCI command register is 0), so port E008 would not reach it; enable it as root with \"setpci -s 0000:03:00.0 COMMAND=0001:0001\" or load the card's driver",
         .ioBase = kE000Read},
        {.name = "PciWriteFails", .backend = B::Pci,
         .typed = {{"txtOutput0", "11"}, {"txtOutput1", "22"}, {"txtOutput2", "33"}},
         .act = Act::WriteDigitalOutputs, .fault = {Call::Pwrite, 3, {-1, EIO}},
         .headline = kIoError,  .where = "writing port E002 through @FILE@ failed",
         .before = {out(0xE000, 0x11), out(0xE001, 0x22)}, .ioBase = kE000Read},
        {.name = "PciWriteMovesNoByte", .backend = B::Pci, .typed = {{"txtda(0)", "345"}},
         .act = Act::WriteDaCodes, .fault = {Call::Pwrite, 2, {0, 0}},
         .headline = kIoError,  .where = "writing port E009 through @FILE@ wrote no byte",
         .before = {out(0xE008, 0x45)}, .ioBase = kE000Read},
        {.name = "PciWriteUnderLockdown", .backend = B::Pci, .act = Act::StartClockOutputs,
         .fault = {Call::Pwrite, 1, {-1, EPERM}, "none [integrity] confidentiality"},
         .headline = "Port access error 1: Operation not permitted",
          .where = "writing port E007 through @FILE@ was refused: kernel lockdown (mode \"integrity\") forbids port writes from user space; to use the card, boot with lockdown off: disable Secure Boot in the firmware setup (or with mokutil --disable-validation) and remove any lockdown= kernel parameter",
         .ioBase = kE000},
        {.name = "PciReadFails", .backend = B::Pci, .act = Act::ReadDigitalInputs,
         .fault = {Call::Pread, 2, {-1, EIO}},
         .headline = kIoError,  .where = "reading port E001 through @FILE@ failed",
         .before = {in(0xE000, 0)}, .ioBase = kE000},
        {.name = "PciReadMovesNoByte", .backend = B::Pci, .act = Act::ReadDigitalInputs,
         .fault = {Call::Pread, 1, {0, 0}},
         .headline = kIoError,  .where = "reading port E000 through @FILE@ returned no byte",
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
            // Real cards with their I/O regions in BAR 1, in a fixture sysfs tree.
            const std::uint16_t start = row.backend == Backend::PciHigh ? 0x7fe0 : 0xe000;
            support::FixtureDevice card {
                "0000:03:00.0",
                0x1234,
                0x5678,
                {support::mem(0xf7e00000, 0x1000), support::io(start, 0x20)}};
            if (row.backend == Backend::PciDecodingOff)
                card.command = 0x0002;
            if (row.backend != Backend::PciIdsNoCard)
                tree.add(card);
            if (row.backend == Backend::PciTwoCards)
                tree.add({"0000:03:00.1",
                          0x1234,
                          0x5678,
                          {support::mem(0xf7f00000, 0x1000), support::io(0xe020, 0x20)}});
            std::vector<hardware::PciId> ids;
            if (row.backend != Backend::PciNoCard)
                ids = {{0x1234, 0x5678, {}}};
            const std::vector<hardware::PciCard> cards = hardware::scanPciCards(ids, tree.root());
            pci = std::make_unique<hardware::PciPortAccess>(cards, sys, ids);
            port = std::make_unique<support::RecordingPort>(*pci);
            locator = std::make_unique<hardware::PciLocator>(cards);
        }
        window = std::make_unique<window::MainWindow>(*port, *locator,
                                                      hardware::BackendKind::Simulated);
        window->setReporter(
            [this](const reports::ErrorReport &report) { reports.push_back(report); });
        window->start();
        window->inputTimer().stop(); // ticks come from the table only
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
            window->run(Act::ReadDigitalInputs);
            return;
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
    std::vector<reports::ErrorReport> reports;
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
    port->clear();
    sys.lockdown
        = row.fault.lockdown ? std::optional<std::string>(row.fault.lockdown) : std::nullopt;
    sys.failNth(row.fault.call, row.fault.nth, row.fault.result);

    run(row.act);

    ASSERT_EQ(reports.size(), 1U);
    const reports::ErrorReport &report = reports[0];
    EXPECT_EQ(report.headline, QString::fromUtf8(row.headline));
    EXPECT_EQ(report.sourceBox, QString::fromUtf8(row.sourceBox));
    // What failed, then the ports written (or read) before it, then that the operation stopped.
    QString expected = QString::fromUtf8(row.where);
    expected.replace(QStringLiteral("@FILE@"),
                     QString::fromStdString(tree.resourceFile("0000:03:00.0", 1).string()));
    QStringList reached;
    for (const Access &access : row.before)
        reached << QString::asprintf("%04X=%02X", access.port, access.value & 0xFF);
    const bool reads = row.act == Act::ReadDigitalInputs;
    if (reached.isEmpty())
        expected += reads ? "\n\nNo port was read." : "\n\nNo port was written.";
    else
        expected += QStringLiteral("\n\n%1 before it stopped (port=byte): %2.")
                        .arg(reads ? "Read" : "Written", reached.join(", "));
    expected += QStringLiteral("\n\nThe operation %1 stopped there; the program goes on.")
                    .arg(QString::fromUtf8(operationTitle(row.act)));
    if (reads)
        expected += QStringLiteral("\n\nThe inputs are no longer read; they are read again once "
                                   "a base address is stored.");
    EXPECT_EQ(report.detail.toStdString(), expected.toStdString());
    EXPECT_EQ(port->accesses(), row.before);
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
    port->clear();
    const bool high = row.backend == Backend::PciHigh;
    const std::uint16_t base = high ? 0x7FE0 : 0xE000;
    typeInto("txtIOBase", high ? "7FE0" : "E000");
    for (const char *box : {"txtOutput0", "txtOutput1", "txtOutput2", "txtOutput3"})
        typeInto(box, "5A");
    typeInto("txtCardNo", "1");
    typeInto("txtClkBase", "1000");
    typeInto("txtClkOutput", "10");
    run(Act::WriteDigitalOutputs);
    run(Act::LocateCard);
    run(Act::ReadDigitalInputs);
    run(Act::StartClockOutputs);
    if (row.backend == Backend::PciNoCard || row.backend == Backend::PciDecodingOff
        || row.backend == Backend::PciIdsNoCard) {
        // A card that cannot be reached stays so: each press says so, none reaches it, and the
        // monitor adds no report of its own.
        EXPECT_EQ(reports.size(), 2U);
        EXPECT_TRUE(port->accesses().empty());
        return;
    }
    EXPECT_TRUE(reports.empty()) << reports[0].detail.toStdString();
    EXPECT_EQ(edit("txtIOBase")->text(), high ? "7FE0" : "E000");
    std::vector<Access> whole;
    for (std::uint16_t group = 0; group < 4; ++group)
        whole.push_back(out(static_cast<std::uint16_t>(base + group), 0x5A));
    for (std::uint16_t group = 0; group < 4; ++group)
        whole.push_back(in(static_cast<std::uint16_t>(base + group), 0x5A));
    const auto clock = clockWrites(base, 33);
    whole.insert(whole.end(), clock.begin(), clock.end());
    EXPECT_EQ(port->accesses(), whole);
}

INSTANTIATE_TEST_SUITE_P(Rows, FailurePath, ::testing::ValuesIn(rows()),
                         qm5083::testing::RowName {});

} // namespace
