#include "command_line.h"

#include "error_report.h"
#include "simulated_state.h"
#include "text_lines.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace qm5083::commands {

QString tr(const char *text)
{
    return QCoreApplication::translate("qm5083::commands", text);
}

QString CommandLine::answerName() const
{
    switch (mode) {
    case Mode::Window:
        return QStringLiteral("window");
    case Mode::PrintLayout:
        return QStringLiteral("print-layout");
    case Mode::Command:
        return commandText.section(QLatin1Char(' '), 0, 0);
    case Mode::SelfTest:
        return QStringLiteral("self-test");
    case Mode::Setup:
        return QStringLiteral("setup");
    case Mode::CheckSetup:
        return QStringLiteral("check-setup");
    }
    return {};
}

namespace {

// ---- The options and where each may be given

using Modes = unsigned;
constexpr Modes in(Mode mode)
{
    return 1U << static_cast<unsigned>(mode);
}
constexpr Modes kOnACard
    = in(Mode::Window) | in(Mode::PrintLayout) | in(Mode::Command) | in(Mode::SelfTest);
constexpr Modes kRunsOperations = in(Mode::Window) | in(Mode::Command) | in(Mode::SelfTest);
constexpr Modes kAnswers = in(Mode::Command) | in(Mode::SelfTest);

enum class OptionId {
    Simulate,
    PciId,
    Config,
    Card,
    Trace,
    Log,
    Json,
    SelfTest,
    Report,
    Serial,
    Operator,
    Station,
    Skip,
    Meter,
    DaRange,
    SimFault,
    SimReset,
    PrintLayout,
    Setup,
    CheckSetup,
    Results,
};

struct OptionRule
{
    OptionId id;
    const char *name;
    const char *valueName; // none: a flag
    const char *help;      // marked for translation
    bool repeatable;
    Modes modes;           // where it may be given; an option that chooses a mode has that one
    const char *elsewhere; // the refusal where it may not be given; %1 is its name
};

// Every option, in --help's order. An option given twice that is not repeatable, given where
// its modes do not include, or with a value it does not take is refused, with exit status 2.
constexpr std::array<OptionRule, 21> kOptions {{
    {OptionId::Simulate, "simulate", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Work on the simulated cards built into the program instead of the PCI "
                       "bus: card 1 at base E000, or with --simulate N cards 1 to N (N 1 to 8) at "
                       "E000, E100, E200... They keep their outputs, DA codes and counters from "
                       "program to program until the next boot or --sim-reset."),
     false, kOnACard, QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for a card's operations")},
    {OptionId::PciId, "pci-id", "VVVV:DDDD[:BAR][/SSSS:TTTT]",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "A real card's PCI vendor and device id in hex, as lspci -nn shows them, "
                       "optionally the index of its I/O BAR (default: its first I/O BAR) and the "
                       "subsystem ids that narrow it to one board, as lspci -nnv shows them. "
                       "Overrides the card set-up. Repeatable; the cards found are numbered 1, "
                       "2, ... in PCI address order."),
     true, kOnACard | in(Mode::CheckSetup),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for a card's operations")},
    {OptionId::Config, "config", "FILE",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Read the card ids from FILE when no --pci-id is given (default %1)."),
     false, kOnACard | in(Mode::CheckSetup), ""},
    {OptionId::Card, "card", "N",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "The card a command or the self-test works on (default 1)."),
     false, kAnswers,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "--%1 is for a command or the self-test; the window asks for the card "
                       "number in its 卡号 box")},
    {OptionId::Trace, "trace", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Write every port access to standard error: seconds since start, in or "
                       "out, port, byte."),
     false, kOnACard, QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for a card's operations")},
    {OptionId::Log, "log", "FILE",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Append a line to FILE for every operation of the window or command: the "
                       "time, the operation, the box texts it read, every port access and its "
                       "result."),
     false, kRunsOperations,
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the window, a command or the self-test")},
    {OptionId::Json, "json", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Answer each command with one JSON object instead of a line of text."),
     false, kAnswers,
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for a command or the self-test")},
    {OptionId::SelfTest, "self-test", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Test the card without a window: the digital loopback (outputs wired back "
                       "to the inputs), the counter chips and the DA channels (measured with "
                       "--meter); print one line per check. Exit status 0 when every check was "
                       "made and passed, 1 when one failed, 3 when none failed but a part was not "
                       "tested (skipped, or the DA channels without a meter), 2 when the test "
                       "cannot run."),
     false, in(Mode::SelfTest), ""},
    {OptionId::Report, "report", "FILE",
     QT_TRANSLATE_NOOP("qm5083::commands", "Write the self-test's result to FILE as JSON."), false,
     in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::Serial, "serial", "TEXT",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "The tested card's serial number, for the self-test's report."),
     false, in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::Operator, "operator", "TEXT",
     QT_TRANSLATE_NOOP("qm5083::commands", "Who tests, for the self-test's report."), false,
     in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::Station, "station", "TEXT",
     QT_TRANSLATE_NOOP("qm5083::commands", "The test station, for the self-test's report."), false,
     in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::Skip, "skip", "PART",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Leave a part of the self-test out: loopback (without the loopback "
                       "cable), counters or da. Repeatable."),
     true, in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::Meter, "meter", "METER",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Measure each DA channel in the self-test with METER at the major carries "
                       "and judge it (offset and gain within 20 LSB, INL 4, DNL 1, monotonic): "
                       "sim, command:CMD or sigrok:DRIVER[:KEY=VALUE]... as da-check takes them, "
                       "file:FILE (readings one a line) or typed. Without it the DA channels are "
                       "not measured, and the self-test is not a pass."),
     false, in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::DaRange, "da-range", "LOW:HIGH",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "The DA channels' range in volts for the self-test's --meter (default "
                       "0:10)."),
     false, in(Mode::SelfTest),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the self-test: give --self-test too")},
    {OptionId::SimFault, "sim-fault", "FAULT",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "With --simulate, give the simulated card a fault, one of: %1. "
                       "Repeatable."),
     true, kOnACard, QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for a card's operations")},
    {OptionId::SimReset, "sim-reset", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Start the simulated cards afresh, as after a boot: forget the outputs, DA "
                       "codes and counters they keep, and end."),
     false, in(Mode::Window),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is given on its own (with --simulate at most)")},
    {OptionId::PrintLayout, "print-layout", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Print every control of the window with its position and size in pixels, "
                       "one a line, and end without showing the window."),
     false, in(Mode::PrintLayout),
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the window: give no command")},
    {OptionId::Setup, "setup", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "As root (sudo qm5083-bench --setup VVVV:DDDD[:BAR][/SSSS:TTTT]...), "
                       "once: keep the cards' ids in the card set-up, create group qm5083, add "
                       "the user who ran sudo to it and give the group the cards' ports. Exit "
                       "status 0 when every step was done, 1 when one failed, 2 when nothing "
                       "could be."),
     false, in(Mode::Setup), ""},
    {OptionId::CheckSetup, "check-setup", nullptr,
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Check, line by line, that this user can reach card 1: the card set-up, "
                       "the cards, their files and the kernel. Exit status 0 when card 1 can be "
                       "used, 1 when not, 2 when the check cannot run."),
     false, in(Mode::CheckSetup), ""},
    {OptionId::Results, "results", "URI|FILE",
     QT_TRANSLATE_NOOP("qm5083::commands",
                       "Where every self-test and DA check is stored: a PostgreSQL connection "
                       "string or URI (postgresql://HOST/DATABASE; the password from ~/.pgpass "
                       "or a service file, never here) names the line's database, anything else "
                       "the SQLite file. Default: the results setting %1, and the station's own "
                       "file."),
     false, kRunsOperations,
     QT_TRANSLATE_NOOP("qm5083::commands", "--%1 is for the window, a command or the self-test")},
}};

