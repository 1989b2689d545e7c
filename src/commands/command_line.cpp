#include "command_line.h"

#include "error_report.h"
#include "simulated_state.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <stdexcept>

namespace qm5083::commands {

QString tr(const char *text)
{
    return QCoreApplication::translate("qm5083::commands", text);
}

namespace {

// The commands' table, after the options: as a positional argument's description Qt would wrap
// it into a narrow column.
QString commandsHelp()
{
    return tr("Commands, each one operation on the card (--card N, default 1), with strict "
              "arguments:\n"
              "  cards                 list the cards: number, PCI address, ids, BAR, base\n"
              "  out B1 B2 B3 B4       write output groups 1 to 4 (hex 00 to FF)\n"
              "  in [--expect B1 B2 B3 B4]\n"
              "                        read input groups 1 to 4; with --expect, name every bit "
              "that differs\n"
              "  clock K N             start the clock outputs: the base clock divides 2 MHz by "
              "K,\n"
              "                        each output the base by N (decimal, 2 to 65536)\n"
              "  da C0 C1 C2 C3        set the DA codes of DA0 to DA3 (hex 0 to FFF)\n"
              "  da-check --channel C --range LOW:HIGH [--points N] [--limit-lsb L]\n"
              "           [--readings FILE | --meter sim] [--report FILE]\n"
              "                        check one DA channel against a meter\n"
              "  batch                 read commands from standard input, one a line\n"
              "  self-test             the same as --self-test\n"
              "\n"
              "Exit status: 0 done, 1 a check failed, 2 could not run.\n");
}

// "--simulate N": Qt's options take no optional value, so a number of 1 to 8 digits right after
// --simulate is taken out of the words, which are then read again. Nothing when none follows.
std::optional<QString> takeSimulatedCards(QCommandLineParser &parser,
                                          const QCommandLineOption &simulate, QStringList &given,
                                          bool &understood)
{
    const QStringList words = parser.positionalArguments();
    if (!understood || words.isEmpty() || !parser.isSet(simulate))
        return std::nullopt;
    const qsizetype at = given.size() - words.size();
    static const QRegularExpression kNumber(QStringLiteral("^[0-9]{1,8}$"));
    if (at < 1
        || (given[at - 1] != QStringLiteral("--simulate")
            && given[at - 1] != QStringLiteral("-simulate"))
        || !kNumber.match(given[at]).hasMatch())
        return std::nullopt;
    QString count = given.takeAt(at);
    understood = parser.parse(given);
    return count;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's own options (-platform offscreen, -style Fusion...) are read before any display is
    // opened, so they are known here as single-dash words and left to Qt.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        tr("Bench test program for the qm5083 PCI I/O card: digital outputs and inputs, "
           "square-wave clocks on its 8254 counters, DA codes.\n"
           "A real card's ids come from --pci-id or from the card set-up that "
           "sudo qm5083-bench --setup writes once; --simulate works on the simulated card "
           "instead."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        tr("Work on the simulated cards built into the program instead of the PCI bus: card 1 at "
           "base E000, or with --simulate N cards 1 to N (N 1 to 8) at E000, E100, E200... They "
           "keep their outputs, DA codes and counters from program to program until the next "
           "boot or --sim-reset."));
    const QCommandLineOption pciId(
        QStringLiteral("pci-id"),
        tr("A real card's PCI vendor and device id in hex, as lspci -nn shows them, and "
           "optionally the index of its I/O BAR (default: its first I/O BAR). Overrides the card "
           "set-up. Repeatable; the cards found are numbered 1, 2, ... in PCI address order."),
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
                                  tr("The card a command or the self-test works on (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption report(QStringLiteral("report"),
                                    tr("Write the self-test's result to FILE as JSON."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    tr("The tested card's serial number, for the self-test's "
                                       "report."),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption operatorName(QStringLiteral("operator"),
                                          tr("Who tests, for the self-test's report."),
                                          QStringLiteral("TEXT"));
    const QCommandLineOption station(QStringLiteral("station"),
                                     tr("The test station, for the self-test's report."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption skip(
        QStringLiteral("skip"),
        tr("Leave a part of the self-test out: loopback (without the loopback cable), counters or "
           "da. Repeatable."),
        QStringLiteral("PART"));
    const QCommandLineOption config(
        QStringLiteral("config"),
        tr("Read the card ids from FILE when no --pci-id is given (default %1).")
            .arg(QStringLiteral(QM5083_CARDS_CONF)),
        QStringLiteral("FILE"));
    const QCommandLineOption setup(
        QStringLiteral("setup"),
        tr("As root (sudo qm5083-bench --setup VVVV:DDDD[:BAR]...), once: keep the cards' ids in "
           "the card set-up, create group qm5083, add the user who ran sudo to it and give the "
           "group the cards' ports. Exit status 0 when every step was done, 1 when one failed."));
    const QCommandLineOption checkSetup(
        QStringLiteral("check-setup"),
        tr("Check, line by line, that this user can reach card 1: the card set-up, the cards, "
           "their files and the kernel. Exit status 0 when card 1 can be used, 1 when not."));
    const QCommandLineOption json(
        QStringLiteral("json"),
        tr("Answer each command with one JSON object instead of a line of text."));
    const QCommandLineOption simFault(
        QStringLiteral("sim-fault"),
        tr("With --simulate, give the simulated card a fault, one of: %1. Repeatable.")
            .arg(reports::translated(hardware::faultGrammar())),
        QStringLiteral("FAULT"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        tr("Append a line to FILE for every operation of the window or command: the time, the "
           "operation, the box texts it read, every port access and its result."),
        QStringLiteral("FILE"));
    parser.addOptions({simulate, pciId, trace, printLayout, selfTest, card, report, serial,
                       operatorName, station, skip, simFault, log, json, config, setup,
                       checkSetup});
    const QCommandLineOption simReset(
        QStringLiteral("sim-reset"),
        tr("Start the simulated cards afresh, as after a boot: forget the outputs, DA codes and "
           "counters they keep, and end."));
    parser.addOption(simReset);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 tr("Without a command the window opens; the commands follow."),
                                 QStringLiteral("[command [arguments]]"));
    // Everything after the command word is the command's own, read strictly by its parser.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
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
    parsed.arguments = arguments.mid(1);
    // The self-test command takes the options --self-test takes: it is read as that option.
    QStringList given = arguments;
    bool understood = parser.parse(given);
    const std::optional<QString> simulatedCards
        = takeSimulatedCards(parser, simulate, given, understood);
    if (understood && !parser.positionalArguments().isEmpty()
        && parser.positionalArguments().front() == QStringLiteral("self-test")) {
        given[given.size() - parser.positionalArguments().size()] = QStringLiteral("--self-test");
        understood = parser.parse(given);
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // Qt names the program by the path it was started with; the help names it by its name.
        parsed.output = parser.helpText() + QLatin1Char('\n') + commandsHelp();
        parsed.output.replace(QRegularExpression(QStringLiteral("^([^\\s:：]+[:：]\\s*)\\S+")),
                              QStringLiteral("\\1qm5083-bench"));
        parsed.exitCode = 0;
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parsed.output = QStringLiteral("qm5083-bench %1\n").arg(QStringLiteral(QM5083_VERSION));
        parsed.exitCode = 0;
        return parsed;
    }
    if (!understood) {
        parsed.opensWindow = parser.positionalArguments().isEmpty() && !parser.isSet(selfTest)
            && !parser.isSet(setup) && !parser.isSet(checkSetup) && !parser.isSet(printLayout);
        parsed.errors = QStringLiteral("qm5083-bench: %1\n%2\n")
                            .arg(parser.errorText(), tr("Try 'qm5083-bench --help'."));
        parsed.exitCode = kUsageError;
        return parsed;
    }

    const auto refuse = [&parsed](const QString &why) {
        parsed.errors += QStringLiteral("qm5083-bench: %1\n").arg(why);
        parsed.exitCode = kUsageError;
    };
    parsed.backends.simulate = parser.isSet(simulate);
    if (simulatedCards) {
        const int count = simulatedCards->toInt();
        if (count < 1 || count > hardware::kMaxSimulatedCards)
            refuse(tr("--simulate %1: give the number of simulated cards, 1 to %2")
                       .arg(*simulatedCards)
                       .arg(hardware::kMaxSimulatedCards));
        else
            parsed.backends.simulatedCards = count;
    }
    parsed.backends.trace = parser.isSet(trace);
    parsed.printLayout = parser.isSet(printLayout);
    parsed.json = parser.isSet(json);
    for (const QString &text : parser.values(pciId)) {
        try {
            parsed.backends.pciIds.push_back(hardware::parsePciId(text.toStdString()));
        } catch (const hardware::InvalidPciId &error) {
            refuse(reports::translated(error.message()));
        }
    }
    parsed.selfTest.run = parser.isSet(selfTest);
    parsed.selfTest.reportFile = parser.value(report);
    parsed.selfTest.serial = parser.value(serial);
    parsed.selfTest.operatorName = parser.value(operatorName);
    parsed.selfTest.station = parser.value(station);
    parsed.logFile = parser.value(log);

    // Options given twice would leave a script unsure which one counted.
    for (const QCommandLineOption *once :
         {&card, &report, &serial, &operatorName, &station, &log}) {
        if (parser.values(*once).size() > 1)
            refuse(tr("--%1 is given %2 times; give it once")
                       .arg(once->names().front())
                       .arg(parser.values(*once).size()));
    }
    if (parser.isSet(card)) {
        bool number = false;
        const int value = parser.value(card).toInt(&number);
        if (!number || value < 1 || value > 32767)
            refuse(
                tr("--card \"%1\" is not a card number from 1 to 32767").arg(parser.value(card)));
        else
            parsed.card = static_cast<std::int16_t>(value);
    }
    for (const QString &part : parser.values(skip)) {
        if (part == QStringLiteral("loopback"))
            parsed.selfTest.skip.push_back(selftest::SelfTestPart::Loopback);
        else if (part == QStringLiteral("counters"))
            parsed.selfTest.skip.push_back(selftest::SelfTestPart::Counters);
        else if (part == QStringLiteral("da"))
            parsed.selfTest.skip.push_back(selftest::SelfTestPart::Da);
        else
            refuse(tr("--skip \"%1\" is not a part of the self-test: loopback, counters or da")
                       .arg(part));
    }
    for (const QString &text : parser.values(simFault)) {
        try {
            parsed.backends.simulatedFaults.push_back(
                hardware::parseSimulatedFault(text.toStdString()));
        } catch (const hardware::InvalidFault &error) {
            refuse(reports::translated(error.message()));
        }
    }
    try {
        hardware::checkFaultsAgree(parsed.backends.simulatedFaults, parsed.backends.simulatedCards);
    } catch (const hardware::InvalidFault &error) {
        refuse(reports::translated(error.message()));
    }

    parsed.pciIdsGiven = parser.isSet(pciId);
    parsed.setup = parser.isSet(setup);
    parsed.checkSetup = parser.isSet(checkSetup);
    QStringList words = parser.positionalArguments();
    if (parsed.setup) {
        for (const QString &word : words) {
            try {
                parsed.setupIds.push_back(hardware::parsePciId(word.toStdString()));
            } catch (const hardware::InvalidPciId &error) {
                refuse(reports::translated(error.message())
                           .replace(QStringLiteral("--pci-id"), QStringLiteral("--setup")));
            }
        }
        if (words.isEmpty())
            refuse(tr("--setup needs the cards' ids: sudo qm5083-bench --setup VVVV:DDDD, as "
                      "lspci -nn shows them"));
        if (const auto both = hardware::firstOverlap(parsed.setupIds))
            refuse(tr("--setup %1 and %2 can name the same card; name each card once")
                       .arg(QString::fromStdString(
                                hardware::formatPciId(parsed.setupIds[both->first])),
                            QString::fromStdString(
                                hardware::formatPciId(parsed.setupIds[both->second]))));
        if (parsed.selfTest.run || parsed.checkSetup || parsed.backends.simulate
            || parsed.pciIdsGiven)
            refuse(tr("--setup is given on its own, with the cards' ids"));
        words.clear();
    }
    if (parsed.checkSetup && (!words.isEmpty() || parsed.selfTest.run || parsed.backends.simulate))
        refuse(tr("--check-setup is given on its own (with --pci-id or --config at most)"));
    if (!words.isEmpty()) {
        if (parsed.selfTest.run) {
            refuse(tr("\"%1\" follows --self-test, which takes no command").arg(words.join(' ')));
        } else {
            std::vector<std::string> commandWords;
            for (const QString &word : words)
                commandWords.push_back(word.toStdString());
            parsed.commandText = words.join(QLatin1Char(' '));
            try {
                parsed.command = scripting::parseCommand(commandWords);
            } catch (const scripting::CommandError &error) {
                refuse(reports::translated(error.message()));
            }
        }
    }

    const bool commandGiven
        = !words.isEmpty() || parsed.selfTest.run || parsed.setup || parsed.checkSetup;
    parsed.opensWindow = !commandGiven && !parsed.printLayout;
    // Without --pci-id the card set-up names the cards; a malformed file is no silent skip.
    parsed.backends.cardsConfig
        = (parser.isSet(config) ? parser.value(config) : QStringLiteral(QM5083_CARDS_CONF))
              .toStdString();
    if (!parsed.backends.simulate && parsed.backends.pciIds.empty() && !parsed.setup) {
        try {
            if (const auto ids = hardware::readCardsConfig(parsed.backends.cardsConfig))
                parsed.backends.pciIds = *ids;
        } catch (const hardware::InvalidPciId &error) {
            if (commandGiven && !parsed.checkSetup)
                refuse(reports::translated(error.message()));
            else
                parsed.cardsConfigProblem = error.message();
        }
    }
    if (parser.isSet(card) && !commandGiven)
        refuse(tr("--card is for a command or the self-test; the window asks for the card "
                  "number in its 卡号 box"));
    if (parsed.json && !commandGiven)
        refuse(tr("--json is for a command or the self-test"));
    if (parsed.printLayout && commandGiven)
        refuse(tr("--print-layout is for the window: give no command"));
    for (const QCommandLineOption *selfTestOnly :
         {&report, &serial, &operatorName, &station, &skip})
        if (parser.isSet(*selfTestOnly) && !parsed.selfTest.run)
            refuse(tr("--%1 is for the self-test: give --self-test too")
                       .arg(selfTestOnly->names().front()));
    if (!parsed.backends.simulatedFaults.empty() && !parsed.backends.simulate)
        refuse(tr("--sim-fault gives the simulated card a fault: give --simulate too"));
    if (!parsed.exitCode && parsed.backends.simulate && !parsed.backends.pciIds.empty())
        parsed.errors
            += QStringLiteral("qm5083-bench: %1\n").arg(tr("--pci-id is ignored with --simulate"));

    // --sim-reset: done here, as --help is, and the program ends.
    if (parser.isSet(simReset)) {
        parsed.opensWindow = false;
        if (commandGiven || parsed.printLayout || parsed.pciIdsGiven || parser.isSet(log)
            || !parsed.backends.simulatedFaults.empty())
            refuse(tr("--sim-reset is given on its own (with --simulate at most)"));
        if (parsed.exitCode)
            return parsed;
        try {
            const std::filesystem::path folder
                = hardware::resetSimulatedCards(parsed.backends.simulatedStateDir);
            parsed.output = tr("The simulated cards start afresh: what they kept in %1 is gone.\n")
                                .arg(QString::fromStdString(folder.string()));
            parsed.exitCode = 0;
        } catch (const hardware::PortError &error) {
            refuse(reports::translated(error.message()));
        }
    }
    return parsed;
}

} // namespace qm5083::commands
