#include "script_runner.h"

#include "card_commands.h"
#include "card_session.h"
#include "da_check_command.h"
#include "each_kind.h"
#include "ending.h"
#include "meters.h"
#include "output_text.h"
#include "results_command.h"
#include "text_lines.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <string>

namespace qm5083::commands {

namespace {

// Six significant digits and never an exponent, for awk: the base clock reaches 1 MHz.
QString number(double value)
{
    return value >= 1e6 ? QString::number(value, 'f', 0) : QString::number(value, 'g', 6);
}

QJsonObject answerJson(const QString &command, int status)
{
    return {{QStringLiteral("command"), command}, {QStringLiteral("status"), status}};
}

// A command not to be given a card: refused as one of a batch's lines.
[[noreturn]] void notInABatch(std::string_view name)
{
    throw CannotRun {tr("%1 is not for a batch; run it on its own")
                         .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))};
}

Answer cards(CardSession &session, bool oneLine)
{
    const hardware::Backend &backend = session.backend();
    if (backend.startupFailure)
        throw CannotRun {reports::failureSentence(backend.startupFailure)};
    QStringList lines;
    QJsonArray list;
    for (const std::int16_t number : backend.locator->cardNumbers()) {
        QJsonObject card {{QStringLiteral("number"), number}};
        QString base = QStringLiteral("-");
        try {
            if (const auto found = backend.locator->findCard(number)) {
                base = hex4(*found);
                card[QStringLiteral("base")] = base;
            }
        } catch (...) {
            card[QStringLiteral("unusable")] = reasonOf(std::current_exception());
        }
        const auto place = backend.locator->place(number);
        const QString address = place ? QString::fromStdString(place->address) : tr("simulated");
        const QString ids = place ? QString::fromStdString(place->ids) : QStringLiteral("-");
        const QString bar
            = place && place->bar >= 0 ? QString::number(place->bar) : QStringLiteral("-");
        card[QStringLiteral("kind")] = place ? QStringLiteral("pci") : QStringLiteral("simulated");
        if (place) {
            card[QStringLiteral("address")] = address;
            card[QStringLiteral("ids")] = ids;
            card[QStringLiteral("bar")] = place->bar;
        }
        lines << QStringLiteral("%1 %2 %3 %4 %5").arg(number).arg(address, ids, bar, base);
        list.append(card);
    }
    // No card is a "card present?" step that failed: nothing to list, and why.
    const int status = list.isEmpty() ? kCheckFailed : kDone;
    QJsonObject json = answerJson(QStringLiteral("cards"), status);
    json[QStringLiteral("cards")] = list;
    Answer answer {status, lines.join(oneLine ? QStringLiteral("; ") : QStringLiteral("\n")), json};
    if (list.isEmpty()) {
        answer.why
            = backend.noCard ? reports::translated(*backend.noCard) : tr("no card was found");
        json[QStringLiteral("error")] = answer.why;
        answer.json = json;
        answer.line = oneLine ? answer.why : QString();
    }
    answer.record[QStringLiteral("cards")] = list.size();
    return answer;
}

QJsonArray hexList(const auto &values, QString (*format)(unsigned))
{
    QJsonArray list;
    for (const auto value : values)
        list.append(format(value));
    return list;
}

// The values as a plain answer's words: "12 A5 3C FF".
QString hexWords(const auto &values, QString (*format)(unsigned))
{
    QStringList words;
    for (const auto value : values)
        words << format(value);
    return words.join(QLatin1Char(' '));
}

Answer out(CardSession &session, const scripting::OutCommand &command)
{
    scripting::writeOutputs(session.card(), command.bytes);
    QJsonObject json = answerJson(QStringLiteral("out"), kDone);
    json[QStringLiteral("card")] = session.number();
    json[QStringLiteral("written")] = hexList(command.bytes, hex2);
    return {kDone, hexWords(command.bytes, hex2), json};
}

