#include "run_window.h"

#include "appearance.h"
#include "backends.h"
#include "card_session.h"
#include "main_window.h"
#include "program.h"
#include "test_menu.h"
#include "translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qm5083::window {

namespace {

// SIGINT and SIGTERM reach the window through a pipe, so that it ends between operations, as
// Exit does, not in the middle of one.
int gEndingPipe[2] = {-1, -1};

extern "C" void forwardEndingSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(gEndingPipe[1], &byte, 1);
}

bool forwardEndingSignals()
{
    if (::pipe2(gEndingPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action
    { };
    action.sa_handler = forwardEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
}

} // namespace

int runWindow(int argc, char *argv[], const commands::CommandLine &commandLine,
              reports::SessionLog *sessionLog)
{
    // From before the record's first line: a signal that comes at any moment after it waits in
    // the pipe for the window, which then ends as Exit does.
    const bool forwarding = forwardEndingSignals();
    // The layout needs no screen: without a display it is laid out off screen.
    if ((commandLine.mode == commands::Mode::PrintLayout) && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    reports::installTranslations(app);
    applyAppearance(app);

    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    if (!(commandLine.mode == commands::Mode::PrintLayout))
        commands::recordSessionStart(sessionLog, commandLine, backend);
    try {
        MainWindow window(backend.port(), *backend.locator, backend.kind);
        if ((commandLine.mode == commands::Mode::PrintLayout)) {
            std::fputs(qPrintable(window.layoutLines().join(QLatin1Char('\n')) + '\n'), stdout);
            return 0;
        }
        window.setSessionLog(sessionLog);
        window.setTestBench({&commandLine, &backend});
        openTestsFromTheMenu(window);
        // Heard from the start-up reports on: one that a signal ends closes, and the window ends
        // as Exit does once the start is over.
        bool ended = false;
        std::unique_ptr<QSocketNotifier> ending;
        if (forwarding) {
            ending = std::make_unique<QSocketNotifier>(gEndingPipe[0], QSocketNotifier::Read);
            QObject::connect(ending.get(), &QSocketNotifier::activated, &window, [&] {
                char signal = 0;
                while (::read(gEndingPipe[0], &signal, 1) > 0) { }
                ended = true;
                window.endAsExitDoes();
            });
        }
        window.start(
            {backend.startupFailure,
             commandLine.cardsConfigProblem ? commandLine.cardsConfigProblem : backend.noCard,
             sessionLog ? sessionLog->openingNotice() : QString()});
        if (ended) {
            window.endAsExitDoes();
            return 0;
        }
        window.show();
        return QApplication::exec();
    } catch (const MissingControl &fault) {
        std::fprintf(stderr, "qm5083-bench: internal error: %s\n", fault.what());
        return commands::kInternalError;
    }
}

void showStartupFailure(int argc, char *argv[], const QString &why)
{
    QApplication app(argc, argv);
    reports::installTranslations(app);
    applyAppearance(app);
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("qm5083-bench"),
        QCoreApplication::translate("qm5083::window::MainWindow", "qm5083-bench could not start"),
        QMessageBox::Ok);
    box.setObjectName(QStringLiteral("startupFailure"));
    box.setInformativeText(why);
    showAsPlainText(box);
    box.exec();
}

} // namespace qm5083::window
