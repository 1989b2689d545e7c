#include "program.h"

#include "ending.h"
#include "output_text.h"
#include "script_runner.h"
#include "self_test_command.h"
#include "setup.h"
#include "trace.h"
#include "translations.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

namespace qm5083::commands {

namespace {

// Lines the command line made, each ended: what they quote of the arguments shown escaped.
void printText(std::FILE *file, const QString &text)
{
    if (!text.isEmpty())
        printLines(file,
                   text.chopped(text.endsWith(QLatin1Char('\n')) ? 1 : 0).split(QLatin1Char('\n')));
}

// The window would have opened on a display someone is looking at.
bool windowWouldShow(const CommandLine &commandLine)
{
    return commandLine.opensWindow
        && (!qEnvironmentVariableIsEmpty("DISPLAY")
            || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        && qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen");
}

int finish(int argc, char *argv[], const CommandLine &commandLine, const WindowRunner &window)
{
    printText(stdout, commandLine.output);
    printText(stderr, commandLine.errors);
    const int status = commandLine.exitCode.value_or(0);
    if (status != 0 && windowWouldShow(commandLine) && window.showStartupFailure)
        window.showStartupFailure(argc, argv, commandLine.errors.trimmed());
    return status;
}

} // namespace

int runProgram(int argc, char *argv[], const WindowRunner &window)
{
    hardware::secondsSinceProgramStart(); // the trace counts from here

    QCoreApplication::setApplicationName(QStringLiteral("qm5083-bench"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QM5083_VERSION));
    // The command line is read before any display is opened, so that --help, --version, a bad
    // option and the self-test are answered on a machine without one.
    std::optional<CommandLine> commandLine;
    std::unique_ptr<reports::SessionLog> sessionLog;
    {
        QCoreApplication reader(argc, argv);
        reports::installTranslations(reader);
        commandLine = parseCommandLine(QCoreApplication::arguments());
        if (commandLine->exitCode)
            return finish(argc, argv, *commandLine, window);
        printText(stderr, commandLine->errors);
        if (!commandLine->logFile.isEmpty()) {
            QString error;
            QString notice;
            sessionLog = reports::SessionLog::open(commandLine->logFile, error, notice);
            if (!sessionLog) {
                const QString why = tr("cannot open the session record %1 for appending: %2")
                                        .arg(commandLine->logFile, error);
                printProblem(stderr, why);
                if (windowWouldShow(*commandLine) && window.showStartupFailure)
                    window.showStartupFailure(argc, argv, why);
                return kUsageError;
            }
            if (!notice.isEmpty())
                printProblem(stderr, notice);
            sessionLog->setOpeningNotice(notice);
            // Said once, at once; the exit status stays the command's own.
            sessionLog->setStopped([](const QString &why) { printProblem(stderr, why); });
        }
        if (commandLine->setup)
            return runSetup(*commandLine, SystemSetup::real(), stdout, stderr);
        if (commandLine->checkSetup)
            return runSetupCheck(*commandLine, UserAccess::current(),
                                 "/sys/kernel/security/lockdown", stdout, stderr);
        if (commandLine->selfTest.run || commandLine->command)
            endAfterTheOperationInProgress();
        if (commandLine->selfTest.run)
            return runSelfTestCommand(
                *commandLine, stdout, stderr,
                [](auto duration) { std::this_thread::sleep_for(duration); }, sessionLog.get());
        if (commandLine->command)
            return runScriptCommand(*commandLine, std::cin, stdout, stderr, sessionLog.get());
    }
    return window.run(argc, argv, *commandLine, sessionLog.get());
}

} // namespace qm5083::commands