Answer in(CardSession &session, const scripting::InCommand &command)
{
    const scripting::InResult result = scripting::readInputs(session.card(), command.expect);
    const int status = result.differences.empty() ? kDone : kCheckFailed;
    QJsonObject json = answerJson(QStringLiteral("in"), status);
    json[QStringLiteral("card")] = session.number();
    json[QStringLiteral("read")] = hexList(result.read, hex2);
    QString line = hexWords(result.read, hex2);
    if (result.expected) {
        QJsonArray differences;
        QStringList named;
        for (const scripting::BitDifference &difference : result.differences) {
            differences.append(
                QJsonObject {{QStringLiteral("group"), difference.group},
                             {QStringLiteral("bit"), difference.bit},
                             {QStringLiteral("expected"), difference.expected ? 1 : 0},
                             {QStringLiteral("read"), difference.read ? 1 : 0}});
            named << tr("group %1 bit %2 expected %3 read %4")
                         .arg(difference.group)
                         .arg(difference.bit)
                         .arg(difference.expected ? 1 : 0)
                         .arg(difference.read ? 1 : 0);
        }
        json[QStringLiteral("expected")] = hexList(*result.expected, hex2);
        json[QStringLiteral("equal")] = result.differences.empty();
        json[QStringLiteral("differences")] = differences;
        // Apart from the fourth byte, so that a script's fourth field is the byte alone.
        line += QLatin1Char(' ')
            + (named.isEmpty() ? tr("as expected")
                               : tr("differs: %1").arg(named.join(QStringLiteral(", "))));
        Answer answer {status, line, json};
        answer.record[QStringLiteral("verdict")]
            = named.isEmpty() ? QStringLiteral("as expected") : QStringLiteral("differs");
        answer.record[QStringLiteral("differences")] = differences;
        return answer;
    }
    return {status, line, json};
}

Answer clock(CardSession &session, const scripting::ClockCommand &command)
{
    const scripting::ClockResult result
        = scripting::startClocks(session.card(), command.k, command.n);
    QJsonObject json = answerJson(QStringLiteral("clock"), kDone);
    json[QStringLiteral("card")] = session.number();
    json[QStringLiteral("k")] = static_cast<int>(result.k);
    json[QStringLiteral("n")] = static_cast<int>(result.n);
    json[QStringLiteral("baseHz")] = result.baseHz;
    json[QStringLiteral("outputHz")] = result.outputHz;
    return {kDone,
            tr("base %1 Hz, outputs %2 Hz").arg(number(result.baseHz), number(result.outputHz)),
            json};
}

Answer da(CardSession &session, const scripting::DaCommand &command)
{
    scripting::writeDaCodes(session.card(), command.codes);
    QJsonObject json = answerJson(QStringLiteral("da"), kDone);
    json[QStringLiteral("card")] = session.number();
    json[QStringLiteral("codes")] = hexList(command.codes, codeText);
    return {kDone, hexWords(command.codes, codeText), json};
}

// One command on the card; a failure is thrown where it happens.
Answer runOnCard(const scripting::ScriptCommand &command, CardSession &session, bool inBatch)
{
    return std::visit(
        EachKind {
            [&](const scripting::CardsCommand &) { return cards(session, inBatch); },
            [&](const scripting::OutCommand &c) { return out(session, c); },
            [&](const scripting::InCommand &c) { return in(session, c); },
            [&](const scripting::ClockCommand &c) { return clock(session, c); },
            [&](const scripting::DaCommand &c) { return da(session, c); },
            [&](const scripting::DaCheckCommand &) -> Answer { notInABatch("da-check"); },
            [&](const scripting::MetersCommand &) -> Answer { notInABatch("meters"); },
            [&](const scripting::BatchCommand &) -> Answer { notInABatch("batch"); },
            [&](const scripting::SelfTestCommand &) -> Answer { notInABatch("self-test"); },
            [&](const scripting::ResultsCommand &) -> Answer { notInABatch("results"); },
        },
        command);
}

