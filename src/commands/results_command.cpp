#include "results_command.h"

#include "card_session.h"
#include "exit_status.h"
#include "output_text.h"
#include "report_file.h"
#include "results_plot.h"
#include "results_queries.h"
#include "text_lines.h"
#include "verdict.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace qm5083::commands {

namespace {

using scripting::ResultsCommand;
using Period = results::Period;

QString queryName(ResultsCommand::Query query)
{
    switch (query) {
    case ResultsCommand::Query::Status:
        return QStringLiteral("status");
    case ResultsCommand::Query::Sync:
        return QStringLiteral("sync");
    case ResultsCommand::Query::History:
        return QStringLiteral("history");
    case ResultsCommand::Query::Yield:
        return QStringLiteral("yield");
    case ResultsCommand::Query::Pareto:
        return QStringLiteral("pareto");
    case ResultsCommand::Query::Export:
        return QStringLiteral("export");
    }
    return {};
}

results::GroupBy groupBy(ResultsCommand::By by)
{
    switch (by) {
    case ResultsCommand::By::None:
        return results::GroupBy::None;
    case ResultsCommand::By::Day:
        return results::GroupBy::Day;
    case ResultsCommand::By::Station:
        return results::GroupBy::Station;
    case ResultsCommand::By::Operator:
        return results::GroupBy::Operator;
    case ResultsCommand::By::Check:
        return results::GroupBy::Check;
    }
    return results::GroupBy::None;
}

QString byName(ResultsCommand::By by)
{
    switch (by) {
    case ResultsCommand::By::None:
        return {};
    case ResultsCommand::By::Day:
        return QStringLiteral("day");
    case ResultsCommand::By::Station:
        return QStringLiteral("station");
    case ResultsCommand::By::Operator:
        return QStringLiteral("operator");
    case ResultsCommand::By::Check:
        return QStringLiteral("check");
    }
    return {};
}

// Why a question could not be answered.
struct NotAnswered
{
    QString why;
};

// A day or a time as given: a day starts at its midnight (local time); as an end, it is taken
// whole, up to the next midnight.
std::int64_t msOf(const std::string &given, bool end)
{
    const QString text = QString::fromStdString(given);
    if (text.size() == 10) {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        return QDateTime(end ? day.addDays(1) : day, QTime(0, 0)).toMSecsSinceEpoch();
    }
    return QDateTime::fromString(text, Qt::ISODate).toMSecsSinceEpoch();
}

Period periodOf(const ResultsCommand &command)
{
    Period period;
    if (!command.since.empty())
        period.sinceMs = msOf(command.since, false);
    if (!command.until.empty())
        period.untilMs = msOf(command.until, true);
    if (period.sinceMs && period.untilMs && *period.untilMs <= *period.sinceMs)
        throw NotAnswered {
            tr("--until %1 is not after --since %2: the period holds nothing")
                .arg(QString::fromStdString(command.until), QString::fromStdString(command.since))};
    return period;
}

QString percent(double share)
{
    return QString::number(share * 100, 'f', 1) + QStringLiteral(" %");
}

// A share with four decimals, as a JSON number.
double rounded(double share)
{
    return std::round(share * 10000) / 10000;
}

QJsonValue jsonOf(const results::Value &value)
{
    if (const auto *integer = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*integer);
    if (const auto *number = std::get_if<double>(&value))
        return *number;
    if (const auto *text = std::get_if<QString>(&value))
        return *text;
    return QJsonValue::Null;
}

QJsonObject itemJson(const results::ResultItem &item)
{
    QJsonObject json {{QStringLiteral("name"), item.name}, {QStringLiteral("status"), item.status}};
    const auto number = [](const std::optional<double> &value) {
        return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
    };
    json[QStringLiteral("value")] = number(item.value);
    json[QStringLiteral("unit")] = item.unit;
    json[QStringLiteral("low")] = number(item.low);
    json[QStringLiteral("high")] = number(item.high);
    json[QStringLiteral("problem")]
        = item.problem.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(item.problem);
    return json;
}

QJsonObject groupJson(const results::YieldGroup &group)
{
    return {{QStringLiteral("group"), group.group},
            {QStringLiteral("cards"), static_cast<double>(group.cards)},
            {QStringLiteral("firstPass"), static_cast<double>(group.firstPass)},
            {QStringLiteral("final"), static_cast<double>(group.finalPass)},
            {QStringLiteral("firstPassYield"), rounded(group.firstPassYield())},
            {QStringLiteral("finalYield"), rounded(group.finalYield())}};
}

QString groupLine(const results::YieldGroup &group, const QString &name)
{
    return tr("%1: %2 cards, first pass %3 (%4), final %5 (%6)")
        .arg(name)
        .arg(group.cards)
        .arg(group.firstPass)
        .arg(percent(group.firstPassYield()))
        .arg(group.finalPass)
        .arg(percent(group.finalYield()));
}

// A CSV field as RFC 4180 quotes it: in quotes, doubled, when it holds a comma, a quote or a
// line's end.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Writes text without flushing: an export of a million lines is not a million writes. Control
// characters are shown escaped, as every line the program prints.
void write(std::FILE *out, const QString &text)
{
    const std::string bytes = convert::escapeControls(text.toStdString()) + '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), out);
}

struct Answered
{
    QStringList lines;
    QJsonObject json;
    bool printed = false; // the export writes as it goes
};

void plot(const ResultsCommand &command, const QByteArray &bytes)
{
    QString why;
    try {
        if (!ReportTarget(QString::fromStdString(command.plotFile)).writeBytes(bytes, why))
            throw NotAnswered {tr("the picture %1 was not written: %2")
                                   .arg(QString::fromStdString(command.plotFile), why)};
    } catch (const reports::FileRefused &refused) {
        throw NotAnswered {tr("the picture %1 cannot be written: %2")
                               .arg(QString::fromStdString(command.plotFile), refused.why)};
    }
}

QString periodText(const ResultsCommand &command)
{
    if (command.since.empty() && command.until.empty())
        return tr("all results");
    return tr("%1 to %2")
        .arg(command.since.empty() ? tr("the first") : QString::fromStdString(command.since),
             command.until.empty() ? tr("now") : QString::fromStdString(command.until));
}

Answered queueAnswer(results::ResultsStore &store)
{
    const results::QueueStatus queue = store.queueStatus();
    const results::ResultsPlace &place = store.place();
    Answered answered;
    answered.json[QStringLiteral("database")] = place.localFile;
    answered.json[QStringLiteral("line")] = place.line.isEmpty()
        ? QJsonValue(QJsonValue::Null)
        : QJsonValue(results::checkPostgresConnection(place.line));
    answered.json[QStringLiteral("queued")] = static_cast<double>(queue.queued);
    answered.json[QStringLiteral("since")] = queue.since
        ? QJsonValue(
            queue.since->toOffsetFromUtc(queue.since->offsetFromUtc()).toString(Qt::ISODateWithMs))
        : QJsonValue(QJsonValue::Null);
    answered.lines << tr("results are stored in %1").arg(place.localFile);
    if (place.line.isEmpty()) {
        answered.lines << tr("no line's database is set: nothing is sent");
    } else {
        answered.lines << tr("and sent to the %1 (set by %2)")
                              .arg(results::checkPostgresConnection(place.line), place.lineSource);
        answered.lines << (queue.queued == 0
                               ? tr("nothing is queued")
                               : tr("%1 results queued since %2")
                                     .arg(queue.queued)
                                     .arg(answered.json[QStringLiteral("since")].toString()));
    }
    return answered;
}

Answered history(const ResultsCommand &command, results::Database &database)
{
    const QString serial = QString::fromStdString(command.serial);
    const std::vector<results::HistoryEntry> entries = results::history(database, serial);
    Answered answered;
    answered.json[QStringLiteral("serial")] = serial;
    QJsonArray list;
    for (const results::HistoryEntry &entry : entries) {
        QJsonArray failures;
        for (const results::ResultItem &item : entry.failures)
            failures.append(itemJson(item));
        list.append(
            QJsonObject {{QStringLiteral("uuid"), entry.uuid},
                         {QStringLiteral("check"), entry.check},
                         {QStringLiteral("started"), entry.started},
                         {QStringLiteral("durationMs"), static_cast<double>(entry.durationMs)},
                         {QStringLiteral("station"), entry.station},
                         {QStringLiteral("operator"), entry.operatorName},
                         {QStringLiteral("slot"), entry.slot},
                         {QStringLiteral("result"), entry.status},
                         {QStringLiteral("exitStatus"), entry.exitStatus},
                         {QStringLiteral("reason"), entry.reason},
                         {QStringLiteral("failures"), failures}});
        answered.lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                              .arg(entry.started, entry.check, entry.status, entry.station,
                                   entry.operatorName.isEmpty() ? QStringLiteral("-")
                                                                : entry.operatorName)
                              .arg(QString::number(double(entry.durationMs) / 1000, 'f', 3)
                                   + QStringLiteral(" s"));
        for (const results::ResultItem &item : entry.failures)
            answered.lines << QStringLiteral("  %1: %2").arg(item.name, item.problem);
    }
    answered.json[QStringLiteral("results")] = list;
    answered.lines.prepend(
        entries.empty() ? tr("%1: no results").arg(serial)
                        : tr("%1: %2 results, newest first").arg(serial).arg(entries.size()));
    return answered;
}

Answered yield(const ResultsCommand &command, results::Database &database)
{
    const results::YieldAnswer answer
        = results::yield(database, periodOf(command), groupBy(command.by));
    Answered answered;
    answered.json[QStringLiteral("since")] = QString::fromStdString(command.since);
    answered.json[QStringLiteral("until")] = QString::fromStdString(command.until);
    answered.json[QStringLiteral("by")] = command.by == ResultsCommand::By::None
        ? QJsonValue(QJsonValue::Null)
        : QJsonValue(byName(command.by));
    QJsonArray groups;
    for (const results::YieldGroup &group : answer.groups) {
        groups.append(groupJson(group));
        answered.lines << groupLine(group, group.group);
    }
    answered.json[QStringLiteral("groups")] = groups;
    answered.json[QStringLiteral("total")] = groupJson(answer.total);
    answered.json[QStringLiteral("noVerdict")] = static_cast<double>(answer.noVerdict);
    answered.json[QStringLiteral("withoutSerial")] = static_cast<double>(answer.withoutSerial);
    answered.lines << groupLine(answer.total, tr("all (%1)").arg(periodText(command)));
    if (answer.noVerdict || answer.withoutSerial)
        answered.lines << tr("not counted: %1 results that could not run or were stopped, %2 "
                             "verdicts on cards without a serial")
                              .arg(answer.noVerdict)
                              .arg(answer.withoutSerial);
    if (!command.plotFile.empty())
        plot(command,
             results::yieldPicture(answer,
                                   tr("Yield, %1%2")
                                       .arg(periodText(command),
                                            command.by == ResultsCommand::By::None
                                                ? QString()
                                                : tr(", by %1").arg(byName(command.by))),
                                   QString::fromStdString(command.plotFile)));
    return answered;
}

Answered pareto(const ResultsCommand &command, results::Database &database)
{
    const std::vector<results::ParetoEntry> entries = results::pareto(database, periodOf(command));
    std::int64_t total = 0;
    for (const results::ParetoEntry &entry : entries)
        total += entry.results;
    Answered answered;
    answered.json[QStringLiteral("since")] = QString::fromStdString(command.since);
    answered.json[QStringLiteral("until")] = QString::fromStdString(command.until);
    answered.json[QStringLiteral("total")] = static_cast<double>(total);
    QJsonArray problems;
    std::int64_t sum = 0;
    for (const results::ParetoEntry &entry : entries) {
        sum += entry.results;
        const double share = double(entry.results) / double(total);
        const double cumulative = double(sum) / double(total);
        problems.append(
            QJsonObject {{QStringLiteral("problem"), entry.problem},
                         {QStringLiteral("results"), static_cast<double>(entry.results)},
                         {QStringLiteral("share"), rounded(share)},
                         {QStringLiteral("cumulativeShare"), rounded(cumulative)}});
        answered.lines << QStringLiteral("%1 %2 %3 %4")
                              .arg(entry.problem)
                              .arg(entry.results)
                              .arg(percent(share), percent(cumulative));
    }
    answered.json[QStringLiteral("problems")] = problems;
    if (entries.empty())
        answered.lines << tr("no problem was found in %1").arg(periodText(command));
    if (!command.plotFile.empty())
        plot(command,
             results::paretoPicture(entries, tr("Problems, %1").arg(periodText(command)),
                                    QString::fromStdString(command.plotFile)));
    return answered;
}

// The export: written as it is read, a result at a time, never held whole.
Answered exportAll(const ResultsCommand &command, results::Database &database, std::FILE *out)
{
    const Period period = periodOf(command);
    Answered answered;
    answered.printed = true;
    if (command.csv) {
        QStringList header;
        for (const QString &name : results::exportColumns())
            header << name;
        write(out, header.join(QLatin1Char(',')));
        results::exportResults(database, period, false, [&](const results::ExportedResult &one) {
            QStringList fields;
            for (const auto &column : one.columns)
                fields << csvField(results::textOf(column.second));
            write(out, fields.join(QLatin1Char(',')));
        });
    } else {
        std::fputs(R"({"command":"results","query":"export","results":[)", out);
        bool first = true;
        results::exportResults(database, period, true, [&](const results::ExportedResult &one) {
            QJsonObject json;
            for (const auto &column : one.columns)
                json[column.first] = jsonOf(column.second);
            QJsonArray items;
            for (const results::ResultItem &item : one.items)
                items.append(itemJson(item));
            json[QStringLiteral("items")] = items;
            const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
            if (!first)
                std::fputc(',', out);
            first = false;
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), out);
        });
        std::fputs(R"(],"status":0})"
                   "\n",
                   out);
    }
    std::fflush(out);
    return answered;
}