constexpr bool eachOptionAtItsPlace()
{
    for (std::size_t i = 0; i < kOptions.size(); ++i)
        if (static_cast<std::size_t>(kOptions[i].id) != i)
            return false;
    return true;
}
static_assert(eachOptionAtItsPlace(), "kOptions lists each option once, in OptionId's order");

constexpr const OptionRule &rule(OptionId id)
{
    return kOptions[static_cast<std::size_t>(id)];
}

// The options that choose a mode before any command word does, the first given winning; after a
// command word, --print-layout.
constexpr std::array<std::pair<OptionId, Mode>, 3> kModeOptions {{
    {OptionId::Setup, Mode::Setup},
    {OptionId::CheckSetup, Mode::CheckSetup},
    {OptionId::SelfTest, Mode::SelfTest},
}};

QString optionHelp(const OptionRule &option)
{
    QString help = tr(option.help);
    switch (option.id) {
    case OptionId::Config:
        return help.arg(QStringLiteral(QM5083_CARDS_CONF));
    case OptionId::SimFault:
        return help.arg(reports::translated(hardware::faultGrammar()));
    case OptionId::Results:
        return help.arg(QStringLiteral(QM5083_RESULTS_CONF));
    case OptionId::SimReset:
    case OptionId::Simulate:
    case OptionId::PciId:
    case OptionId::Card:
    case OptionId::Trace:
    case OptionId::Log:
    case OptionId::Json:
    case OptionId::SelfTest:
    case OptionId::Report:
    case OptionId::Serial:
    case OptionId::Operator:
    case OptionId::Station:
    case OptionId::Skip:
    case OptionId::Meter:
    case OptionId::DaRange:
    case OptionId::PrintLayout:
    case OptionId::Setup:
    case OptionId::CheckSetup:
        break;
    }
    return help;
}

