#include "simulated_locator.h"

namespace qm5083::hardware {

std::int32_t SimulatedLocator::GetIOBaseByCardNo(std::int16_t cardNo, std::int16_t &ioBase,
                                                 std::int32_t &extra)
{
    extra = 0;
    if (cardNo != kSimulatedCardNumber)
        return 0; // ioBase stays as the caller passed it
    ioBase = static_cast<std::int16_t>(kSimulatedCardBase);
    return 1;
}

} // namespace qm5083::hardware
