#include "card_session.h"

#include "hex_text.h"
#include "simulated_faults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>

namespace qm5083::commands {

CardSession::CardSession(const CommandLine &commandLine)
    : number_(commandLine.cardNumber())
    , backend_(hardware::chooseBackend(commandLine.backends))
    , recorder_(backend_.port())
{ }

protocol::CardRegisters &CardSession::card()
{
    if (!card_) {
        if (backend_.startupFailure)
            throw CannotRun {reports::failureSentence(backend_.startupFailure)};
        if (backend_.noCard)
            throw CannotRun {reports::translated(*backend_.noCard)};
        std::optional<std::uint16_t> base;
        try {
            base = backend_.locator->findCard(number_);
        } catch (...) {
            throw CannotRun {reports::failureSentence(std::current_exception())};
        }
        if (!base)
            throw CannotRun {tr("there is no card %1").arg(number_)};
        card_.emplace(recorder_, *base);
    }
    return *card_;
}

void recordSessionStart(reports::SessionLog *log, const CommandLine &commandLine,
                        const hardware::Backend &backend)
{
    if (!log)
        return;
    const auto hex = [](std::uint16_t value) {
        return QString::fromStdString(convert::hex4(value));
    };
    QJsonArray cards;
    if (!backend.startupFailure) {
        for (const std::int16_t number : backend.locator->cardNumbers()) {
            QJsonObject card {{QStringLiteral("number"), number}};
            if (const auto place = backend.locator->place(number)) {
                card[QStringLiteral("address")] = QString::fromStdString(place->address);
                card[QStringLiteral("ids")] = QString::fromStdString(place->ids);
                card[QStringLiteral("bar")] = place->bar;
                if (place->base)
                    card[QStringLiteral("base")] = hex(*place->base);
            } else if (const auto base = backend.locator->findCard(number)) {
                card[QStringLiteral("base")] = hex(*base);
            }
            cards.append(card);
        }
    }
    QJsonObject session {
        {QStringLiteral("program"),
         QStringLiteral("qm5083-bench %1").arg(QCoreApplication::applicationVersion())},
        {QStringLiteral("started"),
         QDateTime::currentDateTime()
             .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
             .toString(Qt::ISODateWithMs)},
        {QStringLiteral("pid"), static_cast<qint64>(QCoreApplication::applicationPid())},
        {QStringLiteral("arguments"), QJsonArray::fromStringList(commandLine.arguments)},
        {QStringLiteral("card"),
         backend.kind == hardware::BackendKind::Simulated ? QStringLiteral("simulated")
                                                          : QStringLiteral("pci")},
        {QStringLiteral("cards"), cards},
    };
    if (backend.kind == hardware::BackendKind::Simulated) {
        QJsonArray faults;
        for (const hardware::SimulatedFault &fault : commandLine.backends.simulatedFaults)
            faults.append(QString::fromStdString(hardware::describeFault(fault)));
        session[QStringLiteral("faults")] = faults;
    }
    log->append({{QStringLiteral("session"), session}});
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