// The commands' table, after the options, from the one list of commands: as a positional
// argument's description Qt would wrap it into a narrow column.
QString commandsHelp()
{
    QString table = tr("Commands, each one operation on the card (--card N, default 1), with "
                       "strict arguments:")
        + QLatin1Char('\n');
    constexpr int kColumn = 24;
    for (const scripting::CommandEntry &command : scripting::kCommands) {
        QString usage
            = QStringLiteral("  %1 %2")
                  .arg(QString::fromUtf8(command.name.data(),
                                         static_cast<qsizetype>(command.name.size())),
                       QString::fromUtf8(command.arguments.data(),
                                         static_cast<qsizetype>(command.arguments.size())))
                  .trimmed();
        usage.prepend(QStringLiteral("  "));
        const QString summary = reports::translated(hardware::Message(command.summary));
        if (usage.size() < kColumn)
            table += usage.leftJustified(kColumn) + summary + QLatin1Char('\n');
        else
            table += usage + QLatin1Char('\n') + QString(kColumn, QLatin1Char(' ')) + summary
                + QLatin1Char('\n');
    }
    return table + QLatin1Char('\n')
        + tr("Exit status: 0 done (every check made and passed), 1 a check failed, 2 could not "
             "run, 3 none failed but not every check was made or judged, 128 + N ended by signal "
             "N.")
        + QLatin1Char('\n');
}

// Qt's own options (-platform offscreen, -style Fusion...) are read before any display is
// opened, so they are known here as single-dash words and left to Qt.
void addQtOptions(QCommandLineParser &parser)
{
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
}

// The arguments refused, for why: said on standard error, kept for a JSON answer and the record,
// status 2. Parsing refuses, and so does a --sim-reset that cannot be done.
void refuseArguments(CommandLine &commandLine, const QString &why)
{
    commandLine.refusals << why;
    commandLine.errors += QStringLiteral("qm5083-bench: %1\n").arg(why);
    commandLine.exitCode = kCannotRun;
}

// What the parsing reads and makes; its steps are free functions, so that the translation tools
// file their texts in this namespace's context, as tr() translates them.
struct ParseState
{
    explicit ParseState(const QStringList &given)
        : arguments(given)
    { }

    const QStringList &arguments;
    QCommandLineParser parser;
    CommandLine parsed;

    bool isSet(OptionId id) const { return parser.isSet(QString::fromLatin1(rule(id).name)); }
    QStringList values(OptionId id) const
    {
        return parser.values(QString::fromLatin1(rule(id).name));
    }
    QString value(OptionId id) const { return parser.value(QString::fromLatin1(rule(id).name)); }
    void refuse(const QString &why) { refuseArguments(parsed, why); }
};

void prepare(ParseState &state)
{
    QCommandLineParser &parser = state.parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        tr("Bench test program for the qm5083 PCI I/O card: digital outputs and inputs, "
           "square-wave clocks on its 8254 counters, DA codes.\n"
           "A real card's ids come from --pci-id or from the card set-up that "
           "sudo qm5083-bench --setup writes once; --simulate works on the simulated card "
           "instead."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionRule &option : kOptions) {
        QCommandLineOption qtOption(QString::fromLatin1(option.name), optionHelp(option));
        if (option.valueName)
            qtOption.setValueName(QString::fromLatin1(option.valueName));
        parser.addOption(qtOption);
    }
    parser.addPositionalArgument(QStringLiteral("command"),
                                 tr("Without a command the window opens; the commands follow."),
                                 QStringLiteral("[command [arguments]]"));
    // Everything after the command word is the command's own, read strictly by its parser.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    addQtOptions(parser);
}

