#include "appearance.h"
#include "main_window.h"
#include "pci_locator.h"
#include "recording_port.h"
#include "simulated_card.h"
#include "simulated_locator.h"
#include "support/json_samples.h"
#include "support/row_name.h"
#include "window_layout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
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
    std::vector<std::int16_t> cardNumbers() const override { return {}; }
};

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest() { makeWindow(locator); }

    void makeWindow(hardware::CardLocator &withLocator,
                    hardware::BackendKind backend = hardware::BackendKind::Simulated)
    {
        window = std::make_unique<MainWindow>(port, withLocator, backend);
        window->setReporter(
            [this](const reports::ErrorReport &report) { reports.push_back(report); });
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
    std::vector<reports::ErrorReport> reports;
};

// Every control's name, pixel rectangle at 96 dpi and text, in tests/data: frames and Exit at
// their twips / 15 rounded to the nearest pixel, the controls inside a frame offset by it,
// labels sized to their text in the program's font.
TEST_F(MainWindowTest, EveryControlSitsWhereItWasLaidOut)
{
    ASSERT_EQ(window->logicalDpiX(), 96);
    // The form keeps the laid-out client area; the window grows by the menu bar above it.
    EXPECT_EQ(window->form()->size(), QSize(412, 424));
    EXPECT_EQ(window->form()->y(), window->menuBar()->height());
    EXPECT_EQ(window->size(), QSize(412, 424 + window->menuBar()->height()));
    EXPECT_GT(window->menuBar()->height(), 0);
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
        MainWindow incomplete(port, locator, hardware::BackendKind::Simulated, withoutDa);
        FAIL() << "the window was built without its DA boxes";
    } catch (const window::MissingControl &missing) {
        EXPECT_STREQ(missing.what(),
                     "the window's control tables have no text box named "
                     "txtda(0), which an operation reads");
    }
}

