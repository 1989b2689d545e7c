#include "card_session.h"

#include "output_text.h"
#include "simulated_faults.h"

#include <QCoreApplication>
#include <QJsonArray>

namespace qm5083::commands {

namespace {

// A function of its own: in locatedBase, lupdate would file the text under "std", from the
// return type.
QString noCardNumbered(std::int16_t number)
{
    return tr("there is no card %1").arg(number);
}

} // namespace

CardChoice cardOf(const CommandLine &commandLine, const hardware::Backend &backend)
{
    return {&backend, commandLine.cardNumber(), std::nullopt, commandLine.backends.simulatedFaults};
}

CardSession::CardSession(const CommandLine &commandLine)
    : number_(commandLine.cardNumber())
    , ownBackend_(hardware::chooseBackend(commandLine.backends))
    , backend_(&*ownBackend_)
    , ownRecorder_(std::in_place, ownBackend_->port())
    , recorder_(&*ownRecorder_)
{ }

CardSession::CardSession(const CardChoice &choice, hardware::AccessRecorder *recorder)
    : number_(choice.number)
    , backend_(choice.backend)
    , base_(choice.base)
{
    if (!recorder)
        recorder = &ownRecorder_.emplace(backend_->port());
    recorder_ = recorder;
}

protocol::CardRegisters &CardSession::card()
{
    if (!card_)
        card_.emplace(*recorder_, base_ ? *base_ : locatedBase(*backend_, number_));
    return *card_;
}

std::uint16_t locatedBase(const hardware::Backend &backend, std::int16_t number)
{
    if (backend.startupFailure)
        throw CannotRun {reports::failureSentence(backend.startupFailure)};
    if (backend.noCard)
        throw CannotRun {reports::translated(*backend.noCard)};
    std::optional<std::uint16_t> base;
    try {
        base = backend.locator->findCard(number);
    } catch (...) {
        throw CannotRun {reports::failureSentence(std::current_exception())};
    }
    if (!base)
        throw CannotRun {noCardNumbered(number)};
    return *base;
}

QJsonObject describeCard(const hardware::Backend &backend, std::int16_t number,
                         std::optional<std::uint16_t> base)
{
    QJsonObject card {{QStringLiteral("number"), number},
                      {QStringLiteral("kind"),
                       backend.kind == hardware::BackendKind::Simulated
                           ? QStringLiteral("simulated")
                           : QStringLiteral("pci")}};
    if (base)
        card[QStringLiteral("base")] = hex4(*base);
    if (backend.startupFailure)
        return card;
    try {
        if (const auto located = backend.locator->findCard(number); located && !base)
            card[QStringLiteral("base")] = hex4(*located);
    } catch (...) {
        // A card that cannot be used has no base to name; its address still says which it is.
    }
    if (const auto place = backend.locator->place(number)) {
        card[QStringLiteral("address")] = QString::fromStdString(place->address);
        card[QStringLiteral("ids")] = QString::fromStdString(place->ids);
    }
    return card;
}

QJsonArray faultTexts(const CommandLine &commandLine)
{
    QJsonArray faults;
    for (const hardware::SimulatedFault &fault : commandLine.backends.simulatedFaults)
        faults.append(QString::fromStdString(hardware::describeFault(fault)));
    return faults;
}

QJsonArray faultTexts(const std::vector<hardware::SimulatedFault> &faults, std::int16_t number)
{
    QJsonArray texts;
    for (const hardware::SimulatedFault &fault : faults)
        if (fault.card == number)
            texts.append(QString::fromStdString(hardware::describeFault(fault)));
    return texts;
}

namespace {

QJsonObject sessionLine(const CommandLine &commandLine, const QJsonArray &cards)
{
    QJsonObject session {
        {QStringLiteral("program"), QStringLiteral("qm5083-bench %1").arg(QM5083_VERSION)},
        {QStringLiteral("started"), timeWithZone()},
        {QStringLiteral("pid"), static_cast<qint64>(QCoreApplication::applicationPid())},
        {QStringLiteral("arguments"), QJsonArray::fromStringList(commandLine.arguments)},
        {QStringLiteral("card"),
         commandLine.backends.simulate ? QStringLiteral("simulated") : QStringLiteral("pci")},
        {QStringLiteral("cards"), cards},
    };
    if (commandLine.backends.simulate)
        session[QStringLiteral("faults")] = faultTexts(commandLine);
    return {{QStringLiteral("session"), session}};
}

} // namespace

void recordSessionStart(reports::SessionLog *log, const CommandLine &commandLine,
                        const hardware::Backend &backend)
{
    if (!log)
        return;
    QJsonArray cards;
    if (!backend.startupFailure) {
        for (const std::int16_t number : backend.locator->cardNumbers()) {
            QJsonObject card {{QStringLiteral("number"), number}};
            if (const auto place = backend.locator->place(number)) {
                card[QStringLiteral("address")] = QString::fromStdString(place->address);
                card[QStringLiteral("ids")] = QString::fromStdString(place->ids);
                card[QStringLiteral("bar")] = place->bar;
                if (place->base)
                    card[QStringLiteral("base")] = hex4(*place->base);
            } else if (const auto base = backend.locator->findCard(number)) {
                card[QStringLiteral("base")] = hex4(*base);
            }
            cards.append(card);
        }
    }
    log->append(sessionLine(commandLine, cards));
}

void recordRefusal(reports::SessionLog &log, const CommandLine &commandLine)
{
    log.append(sessionLine(commandLine, {}));
    log.append({{QStringLiteral("time"), timeWithZone()},
                {QStringLiteral("operation"), commandLine.arguments.join(QLatin1Char(' '))},
                {QStringLiteral("command"), commandLine.answerName()},
                {QStringLiteral("result"), QStringLiteral("refused")},
                {QStringLiteral("status"), kCannotRun},
                {QStringLiteral("error"), commandLine.refusals.join(QStringLiteral("; "))}});
}

QString resultOf(int status)
{
    switch (status) {
    case kDone:
        return QStringLiteral("done");
    case kCheckFailed:
        return QStringLiteral("check failed");
    case kCannotRun:
        return QStringLiteral("could not run");
    case kIncomplete:
        return QStringLiteral("incomplete");
    default:
        return QStringLiteral("ended by a signal");
    }
}

void addWhatWasChecked(QJsonObject &details, const QJsonObject &report, const QString &filedAs)
{
    if (report.contains(QStringLiteral("card")))
        details[QStringLiteral("card")] = report[QStringLiteral("card")];
    details[QStringLiteral("serial")] = report[QStringLiteral("serial")].toString();
    details[QStringLiteral("reportFile")]
        = filedAs.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(filedAs);
    details[QStringLiteral("pid")] = static_cast<qint64>(QCoreApplication::applicationPid());
}

QString reasonOf(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const CannotRun &cannot) {
        return cannot.why;
    } catch (const hardware::Explained &explained) {
        // An argument's refusal, or the card's: the message says it all.
        if (!dynamic_cast<const std::system_error *>(&explained))
            return reports::translated(explained.message());
    } catch (...) { }
    return reports::failureSentence(failure);
}

} // namespace qm5083::commands
