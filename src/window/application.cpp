#include "application.h"

#include "appearance.h"
#include "backends.h"
#include "command_line.h"
#include "main_window.h"
#include "self_test_command.h"
#include "session_log.h"
#include "trace.h"
#include "translations.h"

#include <QApplication>

#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

namespace qm5083::window {

namespace {

// What a program's internal fault ends with (sysexits' EX_SOFTWARE).
constexpr int kInternalError = 70;

int finish(const CommandLine &commandLine)
{
    std::fputs(commandLine.output.toUtf8().constData(), stdout);
    std::fputs(commandLine.errors.toUtf8().constData(), stderr);
    return commandLine.exitCode.value_or(0);
}

int runWindow(int argc, char *argv[], const CommandLine &commandLine, SessionLog *sessionLog)
{
    QApplication app(argc, argv);
    installTranslations(app);
    applyAppearance(app);

    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    try {
        MainWindow window(backend.port(), *backend.locator, backend.kind);
        if (commandLine.printLayout) {
            std::fputs(qPrintable(window.layoutLines().join(QLatin1Char('\n')) + '\n'), stdout);
            return 0;
        }
        window.setSessionLog(sessionLog);
        window.start({backend.startupFailure, backend.noCard});
        window.show();
        return QApplication::exec();
    } catch (const MissingControl &fault) {
        std::fprintf(stderr, "qm5083-bench: internal error: %s\n", fault.what());
        return kInternalError;
    }
}

} // namespace

int runBench(int argc, char *argv[])
{
    hardware::secondsSinceProgramStart(); // the trace counts from here

    QCoreApplication::setApplicationName(QStringLiteral("qm5083-bench"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QM5083_VERSION));
    // The command line is read before any display is opened, so that --help, --version and a bad
    // option are answered on a machine without one.
    std::optional<CommandLine> commandLine;
    std::unique_ptr<SessionLog> sessionLog;
    {
        QCoreApplication reader(argc, argv);
        installTranslations(reader);
        commandLine = parseCommandLine(QCoreApplication::arguments());
        if (commandLine->exitCode)
            return finish(*commandLine);
        std::fputs(commandLine->errors.toUtf8().constData(), stderr);
        if (commandLine->selfTest)
            return runSelfTestCommand(*commandLine, stdout, stderr,
                                      [](auto duration) { std::this_thread::sleep_for(duration); });
        if (!commandLine->logFile.isEmpty()) {
            QString error;
            sessionLog = SessionLog::open(commandLine->logFile, error);
            if (!sessionLog) {
                const QString why = QCoreApplication::translate(
                    "qm5083::window", "cannot open the session record %1 for appending: %2");
                std::fprintf(stderr, "qm5083-bench: %s\n",
                             why.arg(commandLine->logFile, error).toUtf8().constData());
                return kUsageError;
            }
        }
    }
    return runWindow(argc, argv, *commandLine, sessionLog.get());
}

} // namespace qm5083::window
