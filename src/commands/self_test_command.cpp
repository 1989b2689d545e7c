#include "self_test_command.h"

#include "backends.h"
#include "error_report.h"
#include "hex_text.h"
#include "registers.h"
#include "value.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace qm5083::commands {

namespace {

// Why the self-test cannot run; thrown by any of its steps and told once.
struct CannotRun
{
    QString why;
};

QString hex2(unsigned byte)
{
    return QString::fromStdString(convert::hex2(static_cast<std::uint8_t>(byte)));
}

QString hex4(unsigned value)
{
    return QString::fromStdString(convert::hex4(static_cast<std::uint16_t>(value)));
}

QString chipLetter(int chip)
{
    return QString(QLatin1Char(registers::chipLetter(chip)));
}

void print(std::FILE *file, const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), file);
    std::fflush(file);
}

QString reason(const std::exception_ptr &failure)
{
    const reports::ErrorReport report = reports::describeFailure(failure, {});
    return report.headline + QStringLiteral(": ")
        + report.detail.section(QStringLiteral("\n\n"), 0, 0);
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
    if (backend.startupFailure)
        throw CannotRun {reason(backend.startupFailure)};
    if (backend.noCard)
        throw CannotRun {reports::translated(*backend.noCard)};
    std::optional<std::uint16_t> found;
    try {
        found = backend.locator->findCard(commandLine.card);
    } catch (...) {
        throw CannotRun {reason(std::current_exception())};
    }
    if (!found)
        throw CannotRun {tr("there is no card %1").arg(commandLine.card)};

    TestedCard tested;
    tested.base = *found;
    const QString baseText = hex4(*found);
    tested.json[QStringLiteral("number")] = commandLine.card;
    tested.json[QStringLiteral("base")] = baseText;
    switch (backend.kind) {
    case hardware::BackendKind::Simulated: {
        tested.description = tr("card %1, simulated, base %2").arg(commandLine.card).arg(baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("simulated");
        QJsonArray faults;
        for (const hardware::SimulatedFault &fault : commandLine.backends.simulatedFaults)
            faults.append(QString::fromStdString(hardware::describeFault(fault)));
        tested.json[QStringLiteral("faults")] = faults;
        break;
    }
    case hardware::BackendKind::Pci: {
        const auto place = backend.locator->place(commandLine.card);
        const QString address = place ? QString::fromStdString(place->address) : QString();
        const QString ids = place ? QString::fromStdString(place->ids) : QString();
        tested.description
            = tr("card %1, %2 (%3), base %4").arg(commandLine.card).arg(address, ids, baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("pci");
        tested.json[QStringLiteral("address")] = address;
        tested.json[QStringLiteral("ids")] = ids;
        break;
    }
    }
    return tested;
}

// ---- Step 2: the test itself

selftest::SelfTestResult runTest(const hardware::Backend &backend, const TestedCard &tested,
                                 const selftest::Wait &wait)
{
    try {
        return selftest::runSelfTest(backend.port(), tested.base, wait);
    } catch (...) {
        throw CannotRun {reason(std::current_exception())};
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
    }
    return {};
}

QJsonObject problemJson(const selftest::CounterProblem &problem)
{
    QString kind;
    bool statusBits = false;
    switch (problem.kind) {
    case selftest::CounterProblem::Kind::Status:
        kind = QStringLiteral("status");
        statusBits = true;
        break;
    case selftest::CounterProblem::Kind::Count:
        kind = QStringLiteral("count");
        break;
    case selftest::CounterProblem::Kind::Stopped:
        kind = QStringLiteral("stopped");
        break;
    }
    const auto shown = [statusBits](unsigned value) {
        return statusBits ? hex2(value) : hex4(value);
    };
    return {{QStringLiteral("counter"), problem.counter},
            {QStringLiteral("kind"), kind},
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
        problems.append(problemJson(problem));
    }
    CheckOutcome outcome;
    outcome.passed = chip.passed();
    QString result = QStringLiteral("pass");
    if (chip.absent) {
        result = QStringLiteral("absent");
        outcome.line = QStringLiteral("ABSENT %1: %2").arg(name, tr("its ports read FF"));
    } else if (outcome.passed) {
        outcome.line = QStringLiteral("PASS   %1").arg(name);
    } else {
        result = QStringLiteral("fail");
        outcome.line = QStringLiteral("FAIL   %1: %2").arg(name, texts.join(QStringLiteral("; ")));
    }
    outcome.json = {{QStringLiteral("check"), QStringLiteral("counters")},
                    {QStringLiteral("chip"), chipLetter(chip.chip)},
                    {QStringLiteral("result"), result},
                    {QStringLiteral("problems"), problems}};
    return outcome;
}

CheckOutcome daCheck(const selftest::DaStep &step)
{
    QStringList codes;
    QJsonArray json;
    for (const std::uint16_t code : step.codes) {
        const QString text
            = QString::fromStdString(convert::FormatHex(static_cast<std::int16_t>(code)));
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
    for (const selftest::LoopbackResult &group : result.loopback)
        checks.push_back(loopbackCheck(group));
    for (const selftest::ChipResult &chip : result.chips)
        checks.push_back(counterCheck(chip));
    for (const selftest::DaStep &step : result.daSteps)
        checks.push_back(daCheck(step));
    return checks;
}

// ---- Step 4: the summary

QString summary(const TestedCard &tested, const std::vector<CheckOutcome> &checks)
{
    const auto counted = std::count_if(checks.begin(), checks.end(),
                                       [](const CheckOutcome &check) { return check.counted; });
    const auto passed = std::count_if(checks.begin(), checks.end(),
                                      [](const CheckOutcome &check) { return check.passed; });
    const QString leftAs = tr("The card is left with outputs 00, DA codes 0 and the clock outputs "
                              "at k %1, n %2.")
                               .arg(selftest::kFinalBaseDivider)
                               .arg(selftest::kFinalOutputDivider);
    return tr("Self-test of %1: %2 of %3 checks passed. %4")
        .arg(tested.description)
        .arg(passed)
        .arg(counted)
        .arg(leftAs);
}

// ---- Step 5: the JSON report, written whole or not at all

QJsonObject reportOf(const TestedCard &tested, const std::vector<CheckOutcome> &checks, bool passed,
                     int status)
{
    QJsonArray checksJson;
    for (const CheckOutcome &check : checks)
        checksJson.append(check.json);
    return {
        {QStringLiteral("program"), QStringLiteral("qm5083-bench")},
        {QStringLiteral("version"), QStringLiteral(QM5083_VERSION)},
        {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
        {QStringLiteral("card"), tested.json},
        {QStringLiteral("checks"), checksJson},
        {QStringLiteral("passed"), passed},
        {QStringLiteral("exitStatus"), status},
        {QStringLiteral("leftWith"),
         QJsonObject {{QStringLiteral("outputs"), QStringLiteral("00")},
                      {QStringLiteral("daCodes"), QStringLiteral("0")},
                      {QStringLiteral("baseDivider"), int(selftest::kFinalBaseDivider)},
                      {QStringLiteral("outputDivider"), int(selftest::kFinalOutputDivider)}}},
    };
}

void writeReport(const QString &path, const QJsonObject &report)
{
    // A temporary file, renamed into place once complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(report).toJson()) < 0
        || !file.commit())
        throw CannotRun {tr("the report %1 cannot be written: %2").arg(path, file.errorString())};
}

} // namespace

int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait)
{
    try {
        const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
        const TestedCard tested = findTestedCard(commandLine, backend);
        const selftest::SelfTestResult result = runTest(backend, tested, wait);
        const std::vector<CheckOutcome> checks = checksOf(result);
        for (const CheckOutcome &check : checks)
            print(out, check.line);
        print(out, summary(tested, checks));
        const int status = result.passed() ? 0 : kSelfTestFailed;
        if (!commandLine.reportFile.isEmpty())
            writeReport(commandLine.reportFile, reportOf(tested, checks, result.passed(), status));
        return status;
    } catch (const CannotRun &cannot) {
        print(err,
              QStringLiteral("qm5083-bench: %1")
                  .arg(tr("the self-test cannot run: %1").arg(cannot.why)));
        return kSelfTestCannotRun;
    }
}

} // namespace qm5083::commands
