#pragma once

#include <cstdint>
#include <string_view>

namespace qm5083::convert {

// Lenient reading of the number at the start of a text.
// - Blanks, tabs and line feeds anywhere are ignored.
// - "&H" (any case) introduces hexadecimal digits, read up to the first non-digit (none gives 0).
//   Leading zeros are not significant. A value up to FFFF reads as a 16-bit two's-complement
//   number, up to FFFFFFFF as a 32-bit one; more than eight significant digits overflow.
// - Otherwise the longest decimal prefix is read: sign, digits, "." fraction, exponent E or D.
//   No such prefix gives 0. A magnitude beyond a double's range overflows; one too small for
//   a double reads as 0.
double ParseNumber(std::string_view text);

// A hexadecimal field: exactly ParseNumber("&H" + text), without building the joined text.
double ParseHexField(std::string_view text);

// Strict decimal conversion: the whole text, blanks allowed only around it, must be a decimal
// number ("." separator, optional exponent E or D); it is rounded by the rounding rule.
// Empty or non-numeric text: type mismatch. Outside -32768..32767: overflow.
std::int16_t TextToInt16(std::string_view text);

} // namespace qm5083::convert