TEST_F(MainWindowTest, LabelsFitTheirTextsInsideTheirFramesWithoutCoveringOtherControls)
{
    for (const panels::PanelLayout *panel : panels::kPanels) {
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

// Each panel's frame: its border line, cut for the whole caption only, and no control touches it.
TEST_F(MainWindowTest, EachFramesCaptionSitsWholeOnItsBorderLine)
{
    const auto marksAbove = [](const QImage &image, int rows, QRgb background) {
        QRect marks;
        for (int y = 0; y < rows * image.width(); ++y)
            if (image.pixel(y % image.width(), y / image.width()) != background)
                marks |= QRect(y % image.width(), y / image.width(), 1, 1);
        return marks;
    };
    for (const panels::PanelLayout *panel : panels::kPanels) {
        SCOPED_TRACE(panel->frame.name);
        auto *frame = window->findChild<QGroupBox *>(qs(panel->frame.name));
        const QRgb border = frame->palette().color(QPalette::Mid).rgb();
        const QRgb background = frame->palette().color(QPalette::Window).rgb();
        QImage image(frame->size(), QImage::Format_RGB32), alone(frame->size(), image.format());
        frame->render(&image, {}, {}, QWidget::DrawWindowBackground); // the frame alone
        alone.fill(background); // and its caption drawn by itself
        QPainter(&alone).drawText(QRect(20, 0, 400, 40), Qt::AlignLeft, frame->title());
        int line = 0;
        while (line < image.height() && image.pixel(image.width() - 4, line) != border)
            ++line;
        const QRect caption = marksAbove(image, line, background);
        EXPECT_NEAR(caption.width(), marksAbove(alone, line, background).width(), 1);
        EXPECT_EQ(image.pixel(3, line), border) << "no line left of the caption";
        EXPECT_NE(image.pixel(caption.left() - 1, line), border);
        EXPECT_NE(image.pixel(caption.right() + 1, line), border);
        for (int x = caption.right() + 10; x < image.width() - 3; ++x) // past its padding
            EXPECT_EQ(image.pixel(x, line), border) << "a break in the line at " << x;
        for (const QWidget *control : frame->findChildren<QWidget *>())
            EXPECT_GT(control->y(), line) << control->objectName().toStdString();
    }
}

// The menu bar's overflow button gets its icon only when drawn, and then the style's own.
TEST(Appearance, TheOverflowIconIsTheStylesOwnWhenDrawn)
{
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    for (const auto which :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
        const QIcon expected = fusion->standardIcon(which),
                    icon = QApplication::style()->standardIcon(which);
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(icon.pixmap(16, 16).toImage(), expected.pixmap(16, 16).toImage());
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
    window->start();
    EXPECT_EQ(edit("txtIOBase")->text(), "E000");
    EXPECT_EQ(window->IOBase().value(), convert::Value {static_cast<std::int16_t>(0xE000)});
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(port.accesses().empty()); // locating touches no port
}

// Another card's inputs are never shown as this one's: the monitor holds, greyed, without a
// report of its own, and the base box says which cards there are.
TEST_F(MainWindowTest, AnUnknownCardShowsNoLeavesBaseZeroAndHoldsTheInputs)
{
    window->start();
    typeInto("txtCardNo", "2");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    window->run(panels::Operation::ReadDigitalInputs);
    EXPECT_EQ(edit("txtIOBase")->text(), "NO");
    EXPECT_EQ(window->IOBase().value(), convert::Value {std::int16_t {0}});
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(port.accesses().empty());
    EXPECT_FALSE(edit("txtInput0")->isEnabled());
    EXPECT_EQ(edit("txtIOBase")->toolTip(),
              "reads as 0: reading stops at \"N\"\nNo card 2; cards found: 1.");
}

TEST_F(MainWindowTest, AFailedLocateAtStartUpIsReportedAndLeavesNo)
{
    FailingLocator failing;
    makeWindow(failing);
    window->start();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].headline, "Port access error 2: No such file or directory");
    EXPECT_EQ(reports[0].detail.toStdString(),
              "/sys/bus/pci: no PCI bus: No such file or directory\n\nNo port was written.\n\n"
              "The operation 基地址 得到板卡的基地址 stopped there; the program goes on.");
    EXPECT_EQ(edit("txtIOBase")->text(), "NO"); // never the starting "E00d"
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(window->inputTimer().isActive());
}

// Nothing runs while a start-up report is open, and the first tick comes a second after the
// locate.
TEST_F(MainWindowTest, StartUpReportsComeBeforeTheLocateAndTheFirstTick)
{
    window->inputTimer().setInterval(5);
    std::vector<std::string> events;
    window->setReporter([&](const reports::ErrorReport &report) {
        events.push_back("report " + report.headline.toStdString());
        QTest::qWait(100); // the report's own event loop: a running timer would tick here
        events.push_back(port.accesses().empty() ? "no access" : "accessed");
    });
    window->start({nullptr, hardware::Message("The program reaches no card.")});
    events.push_back("started: " + edit("txtIOBase")->text().toStdString());
    EXPECT_EQ(events, (std::vector<std::string> {"report No card", "no access", "started: E000"}));
    EXPECT_TRUE(window->inputTimer().isActive());
}

TEST_F(MainWindowTest, TheInputTimerTicksEverySecondOnceStarted)
{
    EXPECT_FALSE(window->inputTimer().isActive());
    window->start();
    EXPECT_TRUE(window->inputTimer().isActive());
    EXPECT_EQ(window->inputTimer().interval(), 1000);
    EXPECT_EQ(edit("txtInput0")->text(), "Text1");
}

TEST_F(MainWindowTest, WithNoCardReachedTheStartUpReportIsTheOnlyOne)
{
    makeWindow(locator, hardware::BackendKind::Pci);
    window->start({nullptr, hardware::Message("The program reaches no card.")});
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].headline, "No card");
    EXPECT_EQ(reports[0].detail, "The program reaches no card.");
    for (int tick = 0; tick < 3; ++tick)
        window->run(panels::Operation::ReadDigitalInputs);
    EXPECT_EQ(reports.size(), 1U);
    EXPECT_TRUE(port.accesses().empty());
    EXPECT_FALSE(edit("txtInput0")->isEnabled()); // held: greyed
}

