#pragma once

#include "recording_port.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace qm5083::testing {

// The card's clock set-up protocol, write for write, with the dividers' bytes filled in. Written
// out here, not derived from the program's register map, so the tests check the program against
// the protocol rather than against itself.
inline std::vector<Access> expectedClockWrites(std::uint16_t base, std::uint8_t kLow,
                                               std::uint8_t kHigh, std::uint8_t nLow,
                                               std::uint8_t nHigh)
{
    const int kLo = -1, kHi = -2, nLo = -3, nHi = -4; // placeholders
    const std::pair<int, int> protocol[33]
        = {{7, 0x76},  {5, kLo},   {5, kHi},   {7, 0xB6},  {6, nLo},   {6, nHi},   {11, 0x36},
           {8, nLo},   {8, nHi},   {11, 0x76}, {9, nLo},   {9, nHi},   {11, 0xB6}, {10, nLo},
           {10, nHi},  {15, 0x36}, {12, nLo},  {12, nHi},  {15, 0x76}, {13, nLo},  {13, nHi},
           {15, 0xB6}, {14, nLo},  {14, nHi},  {19, 0x36}, {16, nLo},  {16, nHi},  {19, 0x76},
           {17, nLo},  {17, nHi},  {19, 0xB6}, {18, nLo},  {18, nHi}};
    std::vector<Access> writes;
    for (const auto &[offset, byte] : protocol) {
        int value = byte;
        if (byte == kLo)
            value = kLow;
        if (byte == kHi)
            value = kHigh;
        if (byte == nLo)
            value = nLow;
        if (byte == nHi)
            value = nHigh;
        writes.push_back(
            out(static_cast<std::uint16_t>(base + offset), static_cast<std::int16_t>(value)));
    }
    return writes;
}

} // namespace qm5083::testing
