#include "self_test_command.h"

#include "backends.h"
#include "card_session.h"
#include "ending.h"
#include "error_report.h"
#include "output_text.h"
#include "registers.h"
#include "report_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qm5083::commands {

namespace {

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

TestedCard findTestedCard(const CommandLine &commandLine, const hardware::Backend &backend)
{
    TestedCard tested;
    tested.base = locatedBase(backend, commandLine.cardNumber());
    const QString baseText = hex4(tested.base);
    tested.json[QStringLiteral("number")] = commandLine.cardNumber();
    tested.json[QStringLiteral("base")] = baseText;
    switch (backend.kind) {
    case hardware::BackendKind::Simulated: {
        tested.description
            = tr("card %1, simulated, base %2").arg(commandLine.cardNumber()).arg(baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("simulated");
        tested.json[QStringLiteral("faults")] = faultTexts(commandLine);
        break;
    }
    case hardware::BackendKind::Pci: {
        const auto place = backend.locator->place(commandLine.cardNumber());
        const QString address = place ? QString::fromStdString(place->address) : QString();
        const QString ids = place ? QString::fromStdString(place->ids) : QString();
        tested.description = tr("card %1, %2 (%3), base %4")
                                 .arg(commandLine.cardNumber())
                                 .arg(address, ids, baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("pci");
        tested.json[QStringLiteral("address")] = address;
        tested.json[QStringLiteral("ids")] = ids;
        break;
    }
    }
    return tested;
}

// ---- Step 2: the test itself

selftest::SelfTestResult runTest(hardware::PortAccess &port, const TestedCard &tested,
                                 const selftest::Wait &wait,
                                 const std::vector<selftest::SelfTestPart> &skip,
                                 const selftest::PartDone &done, std::exception_ptr &failure)
{
    try {
        return selftest::runSelfTest(
            port, tested.base, wait, skip, [] { return endingSignal() != 0; }, done);
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

CheckOutcome daCheck(const selftest::DaStep &step)
{
    QStringList codes;
    QJsonArray json;
    for (const std::uint16_t code : step.codes) {
        const QString text = codeText(code);
        codes << text;
        json.append(text);
    }
    CheckOutcome outcome;
    outcome.counted = false; // the program cannot tell: a meter does
    outcome.line = tr("CHECK  DA%1: %2")
                       .arg(step.channel)
                       .arg(tr("codes %1 written; they cannot be read back. With a meter on the "
                               "channel, type each in DA%2 and press DA 输出: 0 gives the bottom "
                               "of its range, 800 the middle, FFF the top.")
                                .arg(codes.join(QStringLiteral(", ")))
                                .arg(step.channel));
    outcome.json = {{QStringLiteral("check"), QStringLiteral("da")},
                    {QStringLiteral("channel"), step.channel},
                    {QStringLiteral("result"), QStringLiteral("meter")},
                    {QStringLiteral("codes"), json}};
    return outcome;
}

// The checks of one part, in the order the lines give them.
void appendChecksOf(selftest::SelfTestPart part, const selftest::SelfTestResult &result,
                    std::vector<CheckOutcome> &checks)
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
        for (const selftest::DaStep &step : result.daSteps)
            checks.push_back(daCheck(step));
        break;
    }
}

std::vector<CheckOutcome> checksOf(const selftest::SelfTestResult &result)
{
    std::vector<CheckOutcome> checks;
    if (result.ran(selftest::SelfTestPart::Loopback))
        appendChecksOf(selftest::SelfTestPart::Loopback, result, checks);
    if (result.ran(selftest::SelfTestPart::Counters))
        appendChecksOf(selftest::SelfTestPart::Counters, result, checks);
    appendChecksOf(selftest::SelfTestPart::Da, result, checks);
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

// ---- Step 4: the summary

QString summary(const TestedCard &tested, const std::vector<CheckOutcome> &checks,
                const std::vector<selftest::SelfTestPart> &skipped)
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
    for (const selftest::SelfTestPart part : skipped)
        left << partName(part);
    const QString skippedText = left.isEmpty()
        ? QString()
        : QLatin1Char(' ') + tr("Skipped: %1.").arg(left.join(QStringLiteral(", ")));
    return tr("Self-test of %1: %2 of %3 checks passed.%4 %5")
        .arg(tested.description, QString::number(passed), QString::number(counted), skippedText,
             leftAs);
}

// ---- Step 5: the JSON report, written whole or not at all

// The report's head, the same keys as every command's answer: command, status and, when it did
// not run, error; then the station's facts.
QJsonObject reportOf(const CommandLine &commandLine, int status, const QString &error = {})
{
    QJsonArray skipped;
    for (const selftest::SelfTestPart part : commandLine.selfTest.skip)
        skipped.append(partName(part));
    QJsonObject report {
        {QStringLiteral("command"), QStringLiteral("self-test")},
        {QStringLiteral("status"), status},
        {QStringLiteral("program"), QStringLiteral("qm5083-bench")},
        {QStringLiteral("version"), QStringLiteral(QM5083_VERSION)},
        {QStringLiteral("time"), timeWithZone()},
        {QStringLiteral("serial"), commandLine.selfTest.serial},
        {QStringLiteral("operator"), commandLine.selfTest.operatorName},
        {QStringLiteral("station"), commandLine.selfTest.station},
        {QStringLiteral("skipped"), skipped},
    };
    if (!error.isEmpty())
        report[QStringLiteral("error")] = error;
    return report;
}

QJsonObject testedReport(const CommandLine &commandLine, const TestedCard &tested,
                         const std::vector<CheckOutcome> &checks, bool passed, int status)
{
    QJsonObject report = reportOf(commandLine, status);
    QJsonArray checksJson;
    for (const CheckOutcome &check : checks)
        checksJson.append(check.json);
    report[QStringLiteral("card")] = tested.json;
    report[QStringLiteral("checks")] = checksJson;
    report[QStringLiteral("passed")] = passed;
    report[QStringLiteral("leftWith")]
        = QJsonObject {{QStringLiteral("outputs"), QStringLiteral("00")},
                       {QStringLiteral("daCodes"), QStringLiteral("0")},
                       {QStringLiteral("baseDivider"), int(selftest::kFinalBaseDivider)},
                       {QStringLiteral("outputDivider"), int(selftest::kFinalOutputDivider)}};
    return report;
}

// What the session record keeps of a test: its verdict and what it rests on, the checks passed
// of all and each problem's code.
QJsonObject recordOf(const std::vector<CheckOutcome> &checks, int status)
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
    }
    return {{QStringLiteral("status"), status},
            {QStringLiteral("result"), resultOf(status)},
            {QStringLiteral("verdict"),
             status == kDone ? QStringLiteral("passed") : QStringLiteral("failed")},
            {QStringLiteral("checks"),
             QJsonObject {{QStringLiteral("passed"), passed}, {QStringLiteral("of"), counted}}},
            {QStringLiteral("problems"), problems}};
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

// A test that did not run to its end: why, the same on every path (standard error, the report,
// the JSON answer, the record), and the status.
SelfTestRun notRun(int status, const QString &why, QJsonObject report, const QStringList &lines,
                   const std::optional<ReportTarget> &target, reports::SessionLog *sessionLog,
                   const std::vector<hardware::RecordedAccess> &accesses)
{
    SelfTestRun run;
    run.status = status;
    run.problems << why;
    report[QStringLiteral("status")] = status;
    report[QStringLiteral("error")] = why;
    QString failure;
    if (target && !target->write(report, failure))
        run.problems << tr("its report %1 was not written either: %2").arg(target->path(), failure);
    else
        run.reportFiled = target.has_value();
    if (sessionLog) {
        const reports::ErrorReport stopped {tr("The self-test stopped"), why, {}, {}};
        sessionLog->append(reports::operationLine(
            {QStringLiteral("self-test"),
             {},
             accesses,
             &stopped,
             true,
             {{QStringLiteral("status"), status}, {QStringLiteral("result"), resultOf(status)}}}));
    }
    run.answer = report;
    run.lines = lines;
    return run;
}

} // namespace

SelfTestRun refusedReport(const CommandLine &commandLine, const reports::FileRefused &refused,
                          reports::SessionLog *sessionLog)
{
    return notRun(kCannotRun,
                  tr("the report %1 cannot be written: %2; the self-test did not run")
                      .arg(commandLine.selfTest.reportFile, refused.why),
                  reportOf(commandLine, kCannotRun), {}, std::nullopt, sessionLog, {});
}

SelfTestRun runSelfTestOnCard(const CommandLine &commandLine, const hardware::Backend &backend,
                              hardware::AccessRecorder &port,
                              const std::optional<ReportTarget> &target, const selftest::Wait &wait,
                              reports::SessionLog *sessionLog, const CheckShownTo &shown)
{
    std::exception_ptr failure;
    try {
        const TestedCard tested = findTestedCard(commandLine, backend);
        std::vector<CheckOutcome> shownSoFar;
        const selftest::PartDone done
            = [&](selftest::SelfTestPart part, const selftest::SelfTestResult &soFar) {
                  if (!shown)
                      return;
                  const std::size_t before = shownSoFar.size();
                  appendChecksOf(part, soFar, shownSoFar);
                  for (std::size_t i = before; i < shownSoFar.size(); ++i)
                      shown({shownSoFar[i].line, shownSoFar[i].counted, shownSoFar[i].passed,
                             shownSoFar[i].json});
              };
        const selftest::SelfTestResult result
            = runTest(port, tested, wait, commandLine.selfTest.skip, done, failure);
        const std::vector<CheckOutcome> checks = checksOf(result);
        QStringList lines;
        for (const CheckOutcome &check : checks)
            lines << check.line;
        if (const int signal = endingSignal()) {
            // Ctrl-C or SIGTERM: the checks made so far, the card as the test always leaves it.
            QJsonObject report = reportOf(commandLine, signalStatus(signal));
            report[QStringLiteral("card")] = tested.json;
            return notRun(signalStatus(signal),
                          tr("the self-test ended by %1 after %2 checks; the card is left with "
                             "outputs 00, DA codes 0 and the clock outputs at k %3, n %4")
                              .arg(signalName(signal))
                              .arg(checks.size())
                              .arg(selftest::kFinalBaseDivider)
                              .arg(selftest::kFinalOutputDivider),
                          report, lines, target, sessionLog, port.accesses());
        }
        const int status = result.passed() ? kDone : kCheckFailed;
        const QJsonObject report
            = testedReport(commandLine, tested, checks, result.passed(), status);
        SelfTestRun run;
        run.lines = lines << summary(tested, checks, result.skipped);
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
                sessionLog->append(reports::operationLine({QStringLiteral("self-test"),
                                                           {},
                                                           port.accesses(),
                                                           nullptr,
                                                           true,
                                                           recordOf(checks, kCannotRun)}));
            run.status = kCannotRun;
            run.answer = answered;
            return run;
        }
        if (sessionLog)
            sessionLog->append(reports::operationLine({QStringLiteral("self-test"),
                                                       {},
                                                       port.accesses(),
                                                       nullptr,
                                                       true,
                                                       recordOf(checks, status)}));
        run.status = status;
        run.answer = report;
        run.reportFiled = target.has_value();
        return run;
    } catch (const CannotRun &cannot) {
        SelfTestRun run
            = notRun(kCannotRun, tr("the self-test cannot run: %1").arg(cannot.why),
                     reportOf(commandLine, kCannotRun), {}, target, sessionLog, port.accesses());
        run.failure = failure;
        return run;
    }
}

int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog)
{
    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    recordSessionStart(sessionLog, commandLine, backend);
    hardware::AccessRecorder port(backend.port());
    const SelfTestRun run = [&] {
        std::optional<ReportTarget> target;
        try {
            target = reportTarget(commandLine.selfTest.reportFile);
        } catch (const reports::FileRefused &refused) {
            return refusedReport(commandLine, refused, sessionLog);
        }
        return runSelfTestOnCard(commandLine, backend, port, target, wait, sessionLog);
    }();
    for (const QString &problem : run.problems)
        printProblem(err, problem);
    answer(commandLine, run.answer, run.lines, out);
    return run.status;
}

} // namespace qm5083::commands