// Why what was queued was not sent, if it was not.
std::optional<QString> notSent(const results::SyncOutcome &outcome)
{
    if (!outcome.problem)
        return std::nullopt;
    return tr("%1; %2 results stay queued, to be sent by the next check or "
              "\"qm5083-bench results sync\"")
        .arg(outcome.problem->message())
        .arg(outcome.queued);
}

} // namespace

QDateTime nowWithZone()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc());
}

results::ResultsPlace resultsPlaceOf(const CommandLine &commandLine)
{
    return results::resultsPlace(commandLine.results, QStringLiteral(QM5083_RESULTS_CONF),
                                 QStringLiteral(QM5083_RESULTS_DIR));
}

ResultsFiling::ResultsFiling(const CommandLine &commandLine)
    : ResultsFiling(resultsPlaceOf(commandLine))
{ }

ResultsFiling::ResultsFiling(results::ResultsPlace place)
    : store_(std::make_unique<results::ResultsStore>(std::move(place)))
    , started_(nowWithZone())
{ }

void ResultsFiling::started()
{
    started_ = nowWithZone();
}

bool ResultsFiling::store(const QJsonObject &report, QString &why)
{
    try {
        store_->store(results::recordFromReport(report, {started_, nowWithZone()}));
        return true;
    } catch (const results::ResultsError &error) {
        why = error.message();
        return false;
    }
}

