#include "simulated_locator.h"

#include <stdexcept>

namespace qm5083::hardware {

SimulatedLocator::SimulatedLocator(int count)
    : count_(count)
{
    if (count < 1 || count > kMaxSimulatedCards)
        throw std::out_of_range("there are 1 to 8 simulated cards");
}

std::optional<std::uint16_t> SimulatedLocator::findCard(std::int16_t cardNumber)
{
    if (cardNumber < 1 || cardNumber > count_)
        return std::nullopt;
    return simulatedCardBase(cardNumber);
}

std::vector<std::int16_t> SimulatedLocator::cardNumbers() const
{
    std::vector<std::int16_t> numbers;
    for (int number = 1; number <= count_; ++number)
        numbers.push_back(static_cast<std::int16_t>(number));
    return numbers;
}

} // namespace qm5083::hardware
