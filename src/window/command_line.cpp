#include "command_line.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <stdexcept>

namespace qm5083::window {

CommandLine parseCommandLine(const QStringList &arguments)
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
    const QCommandLineOption printLayout(
        QStringLiteral("print-layout"),
        QStringLiteral("Print every control of the window with its position and size in pixels, "
                       "one a line, and end without showing the window."));
    parser.addOptions({simulate, pciId, trace, printLayout});

    CommandLine parsed;
    const bool understood = parser.parse(arguments);
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // Qt names the program by the path it was started with; the help names it by its name.
        parsed.output = parser.helpText();
        parsed.output.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                              QStringLiteral("Usage: qm5083-bench"));
        parsed.exitCode = 0;
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parsed.output = QStringLiteral("qm5083-bench %1\n").arg(QStringLiteral(QM5083_VERSION));
        parsed.exitCode = 0;
        return parsed;
    }
    if (!understood) {
        parsed.errors = QStringLiteral("qm5083-bench: %1\nTry 'qm5083-bench --help'.\n")
                            .arg(parser.errorText());
        parsed.exitCode = kUsageError;
        return parsed;
    }

    parsed.backends.simulate = parser.isSet(simulate);
    parsed.backends.trace = parser.isSet(trace);
    parsed.printLayout = parser.isSet(printLayout);
    for (const QString &text : parser.values(pciId)) {
        try {
            parsed.backends.pciIds.push_back(hardware::parsePciId(text.toStdString()));
        } catch (const std::invalid_argument &error) {
            parsed.errors
                += QStringLiteral("qm5083-bench: %1\n").arg(QString::fromStdString(error.what()));
            parsed.exitCode = kUsageError;
        }
    }
    if (!parsed.exitCode && parsed.backends.simulate && !parsed.backends.pciIds.empty())
        parsed.errors += QStringLiteral("qm5083-bench: --pci-id is ignored with --simulate\n");
    return parsed;
}

} // namespace qm5083::window
