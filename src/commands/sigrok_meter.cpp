#include "sigrok_meter.h"

#include "command_line.h"
#include "ending.h"
#include "meter_address.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>

namespace qm5083::commands {

namespace {

const QString kHelperName = QStringLiteral("qm5083-sigrok-meter");

// The functions a meter is most often left on, in the operator's language; others as libsigrok
// names them.
QString functionName(const QString &function)
{
    if (function == QLatin1String("AC voltage"))
        return tr("AC voltage");
    if (function == QLatin1String("DC current"))
        return tr("DC current");
    if (function == QLatin1String("AC current"))
        return tr("AC current");
    if (function == QLatin1String("resistance"))
        return tr("resistance");
    return function;
}

// What the helper's "error KIND DETAIL" means, in the operator's language. The details are
// libsigrok's own words, or the meter's.
QString helperProblem(const QString &answer)
{
    const QString kind = answer.section(QLatin1Char(' '), 0, 0);
    const QString detail = answer.section(QLatin1Char(' '), 1);
    const auto withDetail = [&](const QString &text) {
        return detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, detail);
    };
    if (kind == QLatin1String("driver"))
        return tr("libsigrok has no multimeter driver %1; qm5083-bench meters lists those it has")
            .arg(detail);
    if (kind == QLatin1String("option"))
        return tr("the driver takes no option %1").arg(detail);
    if (kind == QLatin1String("value"))
        return tr("the driver does not understand %1").arg(detail);
    if (kind == QLatin1String("none"))
        return withDetail(tr("no meter answered; check its connection and the conn= option"));
    if (kind == QLatin1String("function"))
        return tr("the meter measures %1, not DC voltage; set it to DC volts")
            .arg(functionName(detail));
    if (kind == QLatin1String("overload"))
        return tr("the meter reads overload; check its range and its leads");
    if (kind == QLatin1String("silent"))
        return withDetail(tr("the meter gave no reading"));
    if (kind == QLatin1String("address"))
        return tr("the meter is named wrongly: %1").arg(detail);
    return withDetail(tr("libsigrok refused"));
}

QString meterNamed(const std::string &address)
{
    return QStringLiteral("sigrok:%1").arg(QString::fromStdString(address));
}

QString openFailure(const std::string &address, const QString &why)
{
    return tr("--meter %1 cannot be used: %2").arg(meterNamed(address), why);
}

QString readFailure(const std::string &address, const QString &why, const QString &code)
{
    return tr("the meter %1 at code %2: %3").arg(meterNamed(address), code, why);
}

QString noAnswerWithin(std::chrono::seconds timeout)
{
    return tr("it gave no answer within %1 s").arg(timeout.count());
}

QString helperEnded()
{
    return tr("its reader ended (the meter closed the connection, or libsigrok failed)");
}

QString helperMissing(const QString &path)
{
    return tr("the libsigrok reader %1 cannot be started; is the package whole?").arg(path);
}

class SigrokMeter final : public Meter
{
public:
    SigrokMeter(std::string address, std::chrono::seconds timeout, const QString &helper)
        : address_(std::move(address))
        , timeout_(timeout)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(helper, {QString::fromStdString(address_)});
        if (!process_.waitForStarted(static_cast<int>(milliseconds())))
            throw CannotRun {openFailure(address_, helperMissing(helper))};
        identity_ = {{QStringLiteral("kind"), QStringLiteral("sigrok")}};
        try {
            waitUntilReady();
        } catch (...) {
            stop(); // a helper that refused the meter is not left to end on its own
            throw;
        }
    }

    ~SigrokMeter() override { stop(); }

    QJsonObject identity() const override { return identity_; }

    double read(std::uint16_t code) override
    {
        const QString codeText = QString::number(code, 16).toUpper();
        process_.write("read\n");
        const std::optional<QString> line = nextLine();
        if (const int signal = endingSignal()) {
            process_.kill();
            throw CannotRun {signalName(signal)};
        }
        if (!line) {
            const bool ended = process_.state() == QProcess::NotRunning;
            process_.kill();
            throw MeterFailed {
                readFailure(address_, ended ? helperEnded() : noAnswerWithin(timeout_), codeText)};
        }
        if (line->startsWith(QLatin1String("volts "))) {
            bool number = false;
            const double volts = line->mid(6).toDouble(&number);
            if (number && std::isfinite(volts))
                return volts;
        }
        throw MeterFailed {readFailure(address_,
                                       line->startsWith(QLatin1String("error "))
                                           ? helperProblem(line->mid(6))
                                           : helperProblem(QStringLiteral("library ") + *line),
                                       codeText)};
    }

private:
    // The meter's identity, up to the helper's "ready".
    void waitUntilReady()
    {
        for (;;) {
            const std::optional<QString> line = nextLine();
            if (!line)
                throw CannotRun {openFailure(address_,
                                             process_.state() == QProcess::NotRunning
                                                 ? helperEnded()
                                                 : noAnswerWithin(timeout_))};
            if (*line == QLatin1String("ready"))
                break;
            if (line->startsWith(QLatin1String("error ")))
                throw CannotRun {openFailure(address_, helperProblem(line->mid(6)))};
            if (line->startsWith(QLatin1String("meter "))) {
                const QString field = line->section(QLatin1Char(' '), 1, 1);
                if (!field.isEmpty())
                    identity_[field] = line->section(QLatin1Char(' '), 2);
            }
        }
    }

    void stop()
    {
        process_.closeWriteChannel();
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(1000)) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }

    qint64 milliseconds() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(timeout_).count();
    }

    // The helper's next line within the timeout, or none when it stays silent or ends.
    std::optional<QString> nextLine()
    {
        const auto until = std::chrono::steady_clock::now() + timeout_;
        while (!process_.canReadLine()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || process_.state() == QProcess::NotRunning || endingSignal())
                return std::nullopt;
            // A line longer than the helper ever writes is no answer of its own.
            if (process_.bytesAvailable() > 4096)
                return std::nullopt;
            // In short steps, so that a signal ends the check within one reading.
            process_.waitForReadyRead(static_cast<int>(std::min<qint64>(left.count(), 50)));
        }
        return QString::fromUtf8(process_.readLine(4096)).trimmed();
    }

    std::string address_;
    std::chrono::seconds timeout_;
    QProcess process_;
    QJsonObject identity_;
};

} // namespace

QString sigrokHelper()
{
    // Next to the program as built; where the package puts it, once installed.
    QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + kHelperName;
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(QM5083_SIGROK_METER);
}

std::unique_ptr<Meter> openSigrokMeter(const std::string &address, std::chrono::seconds timeout,
                                       const QString &helper)
{
    try {
        sigrok::parseMeterAddress(address);
    } catch (const sigrok::AddressRefused &refused) {
        throw CannotRun {openFailure(address, QString::fromStdString(refused.why))};
    }
    return std::make_unique<SigrokMeter>(address, timeout, helper);
}

QStringList sigrokMultimeterDrivers(const QString &helper)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(helper, {QStringLiteral("--drivers")});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        throw CannotRun {helperMissing(helper)};
    }
    QStringList drivers;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            drivers << QString::fromUtf8(line);
    return drivers;
}

} // namespace qm5083::commands
