#include "da_check_command.h"

#include "card_commands.h"
#include "da_check.h"
#include "ending.h"
#include "output_text.h"
#include "report_file.h"
#include "safe_files.h"
#include "script_runner.h"
#include "simulated_bus.h"
#include "text_lines.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qm5083::commands {

namespace {

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

std::optional<double> readingOf(const QString &text)
{
    bool number = false;
    const double value = text.trimmed().toDouble(&number);
    return number && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// Where the readings come from, one per code stepped.
using Meter = std::function<double(std::uint16_t code)>;

// The readings' file, read whole before the first code is set. Not blocking: a pipe or a device
// is refused at once (a program that reads the meter pipes its readings to standard input).
std::vector<std::string> readingLines(const QString &path)
{
    const auto cannotRead = [&](const QString &why) {
        return CannotRun {tr("the readings file %1 cannot be read: %2").arg(path, why)};
    };
    reports::FileDescriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat status
    { };
    if (!fd || ::fstat(fd.get(), &status) != 0)
        throw cannotRead(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status.st_mode))
        throw cannotRead(tr("it is not a regular file; a program that reads the meter pipes the "
                            "readings to standard input instead"));
    constexpr std::size_t kMaxBytes = 1 << 20; // 4096 readings of a line each, and room to spare
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR && !endingSignal())
            continue;
        if (got < 0)
            throw cannotRead(QString::fromLocal8Bit(std::strerror(errno)));
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxBytes)
            throw cannotRead(tr("it is larger than %1 bytes").arg(kMaxBytes));
    }
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

Meter fileMeter(const QString &path, std::size_t codes)
{
    std::vector<double> readings;
    int lineNumber = 0;
    for (const std::string &line : readingLines(path)) {
        ++lineNumber;
        const QString quoted = QString::fromStdString(convert::excerpt(line));
        if (line.size() > convert::kMaxLineBytes || convert::firstControl(line))
            throw CannotRun {tr("line %1 of the readings file %2, \"%3\", is not a number of "
                                "volts: it is too long or holds a control character")
                                 .arg(lineNumber)
                                 .arg(path, quoted)};
        const QString trimmed = QString::fromStdString(line).trimmed();
        if (trimmed.isEmpty())
            continue;
        const auto reading = readingOf(trimmed);
        if (!reading)
            throw CannotRun {tr("line %1 of the readings file %2, \"%3\", is not a number of volts")
                                 .arg(lineNumber)
                                 .arg(path, quoted)};
        readings.push_back(*reading);
    }
    if (readings.size() != codes)
        throw CannotRun {tr("the readings file %1 has %2 readings; the check steps through %3 "
                            "codes, one reading each")
                             .arg(path)
                             .arg(readings.size())
                             .arg(codes)};
    return [readings, next = std::size_t {0}](std::uint16_t) mutable {
        return readings[next++];
    };
}

Meter terminalMeter(int channel, double low, double high, std::istream &in, std::FILE *err)
{
    return [=, &in](std::uint16_t code) {
        for (;;) {
            print(err,
                  tr("DA%1 at code %2 (ideal %3 V): the meter's reading in volts, or q to end: ")
                      .arg(channel)
                      .arg(codeText(code), volts(scripting::idealVolts(code, low, high))),
                  false);
            const std::optional<convert::BoundedLine> read = convert::readBoundedLine(in);
            const std::string line = read ? read->text : std::string();
            if (!read || QString::fromStdString(line).trimmed() == "q")
                throw CannotRun {tr("the check was ended at code %1; DA%2 is left at code 0")
                                     .arg(codeText(code))
                                     .arg(channel)};
            if (!read->tooLong && !convert::firstControl(line))
                if (const auto reading = readingOf(QString::fromStdString(line)))
                    return *reading;
            print(err,
                  tr("\"%1\" is not a number of volts; type the reading, or q to end")
                      .arg(QString::fromStdString(convert::excerpt(line)).trimmed()));
        }
    };
}

