// The field readings the panels use, on any text. Properties:
// - a hexadecimal field reads exactly as ParseNumber("&H" + text) and as "&h" + text, gives an
//   integer in the 32-bit range or fails with error 6, and ignores leading zeros;
// - TextToInt16 gives a value or fails with error 6 or 13; a value it gives is what the lenient
//   reading of the same text rounds to, and an overflow is a text the lenient reading also
//   takes outside -32768..32767;
// - FormatHex of any 16-bit value is its upper-case digits without leading zeros, and reads
//   back as the same value through a hexadecimal field.

#include "fuzz_check.h"

#include "parse_number.h"
#include "value.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

using namespace qm5083;
using convert::ErrorNumber;
using fuzz::Outcome;
using fuzz::outcomeOf;

// The rounding rule by the floating-point unit: round to nearest, ties to even, the default mode.
double roundedHalfEven(double x)
{
    return std::nearbyint(x);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text = fuzz::textOf(data, size);
    QM5083_CHECK(std::fegetround() == FE_TONEAREST, text);

    // Hexadecimal field.
    const Outcome<double> hex = outcomeOf([&] { return convert::ParseHexField(text); });
    QM5083_CHECK(hex == outcomeOf([&] { return convert::ParseNumber("&H" + std::string(text)); }),
                 text);
    QM5083_CHECK(hex == outcomeOf([&] { return convert::ParseNumber("&h" + std::string(text)); }),
                 text);
    QM5083_CHECK(hex == outcomeOf([&] { return convert::ParseHexField("0" + std::string(text)); }),
                 text);
    if (hex.value) {
        QM5083_CHECK(*hex.value == std::trunc(*hex.value), text);
        QM5083_CHECK(*hex.value >= INT32_MIN && *hex.value <= INT32_MAX, text);
    } else {
        QM5083_CHECK(hex.error == ErrorNumber::Overflow, text);
    }

    // Card number, against the lenient reading of the same text.
    const Outcome<double> decimal = outcomeOf([&] { return convert::ParseNumber(text); });
    const Outcome<std::int16_t> card = outcomeOf([&] { return convert::TextToInt16(text); });
    if (card.value) {
        QM5083_CHECK(decimal.value && roundedHalfEven(*decimal.value) == *card.value, text);
    } else {
        QM5083_CHECK(card.error == ErrorNumber::Overflow || card.error == ErrorNumber::TypeMismatch,
                     text);
        if (card.error == ErrorNumber::Overflow)
            QM5083_CHECK(!decimal.value || roundedHalfEven(*decimal.value) < -32768
                             || roundedHalfEven(*decimal.value) > 32767,
                         text);
    }

    // Hexadecimal text of a 16-bit value.
    if (size >= 2) {
        const auto value = static_cast<std::int16_t>(data[0] << 8 | data[1]);
        const std::string digits = convert::FormatHex(value);
        QM5083_CHECK(!digits.empty() && digits.size() <= 4, text);
        QM5083_CHECK(digits.find_first_not_of("0123456789ABCDEF") == std::string::npos, text);
        QM5083_CHECK(digits == "0" || digits[0] != '0', text);
        QM5083_CHECK(convert::ParseHexField(digits) == value, text);
    }
    return 0;
}