// Runs one command and answers it: its line (or JSON object) on out; when it fails, the reason
// on err, or as its answer in a batch. One session record line each. The answers' own words stay
// the same in every locale, for scripts to read; the reasons follow the locale.
int answer(const scripting::ScriptCommand &command, const QString &name, const QString &text,
           CardSession &session, const CommandLine &commandLine, std::FILE *out, std::FILE *err,
           reports::SessionLog *sessionLog, bool inBatch)
{
    session.recorder().clear();
    std::exception_ptr failure;
    Answer answered;
    try {
        const hardware::OperationScope operation(session.recorder());
        answered = runOnCard(command, session, inBatch);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        if (sessionLog) {
            QJsonObject details = answered.record;
            details[QStringLiteral("status")] = answered.status;
            details[QStringLiteral("result")] = resultOf(answered.status);
            sessionLog->append(reports::operationLine(
                {text, {}, session.recorder().accesses(), nullptr, true, details}));
        }
        if (commandLine.json)
            print(out,
                  QString::fromUtf8(QJsonDocument(answered.json).toJson(QJsonDocument::Compact)));
        // The cards' answer is a line per card; every other answer is one line.
        else if (!answered.line.isEmpty())
            printLines(out, answered.line.split(QLatin1Char('\n')));
        if (!answered.why.isEmpty() && !inBatch)
            printProblem(err, QStringLiteral("%1: %2").arg(name, answered.why));
        return answered.status;
    }
    const QString why = QStringLiteral("%1: %2").arg(name, reasonOf(failure));
    if (sessionLog) {
        const reports::ErrorReport report {tr("The command stopped"), why, {}, {}};
        sessionLog->append(
            reports::operationLine({text,
                                    {},
                                    session.recorder().accesses(),
                                    &report,
                                    true,
                                    {{QStringLiteral("status"), kCannotRun},
                                     {QStringLiteral("result"), resultOf(kCannotRun)}}}));
    }
    QJsonObject json = answerJson(name, kCannotRun);
    json[QStringLiteral("error")] = why;
    if (commandLine.json)
        print(out, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    else if (inBatch)
        print(out, tr("error: %1").arg(why));
    if (!inBatch)
        printProblem(err, why);
    return kCannotRun;
}

// A line refused before it is read as a command: one answer and one record line all the same.
void refuseLine(const QString &name, const QString &text, const QString &why,
                const CommandLine &commandLine, std::FILE *out, reports::SessionLog *sessionLog)
{
    if (sessionLog) {
        const reports::ErrorReport report {tr("The command stopped"), why, {}, {}};
        sessionLog->append(
            reports::operationLine({text,
                                    {},
                                    {},
                                    &report,
                                    true,
                                    {{QStringLiteral("status"), kCannotRun},
                                     {QStringLiteral("result"), QStringLiteral("refused")}}}));
    }
    QJsonObject json = answerJson(name, kCannotRun);
    json[QStringLiteral("error")] = why;
    print(out,
          commandLine.json ? QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact))
                           : tr("error: %1").arg(why));
}