void chooseMode(ParseState &state, const QStringList &words);
void checkWhereOptionsBelong(ParseState &state, const QStringList &words);
void take(ParseState &state, OptionId id);
void takeWords(ParseState &state, const QStringList &words);
void readCardsConfig(ParseState &state);
void takeSimReset(ParseState &state);
void answerRefusalAsJson(ParseState &state);

// "--simulate N": Qt's options take no optional value, so a number of 1 to 8 digits right after
// --simulate is taken out of the words, which are then read again. Nothing when none follows.
std::optional<QString> takeSimulatedCards(ParseState &state, QStringList &given, bool &understood)
{
    const QStringList words = state.parser.positionalArguments();
    if (!understood || words.isEmpty() || !state.isSet(OptionId::Simulate))
        return std::nullopt;
    const qsizetype at = given.size() - words.size();
    static const QRegularExpression kNumber(QStringLiteral("^[0-9]{1,8}$"));
    if (at < 1
        || (given[at - 1] != QStringLiteral("--simulate")
            && given[at - 1] != QStringLiteral("-simulate"))
        || !kNumber.match(given[at]).hasMatch())
        return std::nullopt;
    QString count = given.takeAt(at);
    understood = state.parser.parse(given);
    return count;
}

CommandLine parse(ParseState &state)
{
    state.parsed.arguments = state.arguments.mid(1);
    // The self-test command takes the options --self-test takes: it is read as that option.
    QStringList given = state.arguments;
    bool understood = state.parser.parse(given);
    const std::optional<QString> simulatedCards = takeSimulatedCards(state, given, understood);
    if (understood && !state.parser.positionalArguments().isEmpty()
        && !state.isSet(OptionId::SelfTest)
        && state.parser.positionalArguments().front() == QStringLiteral("self-test")) {
        given[given.size() - state.parser.positionalArguments().size()]
            = QStringLiteral("--self-test");
        understood = state.parser.parse(given);
    }
    if (state.parser.isSet(QStringLiteral("help"))
        || state.parser.isSet(QStringLiteral("help-all"))) {
        // Qt names the program by the path it was started with; the help names it by its name.
        state.parsed.output = state.parser.helpText() + QLatin1Char('\n') + commandsHelp();
        state.parsed.output.replace(
            QRegularExpression(QStringLiteral("^([^\\s:：]+[:：]\\s*)\\S+")),
            QStringLiteral("\\1qm5083-bench"));
        state.parsed.exitCode = kDone;
        return state.parsed;
    }
    if (state.parser.isSet(QStringLiteral("version"))) {
        state.parsed.output
            = QStringLiteral("qm5083-bench %1\n").arg(QStringLiteral(QM5083_VERSION));
        state.parsed.exitCode = kDone;
        return state.parsed;
    }
    const QStringList words = state.parser.positionalArguments();
    chooseMode(state, words);
    if (!understood) {
        // The record still says what was refused, when it was asked for.
        if (state.isSet(OptionId::Log))
            state.parsed.logFile = state.value(OptionId::Log);
        state.parsed.refusals << state.parser.errorText();
        state.parsed.errors = QStringLiteral("qm5083-bench: %1\n%2\n")
                                  .arg(state.parser.errorText(), tr("Try 'qm5083-bench --help'."));
        state.parsed.exitCode = kCannotRun;
        answerRefusalAsJson(state);
        return state.parsed;
    }
    checkWhereOptionsBelong(state, words);
    if (simulatedCards) {
        const int count = simulatedCards->toInt();
        if (count < 1 || count > hardware::kMaxSimulatedCards)
            state.refuse(tr("--simulate %1: give the number of simulated cards, 1 to %2")
                             .arg(*simulatedCards)
                             .arg(hardware::kMaxSimulatedCards));
        else
            state.parsed.backends.simulatedCards = count;
    }
    for (const OptionRule &option : kOptions)
        if (state.isSet(option.id))
            take(state, option.id);
    takeWords(state, words);
    readCardsConfig(state);
    if (!state.parsed.exitCode && state.parsed.backends.simulate
        && !state.parsed.backends.pciIds.empty())
        state.parsed.errors
            += QStringLiteral("qm5083-bench: %1\n").arg(tr("--pci-id is ignored with --simulate"));
    if (state.isSet(OptionId::SimReset))
        takeSimReset(state);
    answerRefusalAsJson(state);
    return state.parsed;
}

