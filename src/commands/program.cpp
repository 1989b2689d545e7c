#include "program.h"

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

int finish(const CommandLine &commandLine)
{
    std::fputs(commandLine.output.toUtf8().constData(), stdout);
    std::fputs(commandLine.errors.toUtf8().constData(), stderr);
    return commandLine.exitCode.value_or(0);
}

} // namespace

int runProgram(int argc, char *argv[], const WindowRunner &runWindow)
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
            return finish(*commandLine);
        std::fputs(commandLine->errors.toUtf8().constData(), stderr);
        if (!commandLine->logFile.isEmpty()) {
            QString error;
            sessionLog = reports::SessionLog::open(commandLine->logFile, error);
            if (!sessionLog) {
                const QString why = tr("cannot open the session record %1 for appending: %2");
                std::fprintf(stderr, "qm5083-bench: %s\n",
                             why.arg(commandLine->logFile, error).toUtf8().constData());
                return kUsageError;
            }
        }
        if (commandLine->setup)
            return runSetup(*commandLine, SystemSetup::real(), stdout, stderr);
        if (commandLine->checkSetup)
            return runSetupCheck(*commandLine, UserAccess::current(),
                                 "/sys/kernel/security/lockdown", stdout, stderr);
        if (commandLine->selfTest.run)
            return runSelfTestCommand(
                *commandLine, stdout, stderr,
                [](auto duration) { std::this_thread::sleep_for(duration); }, sessionLog.get());
        if (commandLine->command)
            return runScriptCommand(*commandLine, std::cin, stdout, stderr, sessionLog.get());
    }
    return runWindow(argc, argv, *commandLine, sessionLog.get());
}

} // namespace qm5083::commands
