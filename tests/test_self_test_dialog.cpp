// The self-test and the DA check from the window's menu, driven as a technician drives them: a
// serial typed (as a scanner types it) and Enter, readings typed or taken from the simulated
// meter, on the simulated cards with each kind of fault. What counts is the verdict shown (and
// every way it could lie), the report filed and its status, the monitor paused meanwhile and the
// channel left at code 0.

#include "backends.h"
#include "bench_settings.h"
#include "da_check_dialog.h"
#include "main_window.h"
#include "self_test_dialog.h"
#include "simulated_bus.h"
#include "simulated_state.h"
#include "support/json_samples.h"
#include "support/row_name.h"
#include "test_dialog_parts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

using namespace qm5083;
using window::MainWindow;
using window::SelfTestDialog;

namespace {

// The card that leaves the bus after a number of accesses, as a card pulled mid-test does.
class LeavingCard final : public hardware::PortAccess
{
public:
    LeavingCard(hardware::PortAccess &card, int accessesLeft)
        : card_(card)
        , left_(accessesLeft)
    { }
    std::uint8_t inportb(std::uint16_t port) override
    {
        leaveWhenDue();
        return card_.inportb(port);
    }
    void outportb(std::uint16_t port, std::int16_t value) override
    {
        leaveWhenDue();
        card_.outportb(port, value);
    }

private:
    void leaveWhenDue()
    {
        if (left_-- <= 0)
            throw std::system_error(ENODEV, std::generic_category(), "the card left the bus");
    }
    hardware::PortAccess &card_;
    int left_;
};

QColor colourOf(const QLabel *label)
{
    return label->palette().color(QPalette::WindowText);
}

struct Bench
{
    explicit Bench(const QStringList &faults, int accessesBeforeLeaving = -1, int cards = 1)
    {
        // Settings of this test's own: never the user's, nor another test's running alongside.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings::setPath(window::benchSettingsFormat(), QSettings::UserScope, settings.path());
        commandLine.backends.simulate = true;
        commandLine.backends.simulatedCards = cards;
        for (const QString &fault : faults)
            commandLine.backends.simulatedFaults.push_back(
                hardware::parseSimulatedFault(fault.toStdString()));
        backend = hardware::chooseBackend(commandLine.backends);
        if (accessesBeforeLeaving >= 0)
            backend.trace = std::make_unique<LeavingCard>(*backend.card, accessesBeforeLeaving);
        window = std::make_unique<MainWindow>(backend.port(), *backend.locator, backend.kind);
        window->setReporter(
            [this](const reports::ErrorReport &report) { reports.push_back(report); });
        window->setTestBench({&commandLine, &backend});
        QString error;
        QString notice;
        record = reports::SessionLog::open(records.filePath("session.log"), error, notice);
        window->setSessionLog(record.get());
        window->start();
        openSelfTest();
    }

    ~Bench() { window->setSessionLog(nullptr); }

    // The self-test as the menu opens it: on the card the window shows, run by the window.
    void openSelfTest(const QString &meter = {})
    {
        dialog = std::make_unique<SelfTestDialog>(
            window->cardInView(),
            [this](const commands::SelfTestSettings &settings,
                   const std::optional<commands::ReportTarget> &target,
                   const commands::CheckShownTo &shown) {
                return window->runSelfTest(window->cardInView(), settings, target, shown);
            },
            window.get());
        dialog->findChild<QLineEdit *>("resultsFolderBox")->setText(results.path());
        dialog->findChild<QLineEdit *>("meterBox")->setText(meter);
        dialog->show();
    }

    // The card number typed in 卡号 and 得到板卡的基地址 pressed: the card the window shows.
    void showCard(int number)
    {
        window->findChild<QLineEdit *>("txtCardNo")->setText(QString::number(number));
        QTest::mouseClick(window->findChild<QPushButton *>("cmdIOBase"), Qt::LeftButton);
    }

