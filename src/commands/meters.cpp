#include "meters.h"

#include "ending.h"
#include "meter_command.h"
#include "output_text.h"
#include "safe_files.h"
#include "sigrok_meter.h"
#include "simulated_bus.h"
#include "text_lines.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qm5083::commands {

namespace {

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

// The meters' texts, in this namespace's context as tr() has it: inside a class the translation
// tools would file them under the class.
QString localized(const char *text)
{
    return QCoreApplication::translate("qm5083::commands", text);
}

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
    // 4096 codes of 100 readings each, a line each, with room to spare.
    constexpr std::size_t kMaxBytes = std::size_t {16} << 20;
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

class FileMeter final : public Meter
{
public:
    FileMeter(const QString &path, int expected)
        : path_(path)
    {
        int lineNumber = 0;
        for (const std::string &line : readingLines(path)) {
            ++lineNumber;
            const QString quoted = qs(convert::excerpt(line));
            if (line.size() > convert::kMaxLineBytes || convert::firstControl(line))
                throw CannotRun {
                    localized(QT_TRANSLATE_NOOP(
                                  "qm5083::commands",
                                  "line %1 of the readings file %2, \"%3\", is not a number of "
                                  "volts: it is too long or holds a control character"))
                        .arg(lineNumber)
                        .arg(path, quoted)};
            const QString trimmed = qs(line).trimmed();
            if (trimmed.isEmpty())
                continue;
            const auto reading = dcVolts(trimmed);
            if (!reading)
                throw CannotRun {
                    localized(
                        QT_TRANSLATE_NOOP(
                            "qm5083::commands",
                            "line %1 of the readings file %2, \"%3\", is not a number of volts"))
                        .arg(lineNumber)
                        .arg(path, quoted)};
            readings_.push_back(*reading);
        }
        if (readings_.size() != static_cast<std::size_t>(expected))
            throw CannotRun {
                localized(QT_TRANSLATE_NOOP(
                              "qm5083::commands",
                              "the readings file %1 has %2 readings; the check takes %3, one a "
                              "line in the order of its codes"))
                    .arg(path, QString::number(readings_.size()), QString::number(expected))};
    }

    QJsonObject identity() const override
    {
        return {{QStringLiteral("kind"), QStringLiteral("file")}, {QStringLiteral("name"), path_}};
    }
    double read(std::uint16_t) override { return readings_[next_++]; }

private:
    QString path_;
    std::vector<double> readings_;
    std::size_t next_ = 0;
};

class TypedMeter final : public Meter
{
public:
    TypedMeter(const scripting::DaCheckCommand &check, std::istream &in, std::FILE *err)
        : check_(check)
        , in_(in)
        , err_(err)
    { }

    QJsonObject identity() const override
    {
        return {{QStringLiteral("kind"), QStringLiteral("typed")}};
    }

    double read(std::uint16_t code) override
    {
        const double ideal = scripting::idealVolts(code, check_.range, check_.lsb);
        for (;;) {
            print(err_,
                  localized(QT_TRANSLATE_NOOP("qm5083::commands",
                                              "DA%1 at code %2 (ideal %3 V): the meter's reading "
                                              "in volts, or q to end: "))
                      .arg(check_.channel)
                      .arg(codeText(code), QString::number(ideal, 'f', 6)),
                  false);
            const std::optional<convert::BoundedLine> read = convert::readBoundedLine(in_);
            const std::string line = read ? read->text : std::string();
            if (endingSignal()) {
                print(err_, QString()); // off the line Ctrl-C was typed on
                throw CannotRun {
                    localized(QT_TRANSLATE_NOOP(
                                  "qm5083::commands",
                                  "the check was ended by %1 at code %2; DA%3 is left at code 0"))
                        .arg(signalName(endingSignal()), codeText(code))
                        .arg(check_.channel)};
            }
            if (!read || qs(line).trimmed() == QLatin1String("q"))
                throw StoppedByOperator {
                    localized(
                        QT_TRANSLATE_NOOP("qm5083::commands",
                                          "the check was ended at code %1; DA%2 is left at code 0"))
                        .arg(codeText(code))
                        .arg(check_.channel)};
            const QString quoted = qs(convert::excerpt(line)).trimmed();
            const auto reading
                = read->tooLong || convert::firstControl(line) ? std::nullopt : dcVolts(qs(line));
            if (!reading)
                print(
                    err_,
                    localized(QT_TRANSLATE_NOOP(
                                  "qm5083::commands",
                                  "\"%1\" is not a number of volts; type the reading, or q to end"))
                        .arg(quoted));
            else if (scripting::implausibleReading(*reading, check_.range))
                print(err_,
                      localized(
                          QT_TRANSLATE_NOOP(
                              "qm5083::commands",
                              "%1 V lies further outside %2 to %3 V than the range is wide; "
                              "check the meter's range and its leads, and type the reading again"))
                          .arg(quoted, QString::number(check_.range.low),
                               QString::number(check_.range.high)));
            else
                return *reading;
        }
    }

private:
    const scripting::DaCheckCommand &check_;
    std::istream &in_;
    std::FILE *err_;
};

class SimulatedMeter final : public Meter
{
public:
    SimulatedMeter(const hardware::SimulatedCard &card, const scripting::DaCheckCommand &check)
        : card_(card)
        , check_(check)
    { }