void chooseMode(ParseState &state, const QStringList &words)
{
    // The others are refused where they do not belong.
    for (const auto &[option, mode] : kModeOptions)
        if (state.isSet(option)) {
            state.parsed.mode = mode;
            break;
        }
    if (state.parsed.mode == Mode::Window && !words.isEmpty())
        state.parsed.mode = Mode::Command;
    if (state.parsed.mode == Mode::Window && state.isSet(OptionId::PrintLayout))
        state.parsed.mode = Mode::PrintLayout;
    if (state.parsed.mode == Mode::Command)
        state.parsed.commandText = words.join(QLatin1Char(' '));
    // An answer in JSON is asked for before anything else is read, so that a refusal gets one.
    state.parsed.json = state.isSet(OptionId::Json);
}

void checkWhereOptionsBelong(ParseState &state, const QStringList &words)
{
    for (const OptionRule &option : kOptions) {
        if (!state.isSet(option.id))
            continue;
        const auto count = state.parser.optionNames().count(QString::fromLatin1(option.name));
        if (!option.repeatable && count > 1)
            state.refuse(tr("--%1 is given %2 times; give it once")
                             .arg(QString::fromLatin1(option.name))
                             .arg(count));
    }
    // The set-up and its check go on their own; the others say where an option belongs.
    const auto alone = [&](Modes allowed, const QString &why) {
        const bool other = std::any_of(kOptions.begin(), kOptions.end(), [&](const OptionRule &o) {
            return state.isSet(o.id) && !(in(state.parsed.mode) & allowed & o.modes);
        });
        if (other || (!words.isEmpty() && state.parsed.mode == Mode::CheckSetup))
            state.refuse(why);
    };
    switch (state.parsed.mode) {
    case Mode::Setup:
        // Run as root, a file named here would be replaced whatever it is; the udev helper reads
        // the built-in card set-up only, so that is the one file the set-up writes.
        if (state.isSet(OptionId::Config))
            state.refuse(tr("--setup writes the card set-up the udev helper reads, %1, and no "
                            "other file: give no --config")
                             .arg(QStringLiteral(QM5083_CARDS_CONF)));
        else
            alone(in(Mode::Setup), tr("--setup is given on its own, with the cards' ids"));
        return;
    case Mode::CheckSetup:
        alone(in(Mode::CheckSetup),
              tr("--check-setup is given on its own (with --pci-id or --config at most)"));
        return;
    case Mode::SelfTest:
        if (!words.isEmpty())
            state.refuse(tr("\"%1\" follows --self-test, which takes no command")
                             .arg(words.join(QLatin1Char(' '))));
        break;
    case Mode::Window:
    case Mode::PrintLayout:
    case Mode::Command:
        break;
    }
    for (const OptionRule &option : kOptions)
        if (state.isSet(option.id) && !(option.modes & in(state.parsed.mode)) && *option.elsewhere)
            state.refuse(tr(option.elsewhere).arg(QString::fromLatin1(option.name)));
    if (state.isSet(OptionId::SimFault) && !state.isSet(OptionId::Simulate))
        state.refuse(tr("--sim-fault gives the simulated card a fault: give --simulate too"));
}

// --meter and --da-range: the DA check the self-test makes of each channel, each refused on
// its own.
void takeMeter(ParseState &state)
{
    const QString meter = state.value(OptionId::Meter);
    const QString range
        = state.isSet(OptionId::DaRange) ? state.value(OptionId::DaRange) : QStringLiteral("0:10");
    const auto shown = [](const QString &given) {
        return QString::fromStdString(convert::excerpt(given.toStdString()));
    };
    try {
        scripting::selfTestDaCheck(meter.toStdString(), "0:10");
    } catch (const scripting::CommandError &) {
        return state.refuse(tr("--meter \"%1\" is not a meter: sim, command:CMD, "
                               "sigrok:DRIVER[:KEY=VALUE]..., file:FILE or typed")
                                .arg(shown(meter)));
    }
    try {
        state.parsed.selfTest.daMeter
            = scripting::selfTestDaCheck(meter.toStdString(), range.toStdString());
    } catch (const scripting::CommandError &) {
        state.refuse(tr("--da-range \"%1\" is not a range: LOW:HIGH in volts, LOW at code 0, "
                        "such as 0:10 or -5:5")
                         .arg(shown(range)));
    }
}

