#include "port_refused.h"

#include <cstdio>

namespace qm5083::hardware {

namespace {

Message refusalMessage(std::uint16_t port, const Message &reason)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(port));
    return Message(QM5083_MESSAGE("Card", "port %1 refused: %2"), {Message::value(hex), reason});
}

} // namespace

PortRefused::PortRefused(std::uint16_t port, Refusal refusal, Message reason)
    : ExplainedAs(refusalMessage(port, reason))
    , port_(port)
    , refusal_(refusal)
    , reason_(std::move(reason))
{ }

} // namespace qm5083::hardware
