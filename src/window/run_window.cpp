#include "run_window.h"

#include "appearance.h"
#include "backends.h"
#include "main_window.h"
#include "program.h"
#include "translations.h"

#include <QApplication>

#include <cstdio>

namespace qm5083::window {

int runWindow(int argc, char *argv[], const commands::CommandLine &commandLine,
              reports::SessionLog *sessionLog)
{
    // The layout needs no screen: without a display it is laid out off screen.
    if (commandLine.printLayout && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    reports::installTranslations(app);
    applyAppearance(app);

    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    try {
        MainWindow window(backend.port(), *backend.locator, backend.kind);
        if (commandLine.printLayout) {
            std::fputs(qPrintable(window.layoutLines().join(QLatin1Char('\n')) + '\n'), stdout);
            return 0;
        }
        window.setSessionLog(sessionLog);
        window.start(
            {backend.startupFailure,
             commandLine.cardsConfigProblem ? commandLine.cardsConfigProblem : backend.noCard});
        window.show();
        return QApplication::exec();
    } catch (const MissingControl &fault) {
        std::fprintf(stderr, "qm5083-bench: internal error: %s\n", fault.what());
        return commands::kInternalError;
    }
}

} // namespace qm5083::window