Meter simulatedMeter(const CardSession &session, int channel, double low, double high)
{
    const auto *bus = dynamic_cast<const hardware::SimulatedBus *>(session.backend().card.get());
    if (!bus)
        throw CannotRun {tr("--meter sim reads the simulated card's DA output: give --simulate")};
    // Located first: a card beyond the simulated ones is told as any command tells it.
    locatedBase(session.backend(), session.number());
    const hardware::SimulatedCard *card = bus->card(session.number());
    return [=](std::uint16_t) {
        return card->daVolts(channel, low, high);
    };
}

QJsonObject checkJson(const scripting::DaCheckCommand &check,
                      const std::vector<scripting::DaReading> &readings,
                      const scripting::DaCheckFigures &figures,
                      const std::vector<std::string> &beyond, int status)
{
    QJsonArray points;
    for (const scripting::DaReading &reading : readings) {
        const double ideal = scripting::idealVolts(reading.code, check.low, check.high);
        points.append(
            QJsonObject {{QStringLiteral("code"), codeText(reading.code)},
                         {QStringLiteral("ideal"), ideal},
                         {QStringLiteral("reading"), reading.volts},
                         {QStringLiteral("errorLsb"), (reading.volts - ideal) / figures.lsbVolts}});
    }
    QJsonArray outside;
    for (const std::string &name : beyond)
        outside.append(QString::fromStdString(name));
    QJsonObject json {
        {QStringLiteral("command"), QStringLiteral("da-check")},
        {QStringLiteral("status"), status},
        {QStringLiteral("channel"), check.channel},
        {QStringLiteral("range"),
         QJsonObject {{QStringLiteral("low"), check.low}, {QStringLiteral("high"), check.high}}},
        {QStringLiteral("points"), points},
        {QStringLiteral("figures"),
         QJsonObject {{QStringLiteral("lsbVolts"), figures.lsbVolts},
                      {QStringLiteral("offsetVolts"), figures.offsetVolts},
                      {QStringLiteral("offsetLsb"), figures.offsetLsb},
                      {QStringLiteral("gainVolts"), figures.gainVolts},
                      {QStringLiteral("gainLsb"), figures.gainLsb},
                      {QStringLiteral("gainPercent"), figures.gainPercent},
                      {QStringLiteral("inlVolts"), figures.inlVolts},
                      {QStringLiteral("inlLsb"), figures.inlLsb},
                      {QStringLiteral("inlCode"), codeText(figures.inlCode)},
                      {QStringLiteral("monotonic"), figures.monotonic}}},
    };
    if (check.limitLsb) {
        json[QStringLiteral("limitLsb")] = *check.limitLsb;
        json[QStringLiteral("beyondLimit")] = outside;
    }
    return json;
}

// The result for scripts: words that stay the same in every locale.
QStringList checkLines(const scripting::DaCheckCommand &check,
                       const std::vector<scripting::DaReading> &readings,
                       const scripting::DaCheckFigures &figures,
                       const std::vector<std::string> &beyond)
{
    QStringList lines {QStringLiteral("code  ideal V  reading V  error LSB")};
    for (const scripting::DaReading &reading : readings) {
        const double ideal = scripting::idealVolts(reading.code, check.low, check.high);
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(codeText(reading.code), volts(ideal), volts(reading.volts),
                          lsb((reading.volts - ideal) / figures.lsbVolts));
    }
    lines << QStringLiteral("offset: %1 V = %2 LSB")
                 .arg(volts(figures.offsetVolts), lsb(figures.offsetLsb))
          << QStringLiteral("gain: %1 V = %2 LSB (%3 %)")
                 .arg(volts(figures.gainVolts), lsb(figures.gainLsb), fixed(figures.gainPercent, 3))
          << QStringLiteral("integral non-linearity: %1 V = %2 LSB at code %3")
                 .arg(volts(figures.inlVolts), lsb(figures.inlLsb), codeText(figures.inlCode))
          << (figures.monotonic ? QStringLiteral("monotonic: yes")
                                : QStringLiteral("monotonic: no"));
    if (check.limitLsb) {
        QStringList names;
        for (const std::string &name : beyond)
            names << QString::fromStdString(name);
        lines << (names.isEmpty() ? QStringLiteral("within +-%1 LSB: offset, gain, integral "
                                                   "non-linearity, monotonicity")
                                        .arg(*check.limitLsb)
                                  : QStringLiteral("beyond +-%1 LSB: %2")
                                        .arg(*check.limitLsb)
                                        .arg(names.join(QStringLiteral(", "))));
    }
    return lines;
}

} // namespace