TEST_F(MainWindowTest, NoTickRunsWhileAReportIsOpen)
{
    window->start();
    window->inputTimer().setInterval(5);
    std::size_t accessesWhileReportOpen = 0;
    window->setReporter([&](const reports::ErrorReport &) {
        const std::size_t before = port.accesses().size();
        QTest::qWait(100); // the report's own event loop: ticks keep arriving
        accessesWhileReportOpen = port.accesses().size() - before;
    });
    typeInto("txtCardNo", "x");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    EXPECT_EQ(accessesWhileReportOpen, 0U);
    QTRY_VERIFY(!port.accesses().empty()); // once it is closed, the monitor runs again
}

TEST_F(MainWindowTest, ExitEndsTheProgramAtOnceWithoutAnotherTick)
{
    window->start();
    window->show();
    QTimer::singleShot(0, button("Command_exit"),
                       [this] { QTest::mouseClick(button("Command_exit"), Qt::LeftButton); });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(elapsed.elapsed(), 900);
    EXPECT_FALSE(window->inputTimer().isActive());
    EXPECT_TRUE(port.accesses().empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TooltipsAndTheWarningColourFollowTheTextsAsTheyAreTyped)
{
    EXPECT_EQ(edit("txtClkBase")->toolTip(), "Base frequency (pin 31) = 2 MHz / 1000 = 2 kHz");
    typeInto("txtClkBase", "20");
    EXPECT_EQ(edit("txtClkBase")->toolTip(), "Base frequency (pin 31) = 2 MHz / 20 = 100 kHz");
    EXPECT_EQ(edit("txtClkOutput")->toolTip(),
              "Outputs 1, 4, 7, ..., 28 = 2 MHz / (20 x 10) = 10 kHz");
    typeInto("txtClkOutput", "70000");
    EXPECT_TRUE(edit("txtClkOutput")->toolTip().startsWith("Not accepted by the clock output"));

    const auto warned = [this](const char *box) {
        return edit(box)->palette().color(QPalette::Text) == QColor(window::kWarningTextColour);
    };
    EXPECT_TRUE(warned("txtClkOutput"));
    typeInto("txtOutput0", "100");
    EXPECT_TRUE(warned("txtOutput0"));
    EXPECT_EQ(edit("txtOutput0")->toolTip(),
              "reads as 100, writes 00: a byte keeps its low 8 bits");
    typeInto("txtOutput0", "5A");
    EXPECT_FALSE(warned("txtOutput0"));
    EXPECT_EQ(edit("txtOutput0")->toolTip(), "");
    edit("txtInput2")->setText("D");
    EXPECT_EQ(edit("txtInput2")->toolTip(), "bits 7 to 0: 0000 1101");
    EXPECT_FALSE(warned("txtInput2")) << "a tooltip alone is no warning";
}

// One cause, one report: the monitor's read refused for the reason a press was just refused for
// adds no report of its own, whichever port it met.
TEST_F(MainWindowTest, ATickRefusedForTheReasonJustReportedAddsNoReport)
{
    hardware::SimulatedCard card([] { return std::chrono::nanoseconds(0); });
    qm5083::testing::RecordingPort onCard(card);
    window = std::make_unique<MainWindow>(onCard, locator, hardware::BackendKind::Simulated);
    window->setReporter([this](const reports::ErrorReport &report) { reports.push_back(report); });
    window->start();
    typeInto("txtIOBase", "0");
    QTest::mouseClick(button("cmdDA"), Qt::LeftButton); // refused at 0008
    window->run(panels::Operation::ReadDigitalInputs);  // refused at 0000
    EXPECT_EQ(reports.size(), 1U);
    EXPECT_TRUE(onCard.accesses().empty());
}

TEST_F(MainWindowTest, AFailingTickIsReportedOnceAndTheMonitorWaitsForANewBase)
{
    window->start();
    typeInto("txtIOBase", "10000");  // 65536: every port sum overflows
    typeInto("txtOutput0", "10000"); // and the output fails first, on its own value
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].sourceBox, "txtOutput0");

    for (int tick = 0; tick < 3; ++tick)
        window->run(panels::Operation::ReadDigitalInputs);
    ASSERT_EQ(reports.size(), 2U); // the first tick only
    EXPECT_EQ(reports[1].detail.toStdString(),
              "The base address stored last (10000) plus register offset 0 is not a 16-bit port "
              "number.\n\nType the card's base address in 基地址 and press 输出 or DA 输出, or "
              "press 得到板卡的基地址.\n\nNo port was read.\n\nThe operation 开关量输入 "
              "stopped there; the program goes on.\n\nThe inputs are no longer read; they are "
              "read again once a base address is stored.");
    EXPECT_TRUE(port.accesses().empty());
    EXPECT_EQ(edit("txtInput0")->text(), "Text1");
    EXPECT_FALSE(edit("txtInput0")->isEnabled());

    typeInto("txtIOBase", "E000");
    typeInto("txtOutput0", "5");
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    window->run(panels::Operation::ReadDigitalInputs);
    EXPECT_EQ(reports.size(), 2U);
    EXPECT_EQ(port.accesses().size(), 4U + 4U);
    EXPECT_EQ(edit("txtInput0")->text(), "FF"); // what the recording port answers
    EXPECT_TRUE(edit("txtInput0")->isEnabled());
}