EarlierResults earlierResults(const std::vector<results::HistoryEntry> &entries)
{
    if (entries.empty())
        return {tr("First test of this card."), false};
    const results::HistoryEntry &last = entries.front();
    const bool failedBefore
        = std::any_of(entries.begin(), entries.end(), [](const results::HistoryEntry &entry) {
              return entry.status != QLatin1String("passed");
          });
    QStringList failures;
    for (const results::ResultItem &item : last.failures)
        failures << QStringLiteral("%1: %2").arg(item.name, item.problem);
    // The verdict in the operator's words, as the dialog says it large.
    QString verdict = last.status;
    for (const Verdict known : {Verdict::Passed, Verdict::Failed, Verdict::Incomplete,
                                Verdict::NotJudged, Verdict::CouldNotRun, Verdict::Stopped})
        if (verdictKey(known) == last.status)
            verdict = verdictWord(known);
    QString text = tr("Earlier results: %1; the last, %2 (%3), on %4 at station %5")
                       .arg(entries.size())
                       .arg(verdict, last.check, last.started, last.station);
    if (!failures.isEmpty())
        text += QStringLiteral(": ") + failures.join(QStringLiteral(", "));
    else if (!last.reason.isEmpty())
        text += QStringLiteral(": ") + last.reason;
    text += QLatin1Char('.');
    return {failedBefore ? tr("Retest. %1").arg(text) : text, failedBefore};
}

