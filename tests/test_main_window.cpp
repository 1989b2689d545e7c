#include "simulated_locator.h"
#include "support/recording_port.h"
#include "main_window.h"
#include "window_table.h"

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

#include <system_error>
#include <vector>

using namespace qm5083;
using qm5083::testing::RecordingPort;
using window::Testqm5083;

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A locator that always fails as a missing bus would.
class FailingLocator final : public hardware::CardLocator
{
public:
    std::int32_t GetIOBaseByCardNo(std::int16_t, std::int16_t &, std::int32_t &) override
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
        window = std::make_unique<Testqm5083>(port, withLocator, simulated);
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
    std::unique_ptr<Testqm5083> window;
    std::vector<window::ErrorReport> reports;
};

TEST_F(MainWindowTest, CaptionSaysWhenTheCardIsSimulated)
{
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("qm5083测试程序 [仿真]"));
    makeWindow(locator, false);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("qm5083测试程序"));
}

TEST_F(MainWindowTest, ClientAreaAndEveryControlSitWhereTheTablesPutThem)
{
    const double dpi = window->logicalDpiX();
    const auto px = [dpi](int twips) {
        return window::twipsToPixels(twips, dpi);
    };
    EXPECT_EQ(window->size(), QSize(px(window::kClientWidth), px(window::kClientHeight)));
    if (dpi == 96) {
        EXPECT_EQ(window->size(), QSize(412, 424)); // 15 twips a pixel
    }

    const QPushButton *exit = button("Command_exit");
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->geometry(), QRect(px(192), px(5856), px(972), px(372)));
    EXPECT_EQ(exit->text(), "Exit");

    int controls = 0;
    for (const panels::PanelSpec *panel : window::kPanels) {
        const auto *frame = window->findChild<QGroupBox *>(qs(panel->frame.name));
        ASSERT_NE(frame, nullptr) << panel->frame.name;
        EXPECT_EQ(frame->title(), qs(panel->frame.text));
        EXPECT_EQ(frame->geometry(),
                  QRect(px(panel->frame.left), px(panel->frame.top), px(panel->frame.width),
                        px(panel->frame.height)));
        for (const panels::ControlSpec &spec : panel->controls) {
            QWidget *widget = frame->findChild<QWidget *>(qs(spec.name));
            ASSERT_NE(widget, nullptr) << spec.name;
            ++controls;
            const QRect designed(px(spec.left), px(spec.top), px(spec.width), px(spec.height));
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                EXPECT_EQ(label->text(), qs(spec.text));
                EXPECT_EQ(label->x(), designed.x()) << spec.name;
                EXPECT_EQ(label->geometry().center().y(), designed.center().y()) << spec.name;
            } else if (auto *box = qobject_cast<QLineEdit *>(widget)) {
                EXPECT_EQ(box->geometry(), designed) << spec.name;
                EXPECT_EQ(box->text(), qs(spec.text)) << spec.name;
            } else if (auto *push = qobject_cast<QPushButton *>(widget)) {
                EXPECT_EQ(push->geometry(), designed) << spec.name;
                EXPECT_EQ(push->text(), qs(spec.text)) << spec.name;
            } else {
                ADD_FAILURE() << spec.name << " is of an unexpected kind";
            }
        }
    }
    EXPECT_EQ(controls, 6 + 9 + 8 + 5 + 9);
    EXPECT_EQ(window->findChildren<QLabel *>().size(), 17); // Label3(0) to Label3(16)
}

