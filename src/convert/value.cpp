#include "value.h"

#include "runtime_error.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace qm5083::convert {

namespace {

bool isInteger(const Value &v)
{
    return !std::holds_alternative<double>(v);
}

std::int64_t integerOf(const Value &v)
{
    if (const auto *i16 = std::get_if<std::int16_t>(&v))
        return *i16;
    if (const auto *i32 = std::get_if<std::int32_t>(&v))
        return *i32;
    return 0; // Empty
}

// Rounds and checks a value against [lo, hi]; NaN and infinities overflow.
std::int64_t toRangedInteger(const Value &value, std::int64_t lo, std::int64_t hi)
{
    if (isInteger(value)) {
        const std::int64_t i = integerOf(value);
        if (i < lo || i > hi)
            throwOverflow();
        return i;
    }
    const double r = RoundHalfEven(std::get<double>(value));
    // The comparisons are false for NaN, which therefore overflows too.
    if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi)))
        throwOverflow();
    return static_cast<std::int64_t>(r);
}

Value narrowestInteger(std::int64_t i)
{
    if (i >= std::numeric_limits<std::int16_t>::min()
        && i <= std::numeric_limits<std::int16_t>::max())
        return static_cast<std::int16_t>(i);
    if (i >= std::numeric_limits<std::int32_t>::min()
        && i <= std::numeric_limits<std::int32_t>::max())
        return static_cast<std::int32_t>(i);
    return static_cast<double>(i);
}

} // namespace

double RoundHalfEven(double x)
{
    if (!std::isfinite(x))
        return x;
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5)
        return below + 1.0;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::int16_t ToInt16(const Value &value)
{
    return static_cast<std::int16_t>(toRangedInteger(value, -32768, 32767));
}

std::uint8_t ToByte(const Value &value)
{
    return static_cast<std::uint8_t>(toRangedInteger(value, 0, 255));
}

std::int32_t ToInt32(const Value &value)
{
    return static_cast<std::int32_t>(toRangedInteger(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

double ToDouble(const Value &value)
{
    if (const auto *d = std::get_if<double>(&value))
        return *d;
    return static_cast<double>(integerOf(value));
}

Value Add(const Value &a, const Value &b)
{
    if (isInteger(a) && isInteger(b)) {
        if (std::holds_alternative<Empty>(a) && std::holds_alternative<Empty>(b))
            return std::int16_t {0};
        // Keep the wider of the two integer kinds, widening further only when the sum needs it.
        const std::int64_t sum = integerOf(a) + integerOf(b);
        const bool anyLong
            = std::holds_alternative<std::int32_t>(a) || std::holds_alternative<std::int32_t>(b);
        if (anyLong && sum >= std::numeric_limits<std::int16_t>::min()
            && sum <= std::numeric_limits<std::int16_t>::max())
            return static_cast<std::int32_t>(sum);
        return narrowestInteger(sum);
    }
    return ToDouble(a) + ToDouble(b);
}

Value And(const Value &a, const Value &b)
{
    const std::int32_t left = ToInt32(a);
    const std::int32_t right = ToInt32(b);
    return static_cast<std::int32_t>(left & right);
}

Value IntDiv(const Value &dividend, std::int32_t divisor)
{
    return static_cast<std::int32_t>(ToInt32(dividend) / divisor);
}

double Divide(const Value &dividend, double divisor)
{
    return ToDouble(dividend) / divisor;
}

Value FloorOf(const Value &value)
{
    if (const auto *d = std::get_if<double>(&value))
        return std::floor(*d);
    if (std::holds_alternative<Empty>(value))
        return std::int16_t {0};
    return value;
}

std::string FormatHex(std::int16_t value)
{
    std::array<char, 8> digits {};
    const auto pattern = static_cast<std::uint16_t>(value);
    const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), pattern, 16);
    std::string text(digits.data(), end);
    for (char &c : text)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string describeValue(const Value &value)
{
    if (std::holds_alternative<Empty>(value))
        return "empty";
    if (isInteger(value))
        return std::to_string(integerOf(value));
    std::array<char, 64> buffer {};
    const auto [end, ec]
        = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::get<double>(value));
    return std::string(buffer.data(), end);
}

} // namespace qm5083::convert
