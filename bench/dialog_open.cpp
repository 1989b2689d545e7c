// How long each dialog of the menu takes to open: built, shown and painted once, from the menu's
// action to the first frame, on the simulated card (offscreen). Prints the median and the largest
// of the runs, in milliseconds. A measurement, not a test: it passes or fails nothing.

#include "backends.h"
#include "da_check_dialog.h"
#include "main_window.h"
#include "self_test_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace qm5083;

namespace {

// Notes the first paint of the widget it watches.
class PaintWatch final : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Each dialog as the menu opens it: handed the card the window shows.
std::unique_ptr<QDialog> selfTest(window::MainWindow &mainWindow)
{
    return std::make_unique<window::SelfTestDialog>(
        mainWindow.cardInView(),
        [](const auto &, const auto &, const auto &) { return std::nullopt; }, &mainWindow);
}

std::unique_ptr<QDialog> daCheck(window::MainWindow &mainWindow)
{
    return std::make_unique<window::DaCheckDialog>(mainWindow.cardInView(), nullptr, nullptr,
                                                   &mainWindow);
}

std::vector<double> openTimes(window::MainWindow &mainWindow,
                              std::unique_ptr<QDialog> (*open)(window::MainWindow &), int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<QDialog> dialog = open(mainWindow);
        PaintWatch watch;
        dialog->installEventFilter(&watch);
        dialog->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times;
}

void report(const char *name, const std::vector<double> &times)
{
    std::printf("%-16s median %.1f ms, largest %.1f ms over %zu runs\n", name,
                times[times.size() / 2], times.back(), times.size());
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    commands::CommandLine commandLine;
    commandLine.backends.simulate = true;
    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    window::MainWindow mainWindow(backend.port(), *backend.locator, backend.kind);
    mainWindow.setTestBench({&commandLine, &backend});
    mainWindow.show();
    // The first of each is the one the technician waits for: fonts and styles not yet warm.
    report("self-test first", openTimes(mainWindow, selfTest, 1));
    report("DA check first", openTimes(mainWindow, daCheck, 1));
    report("self-test", openTimes(mainWindow, selfTest, runs));
    report("DA check", openTimes(mainWindow, daCheck, runs));
    return 0;
}
