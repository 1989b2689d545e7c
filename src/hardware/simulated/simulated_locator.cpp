#include "simulated_locator.h"

namespace qm5083::hardware {

std::optional<std::uint16_t> SimulatedLocator::findCard(std::int16_t cardNumber)
{
    if (cardNumber != kSimulatedCardNumber)
        return std::nullopt;
    return kSimulatedCardBase;
}

} // namespace qm5083::hardware
