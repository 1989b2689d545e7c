#pragma once

#include <cstdint>

namespace qm5083::hardware {

// Finds a card's I/O base address from its card number.
class CardLocator
{
public:
    virtual ~CardLocator() = default;

    // Returns nonzero when a card with number cardNo exists; ioBase then holds its base as a
    // 16-bit pattern. On entry ioBase holds the caller's current base; when no card is found it
    // is left as it was. extra is a second output the caller zeroes and never reads.
    virtual std::int32_t GetIOBaseByCardNo(std::int16_t cardNo, std::int16_t &ioBase,
                                           std::int32_t &extra)
        = 0;

protected:
    CardLocator() = default;
    CardLocator(const CardLocator &) = default;
    CardLocator &operator=(const CardLocator &) = default;
};

} // namespace qm5083::hardware
