// The results from the window, as the menu hands them to its dialogs: the self-test stores each
// card's result where the command line says, the next scan of a card shows its earlier results
// (a retest when it failed before), a results database that cannot be used refuses the test, and
// 测试 → 结果 shows today's yield and Pareto.

#include "backends.h"
#include "main_window.h"
#include "results_queries.h"
#include "results_store.h"
#include "test_dialog_parts.h"
#include "test_menu.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace qm5083;
using window::MainWindow;
using window::SelfTestDialog;

namespace {

// A window on the simulated card with its faults, whose checks store their results in file.
struct Station
{
    Station(const QString &file, const QStringList &faults, const QString &settingsPath)
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsPath);
        commandLine.backends.simulate = true;
        commandLine.results = file;
        for (const QString &fault : faults)
            commandLine.backends.simulatedFaults.push_back(
                hardware::parseSimulatedFault(fault.toStdString()));
        backend = hardware::chooseBackend(commandLine.backends);
        window = std::make_unique<MainWindow>(backend.port(), *backend.locator, backend.kind);
        window->setReporter(
            [this](const reports::ErrorReport &report) { reported.push_back(report); });
        window->setTestBench({&commandLine, &backend});
        window->start();
        const commands::CardChoice card = window->cardInView();
        dialog = std::make_unique<SelfTestDialog>(card, window::selfTestRunner(*window, card),
                                                  window.get(), window::earlierResultsFor(*window));
        dialog->findChild<QLineEdit *>("resultsFolderBox")->setText(reports.path());
        dialog->findChild<QLineEdit *>("meterBox")->setText(QStringLiteral("sim"));
        dialog->show();
    }

    // As a scanner does it: the serial, then Enter.
    void scan(const QString &serial)
    {
        QLineEdit *box = dialog->findChild<QLineEdit *>("serialBox");
        box->clear();
        QTest::keyClicks(box, serial);
        QTest::keyClick(box, Qt::Key_Return);
    }

    QLabel *label(const char *name) const { return dialog->findChild<QLabel *>(name); }

    QTemporaryDir reports;
    commands::CommandLine commandLine;
    hardware::Backend backend;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SelfTestDialog> dialog;
    std::vector<reports::ErrorReport> reported;
};

class ResultsWindow : public ::testing::Test
{
protected:
    QString file() const { return folder_.filePath(QStringLiteral("station.sqlite")); }
    std::vector<results::HistoryEntry> historyOf(const QString &serial) const
    {
        const auto database = results::openSqlite(file());
        return results::history(*database, serial);
    }

    QTemporaryDir folder_;
    QTemporaryDir settings_;
};

TEST_F(ResultsWindow, EachSelfTestIsStoredAndTheNextScanShowsTheCardsEarlierResults)
{
    {
        Station faulty(file(), {QStringLiteral("stuck:2.3=1")}, settings_.path());
        faulty.scan(QStringLiteral("W-1"));
        EXPECT_EQ(faulty.label("earlierResultsLabel")->text(),
                  QStringLiteral("First test of this card."));
        EXPECT_EQ(faulty.label("verdictLabel")->text(), QStringLiteral("Failed"));
    }
    const std::vector<results::HistoryEntry> first = historyOf(QStringLiteral("W-1"));
    ASSERT_EQ(first.size(), 1U);
    EXPECT_EQ(first[0].status, QStringLiteral("failed"));
    ASSERT_EQ(first[0].failures.size(), 1U);
    EXPECT_EQ(first[0].failures[0].problem, QStringLiteral("loopback"));

    // The card repaired, at the next station: a retest, said in its own colour.
    Station repaired(file(), {}, settings_.path());
    repaired.scan(QStringLiteral("W-1"));
    const QLabel *earlier = repaired.label("earlierResultsLabel");
    EXPECT_TRUE(earlier->text().startsWith(
        QStringLiteral("Retest. Earlier results: 1; the last, Failed (self-test), on ")))
        << earlier->text().toStdString();
    EXPECT_TRUE(earlier->text().contains(QStringLiteral("loopback group 2: loopback")));
    EXPECT_EQ(earlier->palette().color(QPalette::WindowText), window::kNotAllColour);
    EXPECT_EQ(repaired.label("verdictLabel")->text(), QStringLiteral("Passed"));
    const std::vector<results::HistoryEntry> both = historyOf(QStringLiteral("W-1"));
    ASSERT_EQ(both.size(), 2U);
    EXPECT_EQ(both[0].status, QStringLiteral("passed"));
}

TEST_F(ResultsWindow, ADamagedResultsDatabaseRefusesTheTestNamingIt)
{
    QFile damaged(file());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    Station station(file(), {}, settings_.path());
    station.scan(QStringLiteral("W-3"));
    EXPECT_EQ(station.label("verdictLabel")->text(), QStringLiteral("Could not run"));
    const QStringList lines = [&] {
        QStringList shown;
        const auto *list = station.dialog->findChild<QListWidget *>("checkLines");
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        shown << station.label("verdictForLabel")->text();
        return shown;
    }();
    EXPECT_TRUE(lines.join(QLatin1Char('\n')).contains(file() + QStringLiteral(" is damaged")))
        << lines.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ResultsWindow, TheResultsDialogShowsTodaysYieldAndPareto)
{
    {
        Station faulty(file(), {QStringLiteral("stuck:2.3=1")}, settings_.path());
        faulty.scan(QStringLiteral("W-4"));
    }
    {
        Station repaired(file(), {}, settings_.path());
        repaired.scan(QStringLiteral("W-4"));
        repaired.scan(QStringLiteral("W-5"));
        QAction *action = nullptr;
        for (QAction *candidate : repaired.window->menuBar()->findChildren<QAction *>())
            if (candidate->objectName() == QLatin1String("resultsAction"))
                action = candidate;
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isEnabled());
        window::ResultsDialog dialog(window::todaysResultsFor(*repaired.window),
                                     repaired.window.get());
        const auto *yield = dialog.findChild<QListWidget *>("yieldLines");
        ASSERT_EQ(yield->count(), 1);
        // W-4 failed then passed, W-5 passed: 2 cards, 1 first pass, 2 in the end.
        EXPECT_EQ(yield->item(0)->text(),
                  QStringLiteral("today: 2 cards, first pass 1 (50.0 %), final 2 (100.0 %)"));
        EXPECT_FALSE(dialog.findChild<QLabel *>("paretoPicture")->pixmap().isNull());
        EXPECT_TRUE(dialog.findChild<QLabel *>("resultsDatabaseLabel")->text().contains(file()));
    }
}

} // namespace