TEST_F(MainWindowTest, LabelsFitTheirTextsInsideTheirFramesWithoutCoveringOtherControls)
{
    for (const panels::PanelSpec *panel : window::kPanels) {
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
    window->Form_Load();
    EXPECT_EQ(edit("txtIOBase")->text(), "E000");
    EXPECT_EQ(window->IOBase().value(), convert::Value {static_cast<std::int16_t>(0xE000)});
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(port.accesses.empty()); // locating touches no port
}

TEST_F(MainWindowTest, AnUnknownCardShowsNoAndKeepsTheStoredBase)
{
    window->Form_Load();
    typeInto("txtCardNo", "2");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    EXPECT_EQ(edit("txtIOBase")->text(), "NO");
    EXPECT_EQ(window->IOBase().value(), convert::Value {static_cast<std::int16_t>(0xE000)});
    EXPECT_TRUE(reports.empty());
}

TEST_F(MainWindowTest, ABadCardNumberIsReportedAndTheProgramGoesOn)
{
    window->Form_Load();
    struct Row
    {
        const char *text;
        int number;
    };
    const Row rows[] = {{"", 13}, {"abc", 13}, {"1x", 13}, {"40000", 6}, {"-32769", 6}};
    for (const Row &row : rows) {
        reports.clear();
        typeInto("txtCardNo", row.text);
        QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
        ASSERT_EQ(reports.size(), 1U) << row.text;
        EXPECT_EQ(reports[0].number, row.number) << row.text;
        EXPECT_EQ(reports[0].sourceBox, "txtCardNo");
        EXPECT_TRUE(reports[0].detail.contains(QStringLiteral("\"%1\"").arg(row.text))) << row.text;
        EXPECT_EQ(reports[0].operation, "cmdIOBase_Click");
        // Nothing was stored or shown: the locator was never asked.
        EXPECT_EQ(edit("txtIOBase")->text(), "E000");
        EXPECT_EQ(window->IOBase().value(), convert::Value {static_cast<std::int16_t>(0xE000)});
    }
    EXPECT_EQ(reports[0].headline, "Run-time error 6: Overflow");
    // And the window still works.
    typeInto("txtCardNo", "1");
    edit("txtIOBase")->setText("junk");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    EXPECT_EQ(edit("txtIOBase")->text(), "E000");
}

TEST_F(MainWindowTest, AFailedLocateAtStartUpIsReportedAndTheWindowStillOpens)
{
    FailingLocator failing;
    makeWindow(failing);
    window->Form_Load();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].number, ENOENT);
    EXPECT_TRUE(reports[0].detail.contains("/sys/bus/pci"));
    EXPECT_EQ(edit("txtIOBase")->text(), "E00d"); // the locate stopped before showing anything
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(window->Timer1().isActive());
}

TEST_F(MainWindowTest, TimerTicksEverySecondFromCreation)
{
    EXPECT_TRUE(window->Timer1().isActive());
    EXPECT_EQ(window->Timer1().interval(), 1000);
    EXPECT_EQ(edit("txtInput0")->text(), "Text1");
}

TEST_F(MainWindowTest, NoTickRunsWhileAReportIsOpen)
{
    window->Form_Load();
    window->Timer1().setInterval(5);
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
    window->Form_Load();
    window->show();
    QTimer::singleShot(0, button("Command_exit"),
                       [this] { QTest::mouseClick(button("Command_exit"), Qt::LeftButton); });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(elapsed.elapsed(), 900);
    EXPECT_FALSE(window->Timer1().isActive());
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
    window->Form_Load();
    typeInto("txtIOBase", "10000");  // 65536: every port sum overflows
    typeInto("txtOutput0", "10000"); // and the output fails first, on its own byte
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].sourceBox, "txtOutput0");

    for (int tick = 0; tick < 3; ++tick)
        window->Timer1_Timer();
    ASSERT_EQ(reports.size(), 2U); // the first tick only
    EXPECT_EQ(reports[1].operation, "Timer1_Timer");
    EXPECT_TRUE(reports[1].detail.contains("IOBase + 0")) << reports[1].detail.toStdString();
    EXPECT_TRUE(port.accesses.empty());
    EXPECT_EQ(edit("txtInput0")->text(), "Text1");

    typeInto("txtIOBase", "E000");
    typeInto("txtOutput0", "5");
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    window->Timer1_Timer();
    EXPECT_EQ(reports.size(), 2U);
    EXPECT_EQ(port.accesses.size(), 4U + 4U);
    EXPECT_EQ(edit("txtInput0")->text(), "FF"); // what the recording port answers
}

} // namespace
