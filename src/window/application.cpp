#include "application.h"

#include "appearance.h"
#include "backends.h"
#include "command_line.h"
#include "main_window.h"
#include "trace.h"
#include "translations.h"

#include <QApplication>

#include <cstdio>
#include <optional>

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

int runWindow(int argc, char *argv[], const CommandLine &commandLine)
{
    QApplication app(argc, argv);
    installTranslations(app);
    applyAppearance(app);

    const hardware::Backends backends = hardware::makeBackends(commandLine.backends);
    try {
        MainWindow window(backends.port(), *backends.locator, commandLine.backends.simulate);
        if (commandLine.printLayout) {
            std::fputs(qPrintable(window.layoutLines().join(QLatin1Char('\n')) + '\n'), stdout);
            return 0;
        }
        window.start({backends.startupFailure, backends.noCard});
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
    {
        QCoreApplication reader(argc, argv);
        installTranslations(reader);
        commandLine = parseCommandLine(QCoreApplication::arguments());
        if (commandLine->exitCode)
            return finish(*commandLine);
        std::fputs(commandLine->errors.toUtf8().constData(), stderr);
    }
    return runWindow(argc, argv, *commandLine);
}

} // namespace qm5083::window
