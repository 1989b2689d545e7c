#pragma once

#include "card_locator.h"

#include <cstdint>

namespace qm5083::hardware {

// The one simulated card: card number 1 at base E000 hex.
inline constexpr std::int16_t kSimulatedCardNumber = 1;
inline constexpr std::uint16_t kSimulatedCardBase = 0xE000;

class SimulatedLocator final : public CardLocator
{
public:
    std::optional<std::uint16_t> findCard(std::int16_t cardNumber) override;
    std::vector<std::int16_t> cardNumbers() const override { return {kSimulatedCardNumber}; }
};

} // namespace qm5083::hardware
