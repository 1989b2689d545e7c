#pragma once

#include "message.h"

#include <cstdint>
#include <stdexcept>

namespace qm5083::hardware {

// Why the program would not reach a port.
enum class Refusal {
    NoCard,       // the program reaches no card at all
    NotARegister, // the port is none of the card's registers
    OtherCard,    // the port is another card's than the one the operation is on
};

// A port access the program would not make, because the port is not one of the card's
// registers. No access was made when this is thrown. Its message is "port XXXX refused: "
// followed by the reason, which is the same for every port refused for one cause.
class PortRefused : public ExplainedAs<std::runtime_error>
{
public:
    PortRefused(std::uint16_t port, Refusal refusal, Message reason);
    std::uint16_t port() const { return port_; }
    Refusal refusal() const { return refusal_; }
    const Message &reason() const { return reason_; }

private:
    std::uint16_t port_;
    Refusal refusal_;
    Message reason_;
};

} // namespace qm5083::hardware