// One report per failure is the input monitor's rule for its repeats, not a person's.
TEST_F(MainWindowTest, PressingAFailingButtonAgainIsReportedAgain)
{
    window->start();
    typeInto("txtOutput0", "10000");
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    EXPECT_EQ(reports.size(), 2U);
}

TEST_F(MainWindowTest, ATickFailingForTheCauseJustReportedHoldsWithoutASecondReport)
{
    window->start();
    typeInto("txtIOBase", "10000"); // every port sum overflows, first at IOBase + 0
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1U);
    window->run(panels::Operation::ReadDigitalInputs);
    EXPECT_EQ(reports.size(), 1U);
    EXPECT_FALSE(edit("txtInput3")->isEnabled());
}

struct KeyRow
{
    const char *name;
    const char *focused;  // the control Enter is pressed on
    std::size_t accesses; // the port accesses the operation makes at base E000
    const char *baseShown;
};

void PrintTo(const KeyRow &row, std::ostream *os)
{
    *os << row.name;
}

class EnterKey : public MainWindowTest, public ::testing::WithParamInterface<KeyRow>
{ };

TEST_P(EnterKey, RunsThePanelsOperation)
{
    window->start();
    window->inputTimer().stop();
    typeInto("txtIOBase", "E000");
    edit("txtCardNo")->setText("2");
    QWidget *focused = window->findChild<QWidget *>(GetParam().focused);
    QTest::keyClick(focused, Qt::Key_Return);
    EXPECT_EQ(port.accesses().size(), GetParam().accesses);
    EXPECT_EQ(edit("txtIOBase")->text(), GetParam().baseShown);
    EXPECT_TRUE(reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EnterKey,
    ::testing::Values(KeyRow {"InTheBaseBoxDoesNothing", "txtIOBase", 0, "E000"},
                      KeyRow {"InTheCardNumberBoxLocates", "txtCardNo", 0, "NO"},
                      KeyRow {"InAnOutputBoxWritesTheOutputs", "txtOutput2", 4, "E000"},
                      KeyRow {"InADividerBoxStartsTheClocks", "txtClkOutput", 33, "E000"},
                      KeyRow {"InADaBoxWritesTheCodes", "txtda(3)", 12, "E000"},
                      KeyRow {"OnTheFocusedDaButtonPressesIt", "cmdDA", 12, "E000"},
                      KeyRow {"InAnInputBoxDoesNothing", "txtInput1", 0, "E000"}),
    qm5083::testing::RowName {});

TEST_F(MainWindowTest, TheFocusedExitButtonShowsItsFocusFromTheStart)
{
    window->start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QStyleOptionButton option;
    option.initFrom(button("Command_exit"));
    EXPECT_TRUE(option.state & QStyle::State_HasFocus);
    EXPECT_TRUE(option.state & QStyle::State_KeyboardFocusChange);
}

struct CaptionRow
{
    const char *name;
    hardware::BackendKind backend;
    const char *cardNumber;
    const char *caption;
    const char *thenCardNumber = nullptr; // located next, when given
};

void PrintTo(const CaptionRow &row, std::ostream *os)
{
    *os << row.name;
}

class Caption : public ::testing::TestWithParam<CaptionRow>
{ };

// A real card at 0000:03:00.0, E000 is card 1.
TEST_P(Caption, SaysWhichCardTheProgramWorksOn)
{
    hardware::PciCard card;
    card.address = "0000:03:00.0";
    card.bar = 1;
    card.start = 0xE000;
    card.size = 0x20;
    hardware::PciLocator pci({card});
    RecordingPort port;
    MainWindow window(port, pci, GetParam().backend);
    window.setReporter([](const reports::ErrorReport &) {});
    window.findChild<QLineEdit *>("txtCardNo")->setText(GetParam().cardNumber);
    window.start();
    if (GetParam().thenCardNumber) {
        window.findChild<QLineEdit *>("txtCardNo")->setText(GetParam().thenCardNumber);
        QTest::mouseClick(window.findChild<QPushButton *>("cmdIOBase"), Qt::LeftButton);
    }
    EXPECT_EQ(window.windowTitle().toStdString(), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Caption,
    ::testing::Values(CaptionRow {"SimulatedCard", hardware::BackendKind::Simulated, "1",
                                  "qm5083测试程序 [仿真]"},
                      CaptionRow {"RealCardLocated", hardware::BackendKind::Pci, "1",
                                  "qm5083测试程序 [0000:03:00.0 E000]"},
                      CaptionRow {"NoSuchCard", hardware::BackendKind::Pci, "2",
                                  "qm5083测试程序 [未找到板卡]"},
                      CaptionRow {"FoundThenNotFound", hardware::BackendKind::Pci, "1",
                                  "qm5083测试程序 [未找到板卡]", "2"},
                      CaptionRow {"CardNumberNotANumber", hardware::BackendKind::Pci, "x",
                                  "qm5083测试程序 [未找到板卡]"}),
    qm5083::testing::RowName {});

TEST_F(MainWindowTest, TheSessionRecordHasALineForAnOutput)
{
    QTemporaryDir dir;
    QString error;
    QString notice;
    const auto log = reports::SessionLog::open(dir.filePath("session.log"), error, notice);
    ASSERT_TRUE(log) << error.toStdString();
    window->setSessionLog(log.get());
    window->start();
    typeInto("txtIOBase", "E000");
    typeInto("txtOutput1", "A5");
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    typeInto("txtCardNo", "2");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);

    QFile file(dir.filePath("session.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray record = file.readAll();
    qm5083::testing::keepJsonLines("record-line", record.toStdString());
    const QList<QByteArray> lines = record.split('\n');
    ASSERT_EQ(lines.size(), 4); // the locate at start, the output, a locate finding no card 2, and
                                // the end of the last line
    EXPECT_EQ(QJsonDocument::fromJson(lines[2]).object()["located"].toObject(),
              (QJsonObject {{"card", 2}, {"base", QJsonValue::Null}}))
        << "no base is no text";
    const QJsonObject locate = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(locate["texts"].toArray(),
              (QJsonArray {QJsonObject {{"box", "txtCardNo"}, {"text", "1"}}}));
    EXPECT_EQ(locate["located"].toObject(), (QJsonObject {{"card", 1}, {"base", "E000"}}));
    QJsonObject output = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_FALSE(output.take("time").toString().isEmpty());
    const auto access = [](const char *port, const char *byte) {
        return QJsonObject {{"access", "out"}, {"port", port}, {"byte", byte}};
    };
    const auto text = [](const char *box, const char *typed) {
        return QJsonObject {{"box", box}, {"text", typed}};
    };
    EXPECT_EQ(output,
              (QJsonObject {{"operation", QString::fromUtf8("开关量输出 输出")},
                            {"texts",
                             QJsonArray {text("txtIOBase", "E000"), text("txtOutput0", "00"),
                                         text("txtOutput1", "A5"), text("txtOutput2", "00"),
                                         text("txtOutput3", "00")}},
                            {"accesses",
                             QJsonArray {access("E000", "00"), access("E001", "A5"),
                                         access("E002", "00"), access("E003", "00")}},
                            {"result", "done"}}));
    window->setSessionLog(nullptr); // the log goes first
}

// The monitor's lines: its first reading, a change, a hold and the resumption, and the inputs
// unchanged once ten minutes have passed; not a line a second.
TEST_F(MainWindowTest, TheInputMonitorRecordsChangesHoldsAndResumptions)
{
    QTemporaryDir dir;
    QString error;
    QString notice;
    const auto log = reports::SessionLog::open(dir.filePath("session.log"), error, notice);
    ASSERT_TRUE(log) << error.toStdString();
    auto now = std::chrono::steady_clock::time_point();
    window->setClock([&] { return now; });
    window->setSessionLog(log.get());
    window->start();
    const auto tick = [&](std::chrono::minutes later) {
        now += later;
        window->run(panels::Operation::ReadDigitalInputs);
    };
    const auto locate = [&](const char *card) {
        typeInto("txtCardNo", card);
        QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    };
    tick({});                      // first
    tick(std::chrono::minutes(9)); // unchanged, too soon for a line
    tick(std::chrono::minutes(1)); // unchanged for ten minutes
    port.answer = [](std::uint16_t) {
        return 0x12;
    };
    tick({}); // changed
    tick({});
    locate("2"); // no card 2: held
    tick({});
    tick({});
    locate("1");
    tick({}); // resumed

    QFile file(dir.filePath("session.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList states;
    const QByteArray record = file.readAll();
    qm5083::testing::keepJsonLines("record-line", record.toStdString());
    for (const QByteArray &line : record.split('\n'))
        if (const QJsonObject object = QJsonDocument::fromJson(line).object();
            object.contains("inputs"))
            states << object["inputs"].toString();
    EXPECT_EQ(states, (QStringList {"first", "unchanged", "changed", "held", "resumed"}));
    window->setSessionLog(nullptr); // the log goes first
}

// A record that cannot be written is reported once, the caption says so, and the window goes on.
TEST_F(MainWindowTest, ARecordThatCannotBeWrittenIsReportedOnceAndShownInTheCaption)
{
    QTemporaryDir dir;
    QString error;
    QString notice;
    const auto log = reports::SessionLog::open(dir.filePath("session.log"), error, notice);
    ASSERT_TRUE(log) << error.toStdString();
    QFile::remove(dir.filePath("session.log"));
    window->setSessionLog(log.get());
    window->start();
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    QTRY_COMPARE(reports.size(), std::size_t(1));
    EXPECT_EQ(reports.front().headline.toStdString(), "The session record stopped");
    EXPECT_EQ(window->windowTitle().toStdString(), "qm5083测试程序 [仿真] [recording stopped]");
    EXPECT_TRUE(window->run(panels::Operation::WriteDigitalOutputs));
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), std::size_t(1));
    window->setSessionLog(nullptr); // the log goes first
}

// In Chinese every tooltip and report is Chinese: no Latin word is left but units, commands and
// ids, hexadecimal numbers, the window's own captions, the texts typed, and the run-time error's
// headline, which the card's users know in English.
TEST_F(MainWindowTest, InChineseNoTooltipOrReportIsLeftInEnglish)
{
    QTranslator chinese;
    ASSERT_TRUE(chinese.load(QStringLiteral(":/i18n/qm5083_zh_CN.qm")));
    QCoreApplication::installTranslator(&chinese);
    makeWindow(locator);
    window->start();
    typeInto("txtOutput0", "100");
    typeInto("txtda(1)", "-1");
    typeInto("txtClkBase", "1E400");
    typeInto("txtClkOutput", "1");
    typeInto("txtOutput1", "10000");
    QTest::mouseClick(button("cmdOutput"), Qt::LeftButton);
    typeInto("txtCardNo", "2");
    QTest::mouseClick(button("cmdIOBase"), Qt::LeftButton);
    edit("txtInput2")->setText("D");
    QCoreApplication::removeTranslator(&chinese);

    QStringList shown;
    for (const QWidget *widget : window->findChildren<QWidget *>())
        shown << widget->toolTip();
    for (const reports::ErrorReport &report : reports)
        shown << report.detail;
    const QRegularExpression word(QStringLiteral("[A-Za-z][A-Za-z0-9]*"));
    const QRegularExpression allowed(QStringLiteral(
        "^([0-9A-F]+|MHz|kHz|Hz|x|DA[0-3]?|NO|Exit|Run|time|error|Overflow|lspci|nn|pci|id|PCI|"
        "ID|VVVV|DDDD)$"));
    QStringList english;
    const QRegularExpression typed(QStringLiteral("“[^”]*”|\"[^\"]*\"")); // texts as typed
    for (const QString &text : shown)
        for (auto match = word.globalMatch(QString(text).remove(typed)); match.hasNext();)
            if (const QString found = match.next().captured(); !allowed.match(found).hasMatch())
                english << found + QStringLiteral(" in \"") + text + QLatin1Char('"');
    EXPECT_TRUE(english.isEmpty()) << english.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(shown.join(QString()).isEmpty());
}

TEST_F(MainWindowTest, TheCardNumberingHintSaysHowCardsAreNumbered)
{
    const auto *hint = window->findChild<QLabel *>("Label3(2)");
    EXPECT_EQ(hint->text(), QString::fromUtf8("求基地址前,必须用软件Mirsa.exe设定各个板卡的卡号"));
    EXPECT_EQ(hint->toolTip(),
              "Card numbers here follow the cards' PCI addresses: the card with "
              "the lowest address is card 1.");
}

} // namespace

namespace {

// Typed text that looks like markup reaches the technician as typed: the report box shows it as
// plain text with no link to click, and a tooltip quoting it is escaped.
TEST(PlainText, AReportQuotingMarkupShowsItAsTyped)
{
    hardware::SimulatedCard card;
    hardware::SimulatedLocator locator;
    MainWindow window(card, locator, hardware::BackendKind::Simulated);
    window.start();
    const QString typed = QStringLiteral("10000<a href='x'><font size=7>Card OK</font></a>");
    window.findChild<QLineEdit *>("txtOutput0")->setText(typed);
    QStringList formats;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        for (const QLabel *label : box->findChildren<QLabel *>())
            if (label->text().contains("Card OK"))
                formats << QStringLiteral("%1 links:%2")
                               .arg(label->textFormat() == Qt::PlainText ? "plain" : "rich")
                               .arg(label->openExternalLinks());
        box->accept();
    });
    QTest::mouseClick(window.findChild<QPushButton *>("cmdOutput"), Qt::LeftButton);
    EXPECT_EQ(formats, QStringList {"plain links:0"});
    EXPECT_EQ(window::plainToolTip("reads as 100").toStdString(), "reads as 100");
    EXPECT_EQ(window::plainToolTip("<b>1</b>\nbits").toStdString(),
              "<p style='white-space:pre'>&lt;b&gt;1&lt;/b&gt;<br>bits</p>");
}

} // namespace