    QJsonObject identity() const override
    {
        return {{QStringLiteral("kind"), QStringLiteral("simulated")}};
    }
    double read(std::uint16_t) override
    {
        // The simulated channel is built to the convention checked: code FFF one LSB below the
        // top of a full-scale range, or at it.
        const scripting::DaRange &range = check_.range;
        const double atTop = scripting::idealVolts(scripting::kTopCode, range, check_.lsb);
        return card_.daVolts(check_.channel, range.low, atTop);
    }

private:
    const hardware::SimulatedCard &card_;
    const scripting::DaCheckCommand &check_;
};

// A program a station already runs to read its meter: run once a reading, its first line of
// standard output the reading. It is told the channel, the code and its ideal voltage. It runs
// in a process group of its own, which ends with the reading, whatever it started.
class CommandMeter final : public Meter
{
public:
    CommandMeter(const scripting::DaCheckCommand &check, std::FILE *err)
        : check_(check)
        , err_(err)
    { }

    QJsonObject identity() const override
    {
        return {{QStringLiteral("kind"), QStringLiteral("command")},
                {QStringLiteral("name"), qs(check_.source)}};
    }

    double read(std::uint16_t code) override
    {
        using Ending = MeterCommandRun::Ending;
        const MeterCommandRun run = runMeterCommand(
            check_.source,
            {{"QM5083_DA_CHANNEL", std::to_string(check_.channel)},
             {"QM5083_DA_CODE", codeText(code).toStdString()},
             {"QM5083_DA_IDEAL",
              QString::number(scripting::idealVolts(code, check_.range, check_.lsb), 'f', 6)
                  .toStdString()}},
            std::chrono::seconds(check_.meterTimeoutS), err_);
        const auto stopped = [&](const QString &why) {
            return MeterFailed {
                localized(
                    QT_TRANSLATE_NOOP("qm5083::commands", "the meter command \"%1\" %2 at code %3"))
                    .arg(qs(convert::excerpt(check_.source)), why, codeText(code))};
        };
        switch (run.ending) {
        case Ending::EndedBySignal:
            throw CannotRun {
                localized(QT_TRANSLATE_NOOP(
                              "qm5083::commands",
                              "the check was ended by %1 at code %2; DA%3 is left at code 0"))
                    .arg(signalName(endingSignal()), codeText(code),
                         QString::number(check_.channel))};
        case Ending::Failed:
            throw stopped(
                localized(QT_TRANSLATE_NOOP("qm5083::commands", "could not be started"))
                + QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(run.status))));
        case Ending::TimedOut:
            throw stopped(
                localized(QT_TRANSLATE_NOOP("qm5083::commands", "gave no reading within %1 s"))
                    .arg(check_.meterTimeoutS));
        case Ending::TooMuch:
            throw stopped(localized(QT_TRANSLATE_NOOP("qm5083::commands",
                                                      "printed more than %1 bytes, which is no "
                                                      "reading"))
                              .arg(kMaxMeterOutput));
        case Ending::Killed:
            throw stopped(localized(QT_TRANSLATE_NOOP("qm5083::commands", "was ended by signal %1"))
                              .arg(run.status));
        case Ending::Exited:
            break;
        }
        if (run.status != 0)
            throw stopped(
                localized(QT_TRANSLATE_NOOP("qm5083::commands", "failed (exit status %1)"))
                    .arg(run.status));
        const QString first = QString::fromUtf8(QByteArray::fromStdString(run.output))
                                  .section(QLatin1Char('\n'), 0, 0);
        const auto reading = dcVolts(first);
        if (!reading)
            throw stopped(
                localized(QT_TRANSLATE_NOOP("qm5083::commands",
                                            "printed \"%1\", which is no reading of DC volts"))
                    .arg(qs(convert::excerpt(first.toStdString()))));
        return *reading;
    }

private:
    const scripting::DaCheckCommand &check_;
    std::FILE *err_;
};

} // namespace

std::optional<double> dcVolts(const QString &text)
{
    static const QRegularExpression kReading(QStringLiteral(
        "^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*(?:V|VDC|V DC)?\\s*$"));
    const QRegularExpressionMatch match = kReading.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool number = false;
    const double volts = match.captured(1).toDouble(&number);
    return number && std::isfinite(volts) ? std::optional(volts) : std::nullopt;
}

std::unique_ptr<Meter> openMeter(const scripting::DaCheckCommand &check, CardSession &session,
                                 int readings, std::istream &in, std::FILE *err)
{
    using Readings = scripting::DaCheckCommand::Readings;
    switch (check.readings) {
    case Readings::Terminal:
        return std::make_unique<TypedMeter>(check, in, err);
    case Readings::File:
        return std::make_unique<FileMeter>(qs(check.source), readings);
    case Readings::SimulatedMeter: {
        const auto *bus
            = dynamic_cast<const hardware::SimulatedBus *>(session.backend().card.get());
        if (!bus)
            throw CannotRun {
                tr("--meter sim reads the simulated card's DA output: give --simulate")};
        // Located first: a card beyond the simulated ones is told as any command tells it.
        locatedBase(session.backend(), session.number());
        return std::make_unique<SimulatedMeter>(*bus->card(session.number()), check);
    }
    case Readings::Command:
        return std::make_unique<CommandMeter>(check, err);
    case Readings::Sigrok:
        return openSigrokMeter(check.source, std::chrono::seconds(check.meterTimeoutS));
    }
    return nullptr;
}

QStringList meterDrivers()
{
    QStringList drivers {QStringLiteral("sim"), QStringLiteral("command:CMD")};
    for (const QString &driver : sigrokMultimeterDrivers())
        drivers << QStringLiteral("sigrok:%1").arg(driver);
    return drivers;
}

} // namespace qm5083::commands
