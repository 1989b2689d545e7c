#pragma once

#include "card_locator.h"

#include <cstdint>

namespace qm5083::hardware {

// The simulated cards: card 1 at base E000 hex, each further card 100 hex above the one before.
inline constexpr int kMaxSimulatedCards = 8;
inline constexpr std::int16_t kSimulatedCardNumber = 1; // the first, and the only one by default
inline constexpr std::uint16_t kSimulatedCardBase = 0xE000;
inline constexpr std::uint16_t kSimulatedCardSpacing = 0x100;

constexpr std::uint16_t simulatedCardBase(int number)
{
    return static_cast<std::uint16_t>(kSimulatedCardBase + kSimulatedCardSpacing * (number - 1));
}
static_assert(simulatedCardBase(kMaxSimulatedCards) == 0xE700);

// Finds simulated cards 1 to count.
class SimulatedLocator final : public CardLocator
{
public:
    explicit SimulatedLocator(int count = 1);

    std::optional<std::uint16_t> findCard(std::int16_t cardNumber) override;
    std::vector<std::int16_t> cardNumbers() const override;

private:
    int count_;
};

} // namespace qm5083::hardware