int runDaCheck(const scripting::DaCheckCommand &check, CardSession &session,
               const CommandLine &commandLine, std::istream &in, std::FILE *out, std::FILE *err,
               reports::SessionLog *sessionLog)
{
    const QString reportFile = QString::fromStdString(check.reportFile);
    std::optional<ReportTarget> target;
    const std::vector<std::uint16_t> codes = scripting::daCheckCodes(check.points);
    std::vector<scripting::DaReading> readings;
    session.recorder().clear();
    try {
        try {
            target = reportTarget(reportFile);
        } catch (const reports::FileRefused &refused) {
            throw CannotRun {
                tr("the report %1 cannot be written: %2").arg(reportFile, refused.why)};
        }
        Meter meter;
        switch (check.readings) {
        case scripting::DaCheckCommand::Readings::File:
            meter = fileMeter(QString::fromStdString(check.readingsFile), codes.size());
            break;
        case scripting::DaCheckCommand::Readings::SimulatedMeter:
            meter = simulatedMeter(session, check.channel, check.low, check.high);
            break;
        case scripting::DaCheckCommand::Readings::Terminal:
            meter = terminalMeter(check.channel, check.low, check.high, in, err);
            print(err,
                  tr("Connect DA%1's output to the meter. The DA writes also reload chip B's "
                     "counters, so clock outputs 4, 7 and 10 change while the check runs.")
                      .arg(check.channel));
            break;
        }
        // Each step is one operation; the card is free for others while the meter is read.
        const auto step = [&](std::uint16_t code) {
            const hardware::OperationScope operation(session.recorder());
            scripting::writeDaCode(session.card(), check.channel, code);
        };
        try {
            for (const std::uint16_t code : codes) {
                step(code);
                readings.push_back({code, meter(code)});
            }
        } catch (const CannotRun &) {
            step(0);
            throw;
        }
        step(0);
    } catch (...) {
        const QString why = QStringLiteral("da-check: %1").arg(reasonOf(std::current_exception()));
        printProblem(err, why);
        if (sessionLog) {
            const reports::ErrorReport report {tr("The command stopped"), why, {}, {}};
            sessionLog->append(reports::operationLine(
                {commandLine.commandText, {}, session.recorder().accesses(), &report, true}));
        }
        return kCannotRun;
    }
    if (sessionLog)
        sessionLog->append(
            reports::operationLine({commandLine.commandText, {}, session.recorder().accesses()}));

    const scripting::DaCheckFigures figures
        = scripting::daCheckFigures(readings, check.low, check.high);
    const std::vector<std::string> beyond = check.limitLsb
        ? scripting::figuresBeyond(figures, *check.limitLsb)
        : std::vector<std::string> {};
    const int status = beyond.empty() ? kDone : kCheckFailed;
    const QJsonObject json = checkJson(check, readings, figures, beyond, status);
    if (commandLine.json)
        print(out, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    else
        printLines(out, checkLines(check, readings, figures, beyond));
    QString why;
    if (target && !target->write(json, why)) {
        printProblem(
            err, tr("da-check ran, but its report %1 was not written: %2").arg(reportFile, why));
        return kCannotRun;
    }
    return status;
}

} // namespace qm5083::commands
