#include "run_window.h"

#include "appearance.h"
#include "backends.h"
#include "card_session.h"
#include "main_window.h"
#include "program.h"
#include "translations.h"

#include <QApplication>
#include <QMessageBox>

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
    if (!commandLine.printLayout)
        commands::recordSessionStart(sessionLog, commandLine, backend);
    try {
        MainWindow window(backend.port(), *backend.locator, backend.kind);
        if (commandLine.printLayout) {
            std::fputs(qPrintable(window.layoutLines().join(QLatin1Char('\n')) + '\n'), stdout);
            return 0;
        }
        window.setSessionLog(sessionLog);
        window.start(
            {backend.startupFailure,
             commandLine.cardsConfigProblem ? commandLine.cardsConfigProblem : backend.noCard,
             sessionLog ? sessionLog->openingNotice() : QString()});
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
    box.exec();
}

} // namespace qm5083::window