// A station's text for the report, held to the one rule the DA check and the window hold it to.
QString stationText(ParseState &state, OptionId id)
{
    QString given = state.value(id);
    const std::string bytes = given.toStdString();
    if (!scripting::keepsStationTextRule(bytes))
        state.refuse(tr("--%1 \"%2\" is not %3")
                         .arg(QString::fromLatin1(rule(id).name),
                              QString::fromStdString(convert::excerpt(bytes)),
                              reports::translated(scripting::stationTextRule())));
    return given;
}

// Each option's value into the command line, refused when it cannot be read.
void take(ParseState &state, OptionId id)
{
    hardware::BackendOptions &backends = state.parsed.backends;
    switch (id) {
    case OptionId::Simulate:
        backends.simulate = true;
        return;
    case OptionId::PciId:
        state.parsed.pciIdsGiven = true;
        for (const QString &text : state.values(id)) {
            try {
                backends.pciIds.push_back(hardware::parsePciId(text.toStdString()));
            } catch (const hardware::InvalidPciId &error) {
                state.refuse(reports::translated(error.message()));
            }
        }
        return;
    case OptionId::Config:
        backends.cardsConfig = state.value(id).toStdString();
        return;
    case OptionId::Card: {
        bool number = false;
        const int card = state.value(id).toInt(&number);
        if (!number || card < 1 || card > 32767)
            state.refuse(
                tr("--card \"%1\" is not a card number from 1 to 32767")
                    .arg(QString::fromStdString(convert::excerpt(state.value(id).toStdString()))));
        else
            state.parsed.card = static_cast<std::int16_t>(card);
        return;
    }
    case OptionId::Trace:
        backends.trace = true;
        return;
    case OptionId::Log:
        state.parsed.logFile = state.value(id);
        return;
    case OptionId::Results:
        if (state.value(id).isEmpty() || state.value(id).size() > 4096)
            state.refuse(tr("--results needs a PostgreSQL connection string or URI, or a file: "
                            "1 to 4096 characters"));
        state.parsed.results = state.value(id);
        return;
    case OptionId::Json:
        state.parsed.json = true;
        return;
    case OptionId::Report:
        state.parsed.selfTest.reportFile = state.value(id);
        return;
    case OptionId::Serial:
        state.parsed.selfTest.serial = stationText(state, id);
        return;
    case OptionId::Operator:
        state.parsed.selfTest.operatorName = stationText(state, id);
        return;
    case OptionId::Station:
        state.parsed.selfTest.station = stationText(state, id);
        return;
    case OptionId::Skip:
        for (const QString &part : state.values(id)) {
            if (part == QStringLiteral("loopback"))
                state.parsed.selfTest.skip.push_back(selftest::SelfTestPart::Loopback);
            else if (part == QStringLiteral("counters"))
                state.parsed.selfTest.skip.push_back(selftest::SelfTestPart::Counters);
            else if (part == QStringLiteral("da"))
                state.parsed.selfTest.skip.push_back(selftest::SelfTestPart::Da);
            else
                state.refuse(
                    tr("--skip \"%1\" is not a part of the self-test: loopback, counters or "
                       "da")
                        .arg(QString::fromStdString(convert::excerpt(part.toStdString()))));
        }
        return;
    case OptionId::Meter:
        takeMeter(state);
        return;
    case OptionId::DaRange:
        if (!state.isSet(OptionId::Meter))
            state.refuse(tr("--da-range is the range the self-test's --meter measures: give "
                            "--meter too"));
        return;
    case OptionId::SimFault:
        for (const QString &text : state.values(id)) {
            try {
                backends.simulatedFaults.push_back(
                    hardware::parseSimulatedFault(text.toStdString()));
            } catch (const hardware::InvalidFault &error) {
                state.refuse(reports::translated(error.message()));
            }
        }
        try {
            hardware::checkFaultsAgree(backends.simulatedFaults, backends.simulatedCards);
        } catch (const hardware::InvalidFault &error) {
            state.refuse(reports::translated(error.message()));
        }
        return;
    case OptionId::SimReset: // done after every other option is read
    case OptionId::SelfTest:
    case OptionId::PrintLayout:
    case OptionId::Setup:
    case OptionId::CheckSetup:
        return; // each chose the mode
    }
}

