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
                                 const std::vector<selftest::SelfTestPart> &skip)
{
    try {
        return selftest::runSelfTest(port, tested.base, wait, skip,
                                     [] { return endingSignal() != 0; });
    } catch (...) {
        throw CannotRun {reports::failureSentence(std::current_exception())};
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
        ? QStringLiteral("PASS   %1").arg(name)
        : QStringLiteral("FAIL   %1: %2").arg(name, failures.join(QStringLiteral("; ")));
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
        outcome.line = QStringLiteral("ABSENT %1: %2").arg(name, tr("its ports read FF"));
    } else if (outcome.passed) {
        outcome.line = QStringLiteral("PASS   %1%2").arg(name, noted);
    } else {
        result = QStringLiteral("fail");
        outcome.line
            = QStringLiteral("FAIL   %1: %2%3").arg(name, texts.join(QStringLiteral("; ")), noted);
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
    outcome.line = QStringLiteral("CHECK  DA%1: %2")
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

std::vector<CheckOutcome> checksOf(const selftest::SelfTestResult &result)
{
    std::vector<CheckOutcome> checks;
    if (result.ran(selftest::SelfTestPart::Loopback))
        for (const selftest::LoopbackResult &group : result.loopback)
            checks.push_back(loopbackCheck(group));
    if (result.ran(selftest::SelfTestPart::Counters))
        for (const selftest::ChipResult &chip : result.chips)
            checks.push_back(counterCheck(chip));
    for (const selftest::DaStep &step : result.daSteps)
        checks.push_back(daCheck(step));
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
        .arg(tested.description)
        .arg(passed)
        .arg(counted)
        .arg(skippedText, leftAs);
}

// ---- Step 5: the JSON report, written whole or not at all

QJsonObject reportOf(const CommandLine &commandLine, const QString &outcome, int status)
{
    QJsonArray skipped;
    for (const selftest::SelfTestPart part : commandLine.selfTest.skip)
        skipped.append(partName(part));
    return {
        {QStringLiteral("program"), QStringLiteral("qm5083-bench")},
        {QStringLiteral("version"), QStringLiteral(QM5083_VERSION)},
        {QStringLiteral("time"), timeWithZone()},
        {QStringLiteral("serial"), commandLine.selfTest.serial},
        {QStringLiteral("operator"), commandLine.selfTest.operatorName},
        {QStringLiteral("station"), commandLine.selfTest.station},
        {QStringLiteral("skipped"), skipped},
        {QStringLiteral("outcome"), outcome},
        {QStringLiteral("exitStatus"), status},
    };
}

QJsonObject testedReport(const CommandLine &commandLine, const TestedCard &tested,
                         const std::vector<CheckOutcome> &checks, bool passed, int status)
{
    QJsonObject report = reportOf(
        commandLine, passed ? QStringLiteral("passed") : QStringLiteral("failed"), status);
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

// Ctrl-C or SIGTERM: the checks made so far, the card as the test always leaves it, and the
// status a signal gives.
int endedBySignal(int signal, const std::vector<CheckOutcome> &checks, const TestedCard &tested,
                  const std::optional<ReportTarget> &target, const CommandLine &commandLine,
                  std::FILE *out, std::FILE *err)
{
    const QString name = QStringLiteral("SIG%1").arg(QString::fromLatin1(sigabbrev_np(signal)));
    const QString why = tr("ended by %1 after %2 checks; the card is left with outputs 00, DA "
                           "codes 0 and the clock outputs at k %3, n %4")
                            .arg(name)
                            .arg(checks.size())
                            .arg(selftest::kFinalBaseDivider)
                            .arg(selftest::kFinalOutputDivider);
    QJsonObject report = reportOf(commandLine, QStringLiteral("could not run"), 128 + signal);
    report[QStringLiteral("reason")] = why;
    report[QStringLiteral("card")] = tested.json;
    if (commandLine.json) {
        print(out, QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Compact)));
    } else {
        for (const CheckOutcome &check : checks)
            print(out, check.line);
    }
    printProblem(err, tr("the self-test %1").arg(why));
    QString failure;
    if (target && !target->write(report, failure))
        printProblem(err, tr("its report %1 was not written: %2").arg(target->path(), failure));
    return 128 + signal;
}

} // namespace

int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait, reports::SessionLog *sessionLog)
{
    std::optional<ReportTarget> target;
    try {
        target = reportTarget(commandLine.selfTest.reportFile);
    } catch (const reports::FileRefused &refused) {
        printProblem(err,
                     tr("the report %1 cannot be written: %2; the self-test did not run")
                         .arg(commandLine.selfTest.reportFile, refused.why));
        return kCannotRun;
    }
    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    recordSessionStart(sessionLog, commandLine, backend);
    hardware::AccessRecorder port(backend.port());
    try {
        const TestedCard tested = findTestedCard(commandLine, backend);
        const selftest::SelfTestResult result
            = runTest(port, tested, wait, commandLine.selfTest.skip);
        if (sessionLog)
            sessionLog->append(reports::operationLine(
                {QStringLiteral("self-test"), {}, port.accesses(), nullptr, true}));
        const std::vector<CheckOutcome> checks = checksOf(result);
        if (const int signal = endingSignal())
            return endedBySignal(signal, checks, tested, target, commandLine, out, err);
        const int status = result.passed() ? 0 : kCheckFailed;
        const QJsonObject report
            = testedReport(commandLine, tested, checks, result.passed(), status);
        if (commandLine.json) {
            print(out, QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Compact)));
        } else {
            for (const CheckOutcome &check : checks)
                print(out, check.line);
            print(out, summary(tested, checks, result.skipped));
        }
        QString why;
        if (target && !target->write(report, why)) {
            printProblem(err,
                         tr("the self-test ran, but its report %1 was not written: %2")
                             .arg(target->path(), why));
            return kCannotRun;
        }
        return status;
    } catch (const CannotRun &cannot) {
        printProblem(err, tr("the self-test cannot run: %1").arg(cannot.why));
        QJsonObject report = reportOf(commandLine, QStringLiteral("could not run"), kCannotRun);
        report[QStringLiteral("reason")] = cannot.why;
        if (commandLine.json)
            print(out, QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Compact)));
        QString why;
        if (target && !target->write(report, why))
            printProblem(err,
                         tr("its report %1 was not written either: %2").arg(target->path(), why));
        return kCannotRun;
    }
}

} // namespace qm5083::commands
