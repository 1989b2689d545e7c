#include "application.h"

#include "appearance.h"
#include "backends.h"
#include "hardware/trace.h"
#include "main_window.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>
#include <stdexcept>

namespace qm5083::window {

namespace {

constexpr int kUsageError = 2;

struct ParsedCommandLine
{
    BackendOptions options;
    std::optional<int> exitCode; // set when the program ends before opening the window
};

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Bench test program for the qm5083 PCI I/O card: digital outputs and inputs, "
        "square-wave clocks on its 8254 counters, DA codes."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Work on the simulated card built into the program (card 1 at base E000) "
                       "instead of the PCI bus."));
    const QCommandLineOption pciId(
        QStringLiteral("pci-id"),
        QStringLiteral(
            "A real card's PCI vendor and device id in hex, as lspci -nn shows them, and "
            "optionally the index of its I/O BAR (default: its first I/O BAR). "
            "Repeatable; the cards found are numbered 1, 2, ... in PCI address order."),
        QStringLiteral("VVVV:DDDD[:BAR]"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write every port access to standard error: seconds since start, in or "
                       "out, port, byte."));
    parser.addOptions({simulate, pciId, trace});

    ParsedCommandLine parsed;
    const bool understood = parser.parse(arguments);
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        QString help = parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QStringLiteral("qm5083-bench"));
        std::fputs(qPrintable(help), stdout);
        parsed.exitCode = 0;
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("qm5083-bench %s\n", QM5083_VERSION);
        parsed.exitCode = 0;
        return parsed;
    }
    if (!understood) {
        std::fprintf(stderr, "qm5083-bench: %s\nTry 'qm5083-bench --help'.\n",
                     qPrintable(parser.errorText()));
        parsed.exitCode = kUsageError;
        return parsed;
    }

    parsed.options.simulate = parser.isSet(simulate);
    parsed.options.trace = parser.isSet(trace);
    for (const QString &text : parser.values(pciId)) {
        try {
            parsed.options.pciIds.push_back(hardware::parsePciId(text.toStdString()));
        } catch (const std::invalid_argument &error) {
            std::fprintf(stderr, "qm5083-bench: %s\n", error.what());
            parsed.exitCode = kUsageError;
        }
    }
    if (parsed.options.simulate && !parsed.options.pciIds.empty())
        std::fprintf(stderr, "qm5083-bench: --pci-id is ignored with --simulate\n");
    return parsed;
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
            return parseCommandLine(rawArguments).exitCode.value_or(0);

    QApplication app(argc, argv); // takes Qt's own options (-platform, -display...) off the line
    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (parsed.exitCode)
        return *parsed.exitCode;
    applyAppearance(app);

    const Backends backends = makeBackends(parsed.options);
    Testqm5083 window(backends.port(), *backends.locator, parsed.options.simulate);
    if (backends.startupFailure)
        window.reportFailure(backends.startupFailure, QStringLiteral("finding the cards"));
    window.Form_Load();
    window.show();
    return QApplication::exec();
}

} // namespace qm5083::window
