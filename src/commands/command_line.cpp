#include "command_line.h"

#include "error_report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <stdexcept>

namespace qm5083::commands {

QString tr(const char *text)
{
    return QCoreApplication::translate("qm5083::commands", text);
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's own options (-platform offscreen, -style Fusion...) are read before any display is
    // opened, so they are known here as single-dash words and left to Qt.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        tr("Bench test program for the qm5083 PCI I/O card: digital outputs and inputs, "
           "square-wave clocks on its 8254 counters, DA codes.\n"
           "A real card needs --pci-id with the card's ids; without it the program reaches no "
           "card. --simulate works on the simulated card instead."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        tr("Work on the simulated card built into the program (card 1 at base E000) instead of "
           "the PCI bus."));
    const QCommandLineOption pciId(
        QStringLiteral("pci-id"),
        tr("A real card's PCI vendor and device id in hex, as lspci -nn shows them, and "
           "optionally the index of its I/O BAR (default: its first I/O BAR). Needed for a real "
           "card. Repeatable; the cards found are numbered 1, 2, ... in PCI address order."),
        QStringLiteral("VVVV:DDDD[:BAR]"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        tr("Write every port access to standard error: seconds since start, in or out, port, "
           "byte."));
    const QCommandLineOption printLayout(
        QStringLiteral("print-layout"),
        tr("Print every control of the window with its position and size in pixels, one a "
           "line, and end without showing the window."));
    const QCommandLineOption selfTest(
        QStringLiteral("self-test"),
        tr("Test the card without a window: the digital loopback (outputs wired back to the "
           "inputs), the counter chips and the DA channels; print one line per check. Exit "
           "status 0 when every check passes, 1 when one fails, 2 when the test cannot run."));
    const QCommandLineOption card(QStringLiteral("card"),
                                  tr("The card the self-test tests (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption report(QStringLiteral("report"),
                                    tr("Write the self-test's result to FILE as JSON."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption simFault(
        QStringLiteral("sim-fault"),
        tr("With --simulate, give the simulated card a fault, one of: %1. Repeatable.")
            .arg(reports::translated(hardware::faultGrammar())),
        QStringLiteral("FAULT"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        tr("Append a line to FILE for every operation of the window: the time, the operation, the "
           "box texts it read, every port access and its result."),
        QStringLiteral("FILE"));
    parser.addOptions({simulate, pciId, trace, printLayout, selfTest, card, report, simFault, log});
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "geometry",
          "qwindowgeometry", "qwindowicon", "qwindowtitle", "style", "stylesheet", "session",
          "name", "title", "visual", "dialogs", "qmljsdebugger"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }

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
        parsed.errors = QStringLiteral("qm5083-bench: %1\n%2\n")
                            .arg(parser.errorText(), tr("Try 'qm5083-bench --help'."));
        parsed.exitCode = kUsageError;
        return parsed;
    }

    parsed.backends.simulate = parser.isSet(simulate);
    parsed.backends.trace = parser.isSet(trace);
    parsed.printLayout = parser.isSet(printLayout);
    for (const QString &text : parser.values(pciId)) {
        try {
            parsed.backends.pciIds.push_back(hardware::parsePciId(text.toStdString()));
        } catch (const hardware::InvalidPciId &error) {
            parsed.errors
                += QStringLiteral("qm5083-bench: %1\n").arg(reports::translated(error.message()));
            parsed.exitCode = kUsageError;
        }
    }
    parsed.selfTest = parser.isSet(selfTest);
    parsed.reportFile = parser.value(report);
    parsed.logFile = parser.value(log);
    const auto refuse = [&parsed](const QString &why) {
        parsed.errors += QStringLiteral("qm5083-bench: %1\n").arg(why);
        parsed.exitCode = kUsageError;
    };
    if (parser.isSet(card)) {
        bool number = false;
        const int value = parser.value(card).toInt(&number);
        if (!number || value < 1 || value > 32767)
            refuse(
                tr("--card \"%1\" is not a card number from 1 to 32767").arg(parser.value(card)));
        else
            parsed.card = static_cast<std::int16_t>(value);
        if (!parsed.selfTest)
            refuse(tr("--card is for the self-test: give --self-test too"));
    }
    if (parser.isSet(report) && !parsed.selfTest)
        refuse(tr("--report is for the self-test: give --self-test too"));
    if (parser.isSet(log) && parsed.selfTest)
        refuse(tr("--log records the window's operations; the self-test writes --report"));
    for (const QString &text : parser.values(simFault)) {
        try {
            parsed.backends.simulatedFaults.push_back(
                hardware::parseSimulatedFault(text.toStdString()));
        } catch (const hardware::InvalidFault &error) {
            refuse(reports::translated(error.message()));
        }
    }
    if (!parsed.backends.simulatedFaults.empty() && !parsed.backends.simulate)
        refuse(tr("--sim-fault gives the simulated card a fault: give --simulate too"));
    if (!parsed.exitCode && parsed.backends.simulate && !parsed.backends.pciIds.empty())
        parsed.errors
            += QStringLiteral("qm5083-bench: %1\n").arg(tr("--pci-id is ignored with --simulate"));
    return parsed;
}

} // namespace qm5083::commands
