#include "card_session.h"

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