EarlierResults earlierResultsOf(ResultsFiling &filing, const QString &serial)
{
    try {
        return earlierResults(results::history(filing.store().asked(), serial));
    } catch (const results::ResultsError &error) {
        // The line's database away: this station's own results, said as such.
        try {
            EarlierResults earlier
                = earlierResults(results::history(filing.store().local(), serial));
            earlier.text
                = tr("%1 (this station's results only: %2)").arg(earlier.text, error.message());
            return earlier;
        } catch (const results::ResultsError &local) {
            return {tr("The card's earlier results cannot be read: %1").arg(local.message()),
                    false};
        }
    }
}

TodaysResults todaysResults(ResultsFiling &filing)
{
    results::ResultsStore &store = filing.store();
    results::Database &database = store.asked();
    const results::Period today {QDateTime(QDate::currentDate(), QTime(0, 0)).toMSecsSinceEpoch(),
                                 std::nullopt};
    const bool line = !store.place().line.isEmpty();
    const results::YieldAnswer yield = results::yield(
        database, today, line ? results::GroupBy::Station : results::GroupBy::None);
    TodaysResults answer;
    answer.database = database.name();
    for (const results::YieldGroup &group : yield.groups)
        answer.lines << groupLine(group, tr("station %1").arg(group.group));
    answer.lines << groupLine(yield.total, tr("today"));
    answer.pareto = results::pareto(database, today);
    return answer;
}

