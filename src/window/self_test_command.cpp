#include "self_test_command.h"

#include "backends.h"
#include "error_report.h"
#include "hex_text.h"
#include "simulated_locator.h"
#include "translations.h"
#include "value.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace qm5083::window {

namespace {

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
    return QString(QLatin1Char(static_cast<char>('A' + chip)));
}

void print(std::FILE *file, const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), file);
    std::fflush(file);
}

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
    const bool status = problem.kind == selftest::CounterProblem::Kind::Status;
    const auto shown = [status](unsigned value) {
        return status ? hex2(value) : hex4(value);
    };
    QString kind;
    switch (problem.kind) {
    case selftest::CounterProblem::Kind::Status:
        kind = QStringLiteral("status");
        break;
    case selftest::CounterProblem::Kind::Count:
        kind = QStringLiteral("count");
        break;
    case selftest::CounterProblem::Kind::Stopped:
        kind = QStringLiteral("stopped");
        break;
    }
    return {{QStringLiteral("counter"), problem.counter},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("expected"), shown(problem.expected)},
            {QStringLiteral("read"), shown(problem.actual)},
            {QStringLiteral("text"), problemText(problem)}};
}

struct CardTested
{
    QString description; // "simulated card, base E000"
    QJsonObject json;
};

int cannotRun(std::FILE *err, const QString &why)
{
    print(err, QStringLiteral("qm5083-bench: %1").arg(tr("the self-test cannot run: %1").arg(why)));
    return kSelfTestCannotRun;
}

QString reason(const std::exception_ptr &failure)
{
    const ErrorReport report = describeFailure(failure, {});
    return report.headline + QStringLiteral(": ")
        + report.detail.section(QStringLiteral("\n\n"), 0, 0);
}

} // namespace