// The words after the options: the set-up's ids, or a command with its arguments.
void takeWords(ParseState &state, const QStringList &words)
{
    if (state.parsed.mode == Mode::Setup) {
        for (const QString &word : words) {
            try {
                state.parsed.setupIds.push_back(hardware::parsePciId(word.toStdString()));
            } catch (const hardware::InvalidPciId &error) {
                state.refuse(reports::translated(error.message())
                                 .replace(QStringLiteral("--pci-id"), QStringLiteral("--setup")));
            }
        }
        if (words.isEmpty())
            state.refuse(tr("--setup needs the cards' ids: sudo qm5083-bench --setup VVVV:DDDD, as "
                            "lspci -nn shows them"));
        if (const auto both = hardware::firstOverlap(state.parsed.setupIds))
            state.refuse(tr("--setup %1 and %2 can name the same card; name each card once")
                             .arg(QString::fromStdString(
                                      hardware::formatPciId(state.parsed.setupIds[both->first])),
                                  QString::fromStdString(
                                      hardware::formatPciId(state.parsed.setupIds[both->second]))));
        return;
    }
    if (state.parsed.mode != Mode::Command)
        return;
    std::vector<std::string> commandWords;
    for (const QString &word : words)
        commandWords.push_back(word.toStdString());
    try {
        state.parsed.command = scripting::parseCommand(commandWords);
    } catch (const scripting::CommandError &error) {
        state.refuse(reports::translated(error.message()));
    } catch (const scripting::DaCheckHelp &) {
        state.parsed.output = tr("da-check's options (the manual page, man qm5083-bench, says what "
                                 "each does):")
            + QLatin1Char('\n') + QString::fromStdString(scripting::daCheckOptionsHelp());
        state.parsed.exitCode = kDone;
    }
}

// Without --pci-id the card set-up names the cards; a malformed file is no silent skip.
void readCardsConfig(ParseState &state)
{
    hardware::BackendOptions &backends = state.parsed.backends;
    if (!state.isSet(OptionId::Config))
        backends.cardsConfig = QM5083_CARDS_CONF;
    if (backends.simulate || !backends.pciIds.empty() || state.parsed.mode == Mode::Setup)
        return;
    try {
        if (const auto ids = hardware::readCardsConfig(backends.cardsConfig))
            backends.pciIds = *ids;
    } catch (const hardware::InvalidPciId &error) {
        // The window and the check report it themselves; a command cannot run without it.
        if (state.parsed.mode == Mode::Command || state.parsed.mode == Mode::SelfTest)
            state.refuse(reports::translated(error.message()));
        else
            state.parsed.cardsConfigProblem = error.message();
    }
}

// --sim-reset: only --simulate may go with it. Reading it resets nothing; the program does.
void takeSimReset(ParseState &state)
{
    const bool other = std::any_of(kOptions.begin(), kOptions.end(), [&](const OptionRule &o) {
        return state.isSet(o.id) && o.id != OptionId::SimReset && o.id != OptionId::Simulate;
    });
    if (other && state.parsed.mode == Mode::Window)
        state.refuse(tr(rule(OptionId::SimReset).elsewhere).arg(QStringLiteral("sim-reset")));
    state.parsed.resetsSimulatedCards = !state.parsed.exitCode;
}

// With --json a refusal is an answer too: one object, as every other outcome is.
void answerRefusalAsJson(ParseState &state)
{
    if (!state.parsed.json || state.parsed.exitCode != kCannotRun)
        return;
    const QJsonObject answer {
        {QStringLiteral("command"), state.parsed.answerName()},
        {QStringLiteral("status"), kCannotRun},
        {QStringLiteral("error"), state.parsed.refusals.join(QStringLiteral("; "))}};
    state.parsed.output = QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact))
        + QLatin1Char('\n');
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    ParseState state(arguments);
    prepare(state);
    return parse(state);
}

void resetSimulatedCards(CommandLine &commandLine)
{
    try {
        const std::filesystem::path folder
            = hardware::resetSimulatedCards(commandLine.backends.simulatedStateDir);
        commandLine.output = tr("The simulated cards start afresh: what they kept in %1 is gone.")
                                 .arg(QString::fromStdString(folder.string()))
            + QLatin1Char('\n');
        commandLine.exitCode = kDone;
    } catch (const hardware::PortError &error) {
        refuseArguments(commandLine, reports::translated(error.message()));
    }
}

} // namespace qm5083::commands
