#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace qm5083::convert {

// The empty value: what a stored base holds before anything was stored; it counts as 0.
struct Empty
{
    bool operator==(const Empty &) const = default;
};

// A number as the panels compute with it: empty, a 16-bit or 32-bit integer, or a double.
// The alternative matters: it decides how sums grow and how values convert.
using Value = std::variant<Empty, std::int16_t, std::int32_t, double>;

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Independent of the floating-point environment's rounding mode.
double RoundHalfEven(double x);

// Rounding rule, then range -32768..32767; outside it: overflow. Empty gives 0.
std::int16_t ToInt16(const Value &value);
// Rounding rule, then range 0..255; outside it: overflow. Empty gives 0.
std::uint8_t ToByte(const Value &value);
// Rounding rule, then the 32-bit range; outside it: overflow. Empty gives 0.
std::int32_t ToInt32(const Value &value);

// Exact sum. Integers widen (16 -> 32 -> double) instead of overflowing, so the overflow of a
// port sum comes from the ToInt16 that follows, never from the addition.
Value Add(const Value &a, const Value &b);
// Both operands to 32-bit integers by the rounding rule, then bitwise and.
Value And(const Value &a, const Value &b);
// The dividend to a 32-bit integer by the rounding rule, then division truncating toward zero.
// The divisor is a positive constant of the panels (256), so the quotient always exists.
Value IntDiv(const Value &dividend, std::int32_t divisor);
// Division of doubles, by a positive constant of the panels (256).
double Divide(const Value &dividend, double divisor);
// The largest integer not above the value; integers stay integers.
Value FloorOf(const Value &value);

double ToDouble(const Value &value);

// Upper-case hexadecimal without prefix or leading zeros; negatives as four-digit two's complement.
std::string FormatHex(std::int16_t value);

// How a value reads in an error report: "empty", "-8179", "65536", "255.5".
std::string describeValue(const Value &value);

} // namespace qm5083::convert
