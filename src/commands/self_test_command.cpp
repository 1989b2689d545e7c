#include "self_test_command.h"

#include "backends.h"
#include "card_session.h"
#include "da_check_command.h"
#include "ending.h"
#include "error_report.h"
#include "meters.h"
#include "output_text.h"
#include "registers.h"
#include "report_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <sstream>

namespace qm5083::commands {

namespace {

constexpr std::array<selftest::SelfTestPart, 3> kEveryPart {
    selftest::SelfTestPart::Loopback, selftest::SelfTestPart::Counters, selftest::SelfTestPart::Da};

QString chipLetter(int chip)
{
    return QString(QLatin1Char(registers::chipLetter(chip)));
}

// ---- Step 1: the card, as the lines and the report name it

struct TestedCard
{
    std::uint16_t base = 0;
    QString description; // "card 1, simulated, base E000"
    QJsonObject json;
};

TestedCard findTestedCard(const CardChoice &card)
{
    const hardware::Backend &backend = *card.backend;
    TestedCard tested;
    tested.base = card.base ? *card.base : locatedBase(backend, card.number);
    const QString baseText = hex4(tested.base);
    tested.json[QStringLiteral("number")] = card.number;
    tested.json[QStringLiteral("base")] = baseText;
    switch (backend.kind) {
    case hardware::BackendKind::Simulated: {
        tested.description = tr("card %1, simulated, base %2").arg(card.number).arg(baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("simulated");
        tested.json[QStringLiteral("faults")] = faultTexts(card.faults, card.number);
        break;
    }
    case hardware::BackendKind::Pci: {
        const auto place = backend.locator->place(card.number);
        const QString address = place ? QString::fromStdString(place->address) : QString();
        const QString ids = place ? QString::fromStdString(place->ids) : QString();
        tested.description
            = tr("card %1, %2 (%3), base %4").arg(card.number).arg(address, ids, baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("pci");
        tested.json[QStringLiteral("address")] = address;
        tested.json[QStringLiteral("ids")] = ids;
        break;
    }
    }
    return tested;
}

// ---- Step 2: the test itself, and the DA channels measured with the meter

// What the meter found on one channel: measured (its figures and verdicts), ended on it (why),
// or not measured.
struct MeasuredChannel
{
    int channel = 0;
    bool reached = false; // its measuring began
    DaCheckOutcome outcome;
};

QString typedNeedsATerminal()
{
    return tr("readings typed at the terminal need the self-test command at a terminal; in the "
              "window, measure with the DA check");
}

// The self-test's DA check of each channel in turn, with one meter: the DA check's own steps on
// the channel at the major carries, judged against the self-test's limits. A meter that fails, or
// readings that do not follow the codes, end the measuring there: the other channels are not
// measured. A port failure is the card's: thrown on.
class DaMeasurement
{
public:
    DaMeasurement(const scripting::DaCheckCommand &check, CardSession &session)
        : check_(check)
        , session_(session)
    { }

    // Opens the meter before the test begins; throws CannotRun.
    void open(const Terminal &terminal)
    {
        if (check_.readings == scripting::DaCheckCommand::Readings::Terminal && !terminal.in)
            throw CannotRun {typedNeedsATerminal()};
        const auto readings = static_cast<int>(check_.plannedCodes().size()) * check_.average
            * registers::kDaChannelCount;
        meter_ = openMeter(check_, session_, readings, terminal.in ? *terminal.in : noInput_,
                           terminal.prompts ? terminal.prompts : stderr);
    }

    std::vector<std::uint16_t> measure(int channel)
    {
        MeasuredChannel measured {channel, !ended_, {}};
        if (ended_) {
            channels_.push_back(measured);
            return {};
        }
        check_.channel = channel; // the meter reads the channel the check names
        DaCheckSteps steps(check_, session_);
        try {
            try {
                for (const std::uint16_t code : steps.codes())
                    steps.measure(code, *meter_);
            } catch (...) {
                steps.leaveAtZero();
                throw;
            }
            steps.finish();
        } catch (...) {
            if (!endsTheMeasuring(std::current_exception()))
                throw;
            steps.stopped(std::current_exception());
            ended_ = true;
        }
        measured.outcome = steps.outcome();
        // Said as the self-test's own, not as the da-check command's.
        measured.outcome.error.remove(QRegularExpression(QStringLiteral("^da-check: ")));
        channels_.push_back(measured);
        std::vector<std::uint16_t> codes;
        for (const scripting::DaPoint &point : measured.outcome.points)
            codes.push_back(point.code);
        return codes;
    }

    const std::vector<MeasuredChannel> &channels() const { return channels_; }
    const Meter *meter() const { return meter_.get(); }
    const scripting::DaCheckCommand &check() const { return check_; }

private:
    // The meter's, the wiring's, the operator's or a signal's end; not the card's.
    static bool endsTheMeasuring(const std::exception_ptr &why)
    {
        try {
            std::rethrow_exception(why);
        } catch (const MeterFailed &) {
        } catch (const WiringFault &) {
        } catch (const StoppedByOperator &) {
        } catch (const CannotRun &) {
        } catch (...) {
            return false;
        }
        return true;
    }

    scripting::DaCheckCommand check_;
    CardSession &session_;
    std::istringstream noInput_;
    std::unique_ptr<Meter> meter_;
    std::vector<MeasuredChannel> channels_;
    bool ended_ = false;
};

selftest::SelfTestResult runTest(hardware::PortAccess &port, const TestedCard &tested,
                                 const selftest::Wait &wait,
                                 const std::vector<selftest::SelfTestPart> &skip,
                                 const selftest::PartDone &done, DaMeasurement *measurement,
                                 std::exception_ptr &failure)
{
    try {
        selftest::DaMeasure measure;
        if (measurement)
            measure = [measurement](int channel) {
                return measurement->measure(channel);
            };
        return selftest::runSelfTest(
            port, tested.base, wait, skip, [] { return endingSignal() != 0; }, done, measure);
    } catch (...) {
        failure = std::current_exception();
        throw CannotRun {reports::failureSentence(failure)};
    }
}

// ---- Step 3: one line per check, and each check as JSON

QString problemText(const selftest::CounterProblem &problem)
{
    switch (problem.kind) {
    case selftest::CounterProblem::Kind::Status:
        return tr("counter %1 reads back status bits %2, not the %3 written")
            .arg(problem.counter)
            .arg(hex2(problem.actual), hex2(problem.expected));
    case selftest::CounterProblem::Kind::Count:
        return tr("counter %1 holds %2, outside the count loaded (1 to %3)")
            .arg(problem.counter)
            .arg(hex4(problem.actual), hex4(problem.expected));
    case selftest::CounterProblem::Kind::Stopped:
        return tr("counter %1 does not count (it stays at %2)")
            .arg(problem.counter)
            .arg(hex4(problem.actual));
    case selftest::CounterProblem::Kind::NoClock:
        return tr("no clock reached counter %1 (its count was never loaded)").arg(problem.counter);
    }
    return {};
}

QString uncheckedText(int counter, selftest::CountingUnchecked why)
{
    switch (why) {
    case selftest::CountingUnchecked::ClockUnknown:
        return tr("counter %1: counting not checked, its clock input is not known").arg(counter);
    case selftest::CountingUnchecked::NoBaseClock:
        return tr("counting not checked: no base clock, as chip A is absent");
    }
    return {};
}

// A problem for a station's records: a code and fields that stay the same in every locale, and
// the text in the operator's.
QJsonObject problemJson(int chip, const selftest::CounterProblem &problem)
{
    QString code;
    bool statusBits = false;
    switch (problem.kind) {
    case selftest::CounterProblem::Kind::Status:
        code = QStringLiteral("status");
        statusBits = true;
        break;
    case selftest::CounterProblem::Kind::Count:
        code = QStringLiteral("count");
        break;
    case selftest::CounterProblem::Kind::Stopped:
        code = QStringLiteral("stopped");
        break;
    case selftest::CounterProblem::Kind::NoClock:
        code = QStringLiteral("no-clock");
        break;
    }
    const auto shown = [statusBits](unsigned value) {
        return statusBits ? hex2(value) : hex4(value);
    };
    return {{QStringLiteral("code"), code},
            {QStringLiteral("chip"), chipLetter(chip)},
            {QStringLiteral("counter"), problem.counter},
            {QStringLiteral("expected"), shown(problem.expected)},
            {QStringLiteral("read"), shown(problem.actual)},
            {QStringLiteral("text"), problemText(problem)}};
}

struct CheckOutcome
{
    QString line;
    QJsonObject json;
    bool counted = true; // one of the checks that pass or fail
    bool passed = false;
};

CheckOutcome loopbackCheck(const selftest::LoopbackResult &group)
{
    const QString name = tr("digital loopback, group %1").arg(group.group);
    QJsonArray bits;
    QStringList failures;
    for (const selftest::BitFailure &failure : group.failures) {
        failures << tr("bit %1 wrote %2, read %3 (group wrote %4, read %5)")
                        .arg(failure.bit)
                        .arg(failure.wrote ? 1 : 0)
                        .arg(failure.read ? 1 : 0)
                        .arg(hex2(failure.byteWritten), hex2(failure.byteRead));
        bits.append(QJsonObject {{QStringLiteral("group"), failure.group},
                                 {QStringLiteral("bit"), failure.bit},
                                 {QStringLiteral("wrote"), failure.wrote ? 1 : 0},
                                 {QStringLiteral("read"), failure.read ? 1 : 0},
                                 {QStringLiteral("byteWritten"), hex2(failure.byteWritten)},
                                 {QStringLiteral("byteRead"), hex2(failure.byteRead)}});
    }
    CheckOutcome outcome;
    outcome.passed = group.passed();
    outcome.line = outcome.passed
        ? tr("PASS   %1").arg(name)
        : tr("FAIL   %1: %2").arg(name, failures.join(QStringLiteral("; ")));
    outcome.json = {{QStringLiteral("check"), QStringLiteral("loopback")},
                    {QStringLiteral("group"), group.group},
                    {QStringLiteral("result"), outcome.passed ? "pass" : "fail"},
                    {QStringLiteral("failingBits"), bits}};
    return outcome;
}

CheckOutcome counterCheck(const selftest::ChipResult &chip)
{
    const QString name = tr("counter chip %1").arg(chipLetter(chip.chip));
    QJsonArray problems;
    QStringList texts;
    for (const selftest::CounterProblem &problem : chip.problems) {
        texts << problemText(problem);
        problems.append(problemJson(chip.chip, problem));
    }
    QStringList notes;
    QJsonArray unchecked;
    for (const auto &[counter, why] : chip.countingUnchecked) {
        if (!notes.contains(uncheckedText(counter, why)))
            notes << uncheckedText(counter, why);
        unchecked.append(QJsonObject {{QStringLiteral("counter"), counter},
                                      {QStringLiteral("why"),
                                       why == selftest::CountingUnchecked::ClockUnknown
                                           ? QStringLiteral("clock-unknown")
                                           : QStringLiteral("no-base-clock")}});
    }
    const QString noted = notes.isEmpty()
        ? QString()
        : QStringLiteral(" (%1)").arg(notes.join(QStringLiteral("; ")));
    CheckOutcome outcome;
    outcome.passed = chip.passed();
    QString result = QStringLiteral("pass");
    if (chip.absent) {
        result = QStringLiteral("absent");
        outcome.line = tr("ABSENT %1: %2").arg(name, tr("its ports read FF"));
    } else if (outcome.passed) {
        outcome.line = tr("PASS   %1%2").arg(name, noted);
    } else {
        result = QStringLiteral("fail");
        outcome.line = tr("FAIL   %1: %2%3").arg(name, texts.join(QStringLiteral("; ")), noted);
    }
    outcome.json = {{QStringLiteral("check"), QStringLiteral("counters")},
                    {QStringLiteral("chip"), chipLetter(chip.chip)},
                    {QStringLiteral("result"), result},
                    {QStringLiteral("problems"), problems},
                    {QStringLiteral("countingNotChecked"), unchecked}};
    return outcome;
}

CheckOutcome notMeasuredCheck(const selftest::DaStep &step)
{
    QStringList codes;
    QJsonArray json;
    for (const std::uint16_t code : step.codes) {
        codes << codeText(code);
        json.append(codeText(code));
    }
    CheckOutcome outcome;
    outcome.counted = false; // the program cannot tell: a meter does
    outcome.line = tr("CHECK  DA%1: %2")
                       .arg(step.channel)
                       .arg(tr("not measured, as no meter was set (--meter): codes %1 written, "
                               "which cannot be read back. With a meter on the channel, type each "
                               "in DA%2 and press DA 输出: 0 gives the bottom of its range, 800 "
                               "the middle, FFF the top.")
                                .arg(codes.join(QStringLiteral(", ")))
                                .arg(step.channel));
    outcome.json = {{QStringLiteral("check"), QStringLiteral("da")},
                    {QStringLiteral("channel"), step.channel},
                    {QStringLiteral("result"), QStringLiteral("not measured")},
                    {QStringLiteral("why"), QStringLiteral("no meter")},
                    {QStringLiteral("codes"), json}};
    return outcome;
}

QString daFigureName(std::string_view figure)
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

QString lsbText(double value)
{
    return QString::number(std::round(value * 100) / 100 + 0.0, 'f', 2);
}

// A channel the meter measured: its figures and whether they are within the self-test's limits;
// or, when the measuring ended on it or before it, why.
CheckOutcome measuredCheck(const MeasuredChannel &measured)
{
    const DaCheckOutcome &outcome = measured.outcome;
    CheckOutcome check;
    QJsonArray codes;
    QJsonArray readings;
    for (const scripting::DaPoint &point : outcome.points) {
        codes.append(codeText(point.code));
        readings.append(point.volts);
    }
    check.json = {{QStringLiteral("check"), QStringLiteral("da")},
                  {QStringLiteral("channel"), measured.channel},
                  {QStringLiteral("codes"), codes},
                  {QStringLiteral("readings"), readings}};
    if (!outcome.figures) {
        check.counted = false;
        check.json[QStringLiteral("result")] = measured.reached && !outcome.error.isEmpty()
            ? QStringLiteral("could not run")
            : QStringLiteral("not measured");
        if (!measured.reached) {
            check.json[QStringLiteral("why")] = QStringLiteral("measuring ended");
            check.line = tr("CHECK  DA%1: not measured, as the measuring ended before it")
                             .arg(measured.channel);
        } else {
            check.json[QStringLiteral("error")] = outcome.error;
            check.line = outcome.verdict == Verdict::Stopped
                ? tr("CHECK  DA%1: not measured: %2").arg(measured.channel).arg(outcome.error)
                : tr("METER  DA%1: %2").arg(measured.channel).arg(outcome.error);
        }
        return check;
    }
    const scripting::DaFigures &figures = *outcome.figures;
    const double dnl = figures.worstDnl ? figures.worstDnl->dnl : 0;
    check.json[QStringLiteral("figures")]
        = QJsonObject {{QStringLiteral("offsetLsb"), figures.offset.lsb},
                       {QStringLiteral("gainLsb"), figures.gain.lsb},
                       {QStringLiteral("inlLsb"), figures.worstInl},
                       {QStringLiteral("dnlLsb"), dnl},
                       {QStringLiteral("monotonic"), figures.monotonic}};
    QStringList beyond;
    QJsonArray beyondJson;
    for (const scripting::DaVerdict &verdict : outcome.verdicts) {
        if (verdict.within)
            continue;
        beyondJson.append(QString::fromLatin1(verdict.figure.data(),
                                              static_cast<qsizetype>(verdict.figure.size())));
        beyond << (verdict.limit ? tr("%1 %2 LSB beyond +-%3 LSB")
                                       .arg(daFigureName(verdict.figure), lsbText(verdict.value))
                                       .arg(*verdict.limit)
                                 : tr("not monotonic (a DNL below -1 LSB)"));
    }
    check.passed = outcome.verdict == Verdict::Passed;
    check.json[QStringLiteral("result")] = check.passed ? "pass" : "fail";
    check.json[QStringLiteral("beyond")] = beyondJson;
    const QString shown = tr("offset %1, gain %2, inl %3, dnl %4 LSB over %5 codes")
                              .arg(lsbText(figures.offset.lsb), lsbText(figures.gain.lsb),
                                   lsbText(figures.worstInl), lsbText(dnl))
                              .arg(outcome.points.size());
    check.line = check.passed ? tr("PASS   DA%1: %2").arg(measured.channel).arg(shown)
                              : tr("FAIL   DA%1: %2; %3")
                                    .arg(measured.channel)
                                    .arg(beyond.join(QStringLiteral("; ")), shown);
    return check;
}

// The checks of one part, in the order the lines give them.
void appendChecksOf(selftest::SelfTestPart part, const selftest::SelfTestResult &result,
                    const DaMeasurement *measurement, std::vector<CheckOutcome> &checks)
{
    switch (part) {
    case selftest::SelfTestPart::Loopback:
        for (const selftest::LoopbackResult &group : result.loopback)
            checks.push_back(loopbackCheck(group));
        break;
    case selftest::SelfTestPart::Counters:
        for (const selftest::ChipResult &chip : result.chips)
            checks.push_back(counterCheck(chip));
        break;
    case selftest::SelfTestPart::Da:
        if (measurement)
            for (const MeasuredChannel &measured : measurement->channels())
                checks.push_back(measuredCheck(measured));
        else
            for (const selftest::DaStep &step : result.daSteps)
                checks.push_back(notMeasuredCheck(step));
        break;
    }
}

std::vector<CheckOutcome> checksOf(const selftest::SelfTestResult &result,
                                   const DaMeasurement *measurement)
{
    std::vector<CheckOutcome> checks;
    for (const selftest::SelfTestPart part :
         {selftest::SelfTestPart::Loopback, selftest::SelfTestPart::Counters,
          selftest::SelfTestPart::Da})
        if (result.ran(part))
            appendChecksOf(part, result, measurement, checks);
    return checks;
}

QString partName(selftest::SelfTestPart part)
{
    switch (part) {
    case selftest::SelfTestPart::Loopback:
        return QStringLiteral("loopback");
    case selftest::SelfTestPart::Counters:
        return QStringLiteral("counters");
    case selftest::SelfTestPart::Da:
        return QStringLiteral("da");
    }
    return {};
}

// ---- Step 4: the verdict, and the summary

// A part not tested, and why: skipped, no meter, the measuring ended, stopped by the operator.
struct NotTested
{
    selftest::SelfTestPart part;
    QString why; // "skipped", "no meter", "meter failed", "stopped"
};

// What the test came to: the verdict, what was not tested, and why it has no verdict when it
// has none.
struct Judgement
{
    Verdict verdict = Verdict::CouldNotRun;
    std::vector<NotTested> notTested;
    QString error;
};

Judgement judge(const selftest::SelfTestResult &result, const std::vector<CheckOutcome> &checks,
                const DaMeasurement *measurement)
{
    Judgement judgement;
    for (const selftest::SelfTestPart part : result.skipped)
        judgement.notTested.push_back({part, QStringLiteral("skipped")});
    bool meterFailed = false;
    bool stopped = false;
    if (result.ran(selftest::SelfTestPart::Da)) {
        if (!measurement) {
            judgement.notTested.push_back({selftest::SelfTestPart::Da, QStringLiteral("no meter")});
        } else {
            for (const MeasuredChannel &measured : measurement->channels()) {
                if (measured.outcome.error.isEmpty())
                    continue;
                stopped = measured.outcome.verdict == Verdict::Stopped;
                meterFailed = !stopped;
                judgement.error = measured.outcome.error;
                judgement.notTested.push_back(
                    {selftest::SelfTestPart::Da,
                     stopped ? QStringLiteral("stopped") : QStringLiteral("meter failed")});
            }
        }
    }
    const bool failed = std::any_of(checks.begin(), checks.end(), [](const CheckOutcome &check) {
        return check.counted && !check.passed;
    });
    if (failed)
        judgement.verdict = Verdict::Failed;
    else if (meterFailed)
        judgement.verdict = Verdict::CouldNotRun;
    else if (stopped)
        judgement.verdict = Verdict::Stopped;
    else if (!judgement.notTested.empty())
        judgement.verdict = Verdict::Incomplete;
    else
        judgement.verdict = Verdict::Passed;
    // A failure found is the verdict; what could not be measured is said beside it.
    if (failed)
        judgement.error.clear();
    return judgement;
}

QString notTestedText(const NotTested &part)
{
    QString why;
    if (part.why == QLatin1String("skipped"))
        why = tr("skipped");
    else if (part.why == QLatin1String("no meter"))
        why = tr("no meter was set");
    else if (part.why == QLatin1String("stopped"))
        why = tr("stopped");
    else
        why = tr("the meter or its wiring failed");
    return tr("%1 (%2)").arg(partName(part.part), why);
}

QJsonArray notTestedJson(const std::vector<NotTested> &notTested)
{
    QJsonArray json;
    for (const NotTested &part : notTested)
        json.append(QJsonObject {{QStringLiteral("part"), partName(part.part)},
                                 {QStringLiteral("why"), part.why}});
    return json;
}

QString summary(const TestedCard &tested, const std::vector<CheckOutcome> &checks,
                const Judgement &judgement)
{
    const auto counted = std::count_if(checks.begin(), checks.end(),
                                       [](const CheckOutcome &check) { return check.counted; });
    const auto passed = std::count_if(checks.begin(), checks.end(),
                                      [](const CheckOutcome &check) { return check.passed; });
    const QString leftAs = tr("The card is left with outputs 00, DA codes 0 and the clock outputs "
                              "at k %1, n %2.")
                               .arg(selftest::kFinalBaseDivider)
                               .arg(selftest::kFinalOutputDivider);
    QStringList left;
    for (const NotTested &part : judgement.notTested)
        left << notTestedText(part);
    const QString notTestedLine = left.isEmpty()
        ? QString()
        : QLatin1Char(' ') + tr("Not tested: %1.").arg(left.join(QStringLiteral(", ")));
    return tr("Self-test of %1: %2 of %3 checks passed.%4 Verdict: %5. %6")
        .arg(tested.description, QString::number(passed), QString::number(counted), notTestedLine,
             verdictWord(judgement.verdict), leftAs);
}

// ---- Step 5: the JSON report, written whole or not at all

// The report's head, the same keys as every command's answer: command, status and, when it did
// not run, error; then the station's facts.
QJsonObject reportOf(const SelfTestSettings &settings, int status, const QString &error = {})
{
    QJsonArray skipped;
    for (const selftest::SelfTestPart part : settings.skip)
        skipped.append(partName(part));
    QJsonObject report {
        {QStringLiteral("command"), QStringLiteral("self-test")},
        {QStringLiteral("status"), status},
        {QStringLiteral("program"), QStringLiteral("qm5083-bench")},
        {QStringLiteral("version"), QStringLiteral(QM5083_VERSION)},
        {QStringLiteral("time"), timeWithZone()},
        {QStringLiteral("serial"), settings.serial},
        {QStringLiteral("operator"), settings.operatorName},
        {QStringLiteral("station"), settings.station},
        {QStringLiteral("skipped"), skipped},
        {QStringLiteral("complete"), false},
    };
    if (!error.isEmpty())
        report[QStringLiteral("error")] = error;
    return report;
}

QJsonObject testedReport(const SelfTestSettings &settings, const TestedCard &tested,
                         const std::vector<CheckOutcome> &checks, const Judgement &judgement,
                         const DaMeasurement *measurement)
{
    QJsonObject report = reportOf(settings, verdictStatus(judgement.verdict), judgement.error);
    QJsonArray checksJson;
    for (const CheckOutcome &check : checks)
        checksJson.append(check.json);
    report[QStringLiteral("card")] = tested.json;
    if (measurement && measurement->meter()) {
        QJsonObject meter = measurement->meter()->identity();
        report[QStringLiteral("meter")] = meter;
        report[QStringLiteral("daRange")]
            = QJsonObject {{QStringLiteral("low"), measurement->check().range.low},
                           {QStringLiteral("high"), measurement->check().range.high}};
    }
    report[QStringLiteral("checks")] = checksJson;
    report[QStringLiteral("verdict")] = verdictKey(judgement.verdict);
    report[QStringLiteral("passed")] = judgement.verdict == Verdict::Passed;
    report[QStringLiteral("complete")] = judgement.notTested.empty();
    report[QStringLiteral("notTested")] = notTestedJson(judgement.notTested);
    report[QStringLiteral("leftWith")]
        = QJsonObject {{QStringLiteral("outputs"), QStringLiteral("00")},
                       {QStringLiteral("daCodes"), QStringLiteral("0")},
                       {QStringLiteral("baseDivider"), int(selftest::kFinalBaseDivider)},
                       {QStringLiteral("outputDivider"), int(selftest::kFinalOutputDivider)}};
    return report;
}

// What the session record keeps of a test: its verdict and what it rests on, the checks passed
// of all and each problem's code, what was not tested, and which card, serial, report and
// process it was.
QJsonObject recordOf(const std::vector<CheckOutcome> &checks, const Judgement &judgement,
                     int status, const QJsonObject &report, const QString &filedAs)
{
    QJsonArray problems;
    int counted = 0;
    int passed = 0;
    for (const CheckOutcome &check : checks) {
        counted += check.counted ? 1 : 0;
        passed += check.passed ? 1 : 0;
        for (const QJsonValue bit : check.json[QStringLiteral("failingBits")].toArray())
            problems.append(QJsonObject {{QStringLiteral("code"), QStringLiteral("loopback")},
                                         {QStringLiteral("group"), bit[QStringLiteral("group")]},
                                         {QStringLiteral("bit"), bit[QStringLiteral("bit")]}});
        for (const QJsonValue problem : check.json[QStringLiteral("problems")].toArray())
            problems.append(
                QJsonObject {{QStringLiteral("code"), problem[QStringLiteral("code")]},
                             {QStringLiteral("chip"), problem[QStringLiteral("chip")]},
                             {QStringLiteral("counter"), problem[QStringLiteral("counter")]}});
        if (check.json[QStringLiteral("result")] == QStringLiteral("absent"))
            problems.append(
                QJsonObject {{QStringLiteral("code"), QStringLiteral("absent")},
                             {QStringLiteral("chip"), check.json[QStringLiteral("chip")]}});
        for (const QJsonValue figure : check.json[QStringLiteral("beyond")].toArray())
            problems.append(
                QJsonObject {{QStringLiteral("code"), QStringLiteral("da")},
                             {QStringLiteral("channel"), check.json[QStringLiteral("channel")]},
                             {QStringLiteral("figure"), figure}});
    }
    QJsonObject record {
        {QStringLiteral("status"), status},
        {QStringLiteral("result"), resultOf(status)},
        // The test's own verdict, whether or not its report could be filed.
        {QStringLiteral("verdict"), verdictKey(judgement.verdict)},
        {QStringLiteral("complete"), judgement.notTested.empty()},
        {QStringLiteral("notTested"), notTestedJson(judgement.notTested)},
        {QStringLiteral("checks"),
         QJsonObject {{QStringLiteral("passed"), passed}, {QStringLiteral("of"), counted}}},
        {QStringLiteral("problems"), problems}};
    addWhatWasChecked(record, report, filedAs);
    return record;
}

// The one answer on standard output: the report as JSON, or the lines.
void answer(const CommandLine &commandLine, const QJsonObject &report, const QStringList &lines,
            std::FILE *out)
{
    if (commandLine.json)
        print(out, QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Compact)));
    else
        printLines(out, lines);
}

// A test that reached no verdict: why, the same on every path (standard error, the report, the
// JSON answer, the record), and the status. card names the card in the record when the report
// does not.
SelfTestRun notRun(Verdict verdict, int status, const QString &why, QJsonObject report,
                   const QStringList &lines, const std::optional<ReportTarget> &target,
                   reports::SessionLog *sessionLog,
                   const std::vector<hardware::RecordedAccess> &accesses,
                   const QJsonObject &card = {})
{
    SelfTestRun run;
    run.status = status;
    run.verdict = verdict;
    run.problems << why;
    report[QStringLiteral("status")] = status;
    report[QStringLiteral("error")] = why;
    report[QStringLiteral("verdict")] = verdictKey(verdict);
    report[QStringLiteral("complete")] = false;
    QString failure;
    if (target && !target->write(report, failure))
        run.problems << tr("its report %1 was not written either: %2").arg(target->path(), failure);
    else
        run.reportFiled = target.has_value();
    if (sessionLog) {
        const reports::ErrorReport stopped {tr("The self-test stopped"), why, {}, {}};
        QJsonObject details {{QStringLiteral("status"), status},
                             {QStringLiteral("result"), resultOf(status)},
                             {QStringLiteral("verdict"), verdictKey(verdict)},
                             {QStringLiteral("complete"), false}};
        if (report.contains(QStringLiteral("endedBy")))
            details[QStringLiteral("endedBy")] = report[QStringLiteral("endedBy")];
        addWhatWasChecked(details, report, run.reportFiled ? target->path() : QString());
        if (!details.contains(QStringLiteral("card")) && !card.isEmpty())
            details[QStringLiteral("card")] = card;
        sessionLog->append(reports::operationLine(
            {QStringLiteral("self-test"), {}, accesses, &stopped, true, details}));
    }
    run.answer = report;
    run.lines = lines;
    return run;
}

QString nothingToTest()
{
    return tr("there is nothing to test: loopback, counters and da are all skipped");
}

} // namespace

SelfTestRun refusedReport(const SelfTestSettings &settings, const reports::FileRefused &refused,
                          reports::SessionLog *sessionLog)
{
    return notRun(Verdict::CouldNotRun, kCannotRun,
                  tr("the report %1 cannot be written: %2; the self-test did not run")
                      .arg(settings.reportFile, refused.why),
                  reportOf(settings, kCannotRun), {}, std::nullopt, sessionLog, {});
}

namespace {

SelfTestRun runUnfiled(const SelfTestSettings &settings, const CardChoice &card,
                       hardware::AccessRecorder &port, const std::optional<ReportTarget> &target,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog,
                       const CheckShownTo &shown, const Terminal &terminal)
{
    std::exception_ptr failure;
    try {
        if (std::all_of(kEveryPart.begin(), kEveryPart.end(), [&](selftest::SelfTestPart part) {
                return std::find(settings.skip.begin(), settings.skip.end(), part)
                    != settings.skip.end();
            }))
            throw CannotRun {nothingToTest()};
        const TestedCard tested = findTestedCard(card);
        CardChoice chosen = card;
        chosen.base = tested.base;
        CardSession session(chosen, &port);
        std::optional<DaMeasurement> measurement;
        const bool daTested
            = std::find(settings.skip.begin(), settings.skip.end(), selftest::SelfTestPart::Da)
            == settings.skip.end();
        if (settings.daMeter && daTested) {
            measurement.emplace(*settings.daMeter, session);
            measurement->open(terminal);
        }
        const DaMeasurement *measured = measurement ? &*measurement : nullptr;
        std::vector<CheckOutcome> shownSoFar;
        const selftest::PartDone done
            = [&](selftest::SelfTestPart part, const selftest::SelfTestResult &soFar) {
                  if (!shown)
                      return;
                  const std::size_t before = shownSoFar.size();
                  appendChecksOf(part, soFar, measured, shownSoFar);
                  for (std::size_t i = before; i < shownSoFar.size(); ++i)
                      shown({shownSoFar[i].line, shownSoFar[i].counted, shownSoFar[i].passed,
                             shownSoFar[i].json});
              };
        const selftest::SelfTestResult result
            = runTest(port, tested, wait, settings.skip, done,
                      measurement ? &*measurement : nullptr, failure);
        const std::vector<CheckOutcome> checks = checksOf(result, measured);
        QStringList lines;
        for (const CheckOutcome &check : checks)
            lines << check.line;
        if (const int signal = endingSignal()) {
            // Ctrl-C or SIGTERM: the checks made so far, the card as the test always leaves it.
            QJsonObject report = reportOf(settings, signalStatus(signal));
            report[QStringLiteral("card")] = tested.json;
            QJsonArray made;
            for (const CheckOutcome &check : checks)
                made.append(check.json);
            report[QStringLiteral("checks")] = made;
            report[QStringLiteral("endedBy")] = signalName(signal);
            return notRun(Verdict::Stopped, signalStatus(signal),
                          tr("the self-test ended by %1 after %2 checks; the card is left with "
                             "outputs 00, DA codes 0 and the clock outputs at k %3, n %4")
                              .arg(signalName(signal))
                              .arg(checks.size())
                              .arg(selftest::kFinalBaseDivider)
                              .arg(selftest::kFinalOutputDivider),
                          report, lines, target, sessionLog, port.accesses());
        }
        const Judgement judgement = judge(result, checks, measured);
        const int status = verdictStatus(judgement.verdict);
        const QJsonObject report = testedReport(settings, tested, checks, judgement, measured);
        SelfTestRun run;
        run.verdict = judgement.verdict;
        QStringList notTested;
        for (const NotTested &part : judgement.notTested)
            notTested << notTestedText(part);
        run.notTested = notTested.join(QStringLiteral(", "));
        run.lines = lines << summary(tested, checks, judgement);
        if (!judgement.error.isEmpty())
            run.problems << judgement.error;
        QString why;
        if (target && !target->write(report, why)) {
            // The test ran, but what a station files is missing: the answer says so.
            QJsonObject answered = report;
            answered[QStringLiteral("status")] = kCannotRun;
            answered[QStringLiteral("error")]
                = tr("the self-test ran, but its report %1 was not written: %2")
                      .arg(target->path(), why);
            run.problems << answered[QStringLiteral("error")].toString();
            if (sessionLog)
                sessionLog->append(reports::operationLine(
                    {QStringLiteral("self-test"),
                     {},
                     port.accesses(),
                     nullptr,
                     true,
                     recordOf(checks, judgement, kCannotRun, report, QString())}));
            run.status = kCannotRun;
            run.answer = answered;
            return run;
        }
        if (sessionLog)
            sessionLog->append(
                reports::operationLine({QStringLiteral("self-test"),
                                        {},
                                        port.accesses(),
                                        nullptr,
                                        true,
                                        recordOf(checks, judgement, status, report,
                                                 target ? target->path() : QString())}));
        run.status = status;
        run.answer = report;
        run.reportFiled = target.has_value();
        return run;
    } catch (const CannotRun &cannot) {
        SelfTestRun run = notRun(
            Verdict::CouldNotRun, kCannotRun, tr("the self-test cannot run: %1").arg(cannot.why),
            reportOf(settings, kCannotRun), {}, target, sessionLog, port.accesses(),
            describeCard(*card.backend, card.number, card.base));
        run.failure = failure;
        return run;
    }
}

} // namespace

SelfTestRun runSelfTestOnCard(const SelfTestSettings &settings, const CardChoice &card,
                              hardware::AccessRecorder &port,
                              const std::optional<ReportTarget> &target, const selftest::Wait &wait,
                              reports::SessionLog *sessionLog, const CheckShownTo &shown,
                              const Terminal &terminal, ResultsFiling *filing)
{
    if (filing)
        filing->started();
    SelfTestRun run = runUnfiled(settings, card, port, target, wait, sessionLog, shown, terminal);
    // Every test that began is stored with its verdict, a pass, a failure or why it could not
    // run or was stopped.
    if (const auto notStored = storeResult(filing, run.answer))
        run.problems << *notStored;
    return run;
}

SelfTestRun refusedResults(const SelfTestSettings &settings, const QString &why,
                           reports::SessionLog *sessionLog)
{
    return notRun(Verdict::CouldNotRun, kCannotRun, tr("%1; the self-test did not run").arg(why),
                  reportOf(settings, kCannotRun), {}, std::nullopt, sessionLog, {});
}

int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog,
                       std::istream &in)
{
    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    recordSessionStart(sessionLog, commandLine, backend);
    hardware::AccessRecorder port(backend.port());
    std::unique_ptr<ResultsFiling> filing;
    const SelfTestRun run = [&] {
        std::optional<ReportTarget> target;
        try {
            target = reportTarget(commandLine.selfTest.reportFile);
        } catch (const reports::FileRefused &refused) {
            return refusedReport(commandLine.selfTest, refused, sessionLog);
        }
        // Where the result goes is checked before the test, as the report's place is.
        try {
            filing = resultsOpenerFor(commandLine)();
        } catch (const results::ResultsError &error) {
            return refusedResults(commandLine.selfTest, error.message(), sessionLog);
        }
        return runSelfTestOnCard(commandLine.selfTest, cardOf(commandLine, backend), port, target,
                                 wait, sessionLog, {}, {&in, err}, filing.get());
    }();
    for (const QString &problem : run.problems)
        printProblem(err, problem);
    answer(commandLine, run.answer, run.lines, out);
    // Sent to the line's database once the verdict is given: a server away delays no verdict.
    if (filing)
        if (const auto notSent = filing->send())
            printProblem(err, *notSent);
    return run.status;
}

} // namespace qm5083::commands