    // The last line the session record holds for operation.
    QJsonObject recordLine(const QString &operation) const
    {
        QFile file(records.filePath("session.log"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QJsonObject last;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QJsonObject json = QJsonDocument::fromJson(line).object();
            if (json["operation"].toString().startsWith(operation))
                last = json;
        }
        qm5083::testing::keepJsonSample(
            "record-line", QJsonDocument(last).toJson(QJsonDocument::Compact).toStdString());
        return last;
    }

    // What a scanner does: the serial, then Enter, into whatever has the focus.
    void scan(const QString &serial)
    {
        QWidget *focused = dialog->focusWidget();
        QTest::keyClicks(focused, serial);
        QTest::keyClick(focused, Qt::Key_Return);
    }

    QString verdict() const { return dialog->findChild<QLabel *>("verdictLabel")->text(); }
    QColor verdictColour() const { return colourOf(dialog->findChild<QLabel *>("verdictLabel")); }
    QString label(const char *name) const { return dialog->findChild<QLabel *>(name)->text(); }

    QJsonObject filedReport() const
    {
        QFile file(dialog->lastReport());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        qm5083::testing::keepJsonSample("self-test-report", bytes.toStdString());
        return QJsonDocument::fromJson(bytes).object();
    }

    QTemporaryDir results;
    QTemporaryDir records; // the session record's folder
    QTemporaryDir settings;
    commands::CommandLine commandLine;
    hardware::Backend backend;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<reports::SessionLog> record;
    std::unique_ptr<SelfTestDialog> dialog;
    std::vector<reports::ErrorReport> reports;
};

struct FaultRow
{
    const char *name;
    QStringList faults;
    QString verdict;
    int status;
};

void PrintTo(const FaultRow &row, std::ostream *os)
{
    *os << row.name;
}

class SelfTestFromTheMenu : public ::testing::TestWithParam<FaultRow>
{ };

TEST_P(SelfTestFromTheMenu, ShowsTheVerdictAndFilesTheReport)
{
    Bench bench(GetParam().faults);
    bench.openSelfTest("sim");
    bench.window->findChild<QLineEdit *>("txtOutput2")->setText("5A");
    bench.window->findChild<QLineEdit *>("txtda(1)")->setText("FFF");
    std::vector<bool> monitorRunning;
    QObject::connect(bench.dialog.get(), &SelfTestDialog::checkShown,
                     [&] { monitorRunning.push_back(bench.window->inputTimer().isActive()); });
    bench.scan("SN 0042/A");

    EXPECT_EQ(bench.verdict(), GetParam().verdict);
    const QJsonObject report = bench.filedReport();
    EXPECT_EQ(report["status"].toInt(-1), GetParam().status);
    EXPECT_EQ(report["serial"].toString(), "SN 0042/A");
    EXPECT_TRUE(bench.dialog->lastReport().startsWith(bench.results.path() + "/SN_0042_A_"));
    EXPECT_TRUE(bench.reports.empty());
    ASSERT_FALSE(monitorRunning.empty());
    EXPECT_EQ(std::count(monitorRunning.begin(), monitorRunning.end(), true), 0);
    EXPECT_TRUE(bench.window->inputTimer().isActive());
    // The boxes show what the test left: outputs 00, read back through the loopback.
    EXPECT_EQ(bench.window->findChild<QLineEdit *>("txtOutput2")->text(), "00");
    EXPECT_EQ(bench.window->findChild<QLineEdit *>("txtda(1)")->text(), "0");
    EXPECT_EQ(bench.window->findChild<QLineEdit *>("txtInput0")->text(), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SelfTestFromTheMenu,
    ::testing::Values(FaultRow {"CleanCard", {}, "Passed", 0},
                      FaultRow {"StuckInputBit", {"stuck:2.3=1"}, "Failed", 1},
                      FaultRow {"BridgedInputBits", {"short:1.0-3.7"}, "Failed", 1},
                      FaultRow {"DeadCounterChip", {"dead-chip:C"}, "Failed", 1},
                      FaultRow {"StoppedCounter", {"counter-stopped:B.1"}, "Failed", 1},
                      FaultRow {"StuckChipDataLine", {"chip-data:D.2=0"}, "Failed", 1},
                      // With the meter the self-test measures each DA channel at the carries.
                      FaultRow {"DaOffsetFoundWithTheMeter", {"da-offset:1=250"}, "Failed", 1},
                      FaultRow {"DaGainFoundWithTheMeter", {"da-gain:2=5"}, "Failed", 1}),
    qm5083::testing::RowName {});

TEST(SelfTestFromTheMenu, NextCardIsASerialAndEnterAway)
{
    Bench bench({});
    bench.scan("A1");
    const QString first = bench.dialog->lastReport();
    bench.scan("B2"); // the first serial is selected: typing replaces it
    EXPECT_NE(bench.dialog->lastReport(), first);
    EXPECT_EQ(bench.filedReport()["serial"].toString(), "B2");
    EXPECT_EQ(QDir(bench.results.path()).entryList(QDir::Files).size(), 2);
}

TEST(SelfTestFromTheMenu, TheOperatorStationAndPartsSkippedAreRemembered)
{
    Bench bench({});
    bench.dialog->findChild<QLineEdit *>("operatorBox")->setText("Li Wei");
    bench.dialog->findChild<QLineEdit *>("stationBox")->setText("Bench 3");
    bench.dialog->findChild<QCheckBox *>("skipLoopback")->setChecked(true);
    bench.scan("R1");
    EXPECT_EQ(bench.filedReport()["skipped"].toArray(), QJsonArray {"loopback"});
    const SelfTestDialog next(bench.window->cardInView(), {}, bench.window.get());
    EXPECT_EQ(next.findChild<QLineEdit *>("operatorBox")->text(), "Li Wei");
    EXPECT_EQ(next.findChild<QLineEdit *>("stationBox")->text(), "Bench 3");
    EXPECT_TRUE(next.findChild<QCheckBox *>("skipLoopback")->isChecked());
    EXPECT_EQ(next.findChild<QLineEdit *>("resultsFolderBox")->text(), bench.results.path());
    EXPECT_TRUE(next.findChild<QLineEdit *>("serialBox")->text().isEmpty());
}

TEST(SelfTestFromTheMenu, AReportThatCannotBeFiledKeepsTheVerdictAndSaysSo)
{
    Bench bench({"stuck:1.0=0"});
    // The results folder goes while the test runs: the report has nowhere to go.
    QObject::connect(bench.dialog.get(), &SelfTestDialog::checkShown,
                     [&] { QDir(bench.results.path()).removeRecursively(); });
    bench.scan("NOWHERE");
    EXPECT_EQ(bench.verdict(), "Failed");
    EXPECT_TRUE(bench.dialog->lastReport().isEmpty());
    ASSERT_EQ(bench.reports.size(), 1u);
    EXPECT_EQ(bench.reports.front().headline, "The self-test ran, but its report was not filed");
    EXPECT_EQ(bench.window->findChild<QLineEdit *>("txtInput0")->text(), "0");
    // The record says what the test found, not the status of its filing: never "passed".
    const QJsonObject line = bench.recordLine("self-test");
    EXPECT_EQ(line["verdict"].toString(), "failed");
    EXPECT_EQ(line["status"].toInt(), 2);
    EXPECT_TRUE(line["reportFile"].isNull());
}

TEST(SelfTestFromTheMenu, ACardThatLeavesMidTestFilesACouldNotRunReport)
{
    Bench bench({}, 200); // gone during the loopback
    bench.scan("GONE1");
    ASSERT_EQ(bench.reports.size(), 1u);
    EXPECT_NE(bench.reports.front().detail.indexOf("the card left the bus"), -1)
        << bench.reports.front().detail.toStdString();
    const QJsonObject report = bench.filedReport();
    EXPECT_EQ(report["status"].toInt(-1), 2);
    EXPECT_TRUE(report.contains("error"));
    EXPECT_FALSE(report.contains("checks"));
    EXPECT_EQ(bench.verdict(), "Could not run");
    // Only the whole report: no temporary file is left beside it.
    EXPECT_EQ(QDir(bench.results.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_TRUE(bench.window->inputTimer().isActive());
}

TEST(SelfTestFromTheMenu, TheMenuSitsAboveTheUnmovedForm)
{
    Bench bench({});
    QMenuBar *menu = bench.window->menuBar();
    EXPECT_EQ(bench.window->form()->y(), menu->height());
    EXPECT_EQ(bench.window->height(), bench.window->form()->height() + menu->height());
    QAction *selfTest = bench.window->findChild<QAction *>("selfTestAction");
    ASSERT_NE(selfTest, nullptr);
    EXPECT_TRUE(selfTest->isEnabled());
    EXPECT_TRUE(selfTest->text().contains("&S"));
}

// ---- The DA check

struct DaBench : Bench
{
    DaBench(const QStringList &faults, const QString &meter, int cards = 1, int card = 1)
        : Bench(faults, -1, cards)
    {
        if (card != 1)
            showCard(card);
        openDaCheck(meter);
    }
    // The DA check as the menu opens it: on the card the window shows.
    void openDaCheck(const QString &meter)
    {
        da = std::make_unique<window::DaCheckDialog>(
            window->cardInView(), record.get(),
            [this](const std::exception_ptr &failure, const QString &test) {
                window->reportTestFailure(failure, test);
            },
            window.get());
        da->findChild<QLineEdit *>("resultsFolderBox")->setText(results.path());
        da->findChild<QLineEdit *>("meterBox")->setText(meter);
        da->findChild<QLineEdit *>("limitsBox")->setText("1");
        da->findChild<QLineEdit *>("pointsBox")->setText("11");
        da->findChild<QLineEdit *>("rangeBox")->setText("0:10");
        da->show();
    }
    QString text(const char *label) const { return da->findChild<QLabel *>(label)->text(); }
    QColor daVerdictColour() const { return colourOf(da->findChild<QLabel *>("verdictLabel")); }
    QJsonObject report() const
    {
        QFile file(da->lastReport());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        qm5083::testing::keepJsonSample("da-check-report", bytes.toStdString());
        return QJsonDocument::fromJson(bytes).object();
    }
    // The serial and Enter; with a meter, until the check has its verdict.
    void start(const QString &serial)
    {
        QTest::keyClicks(da->findChild<QLineEdit *>("serialBox"), serial);
        QTest::keyClick(da->findChild<QLineEdit *>("serialBox"), Qt::Key_Return);
        if (!da->findChild<QLineEdit *>("meterBox")->text().isEmpty()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !text("verdictLabel").isEmpty(); }, 20000));
        }
    }
    void type(const QString &reading)
    {
        QWidget *box = da->focusWidget();
        QTest::keyClicks(box, reading);
        QTest::keyClick(box, Qt::Key_Return);
    }
    // The code DA1 holds now, as the card keeps it for the next program.
    std::uint16_t channelCode() const
    {
        const hardware::Backend another = hardware::chooseBackend(commandLine.backends);
        {
            const hardware::OperationScope reading(another.port());
            another.port().inportb(0xE000);
        }
        return dynamic_cast<const hardware::SimulatedBus &>(*another.card).card(1)->daCode(1);
    }
    std::unique_ptr<window::DaCheckDialog> da;
};

struct DaRow
{
    const char *name;
    QStringList faults;
    QString verdict;
    int status;
};

void PrintTo(const DaRow &row, std::ostream *os)
{
    *os << row.name;
}

class DaCheckFromTheMenu : public ::testing::TestWithParam<DaRow>
{ };

// The meter's readings, then the same typed by hand: one verdict, one report, the channel at 0.
TEST_P(DaCheckFromTheMenu, TypedOrFromTheMeterTheSameVerdict)
{
    DaBench metered(GetParam().faults, "sim");
    metered.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(1);
    metered.start("M-1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !metered.text("verdictLabel").isEmpty(); }, 5000));
    EXPECT_EQ(metered.text("verdictLabel"), GetParam().verdict)
        << metered.text("readingProblem").toStdString();
    const QJsonObject meterReport = metered.report();
    EXPECT_EQ(meterReport["status"].toInt(-1), GetParam().status);
    const auto *table = metered.da->findChild<QTableWidget *>("readingsTable");
    ASSERT_EQ(table->rowCount(), meterReport["points"].toArray().size());

    DaBench typed(GetParam().faults, "");
    typed.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(1);
    typed.start("T-1");
    for (int row = 0; row < table->rowCount(); ++row) {
        EXPECT_EQ(typed.text("codeLabel"), table->item(row, 0)->text());
        typed.type(table->item(row, 2)->text());
    }
    EXPECT_EQ(typed.text("verdictLabel"), GetParam().verdict);
    const QJsonObject typedReport = typed.report();
    EXPECT_EQ(typedReport["status"].toInt(-1), GetParam().status);
    EXPECT_EQ(typedReport["meter"].toObject()["kind"].toString(), "typed");
    // The table shows the readings to the microvolt: the figures may differ below that, not
    // the verdict on each.
    const auto withinEach = [](const QJsonObject &report) {
        QStringList verdicts;
        for (const QJsonValue verdict : report["verdicts"].toArray())
            verdicts << verdict["figure"].toString() + (verdict["within"].toBool() ? "+" : "-");
        return verdicts;
    };
    EXPECT_EQ(withinEach(typedReport), withinEach(meterReport));
    EXPECT_FALSE(withinEach(typedReport).isEmpty());
    EXPECT_TRUE(QFile::exists(QString(typed.da->lastReport()).replace(".json", ".svg")));
    EXPECT_EQ(typed.channelCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, DaCheckFromTheMenu,
                         ::testing::Values(DaRow {"CleanChannel", {}, "Passed", 0},
                                           DaRow {
                                               "OffsetChannel", {"da-offset:1=250"}, "Failed", 1},
                                           DaRow {"GainChannel", {"da-gain:1=5"}, "Failed", 1}),
                         qm5083::testing::RowName {});

TEST(DaCheckFromTheMenu, ABadReadingIsAskedAgainAndEscLeavesCodeZero)
{
    DaBench bench({}, "");
    bench.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(1);
    bench.start("E-1");
    bench.type("0");
    const QString code = bench.text("codeLabel");
    bench.type("ten volts");
    EXPECT_EQ(bench.text("codeLabel"), code);
    EXPECT_FALSE(bench.text("readingProblem").isEmpty());
    EXPECT_EQ(bench.da->findChild<QTableWidget *>("readingsTable")->rowCount(), 1);
    EXPECT_NE(bench.channelCode(), 0); // the code shown is on the channel
    QTest::keyClick(bench.da->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(bench.da->isVisible());
    EXPECT_EQ(bench.channelCode(), 0);
    const QJsonObject report = bench.report();
    EXPECT_EQ(report["status"].toInt(-1), 2);
    EXPECT_FALSE(report["complete"].toBool(true));
    EXPECT_EQ(report["points"].toArray().size(), 1);
}

TEST(DaCheckFromTheMenu, ACardThatStopsAnsweringGetsTheWindowsReport)
{
    DaBench bench({}, "");
    bench.start("GONE-DA");
    bench.type("0");
    // The card's state turns unreadable: its next operation is refused, as a card gone is.
    QFile state(QString::fromStdString(hardware::defaultSimulatedStateDir() / "card1.state"));
    ASSERT_TRUE(state.open(QIODevice::WriteOnly | QIODevice::Truncate));
    state.write("not a card");
    state.close();
    bench.type("0.01");
    ASSERT_EQ(bench.reports.size(), 1u);
    const QJsonObject report = bench.report();
    EXPECT_EQ(report["status"].toInt(-1), 2);
    EXPECT_FALSE(report["complete"].toBool(true));
    EXPECT_EQ(bench.text("verdictLabel"), "Could not run");
}

// ---- Every way a verdict could lie, in the window

// Four simulated cards, a different fault on each: a test of the wrong card says so.
const QStringList kFourCards {"1/da-gain:0=5", "2/dead-chip:C", "3/stuck:2.3=1",
                              "3/da-offset:0=100", "4/counter-stopped:D.2"};

bool green(const QColor &colour)
{
    return colour == window::kPassColour;
}

struct LieRow
{
    const char *name;
    std::function<void()> check; // drives the window and says what must hold
};

void PrintTo(const LieRow &row, std::ostream *os)
{
    *os << row.name;
}

class WaysAVerdictCouldLie : public ::testing::TestWithParam<LieRow>
{ };

TEST_P(WaysAVerdictCouldLie, InTheWindow)
{
    GetParam().check();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaysAVerdictCouldLie,
    ::testing::Values(
        LieRow {"SelfTestOfTheCardTheWindowShows",
                [] {
                    Bench bench(kFourCards, -1, 4);
                    bench.showCard(3);
                    bench.openSelfTest("sim");
                    EXPECT_TRUE(bench.dialog->windowTitle().contains("card 3, base E200"))
                        << bench.dialog->windowTitle().toStdString();
                    bench.scan("SN3");
                    EXPECT_EQ(bench.verdict(), "Failed");
                    EXPECT_TRUE(
                        bench.label("verdictForLabel").contains("Serial SN3, card 3, base E200"));
                    const QJsonObject report = bench.filedReport();
                    EXPECT_EQ(report["card"]["number"].toInt(), 3);
                    EXPECT_EQ(report["card"]["base"].toString(), "E200");
                    EXPECT_EQ(report["card"]["faults"].toArray(),
                              (QJsonArray {"3/stuck:2.3=1", "3/da-offset:0=100"}));
                    EXPECT_EQ(report["checks"][1]["failingBits"][0]["bit"].toInt(-1), 3);
                    EXPECT_EQ(report["checks"][8]["result"].toString(), "fail"); // DA0 100 mV off
                }},
        LieRow {"DaCheckOfTheCardTheWindowShows",
                [] {
                    DaBench bench(kFourCards, "sim", 4, 3);
                    EXPECT_TRUE(bench.da->windowTitle().contains("card 3, base E200"));
                    bench.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(0);
                    bench.start("SN3");
                    EXPECT_EQ(bench.text("verdictLabel"), "Failed");
                    EXPECT_TRUE(bench.text("verdictForLabel").contains("card 3, base E200, DA0"));
                    const QJsonObject report = bench.report();
                    EXPECT_EQ(report["card"]["number"].toInt(), 3);
                    EXPECT_EQ(report["card"]["base"].toString(), "E200");
                    // 100 mV on 10 V / 4096: 40.96 LSB.
                    EXPECT_NEAR(report["figures"]["offset"]["lsb"].toDouble(), 40.96, 0.01);
                }},
        LieRow {"SkippedPartsAreNeverThePlainPass",
                [] {
                    Bench bench({"stuck:2.3=1", "dead-chip:C"});
                    bench.openSelfTest("sim");
                    bench.dialog->findChild<QCheckBox *>("skipLoopback")->setChecked(true);
                    bench.dialog->findChild<QCheckBox *>("skipCounters")->setChecked(true);
                    EXPECT_EQ(bench.label("notTestedLabel"),
                              "Not tested: the digital loopback, the counters. The verdict will "
                              "not be a pass.");
                    bench.scan("SKIP1");
                    EXPECT_EQ(bench.verdict(), "Incomplete");
                    EXPECT_FALSE(green(bench.verdictColour()));
                    EXPECT_TRUE(
                        bench.label("verdictForLabel")
                            .startsWith("Not tested: loopback (skipped), counters (skipped)."));
                    const QJsonObject report = bench.filedReport();
                    EXPECT_EQ(report["status"].toInt(), 3);
                    EXPECT_FALSE(report["complete"].toBool(true));
                    // Shown again at the next serial, and in the next dialog: remembered.
                    bench.openSelfTest("sim");
                    EXPECT_TRUE(bench.label("notTestedLabel").startsWith("Not tested:"));
                }},
        LieRow {"NothingLeftToTestCannotRun",
                [] {
                    Bench bench({});
                    for (const char *box : {"skipLoopback", "skipCounters", "skipDa"})
                        bench.dialog->findChild<QCheckBox *>(box)->setChecked(true);
                    EXPECT_EQ(bench.label("notTestedLabel"),
                              "Everything is skipped: there is nothing to test.");
                    bench.scan("NONE1");
                    EXPECT_EQ(bench.verdict(), "Could not run");
                    EXPECT_EQ(bench.filedReport()["status"].toInt(), 2);
                }},
        LieRow {"UnmeasuredDaChannelsAreNoPass",
                [] {
                    Bench bench({});
                    EXPECT_TRUE(bench.label("notTestedLabel").contains("(no meter)"));
                    bench.scan("NOMETER");
                    EXPECT_EQ(bench.verdict(), "Incomplete");
                    EXPECT_FALSE(green(bench.verdictColour()));
                    EXPECT_TRUE(bench.label("verdictForLabel").contains("da (no meter was set)"));
                }},
        LieRow {"WithoutLimitsNothingIsPassedOrFailed",
                [] {
                    DaBench bench({"da-offset:1=100"}, "sim");
                    bench.da->findChild<QLineEdit *>("limitsBox")->clear();
                    bench.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(1);
                    bench.start("NOLIMIT");
                    EXPECT_EQ(bench.text("verdictLabel"), "Not judged");
                    EXPECT_FALSE(green(bench.daVerdictColour()));
                    const auto *lines = bench.da->findChild<QListWidget *>("figureLines");
                    for (int row = 0; row < lines->count(); ++row)
                        EXPECT_FALSE(lines->item(row)->text().contains(" within "));
                    EXPECT_TRUE(bench.text("verdictForLabel")
                                    .startsWith("verdict: Not judged, judged on monotonicity"));
                    EXPECT_EQ(bench.report()["status"].toInt(), 3);
                }},
        LieRow {
            "AFigureWithoutALimitIsNotJudgedByName",
            [] {
                DaBench bench({"da-offset:1=100"}, "sim");
                bench.da->findChild<QLineEdit *>("limitsBox")->setText("inl=1");
                bench.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(1);
                bench.start("INLONLY");
                EXPECT_EQ(bench.text("verdictLabel"), "Not judged");
                const QJsonObject report = bench.report();
                EXPECT_EQ(report["notJudged"].toArray(), (QJsonArray {"offset", "gain", "dnl"}));
                EXPECT_TRUE(bench.text("verdictForLabel").contains("judged on inl, monotonicity"));
            }},
        LieRow {"ReadingsThatDoNotFollowTheCodesAreTheWiring",
                [] {
                    DaBench bench({}, "command:echo 5.000");
                    bench.da->findChild<QComboBox *>("channelBox")->setCurrentIndex(1);
                    bench.start("FLAT");
                    EXPECT_EQ(bench.text("verdictLabel"), "Could not run");
                    EXPECT_TRUE(bench.text("readingProblem").contains("the meter is on DA1"));
                    EXPECT_EQ(bench.report()["endedBy"].toString(), "wiring");
                    EXPECT_EQ(bench.channelCode(), 0);
                }},
        LieRow {"AChannelThatStepsBackFailsWithoutLimits",
                [] {
                    // 800 reads 6 LSB below 7FF, the other codes their ideal.
                    DaBench bench({},
                                  "command:case $QM5083_DA_CODE in 800) echo 4.98;; *) echo "
                                  "$QM5083_DA_IDEAL;; esac");
                    bench.da->findChild<QLineEdit *>("limitsBox")->clear();
                    bench.start("BACK");
                    EXPECT_EQ(bench.text("verdictLabel"), "Failed");
                    EXPECT_FALSE(bench.report()["figures"].toObject()["monotonic"].toBool(true));
                }},
        LieRow {"EscIsStoppedByTheOperator",
                [] {
                    DaBench bench({}, "");
                    bench.start("ESC");
                    bench.type("0");
                    QTest::keyClick(bench.da->focusWidget(), Qt::Key_Escape);
                    EXPECT_EQ(bench.text("verdictLabel"), "Stopped");
                    EXPECT_FALSE(green(bench.daVerdictColour()));
                    const QJsonObject report = bench.report();
                    EXPECT_EQ(report["endedBy"].toString(), "operator");
                    EXPECT_EQ(report["verdict"].toString(), "stopped");
                    EXPECT_EQ(report["points"].toArray().size(), 1);
                }},
        LieRow {"TheNextSerialClearsTheVerdict",
                [] {
                    Bench bench({});
                    bench.openSelfTest("sim");
                    bench.scan("FIRST");
                    EXPECT_EQ(bench.verdict(), "Passed");
                    EXPECT_TRUE(bench.label("verdictForLabel").contains("Serial FIRST, card 1"));
                    QTest::keyClicks(bench.dialog->findChild<QLineEdit *>("serialBox"), "S");
                    EXPECT_TRUE(bench.verdict().isEmpty());
                    EXPECT_TRUE(bench.label("verdictForLabel").isEmpty());
                    DaBench da({}, "sim");
                    da.start("FIRST");
                    EXPECT_EQ(da.text("verdictLabel"), "Passed");
                    QTest::keyClicks(da.da->findChild<QLineEdit *>("serialBox"), "S");
                    EXPECT_TRUE(da.text("verdictLabel").isEmpty());
                }},
        LieRow {"TheVerdictWordsAreTranslated",
                [] {
                    QTranslator chinese;
                    ASSERT_TRUE(chinese.load(QStringLiteral(":/i18n/qm5083_zh_CN.qm")));
                    QCoreApplication::installTranslator(&chinese);
                    Bench passed({});
                    passed.openSelfTest("sim");
                    passed.scan("ZH1");
                    Bench failed({"stuck:1.0=1"});
                    failed.scan("ZH2");
                    QCoreApplication::removeTranslator(&chinese);
                    EXPECT_EQ(passed.verdict(), "合格");
                    EXPECT_EQ(failed.verdict(), "不合格");
                    // In any other language, the language's own word.
                    Bench english({});
                    english.openSelfTest("sim");
                    english.scan("EN1");
                    EXPECT_EQ(english.verdict(), "Passed");
                }},
        LieRow {"TheRecordNamesTheCardSerialReportAndProcess",
                [] {
                    Bench bench(kFourCards, -1, 4);
                    bench.showCard(3);
                    bench.openSelfTest("sim");
                    bench.scan("REC3");
                    const QJsonObject line = bench.recordLine("self-test");
                    EXPECT_EQ(line["card"]["number"].toInt(), 3);
                    EXPECT_EQ(line["serial"].toString(), "REC3");
                    EXPECT_EQ(line["reportFile"].toString(), bench.dialog->lastReport());
                    EXPECT_EQ(line["pid"].toInteger(), QCoreApplication::applicationPid());
                }},
        LieRow {"TwoTestsOfOneSerialInOneSecondAreTwoReports",
                [] {
                    Bench bench({});
                    // The names this second and the next two would take are there already.
                    for (int second = 0; second < 3; ++second)
                        QFile(bench.results.filePath(
                                  "TWICE_"
                                  + QDateTime::currentDateTime().addSecs(second).toString(
                                      "yyyyMMdd-HHmmss")
                                  + ".json"))
                            .open(QIODevice::WriteOnly);
                    bench.scan("TWICE");
                    EXPECT_TRUE(bench.dialog->lastReport().endsWith("-2.json"))
                        << bench.dialog->lastReport().toStdString();
                }},
        LieRow {
            "ASerialStartingWithADotIsAVisibleFile",
            [] {
                Bench bench({});
                bench.scan(".hidden");
                EXPECT_TRUE(QFileInfo(bench.dialog->lastReport()).fileName().startsWith("_hidden_"))
                    << bench.dialog->lastReport().toStdString();
                EXPECT_EQ(bench.filedReport()["serial"].toString(), ".hidden");
            }},
        LieRow {"AReadingFarOutsideTheRangeIsAskedAgain",
                [] {
                    DaBench bench({}, "");
                    bench.start("FAR");
                    bench.type("0");
                    const QString code = bench.text("codeLabel");
                    bench.type("25"); // 0 to 10 V: further outside than the range is wide
                    EXPECT_EQ(bench.text("codeLabel"), code);
                    EXPECT_FALSE(bench.text("readingProblem").isEmpty());
                    EXPECT_EQ(bench.da->findChild<QTableWidget *>("readingsTable")->rowCount(), 1);
                    bench.type("19.99"); // just inside: taken
                    EXPECT_EQ(bench.da->findChild<QTableWidget *>("readingsTable")->rowCount(), 2);
                }}),
    qm5083::testing::RowName {});
// ---- What a station types and finds in the results folder

const QString kStationRule = "is not a text of at most 200 bytes of UTF-8 on one line, with no "
                             "control character; correct it and start again.";

// A serial longer than the boxes once held is filed whole; one beyond the one rule for a
// station's texts is refused with the rule named, and nothing runs; a Chinese serial keeps its
// letters in the report's name.
TEST(StationTextsInTheWindow, AreFiledWholeOrRefusedWithTheRule)
{
    Bench bench({});
    const QString seventy(70, 'S');
    bench.scan(seventy);
    EXPECT_EQ(bench.filedReport()["serial"].toString(), seventy);
    bench.scan(QString(201, 'S'));
    EXPECT_TRUE(bench.dialog->lastReport().isEmpty());
    const auto *lines = bench.dialog->findChild<QListWidget *>("checkLines");
    ASSERT_EQ(lines->count(), 1);
    EXPECT_EQ(lines->item(0)->text(),
              "Serial number \"" + QString(40, 'S') + "…\" " + kStationRule);
    bench.dialog->findChild<QLineEdit *>("operatorBox")->setText("Li\tWei");
    bench.scan("T-1");
    EXPECT_EQ(lines->item(0)->text(), "Operator \"Li\\tWei\" " + kStationRule);
    bench.dialog->findChild<QLineEdit *>("operatorBox")->setText("李伟");
    // A scanner's keys are ASCII: a Chinese serial is typed through the input method.
    auto *serial = bench.dialog->findChild<QLineEdit *>("serialBox");
    serial->setText("合格证-001");
    QTest::keyClick(serial, Qt::Key_Return);
    EXPECT_TRUE(bench.dialog->lastReport().startsWith(bench.results.path() + "/合格证-001_"))
        << bench.dialog->lastReport().toStdString();
    EXPECT_EQ(bench.filedReport()["operator"].toString(), "李伟");
}

// Another's picture where the check's would go: the check files both under the next name, and
// leaves the file as it was. Every text the dialog shows of what was typed or read is plain text,
// shown as it is: a reading typed as "%1" too.
TEST(DaCheckInTheWindow, LeavesAnothersPictureAloneAndShowsItsTextsAsTheyAre)
{
    DaBench bench({}, "");
    const QDir results(bench.results.path());
    const QDateTime now = QDateTime::currentDateTime();
    QStringList theirs;
    for (int second = 0; second < 5; ++second) {
        theirs << results.filePath("P-1_DA0_" + now.addSecs(second).toString("yyyyMMdd-HHmmss")
                                   + ".svg");
        QFile picture(theirs.back());
        ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
        picture.write("theirs");
    }
    bench.da->findChild<QLineEdit *>("pointsBox")->setText("2");
    bench.start("P-1");
    bench.type("%1");
    EXPECT_EQ(bench.text("readingProblem"),
              "\"%1\" is no reading of 0 to 10 V; type the meter's reading in volts again.");
    // Each code's ideal reading on 0 to 10 V: readings that follow the codes, so figures and a
    // picture are made.
    while (!bench.text("codeLabel").isEmpty())
        bench.type(
            QString::number(bench.text("codeLabel").toInt(nullptr, 16) * 10.0 / 4096, 'f', 6));
    EXPECT_FALSE(bench.da->lastReport().isEmpty());
    const QString picture = QString(bench.da->lastReport()).replace(".json", ".svg");
    EXPECT_TRUE(QFile::exists(picture));
    EXPECT_FALSE(theirs.contains(picture));
    for (const QString &path : theirs) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "theirs") << path.toStdString();
    }
    for (const char *name : {"codeLabel", "expectedLabel", "readingProblem", "verdictLabel",
                             "reportFiledLabel", "planLabel", "pictureLabel"})
        EXPECT_EQ(bench.da->findChild<QLabel *>(name)->textFormat(), Qt::PlainText) << name;
}

// A setting written by hand keeps a ";" (a meter command's), and one the dialog remembers reads
// back as it was.
TEST(DaCheckInTheWindow, KeepsASemicolonInItsSettings)
{
    DaBench bench({}, QString());
    const QDir settings(bench.settings.path());
    settings.mkpath("qm5083-bench");
    std::ofstream(settings.filePath("qm5083-bench/qm5083-bench.conf").toStdString())
        << "[daCheck]\nmeter=command:read-dmm --port 3; echo done\nrange=\"0:5\"\n";
    const window::DaCheckDialog written(bench.window->cardInView(), bench.record.get(), {},
                                        bench.window.get());
    EXPECT_EQ(written.findChild<QLineEdit *>("meterBox")->text(),
              "command:read-dmm --port 3; echo done");
    EXPECT_EQ(written.findChild<QLineEdit *>("rangeBox")->text(), "0:5");
    bench.da->findChild<QLineEdit *>("meterBox")->setText("command:x=\"a;b\"; echo $x");
    bench.start("S-1"); // remembers, then runs
    const window::DaCheckDialog remembered(bench.window->cardInView(), bench.record.get(), {},
                                           bench.window.get());
    EXPECT_EQ(remembered.findChild<QLineEdit *>("meterBox")->text(), "command:x=\"a;b\"; echo $x");
}

// Run as root with another user's environment (sudo -E), or with no HOME at all: the dialogs'
// settings and results are root's own, from the password database, never in that user's home,
// never at /.
TEST(DialogsAsRoot, KeepNothingInAnotherUsersHome)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "another user's home needs root to make";
    QTemporaryDir theirs;
    ASSERT_EQ(::chown(theirs.path().toStdString().c_str(), 5083, 5083), 0);
    const QByteArray home = qgetenv("HOME");
    const QString rootHome = QString::fromLocal8Bit(::getpwuid(0)->pw_dir);
    for (const bool unset : {false, true}) {
        if (unset)
            qunsetenv("HOME");
        else
            qputenv("HOME", theirs.path().toLocal8Bit());
        EXPECT_EQ(window::benchSettings().fileName(),
                  rootHome + "/.config/qm5083-bench/qm5083-bench.conf");
        EXPECT_EQ(window::defaultResultsFolder(), rootHome + "/Documents/qm5083-bench");
    }
    qputenv("HOME", home);
}

} // namespace
