#include "main_window.h"
#include "simulated_locator.h"
#include "support/recording_port.h"
#include "window_layout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <system_error>
#include <vector>

using namespace qm5083;
using qm5083::testing::RecordingPort;
using window::MainWindow;

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A locator that always fails as a missing bus would.
class FailingLocator final : public hardware::CardLocator
{
public:
    std::optional<std::uint16_t> findCard(std::int16_t) override
    {
        throw std::system_error(ENOENT, std::generic_category(), "/sys/bus/pci: no PCI bus");
    }
};

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest() { makeWindow(locator); }

    void makeWindow(hardware::CardLocator &withLocator, bool simulated = true)
    {
        window = std::make_unique<MainWindow>(port, withLocator, simulated);
        window->setReporter(
            [this](const window::ErrorReport &report) { reports.push_back(report); });
    }

    QLineEdit *edit(const char *name) const { return window->findChild<QLineEdit *>(name); }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(name); }

    void typeInto(const char *name, const QString &text)
    {
        QLineEdit *box = edit(name);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }

    RecordingPort port;
    hardware::SimulatedLocator locator;
    std::unique_ptr<MainWindow> window;
    std::vector<window::ErrorReport> reports;
};

TEST_F(MainWindowTest, CaptionSaysWhenTheCardIsSimulated)
{
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("qm5083测试程序 [仿真]"));
    makeWindow(locator, false);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("qm5083测试程序"));
}

// Every control's name, pixel rectangle at 96 dpi and text, in tests/data: frames and Exit at
// their twips / 15 rounded to the nearest pixel, the controls inside a frame offset by it,
// labels sized to their text in the program's font.
TEST_F(MainWindowTest, EveryControlSitsWhereItWasLaidOut)
{
    ASSERT_EQ(window->logicalDpiX(), 96);
    EXPECT_EQ(window->size(), QSize(412, 424));
    std::ifstream golden(QM5083_TEST_DATA "/window_layout_96dpi.txt");
    ASSERT_TRUE(golden) << "no golden layout file";
    QStringList expected;
    for (std::string line; std::getline(golden, line);)
        expected << QString::fromStdString(line);
    EXPECT_EQ(window->layoutLines(), expected);
}

TEST_F(MainWindowTest, AControlMissingFromTheTablesStopsTheWindowBeingBuilt)
{
    const std::array<const panels::PanelLayout *, 4> withoutDa {
        &panels::kBaseAddressPanel, &panels::kDigitalOutputPanel, &panels::kDigitalInputPanel,
        &panels::kClockPanel};
    try {
        MainWindow incomplete(port, locator, true, withoutDa);
        FAIL() << "the window was built without its DA boxes";
    } catch (const window::MissingControl &missing) {
        EXPECT_STREQ(missing.what(),
                     "the window's control tables have no text box named "
                     "txtda(0), which an operation reads");
    }
}

TEST_F(MainWindowTest, LabelsFitTheirTextsInsideTheirFramesWithoutCoveringOtherControls)
{
    for (const panels::PanelLayout *panel : window::kPanels) {
        const auto *frame = window->findChild<QGroupBox *>(qs(panel->frame.name));
        const QRect inside = frame->rect().adjusted(1, 1, -1, -1);
        const auto siblings = frame->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        for (const QLabel *label : frame->findChildren<QLabel *>()) {
            const QFontMetrics metrics(label->font());
            EXPECT_GE(label->width(), metrics.horizontalAdvance(label->text()))
                << label->objectName().toStdString();
            EXPECT_GE(label->height(), metrics.ascent() + metrics.descent())
                << label->objectName().toStdString();
            EXPECT_TRUE(inside.contains(label->geometry())) << label->objectName().toStdString();
            for (const QWidget *other : siblings) {
                if (other == label || qobject_cast<const QLabel *>(other))
                    continue;
                EXPECT_FALSE(label->geometry().intersects(other->geometry()))
                    << label->objectName().toStdString() << " covers "
                    << other->objectName().toStdString();
            }
        }
        for (const QPushButton *push : frame->findChildren<QPushButton *>())
            EXPECT_GE(push->width(), QFontMetrics(push->font()).horizontalAdvance(push->text()) + 8)
                << push->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, TabOrderFollowsTheTabIndicesStartingAtExit)
{
    const char *expected[]
        = {"Command_exit", "txtCardNo",  "txtIOBase",  "cmdIOBase",    "cmdOutput", "txtOutput0",
           "txtOutput1",   "txtOutput2", "txtOutput3", "txtInput3",    "txtInput2", "txtInput1",
           "txtInput0",    "cmdClk",     "txtClkBase", "txtClkOutput", "txtda(0)",  "txtda(1)",
           "txtda(2)",     "txtda(3)",   "cmdDA"};
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), button("Command_exit"));
    QStringList order;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QStringList want;
    for (const char *name : expected)
        want << name;
    EXPECT_EQ(order, want);
    EXPECT_EQ(QApplication::focusWidget(), button("Command_exit")); // and round again
}

