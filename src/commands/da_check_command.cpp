#include "da_check_command.h"

#include "card_commands.h"
#include "da_check.h"
#include "da_plot.h"
#include "ending.h"
#include "meters.h"
#include "output_text.h"
#include "report_file.h"
#include "script_runner.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <thread>

namespace qm5083::commands {

namespace {

using scripting::DaCheckCommand;
using scripting::DaFigures;
using scripting::DaPoint;
using scripting::DaVerdict;

// A figure to so many decimals, never "-0.00".
QString fixed(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0)
        rounded = 0;
    return QString::number(rounded, 'f', decimals);
}

QString volts(double value)
{
    return fixed(value, 6);
}

QString lsb(double value)
{
    return fixed(value, 2);
}

// A figure for JSON: a number, or null when it is none (JSON has no NaN).
QJsonValue number(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString pairText(std::uint16_t lower)
{
    return QStringLiteral("%1/%2").arg(hex4(lower).right(3), hex4(lower + 1).right(3));
}

QString lsbConventionName(scripting::LsbConvention convention)
{
    return convention == scripting::LsbConvention::FullScaleRange ? QStringLiteral("fsr")
                                                                  : QStringLiteral("fs");
}

QString lineName(scripting::ReferenceLine line)
{
    return line == scripting::ReferenceLine::EndPoint ? QStringLiteral("end-point")
                                                      : QStringLiteral("best-fit");
}

QString figureName(std::string_view figure)
{
    if (figure == "offset")
        return tr("offset");
    if (figure == "gain")
        return tr("gain");
    if (figure == "inl")
        return tr("inl");
    if (figure == "dnl")
        return tr("dnl");
    return tr("monotonicity");
}

// The meter as the operator reads it.
QString meterText(const QJsonObject &identity)
{
    const QString kind = identity[QStringLiteral("kind")].toString();
    const QString name = identity[QStringLiteral("name")].toString();
    if (kind == QLatin1String("typed"))
        return tr("readings typed at the terminal");
    if (kind == QLatin1String("file"))
        return tr("readings from the file %1").arg(name);
    if (kind == QLatin1String("simulated"))
        return tr("the simulated card's output");
    if (kind == QLatin1String("command"))
        return tr("readings printed by \"%1\"").arg(name);
    return tr("%1 %2, serial %3, through libsigrok's %4 driver")
        .arg(identity[QStringLiteral("vendor")].toString(),
             identity[QStringLiteral("model")].toString(),
             identity[QStringLiteral("serial")].toString(),
             identity[QStringLiteral("driver")].toString());
}

using Outcome = DaCheckOutcome;

// ---- The As-Found record: the report, and the JSON answer

QJsonObject conventionsJson(const DaCheckCommand &check)
{
    return {{QStringLiteral("lsb"), lsbConventionName(check.lsb)},
            {QStringLiteral("line"), lineName(check.line)},
            {QStringLiteral("definitions"), QStringLiteral("IEEE Std 1658-2011")}};
}

QJsonObject limitsJson(const scripting::DaLimits &limits)
{
    QJsonObject json;
    for (const auto &[name, limit] :
         {std::pair {"offset", limits.offset}, std::pair {"gain", limits.gain},
          std::pair {"inl", limits.inl}, std::pair {"dnl", limits.dnl}})
        if (limit)
            json[QString::fromLatin1(name)] = *limit;
    return json;
}

QJsonObject errorJson(const scripting::DaError &error)
{
    return {{QStringLiteral("volts"), number(error.volts)},
            {QStringLiteral("lsb"), number(error.lsb)}};
}

QJsonObject figuresJson(const DaFigures &figures)
{
    QJsonArray pairs;
    for (const scripting::DaStep &step : figures.steps)
        pairs.append(pairText(step.code));
    QJsonObject gain = errorJson(figures.gain);
    gain[QStringLiteral("percent")] = number(figures.gainPercent);
    return {
        {QStringLiteral("lsbVolts"), number(std::fabs(figures.lsbVolts))},
        {QStringLiteral("lineLsbVolts"), number(std::fabs(figures.lineLsb))},
        {QStringLiteral("zeroCode"), errorJson(figures.zeroCode)},
        {QStringLiteral("fullScale"), errorJson(figures.fullScale)},
        {QStringLiteral("offset"), errorJson(figures.offset)},
        {QStringLiteral("gain"), gain},
        {QStringLiteral("inl"),
         QJsonObject {{QStringLiteral("lsb"), number(figures.worstInl)},
                      {QStringLiteral("code"), codeText(figures.worstInlCode)}}},
        {QStringLiteral("dnl"),
         figures.worstDnl
             ? QJsonValue(QJsonObject {{QStringLiteral("lsb"), number(figures.worstDnl->dnl)},
                                       {QStringLiteral("codes"), pairText(figures.worstDnl->code)}})
             : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("monotonic"), figures.monotonic},
        {QStringLiteral("pairs"), pairs},
    };
}

QJsonArray verdictsJson(const std::vector<DaVerdict> &verdicts)
{
    QJsonArray json;
    for (const DaVerdict &verdict : verdicts) {
        QJsonObject one {{QStringLiteral("figure"),
                          QString::fromLatin1(verdict.figure.data(),
                                              static_cast<qsizetype>(verdict.figure.size()))},
                         {QStringLiteral("value"), number(verdict.value)},
                         {QStringLiteral("within"), verdict.within}};
        if (verdict.limit)
            one[QStringLiteral("limit")] = *verdict.limit;
        json.append(one);
    }
    return json;
}

QJsonArray namesJson(const std::vector<std::string_view> &names)
{
    QJsonArray json;
    for (const std::string_view name : names)
        json.append(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    return json;
}

QJsonObject recordOf(const DaCheckCommand &check, const CardSession &session, const Meter *meter,
                     const Outcome &outcome)
{
    QJsonObject card = describeCard(session.backend(), session.number(), session.base());
    QJsonObject report {
        {QStringLiteral("command"), QStringLiteral("da-check")},
        {QStringLiteral("status"), outcome.status},
        {QStringLiteral("complete"), outcome.figures.has_value()},
        {QStringLiteral("program"), QStringLiteral("qm5083-bench")},
        {QStringLiteral("version"), QStringLiteral(QM5083_VERSION)},
        {QStringLiteral("time"), timeWithZone()},
        {QStringLiteral("serial"), QString::fromStdString(check.serial)},
        {QStringLiteral("operator"), QString::fromStdString(check.operatorName)},
        {QStringLiteral("station"), QString::fromStdString(check.station)},
        {QStringLiteral("card"), card},
        {QStringLiteral("channel"), check.channel},
        {QStringLiteral("range"),
         QJsonObject {{QStringLiteral("low"), check.range.low},
                      {QStringLiteral("high"), check.range.high}}},
        {QStringLiteral("conventions"), conventionsJson(check)},
        {QStringLiteral("limits"), limitsJson(check.limits)},
        {QStringLiteral("average"), check.average},
        {QStringLiteral("settleMs"), check.settleMs},
    };
    if (meter)
        report[QStringLiteral("meter")] = meter->identity();
    report[QStringLiteral("verdict")] = verdictKey(outcome.verdict);
    if (!outcome.error.isEmpty())
        report[QStringLiteral("error")] = outcome.error;
    if (!outcome.endedBy.isEmpty())
        report[QStringLiteral("endedBy")] = outcome.endedBy;
    QJsonArray points;
    for (std::size_t i = 0; i < outcome.points.size(); ++i) {
        const DaPoint &point = outcome.points[i];
        const double ideal = scripting::idealVolts(point.code, check.range, check.lsb);
        const double lsbVolts = std::fabs(scripting::idealLsb(check.range, check.lsb));
        const double direction = check.range.high > check.range.low ? 1 : -1;
        QJsonObject json {
            {QStringLiteral("code"), codeText(point.code)},
            {QStringLiteral("ideal"), ideal},
            {QStringLiteral("reading"), point.volts},
            {QStringLiteral("errorLsb"), number((point.volts - ideal) * direction / lsbVolts)}};
        if (outcome.figures)
            json[QStringLiteral("inlLsb")] = number(outcome.figures->inl[i]);
        if (check.average > 1) {
            json[QStringLiteral("spread")] = point.spread;
            QJsonArray readings;
            for (const double reading : outcome.taken[i])
                readings.append(reading);
            json[QStringLiteral("readings")] = readings;
        }
        points.append(json);
    }
    report[QStringLiteral("points")] = points;
    if (outcome.figures) {
        QJsonArray steps;
        for (const scripting::DaStep &step : outcome.figures->steps)
            steps.append(QJsonObject {{QStringLiteral("codes"), pairText(step.code)},
                                      {QStringLiteral("dnl"), number(step.dnl)}});
        report[QStringLiteral("steps")] = steps;
        report[QStringLiteral("figures")] = figuresJson(*outcome.figures);
        report[QStringLiteral("verdicts")] = verdictsJson(outcome.verdicts);
        report[QStringLiteral("notJudged")] = namesJson(outcome.notJudged);
    }
    return report;
}

// ---- The answer as the operator reads it, in the operator's language

QStringList checkLines(const DaCheckCommand &check, const Meter &meter, const Outcome &outcome)
{
    const DaFigures &figures = *outcome.figures;
    const QString convention = check.lsb == scripting::LsbConvention::FullScaleRange
        ? tr("FSR/4096")
        : tr("(FS - ZS)/4095");
    const QString line = check.line == scripting::ReferenceLine::EndPoint ? tr("end-point line")
                                                                          : tr("best-fit line");
    QStringList lines {
        tr("DA%1 on %2 to %3 V: 1 LSB = %4 = %5 mV; figures against the %6, as IEEE Std "
           "1658-2011 defines them")
            .arg(check.channel)
            .arg(check.range.low)
            .arg(check.range.high)
            .arg(convention, fixed(std::fabs(figures.lsbVolts) * 1000, 6), line),
        tr("meter: %1").arg(meterText(meter.identity())),
        check.average > 1 ? tr("code  ideal V  reading V  error LSB  INL LSB  spread V")
                          : tr("code  ideal V  reading V  error LSB  INL LSB")};
    const double direction = check.range.high > check.range.low ? 1 : -1;
    for (std::size_t i = 0; i < outcome.points.size(); ++i) {
        const DaPoint &point = outcome.points[i];
        const double ideal = scripting::idealVolts(point.code, check.range, check.lsb);
        QString row = QStringLiteral("%1 %2 %3 %4 %5")
                          .arg(codeText(point.code), volts(ideal), volts(point.volts),
                               lsb((point.volts - ideal) * direction / std::fabs(figures.lsbVolts)),
                               lsb(figures.inl[i]));
        if (check.average > 1)
            row += QLatin1Char(' ') + volts(point.spread);
        lines << row;
    }
    // Runs of neighbouring pairs are shown by their ends: with --all, one run of 4095 pairs.
    QStringList pairs;
    for (std::size_t i = 0; i < figures.steps.size();) {
        std::size_t last = i;
        while (last + 1 < figures.steps.size()
               && figures.steps[last + 1].code == figures.steps[last].code + 1)
            ++last;
        pairs << (last == i ? pairText(figures.steps[i].code)
                            : tr("%1 to %2")
                                  .arg(pairText(figures.steps[i].code),
                                       pairText(figures.steps[last].code)));
        i = last + 1;
    }
    const auto pairCount = static_cast<qsizetype>(figures.steps.size());
    lines << tr("zero-code error: %1 V = %2 LSB")
                 .arg(volts(figures.zeroCode.volts), lsb(figures.zeroCode.lsb))
          << tr("full-scale error: %1 V = %2 LSB")
                 .arg(volts(figures.fullScale.volts), lsb(figures.fullScale.lsb))
          << tr("offset: %1 V = %2 LSB").arg(volts(figures.offset.volts), lsb(figures.offset.lsb))
          << tr("gain: %1 V = %2 LSB (%3 %)")
                 .arg(volts(figures.gain.volts), lsb(figures.gain.lsb),
                      fixed(figures.gainPercent, 3))
          << tr("inl: %1 LSB at code %2").arg(lsb(figures.worstInl), codeText(figures.worstInlCode))
          << (figures.worstDnl
                  ? tr("dnl: %1 LSB at %2, over %3 pairs of neighbouring codes: %4")
                        .arg(lsb(figures.worstDnl->dnl), pairText(figures.worstDnl->code))
                        .arg(pairCount)
                        .arg(pairs.join(QStringLiteral(", ")))
                  : tr("dnl: no pair of neighbouring codes was visited"))
          << (figures.monotonic
                  ? tr("monotonic: yes, no DNL below -1 LSB over %1 pairs").arg(pairCount)
                  : tr("monotonic: no, a DNL below -1 LSB"));
    QStringList judged;
    for (const DaVerdict &verdict : outcome.verdicts) {
        judged << figureName(verdict.figure);
        if (!verdict.limit)
            continue;
        lines << (verdict.within ? tr("%1 within +-%2 LSB") : tr("%1 beyond +-%2 LSB"))
                     .arg(figureName(verdict.figure))
                     .arg(*verdict.limit);
    }
    QStringList unjudged;
    for (const std::string_view figure : outcome.notJudged)
        unjudged << figureName(figure);
    if (!unjudged.isEmpty())
        lines << tr("not judged, without a limit: %1").arg(unjudged.join(QStringLiteral(", ")));
    lines << tr("verdict: %1, judged on %2")
                 .arg(verdictWord(outcome.verdict), judged.join(QStringLiteral(", ")));
    return lines;
}

// The codes, one a line (or as JSON), for a lab to see before it begins: nothing is touched.
int printPlan(const DaCheckCommand &check, const CommandLine &commandLine, std::FILE *out)
{
    QJsonArray plan;
    QStringList lines;
    for (const std::uint16_t code : check.plannedCodes()) {
        plan.append(codeText(code));
        lines << codeText(code);
    }
    if (commandLine.json)
        print(out,
              QString::fromUtf8(QJsonDocument(QJsonObject {{QStringLiteral("command"),
                                                            QStringLiteral("da-check")},
                                                           {QStringLiteral("status"), kDone},
                                                           {QStringLiteral("plan"), plan}})
                                    .toJson(QJsonDocument::Compact)));
    else
        printLines(out, lines);
    return kDone;
}

// Waits MS milliseconds for the output to settle, or less when asked to end.
void settle(int milliseconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!endingSignal() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

namespace {

// The steps' texts, at namespace scope so that the translation tools file them in tr()'s
// context, as the rest of the command's.
QString reportRefused(const QString &path, const QString &why)
{
    return tr("the report %1 cannot be written: %2").arg(path, why);
}

QString pictureRefused(const QString &path, const QString &why)
{
    return tr("the picture %1 cannot be written: %2").arg(path, why);
}

QString implausible(double reading, std::uint16_t code, const scripting::DaRange &range)
{
    return tr("the meter read %1 V at code %2, further outside %3 to %4 V than the range is wide; "
              "check the meter's range and its leads")
        .arg(reading)
        .arg(codeText(code))
        .arg(range.low)
        .arg(range.high);
}

QString leftAtZero(const QString &why, int channel)
{
    return tr("%1; DA%2 is left at code 0").arg(why, QString::number(channel));
}

QString endedBySignal(int signal, std::uint16_t code, int channel)
{
    return tr("the check was ended by %1 at code %2; DA%3 is left at code 0")
        .arg(signalName(signal), codeText(code))
        .arg(channel);
}

// Readings that do not follow the codes say nothing of the channel: what to check instead.
QString notFollowing(const std::vector<DaPoint> &points, const DaCheckCommand &check)
{
    const double ideal
        = scripting::idealVolts(scripting::kTopCode, check.range, check.lsb) - check.range.low;
    const double span = points.back().volts - points.front().volts;
    return tr("the readings do not follow the codes: from code 0 to FFF they moved %1 V, not "
              "about %2 V; check that the meter is on DA%3's output and reads DC volts")
        .arg(fixed(span, 6), fixed(ideal, 6))
        .arg(check.channel);
}

QString figuresNotNumbers(int channel)
{
    return tr("the readings give figures that are no numbers; check that the meter is on DA%1's "
              "output and reads DC volts")
        .arg(channel);
}

QString reportNotWritten(const QString &path, const QString &why)
{
    return tr("da-check ran, but its report %1 was not written: %2").arg(path, why);
}

QString pictureNotDrawn(const QString &path, const QString &why)
{
    return tr("da-check ran, but its picture %1 was not drawn: %2").arg(path, why);
}

QString commandStopped()
{
    return tr("The command stopped");
}

} // namespace

DaCheckSteps::DaCheckSteps(const DaCheckCommand &check, CardSession &session)
    : check_(check)
    , session_(session)
    , codes_(check.plannedCodes())
{ }

void DaCheckSteps::openTargets()
{
    // Each checked on its own, and the one refused named.
    const auto target
        = [](const std::string &file, QString (*refusal)(const QString &, const QString &)) {
              const QString path = QString::fromStdString(file);
              try {
                  return reportTarget(path);
              } catch (const reports::FileRefused &refused) {
                  throw CannotRun {refusal(path, refused.why)};
              }
          };
    report_ = target(check_.reportFile, reportRefused);
    plot_ = target(check_.plotFile, pictureRefused);
}

void DaCheckSteps::setCode(std::uint16_t code)
{
    // Each step is one operation; the card is free for others while the meter is read.
    const hardware::OperationScope operation(session_.recorder());
    scripting::writeDaCode(session_.card(), check_.channel, code);
    lastCode_ = code;
}

void DaCheckSteps::leaveAtZero()
{
    const hardware::OperationScope operation(session_.recorder());
    scripting::writeDaCode(session_.card(), check_.channel, 0);
}

void DaCheckSteps::checkPlausible(std::uint16_t code, double reading) const
{
    if (scripting::implausibleReading(reading, check_.range))
        throw MeterFailed {implausible(reading, code, check_.range)};
}

void DaCheckSteps::addPoint(std::uint16_t code, const std::vector<double> &taken)
{
    double sum = 0;
    for (const double reading : taken)
        sum += reading;
    const auto [least, most] = std::minmax_element(taken.begin(), taken.end());
    outcome_.points.push_back({code, sum / static_cast<double>(taken.size()), *most - *least,
                               static_cast<int>(taken.size())});
    outcome_.taken.push_back(taken);
}

void DaCheckSteps::measure(std::uint16_t code, Meter &meter)
{
    const auto endIfAsked = [&] {
        if (const int signal = endingSignal())
            throw CannotRun {endedBySignal(signal, code, check_.channel)};
    };
    setCode(code);
    settle(check_.settleMs);
    endIfAsked();
    std::vector<double> taken;
    for (int i = 0; i < check_.average; ++i) {
        taken.push_back(meter.read(code));
        endIfAsked();
        // An implausible reading ends the check at once, before the next is taken.
        checkPlausible(code, taken.back());
    }
    addPoint(code, taken);
}

void DaCheckSteps::finish()
{
    leaveAtZero();
    const DaFigures figures
        = scripting::daFigures(outcome_.points, check_.range, check_.lsb, check_.line);
    if (!scripting::readingsFollowTheCodes(outcome_.points, check_.range, check_.lsb))
        throw WiringFault {notFollowing(outcome_.points, check_)};
    if (!scripting::finiteFigures(figures))
        throw WiringFault {figuresNotNumbers(check_.channel)};
    outcome_.figures = figures;
    outcome_.verdicts = scripting::daVerdicts(figures, check_.limits);
    outcome_.notJudged = scripting::notJudged(check_.limits);
    const bool beyond = std::any_of(outcome_.verdicts.begin(), outcome_.verdicts.end(),
                                    [](const DaVerdict &verdict) { return !verdict.within; });
    outcome_.verdict = beyond        ? Verdict::Failed
        : outcome_.notJudged.empty() ? Verdict::Passed
                                     : Verdict::NotJudged;
    outcome_.status = verdictStatus(outcome_.verdict);
}

void DaCheckSteps::stopped(const std::exception_ptr &why)
{
    outcome_.figures.reset();
    outcome_.verdicts.clear();
    outcome_.notJudged.clear();
    QString reason;
    QString endedBy = QStringLiteral("card");
    try {
        std::rethrow_exception(why);
    } catch (const MeterFailed &failed) {
        reason = leftAtZero(failed.why, check_.channel);
        endedBy = QStringLiteral("meter");
    } catch (const WiringFault &fault) {
        reason = leftAtZero(fault.why, check_.channel);
        endedBy = QStringLiteral("wiring");
    } catch (const StoppedByOperator &stop) {
        reason = stop.why;
        endedBy = QStringLiteral("operator");
    } catch (...) {
        reason = reasonOf(std::current_exception());
    }
    const int signal = endingSignal();
    if (signal) {
        if (lastCode_)
            reason = endedBySignal(signal, *lastCode_, check_.channel);
        endedBy = signalName(signal);
    }
    outcome_.error = QStringLiteral("da-check: %1").arg(reason);
    // A check that never set a code could not run; one that began, or that a signal ended, says
    // why it did not end.
    outcome_.endedBy = lastCode_ || signal ? endedBy : QString();
    outcome_.verdict
        = signal || endedBy == QLatin1String("operator") ? Verdict::Stopped : Verdict::CouldNotRun;
    outcome_.status = verdictStatus(outcome_.verdict, signal);
}

QJsonObject DaCheckSteps::report(const Meter *meter) const
{
    return recordOf(check_, session_, meter, outcome_);
}

QStringList DaCheckSteps::lines(const Meter &meter) const
{
    return checkLines(check_, meter, outcome_);
}

int DaCheckSteps::file(const QJsonObject &json, const QString &commandText,
                       reports::SessionLog *sessionLog, QStringList &problems,
                       ResultsFiling *filing) const
{
    // Stored with its verdict however it ended, once it began.
    if (const auto notStored = storeResult(filing, json))
        problems << *notStored;
    int status = outcome_.status;
    QString why;
    QString filed;
    if (report_ && !report_->write(json, why)) {
        problems << reportNotWritten(report_->path(), why);
        status = kCannotRun;
    } else if (report_) {
        filed = report_->path();
    }
    if (plot_ && outcome_.figures
        && !plot_->writeBytes(reports::daCheckPicture(json, plot_->path()), why)) {
        problems << pictureNotDrawn(plot_->path(), why);
        status = kCannotRun;
    }
    if (sessionLog) {
        QJsonObject details {{QStringLiteral("status"), status},
                             {QStringLiteral("result"), resultOf(status)},
                             {QStringLiteral("verdict"), verdictKey(outcome_.verdict)},
                             {QStringLiteral("complete"), outcome_.figures.has_value()}};
        addWhatWasChecked(details, json, filed);
        if (!outcome_.endedBy.isEmpty())
            details[QStringLiteral("endedBy")] = outcome_.endedBy;
        if (outcome_.figures) {
            details[QStringLiteral("figures")] = json[QStringLiteral("figures")];
            details[QStringLiteral("verdicts")] = json[QStringLiteral("verdicts")];
            details[QStringLiteral("notJudged")] = json[QStringLiteral("notJudged")];
        }
        const reports::ErrorReport stopped {commandStopped(), outcome_.error, {}, {}};
        sessionLog->append(reports::operationLine({commandText,
                                                   {},
                                                   session_.recorder().accesses(),
                                                   outcome_.error.isEmpty() ? nullptr : &stopped,
                                                   true,
                                                   details}));
    }
    return status;
}

int runDaCheck(const DaCheckCommand &check, CardSession &session, const CommandLine &commandLine,
               std::istream &in, std::FILE *out, std::FILE *err, reports::SessionLog *sessionLog)
{
    if (check.plan) {
        recordDoneWithoutAccess(sessionLog, commandLine.commandText);
        return printPlan(check, commandLine, out);
    }
    session.recorder().clear();
    DaCheckSteps steps(check, session);
    const std::vector<std::uint16_t> &codes = steps.codes();
    std::unique_ptr<Meter> meter;
    std::unique_ptr<ResultsFiling> filing;
    try {
        // Where the result goes is checked before the check begins, as the report's place is.
        try {
            filing = resultsOpenerFor(commandLine)();
        } catch (const results::ResultsError &error) {
            throw CannotRun {error.message()};
        }
        steps.openTargets();
        meter = openMeter(check, session, static_cast<int>(codes.size()) * check.average, in, err);
        if (check.readings == DaCheckCommand::Readings::Terminal)
            print(err,
                  tr("Connect DA%1's output to the meter. The check visits %2 codes. The DA "
                     "writes also reload chip B's counters, so clock outputs 4, 7 and 10 "
                     "change while the check runs.")
                      .arg(check.channel)
                      .arg(codes.size()));
        try {
            for (const std::uint16_t code : codes)
                steps.measure(code, *meter);
        } catch (...) {
            steps.leaveAtZero();
            throw;
        }
        steps.finish();
    } catch (...) {
        // Ended by Ctrl-C or SIGTERM, with a signal's status; stopped by the operator, or it
        // could not run. What was read so far is kept in a report marked incomplete.
        steps.stopped(std::current_exception());
        printProblem(err, steps.outcome().error);
    }

    const QJsonObject json = steps.report(meter.get());
    if (commandLine.json)
        print(out, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    else if (steps.outcome().figures)
        printLines(out, steps.lines(*meter));
    QStringList problems;
    const int status
        = steps.file(json, commandLine.commandText, sessionLog, problems, filing.get());
    for (const QString &problem : problems)
        printProblem(err, problem);
    // Sent to the line's database once the verdict is given: a server away delays no verdict.
    if (filing)
        if (const auto notSent = filing->send())
            printProblem(err, *notSent);
    return status;
}

} // namespace qm5083::commands