int runSelfTestCommand(const CommandLine &commandLine, std::FILE *out, std::FILE *err,
                       const selftest::Wait &wait)
{
    const hardware::Backend backend = hardware::chooseBackend(commandLine.backends);
    if (backend.startupFailure)
        return cannotRun(err, reason(backend.startupFailure));
    if (backend.noCard)
        return cannotRun(err, translated(*backend.noCard));

    CardTested tested;
    std::uint16_t base = 0;
    try {
        const auto found = backend.locator->findCard(commandLine.card);
        if (!found)
            return cannotRun(err, tr("there is no card %1").arg(commandLine.card));
        base = *found;
    } catch (...) {
        return cannotRun(err, reason(std::current_exception()));
    }
    const QString baseText = QString::fromStdString(convert::hex4(base));
    tested.json[QStringLiteral("number")] = commandLine.card;
    tested.json[QStringLiteral("base")] = baseText;
    if (commandLine.backends.simulate) {
        tested.description = tr("card %1, simulated, base %2").arg(commandLine.card).arg(baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("simulated");
        QJsonArray faults;
        for (const hardware::SimulatedFault &fault : commandLine.backends.simulatedFaults)
            faults.append(QString::fromStdString(hardware::describeFault(fault)));
        tested.json[QStringLiteral("faults")] = faults;
    } else {
        const auto place = backend.locator->place(commandLine.card);
        const QString address = place ? QString::fromStdString(place->address) : QString();
        const QString ids = place ? QString::fromStdString(place->ids) : QString();
        tested.description
            = tr("card %1, %2 (%3), base %4").arg(commandLine.card).arg(address, ids, baseText);
        tested.json[QStringLiteral("kind")] = QStringLiteral("pci");
        tested.json[QStringLiteral("address")] = address;
        tested.json[QStringLiteral("ids")] = ids;
    }

    selftest::SelfTestResult result;
    try {
        result = selftest::runSelfTest(backend.port(), base, wait);
    } catch (...) {
        return cannotRun(err, reason(std::current_exception()));
    }

    QJsonArray checks;
    int passed = 0;
    int counted = 0;
    for (const selftest::LoopbackResult &group : result.loopback) {
        ++counted;
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
        if (group.passed()) {
            ++passed;
            print(out, QStringLiteral("PASS   %1").arg(name));
        } else {
            print(out,
                  QStringLiteral("FAIL   %1: %2").arg(name, failures.join(QStringLiteral("; "))));
        }
        checks.append(QJsonObject {{QStringLiteral("check"), QStringLiteral("loopback")},
                                   {QStringLiteral("group"), group.group},
                                   {QStringLiteral("result"), group.passed() ? "pass" : "fail"},
                                   {QStringLiteral("failingBits"), bits}});
    }
    for (const selftest::ChipResult &chip : result.chips) {
        ++counted;
        const QString name = tr("counter chip %1").arg(chipLetter(chip.chip));
        QJsonArray problems;
        QStringList texts;
        for (const selftest::CounterProblem &problem : chip.problems) {
            texts << problemText(problem);
            problems.append(problemJson(problem));
        }
        QString outcome = QStringLiteral("pass");
        if (chip.absent) {
            outcome = QStringLiteral("absent");
            print(out, QStringLiteral("ABSENT %1: %2").arg(name, tr("its ports read FF")));
        } else if (chip.passed()) {
            ++passed;
            print(out, QStringLiteral("PASS   %1").arg(name));
        } else {
            outcome = QStringLiteral("fail");
            print(out, QStringLiteral("FAIL   %1: %2").arg(name, texts.join(QStringLiteral("; "))));
        }
        checks.append(QJsonObject {{QStringLiteral("check"), QStringLiteral("counters")},
                                   {QStringLiteral("chip"), chipLetter(chip.chip)},
                                   {QStringLiteral("result"), outcome},
                                   {QStringLiteral("problems"), problems}});
    }
    for (const selftest::DaStep &step : result.daSteps) {
        QStringList codes;
        QJsonArray json;
        for (const std::uint16_t code : step.codes) {
            const QString text
                = QString::fromStdString(convert::FormatHex(static_cast<std::int16_t>(code)));
            codes << text;
            json.append(text);
        }
        print(out,
              QStringLiteral("CHECK  DA%1: %2")
                  .arg(step.channel)
                  .arg(tr("codes %1 written; they cannot be read back. With a meter on the "
                          "channel, type each in DA%2 and press DA 输出: 0 gives the bottom "
                          "of its range, 800 the middle, FFF the top.")
                           .arg(codes.join(QStringLiteral(", ")))
                           .arg(step.channel)));
        checks.append(QJsonObject {{QStringLiteral("check"), QStringLiteral("da")},
                                   {QStringLiteral("channel"), step.channel},
                                   {QStringLiteral("result"), QStringLiteral("meter")},
                                   {QStringLiteral("codes"), json}});
    }
    const QString leftAs = tr("The card is left with outputs 00, DA codes 0 and the clock outputs "
                              "at k %1, n %2.")
                               .arg(selftest::kFinalBaseDivider)
                               .arg(selftest::kFinalOutputDivider);
    print(out,
          tr("Self-test of %1: %2 of %3 checks passed. %4")
              .arg(tested.description)
              .arg(passed)
              .arg(counted)
              .arg(leftAs));
    const int status = result.passed() ? 0 : kSelfTestFailed;

    if (!commandLine.reportFile.isEmpty()) {
        const QJsonObject report {
            {QStringLiteral("program"), QStringLiteral("qm5083-bench")},
            {QStringLiteral("version"), QStringLiteral(QM5083_VERSION)},
            {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
            {QStringLiteral("card"), tested.json},
            {QStringLiteral("checks"), checks},
            {QStringLiteral("passed"), result.passed()},
            {QStringLiteral("exitStatus"), status},
            {QStringLiteral("leftWith"),
             QJsonObject {{QStringLiteral("outputs"), QStringLiteral("00")},
                          {QStringLiteral("daCodes"), QStringLiteral("0")},
                          {QStringLiteral("baseDivider"), int(selftest::kFinalBaseDivider)},
                          {QStringLiteral("outputDivider"), int(selftest::kFinalOutputDivider)}}},
        };
        // Written whole or not at all: a temporary file, renamed into place once complete.
        QSaveFile file(commandLine.reportFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(report).toJson()) < 0
            || !file.commit())
            return cannotRun(err,
                             tr("the report %1 cannot be written: %2")
                                 .arg(commandLine.reportFile, file.errorString()));
    }
    return status;
}

} // namespace qm5083::window