int batch(CardSession &session, const CommandLine &commandLine, std::istream &in, std::FILE *out,
          std::FILE *err, reports::SessionLog *sessionLog)
{
    int worst = kDone;
    for (int number = 1; !endingSignal(); ++number) {
        const std::optional<convert::BoundedLine> read = convert::readBoundedLine(in);
        if (!read || endingSignal())
            break;
        const std::string &line = read->text;
        // Every line that is not blank or a comment gets exactly one answer, whatever it holds.
        if (read->tooLong || convert::firstControl(line)) {
            const QString quoted = QString::fromStdString(convert::excerpt(line));
            refuseLine(QStringLiteral("batch"), quoted,
                       read->tooLong ? tr("line %1 is longer than %2 bytes: \"%3\"")
                                           .arg(QString::number(number),
                                                QString::number(convert::kMaxLineBytes), quoted)
                                     : tr("line %1 holds the control character %2: \"%3\"")
                                           .arg(QString::number(number),
                                                QString::fromStdString(convert::escapeControls(
                                                    *convert::firstControl(line))),
                                                quoted),
                       commandLine, out, sessionLog);
            worst = std::max(worst, int {kCannotRun});
            continue;
        }
        const std::vector<std::string> words = scripting::wordsOf(line);
        if (words.empty() || words.front().starts_with('#'))
            continue;
        const QString text = QString::fromStdString(line).trimmed();
        const QString name = QString::fromStdString(words.front());
        int status = kCannotRun;
        try {
            const scripting::ScriptCommand command = scripting::parseCommand(words);
            status = answer(command, name, text, session, commandLine, out, err, sessionLog, true);
        } catch (const scripting::CommandError &error) {
            refuseLine(name, text, reports::translated(error.message()), commandLine, out,
                       sessionLog);
        } catch (const scripting::DaCheckHelp &) {
            refuseLine(name, text, tr("%1 is not for a batch; run it on its own").arg(name),
                       commandLine, out, sessionLog);
        }
        worst = std::max(worst, status);
    }
    // Ended by a signal: after the line in progress, with the shell's status for it.
    if (const int signal = endingSignal()) {
        if (sessionLog)
            sessionLog->append(reports::operationLine(
                {QStringLiteral("batch"),
                 {},
                 {},
                 nullptr,
                 true,
                 {{QStringLiteral("endedBy"), signalName(signal)},
                  {QStringLiteral("status"), signalStatus(signal)},
                  {QStringLiteral("result"), resultOf(signalStatus(signal))}}}));
        return signalStatus(signal);
    }
    // The batch's own line: the worst of its lines, as its exit status says.
    if (sessionLog)
        sessionLog->append(reports::operationLine(
            {QStringLiteral("batch"),
             {},
             {},
             nullptr,
             true,
             {{QStringLiteral("status"), worst}, {QStringLiteral("result"), resultOf(worst)}}}));
    return worst;
}

} // namespace

void recordDoneWithoutAccess(reports::SessionLog *sessionLog, const QString &commandText)
{
    if (sessionLog)
        sessionLog->append(reports::operationLine(
            {commandText,
             {},
             {},
             nullptr,
             true,
             {{QStringLiteral("status"), kDone}, {QStringLiteral("result"), resultOf(kDone)}}}));
}

int runScriptCommand(const CommandLine &commandLine, std::istream &in, std::FILE *out,
                     std::FILE *err, reports::SessionLog *sessionLog)
{
    CardSession session(commandLine);
    recordSessionStart(sessionLog, commandLine, session.backend());
    const scripting::ScriptCommand &command = *commandLine.command;
    const QString name
        = QString::fromUtf8(scripting::commandName(command).data(),
                            static_cast<qsizetype>(scripting::commandName(command).size()));
    if (std::holds_alternative<scripting::BatchCommand>(command))
        return batch(session, commandLine, in, out, err, sessionLog);
    if (const auto *check = std::get_if<scripting::DaCheckCommand>(&command))
        return runDaCheck(*check, session, commandLine, in, out, err, sessionLog);
    if (const auto *results = std::get_if<scripting::ResultsCommand>(&command))
        return runResultsCommand(*results, commandLine, out, err, sessionLog);
    if (std::holds_alternative<scripting::MetersCommand>(command)) {
        const QStringList meters = meterDrivers();
        QJsonObject json = answerJson(QStringLiteral("meters"), kDone);
        json[QStringLiteral("meters")] = QJsonArray::fromStringList(meters);
        recordDoneWithoutAccess(sessionLog, commandLine.commandText);
        printLines(out,
                   commandLine.json ? QStringList {QString::fromUtf8(
                       QJsonDocument(json).toJson(QJsonDocument::Compact))}
                                    : meters);
        return kDone;
    }
    return answer(command, name, commandLine.commandText, session, commandLine, out, err,
                  sessionLog, false);
}

} // namespace qm5083::commands
