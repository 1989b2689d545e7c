#pragma once

#include "message.h"

#include <cstdint>
#include <stdexcept>

namespace qm5083::hardware {

// A port access the program would not make, because the port is not one of the card's
// registers. No access was made when this is thrown.
class PortRefused : public std::runtime_error, public Explained
{
public:
    PortRefused(std::uint16_t port, Message message)
        : std::runtime_error(message.english())
        , port_(port)
        , message_(std::move(message))
    { }
    std::uint16_t port() const { return port_; }
    const Message &message() const override { return message_; }

private:
    std::uint16_t port_;
    Message message_;
};

} // namespace qm5083::hardware