TEST_F(MainWindowTest, LoadShowsTheLocatedBaseNeverTheDesignText)
{
    EXPECT_EQ(edit("txtIOBase")->text(), "E00d");
    window->locateCardAtStart();
    EXPECT_EQ(edit("txtIOBase")->text(), "E000");
    EXPECT_EQ(window->IOBase().value(), convert::Value {static_cast<std::int16_t>(0xE000)});
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(port.accesses.empty()); // locating touches no port
}

TEST_F(MainWindowTest, AnUnknownCardShowsNoAndKeepsTheStoredBase)
{
    window->locateCardAtStart();
    typeInto("txtCardNo", "2");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    EXPECT_EQ(edit("txtIOBase")->text(), "NO");
    EXPECT_EQ(window->IOBase().value(), convert::Value {static_cast<std::int16_t>(0xE000)});
    EXPECT_TRUE(reports.empty());
}

TEST_F(MainWindowTest, AFailedLocateAtStartUpIsReportedAndTheWindowStillOpens)
{
    FailingLocator failing;
    makeWindow(failing);
    window->locateCardAtStart();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].number, ENOENT);
    EXPECT_EQ(reports[0].detail.toStdString(),
              "/sys/bus/pci: no PCI bus: No such file or directory\n\nThe operation 基地址 "
              "得到板卡的基地址 stopped here: port writes already made stay made, and the "
              "program goes on.");
    EXPECT_EQ(edit("txtIOBase")->text(), "E00d"); // the locate stopped before showing anything
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(window->inputTimer().isActive());
}

TEST_F(MainWindowTest, TimerTicksEverySecondFromCreation)
{
    EXPECT_TRUE(window->inputTimer().isActive());
    EXPECT_EQ(window->inputTimer().interval(), 1000);
    EXPECT_EQ(edit("txtInput0")->text(), "Text1");
}

TEST_F(MainWindowTest, NoTickRunsWhileAReportIsOpen)
{
    window->locateCardAtStart();
    window->inputTimer().setInterval(5);
    std::size_t accessesWhileReportOpen = 0;
    window->setReporter([&](const window::ErrorReport &) {
        const std::size_t before = port.accesses.size();
        QTest::qWait(100); // the report's own event loop: ticks keep arriving
        accessesWhileReportOpen = port.accesses.size() - before;
    });
    typeInto("txtCardNo", "x");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    EXPECT_EQ(accessesWhileReportOpen, 0U);
    QTRY_VERIFY(!port.accesses.empty()); // once it is closed, the monitor runs again
}

TEST_F(MainWindowTest, ExitEndsTheProgramAtOnceWithoutAnotherTick)
{
    window->locateCardAtStart();
    window->show();
    QTimer::singleShot(0, button("Command_exit"),
                       [this] { QTest::mouseClick(button("Command_exit"), Qt::LeftButton); });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(elapsed.elapsed(), 900);
    EXPECT_FALSE(window->inputTimer().isActive());
    EXPECT_TRUE(port.accesses.empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, ClockTooltipsFollowTheTextsAsTheyAreTyped)
{
    EXPECT_EQ(edit("txtClkBase")->toolTip(), "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz");
    typeInto("txtClkBase", "20");
    EXPECT_EQ(edit("txtClkBase")->toolTip(), "Base frequency (pin 31) = 2 MHz / 20 = 100 kHz");
    EXPECT_EQ(edit("txtClkOutput")->toolTip(),
              "Outputs 1, 4, 7, ..., 28 = 2 MHz / (20 x 10) = 10 kHz");
    typeInto("txtClkOutput", "70000");
    EXPECT_TRUE(edit("txtClkOutput")->toolTip().startsWith("Not accepted by the clock output"));
}

TEST_F(MainWindowTest, AFailingTickIsReportedOnceAndTheMonitorWaitsForANewBase)
{
    window->locateCardAtStart();
    typeInto("txtIOBase", "10000");  // 65536: every port sum overflows
    typeInto("txtOutput0", "10000"); // and the output fails first, on its own byte
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].sourceBox, "txtOutput0");

    for (int tick = 0; tick < 3; ++tick)
        window->run(panels::Operation::ReadDigitalInputs);
    ASSERT_EQ(reports.size(), 2U); // the first tick only
    EXPECT_EQ(reports[1].operation, QString::fromUtf8("开关量输入"));
    EXPECT_EQ(reports[1].detail.toStdString(),
              "In the port address IOBase + 0, with IOBase = 65536 + 0\n\nThe operation "
              "开关量输入 stopped here: port writes already made stay made, and the program "
              "goes on.");
    EXPECT_TRUE(port.accesses.empty());
    EXPECT_EQ(edit("txtInput0")->text(), "Text1");

    typeInto("txtIOBase", "E000");
    typeInto("txtOutput0", "5");
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    window->run(panels::Operation::ReadDigitalInputs);
    EXPECT_EQ(reports.size(), 2U);
    EXPECT_EQ(port.accesses.size(), 4U + 4U);
    EXPECT_EQ(edit("txtInput0")->text(), "FF"); // what the recording port answers
}

} // namespace