ResultsOpener resultsOpenerFor(const CommandLine &commandLine)
{
    return [place = commandLine.results] {
        return std::make_unique<ResultsFiling>(results::resultsPlace(
            place, QStringLiteral(QM5083_RESULTS_CONF), QStringLiteral(QM5083_RESULTS_DIR)));
    };
}

std::optional<QString> storeResult(ResultsFiling *filing, const QJsonObject &report)
{
    QString why;
    if (!filing || filing->store(report, why))
        return std::nullopt;
    return tr("the result was not stored in the results database: %1; the verdict stands, and "
              "the report holds it")
        .arg(why);
}

std::optional<QString> ResultsFiling::send()
{
    return notSent(store_->sync());
}

int runResultsCommand(const ResultsCommand &command, const CommandLine &commandLine, std::FILE *out,
                      std::FILE *err, reports::SessionLog *sessionLog)
{
    const QString query = queryName(command.query);
    QJsonObject json {{QStringLiteral("command"), QStringLiteral("results")},
                      {QStringLiteral("query"), query}};
    int status = kDone;
    QString why;
    Answered answered;
    try {
        if (commandLine.json && command.query == ResultsCommand::Query::Export && command.csv)
            throw NotAnswered {tr("--json answers in JSON: give results export --json, or "
                                  "--csv without --json")};
        results::ResultsStore store(resultsPlaceOf(commandLine));
        switch (command.query) {
        case ResultsCommand::Query::Status:
            answered = queueAnswer(store);
            break;
        case ResultsCommand::Query::Sync: {
            const results::SyncOutcome outcome = store.sync();
            answered.json[QStringLiteral("sent")] = static_cast<double>(outcome.sent);
            answered.json[QStringLiteral("alreadyThere")]
                = static_cast<double>(outcome.alreadyThere);
            answered.json[QStringLiteral("queued")] = static_cast<double>(outcome.queued);
            if (store.place().line.isEmpty())
                answered.lines << tr("no line's database is set: nothing to send");
            else
                answered.lines << tr("sent %1 results (%2 were there already); %3 stay queued")
                                      .arg(outcome.sent)
                                      .arg(outcome.alreadyThere)
                                      .arg(outcome.queued);
            if (outcome.problem)
                throw NotAnswered {outcome.problem->message()};
            break;
        }
        case ResultsCommand::Query::History:
            answered = history(command, store.asked());
            break;
        case ResultsCommand::Query::Yield:
            answered = yield(command, store.asked());
            break;
        case ResultsCommand::Query::Pareto:
            answered = pareto(command, store.asked());
            break;
        case ResultsCommand::Query::Export:
            answered = exportAll(command, store.asked(), out);
            break;
        }
    } catch (const results::ResultsError &error) {
        why = error.message();
    } catch (const NotAnswered &notAnswered) {
        why = notAnswered.why;
    }
    if (!why.isEmpty()) {
        status = kCannotRun;
        json[QStringLiteral("error")] = QStringLiteral("results %1: %2").arg(query, why);
    }
    json[QStringLiteral("status")] = status;
    for (auto field = answered.json.begin(); field != answered.json.end(); ++field)
        json[field.key()] = field.value();
    if (sessionLog) {
        const QJsonObject details {{QStringLiteral("status"), status},
                                   {QStringLiteral("result"), resultOf(status)}};
        const reports::ErrorReport failure {
            tr("The command stopped"), json[QStringLiteral("error")].toString(), {}, {}};
        sessionLog->append(reports::operationLine(
            {commandLine.commandText, {}, {}, why.isEmpty() ? nullptr : &failure, true, details}));
    }
    if (!answered.printed || status != kDone) {
        if (commandLine.json && !(answered.printed && status == kDone))
            print(out, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
        else if (!answered.printed)
            printLines(out, answered.lines);
    }
    if (!why.isEmpty())
        printProblem(err, QStringLiteral("results %1: %2").arg(query, why));
    return status;
}

} // namespace qm5083::commands
