#include "application.h"

#include "appearance.h"
#include "backends.h"
#include "command_line.h"
#include "main_window.h"
#include "trace.h"

#include <QApplication>

#include <cstdio>

namespace qm5083::window {

namespace {

// What a program's internal fault ends with (sysexits' EX_SOFTWARE).
constexpr int kInternalError = 70;

int finish(const CommandLine &commandLine)
{
    std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
    std::fputs(commandLine.errors.toLocal8Bit().constData(), stderr);
    return commandLine.exitCode.value_or(0);
}

} // namespace

int runBench(int argc, char *argv[])
{
    hardware::secondsSinceProgramStart(); // the trace counts from here

    QCoreApplication::setApplicationName(QStringLiteral("qm5083-bench"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QM5083_VERSION));
    // --help and --version answer before the application exists, so they need no display.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    static const QStringList kAnsweredWithoutDisplay {
        QStringLiteral("-h"),         QStringLiteral("--help"), QStringLiteral("-?"),
        QStringLiteral("--help-all"), QStringLiteral("-v"),     QStringLiteral("--version")};
    for (const QString &argument : rawArguments)
        if (kAnsweredWithoutDisplay.contains(argument))
            return finish(parseCommandLine(rawArguments));

    QApplication app(argc, argv); // takes Qt's own options (-platform, -display...) off the line
    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    if (commandLine.exitCode)
        return finish(commandLine);
    std::fputs(commandLine.errors.toLocal8Bit().constData(), stderr);
    applyAppearance(app);

    const hardware::Backends backends = hardware::makeBackends(commandLine.backends);
    try {
        MainWindow window(backends.port(), *backends.locator, commandLine.backends.simulate);
        if (commandLine.printLayout) {
            std::fputs(qPrintable(window.layoutLines().join(QLatin1Char('\n')) + '\n'), stdout);
            return 0;
        }
        if (backends.startupFailure)
            window.reportFailure(backends.startupFailure, QStringLiteral("finding the cards"));
        window.locateCardAtStart();
        window.show();
        return QApplication::exec();
    } catch (const MissingControl &fault) {
        std::fprintf(stderr, "qm5083-bench: internal error: %s\n", fault.what());
        return kInternalError;
    }
}

} // namespace qm5083::window
