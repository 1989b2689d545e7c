#pragma once

#include "message.h"

#include <cstdint>
#include <stdexcept>

namespace qm5083::hardware {

// A port access the program would not make, because the port is not one of the card's
// registers. No access was made when this is thrown.
class PortRefused : public ExplainedAs<std::runtime_error>
{
public:
    PortRefused(std::uint16_t port, Message message)
        : ExplainedAs(std::move(message))
        , port_(port)
    { }
    std::uint16_t port() const { return port_; }

private:
    std::uint16_t port_;
};

} // namespace qm5083::hardware
