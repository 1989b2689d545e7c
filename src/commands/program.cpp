#include "program.h"

#include "card_session.h"
#include "ending.h"
#include "output_text.h"
#include "script_runner.h"
#include "self_test_command.h"
#include "setup.h"
#include "trace.h"
#include "translations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>

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

// A DA check or a results question that draws its picture.
bool drawsPictures(const CommandLine &commandLine)
{
    if (!commandLine.command)
        return false;
    if (const auto *results = std::get_if<scripting::ResultsCommand>(&*commandLine.command))
        return !results->plotFile.empty();
    const auto *check = std::get_if<scripting::DaCheckCommand>(&*commandLine.command);
    return check && !check->plotFile.empty() && !check->plan;
}

// The window would have opened on a display someone is looking at.
bool windowWouldShow(const CommandLine &commandLine)
{
    return commandLine.opensWindow()
        && (!qEnvironmentVariableIsEmpty("DISPLAY")
            || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        && qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen");
}

// The session record FILE, opened for appending; nothing, with why, when it cannot be.
std::unique_ptr<reports::SessionLog> openSessionLog(const QString &file, QString &why)
{
    QString error;
    QString notice;
    std::unique_ptr<reports::SessionLog> log = reports::SessionLog::open(file, error, notice);
    if (!log) {
        why = tr("cannot open the session record %1 for appending: %2").arg(file, error);
        return nullptr;
    }
    if (!notice.isEmpty())
        printProblem(stderr, notice);
    log->setOpeningNotice(notice);
    // Said once, at once; the exit status stays the command's own.
    log->setStopped([](const QString &stopped) { printProblem(stderr, stopped); });
    return log;
}

// Ends a run whose arguments were refused, or that was answered without running (--help,
// --version): its answer, its reasons, and, refused, its record's two lines.
int finish(int argc, char *argv[], const CommandLine &commandLine, const WindowRunner &window)
{
    printText(stdout, commandLine.output);
    printText(stderr, commandLine.errors);
    const int status = commandLine.exitCode.value_or(kDone);
    if (status != kDone && !commandLine.logFile.isEmpty()) {
        QString why;
        if (const auto log = openSessionLog(commandLine.logFile, why))
            recordRefusal(*log, commandLine);
        else
            printProblem(stderr, why);
    }
    if (status != kDone && windowWouldShow(commandLine) && window.showStartupFailure)
        window.showStartupFailure(argc, argv, commandLine.errors.trimmed());
    return status;
}

// A run that cannot start (its record cannot be opened): said as every refusal is.
int cannotStart(int argc, char *argv[], CommandLine commandLine, const QString &why,
                const WindowRunner &window)
{
    commandLine.errors = QStringLiteral("qm5083-bench: %1\n").arg(why);
    commandLine.exitCode = kCannotRun;
    commandLine.output = commandLine.json
        ? QString::fromUtf8(
            QJsonDocument(QJsonObject {{QStringLiteral("command"), commandLine.answerName()},
                                       {QStringLiteral("status"), kCannotRun},
                                       {QStringLiteral("error"), why}})
                .toJson(QJsonDocument::Compact))
        : QString();
    commandLine.logFile.clear(); // the record is what failed
    return finish(argc, argv, commandLine, window);
}

} // namespace

int runProgram(int argc, char *argv[], const WindowRunner &window)
{
    hardware::secondsSinceProgramStart(); // the trace counts from here

    QCoreApplication::setApplicationName(QStringLiteral("qm5083-bench"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QM5083_VERSION));
    // A plain start of the window goes to it at once: reading its command line needs no
    // application of its own, which would cost the window's start a millisecond. Any other is
    // read again below, with the translations its answers and records need.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]); // as QCoreApplication reads them
        const CommandLine plain = parseCommandLine(arguments);
        if (plain.opensWindow() && !plain.exitCode && !plain.resetsSimulatedCards
            && plain.errors.isEmpty() && plain.output.isEmpty() && plain.logFile.isEmpty())
            return window.run(argc, argv, plain, nullptr);
    }
    // The command line is read before any display is opened, so that --help, --version, a bad
    // option and the self-test are answered on a machine without one.
    std::optional<CommandLine> commandLine;
    std::unique_ptr<reports::SessionLog> sessionLog;
    {
        QCoreApplication reader(argc, argv);
        reports::installTranslations(reader);
        commandLine = parseCommandLine(QCoreApplication::arguments());
        if (commandLine->resetsSimulatedCards)
            resetSimulatedCards(*commandLine);
        if (commandLine->exitCode)
            return finish(argc, argv, *commandLine, window);
        printText(stderr, commandLine->errors);
        if (!commandLine->logFile.isEmpty()) {
            QString why;
            sessionLog = openSessionLog(commandLine->logFile, why);
            if (!sessionLog)
                return cannotStart(argc, argv, *commandLine, why, window);
        }
        if (!drawsPictures(*commandLine)) {
            switch (commandLine->mode) {
            case Mode::Setup:
                return runSetup(cardsNamed(*commandLine), SystemSetup::real(), stdout, stderr);
            case Mode::CheckSetup:
                return runSetupCheck(cardsNamed(*commandLine), UserAccess::current(),
                                     "/sys/kernel/security/lockdown", stdout, stderr);
            case Mode::SelfTest:
                endAfterTheOperationInProgress();
                return runSelfTestCommand(
                    *commandLine, stdout, stderr,
                    [](auto duration) { std::this_thread::sleep_for(duration); }, sessionLog.get());
            case Mode::Command:
                endAfterTheOperationInProgress();
                return runScriptCommand(*commandLine, std::cin, stdout, stderr, sessionLog.get());
            case Mode::Window:
            case Mode::PrintLayout:
                break;
            }
        }
    }
    if (drawsPictures(*commandLine)) {
        // Drawing needs fonts, which need a GUI application: one that shows nothing, anywhere,
        // so on no display, whatever platform the environment names (xcb without a display
        // would end the program).
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication drawer(argc, argv);
        reports::installTranslations(drawer);
        endAfterTheOperationInProgress();
        return runScriptCommand(*commandLine, std::cin, stdout, stderr, sessionLog.get());
    }
    return window.run(argc, argv, *commandLine, sessionLog.get());
}

} // namespace qm5083::commands
