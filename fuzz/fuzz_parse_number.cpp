// ParseNumber on any text. Properties:
// - it gives a finite number or fails with error 6 (Overflow), never anything else;
// - blanks, tabs and line feeds anywhere change nothing;
// - reading stops at the first character that cannot continue the number, so appending one
//   changes nothing;
// - "&H" texts give integers in the 32-bit range; a text that starts with no number reads 0;
// - a decimal text reads as the C library's strtod reads its blank-free form in the C locale
//   (D taken as E), overflow included.

#include "fuzz_check.h"

#include "parse_number.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

using namespace qm5083;
using fuzz::Outcome;
using fuzz::outcomeOf;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

std::string withoutBlanks(std::string_view text)
{
    std::string kept;
    for (const char c : text)
        if (!isBlank(c))
            kept += c;
    return kept;
}

// What strtod makes of a blank-free decimal text, or nothing when strtod would read something
// this program does not (hexadecimal floats, inf, nan) and so is no reference for it.
std::optional<Outcome<double>> strtodReading(const std::string &text)
{
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    if (at >= text.size()
        || !(std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == '.'))
        return std::nullopt;
    if (text.find_first_of("xX") != std::string::npos)
        return std::nullopt;
    std::string literal = text;
    for (char &c : literal)
        if (c == 'D' || c == 'd')
            c = 'E';
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    errno = 0;
    const double value = strtod_l(literal.c_str(), nullptr, cLocale);
    if (std::isinf(value))
        return Outcome<double> {std::nullopt, convert::ErrorNumber::Overflow};
    return Outcome<double> {value, std::nullopt};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text = fuzz::textOf(data, size);
    const Outcome<double> read = outcomeOf([&] { return convert::ParseNumber(text); });

    QM5083_CHECK(read.value.has_value() != read.error.has_value(), text);
    if (read.value)
        QM5083_CHECK(std::isfinite(*read.value), text);
    else
        QM5083_CHECK(*read.error == convert::ErrorNumber::Overflow, text);

    // A blank at a place the input itself chooses.
    if (size > 0) {
        std::string spaced(text);
        const char blanks[] = {' ', '\t', '\n'};
        spaced.insert(spaced.begin() + static_cast<std::ptrdiff_t>(data[0] % (size + 1)),
                      blanks[data[size - 1] % 3]);
        QM5083_CHECK(outcomeOf([&] { return convert::ParseNumber(spaced); }) == read, text);
    }

    const std::string terminated = std::string(text) + "Z";
    QM5083_CHECK(outcomeOf([&] { return convert::ParseNumber(terminated); }) == read, text);

    const std::string compact = withoutBlanks(text);
    if (compact.size() >= 2 && compact[0] == '&' && (compact[1] == 'H' || compact[1] == 'h')) {
        if (read.value) {
            QM5083_CHECK(*read.value == std::trunc(*read.value), text);
            QM5083_CHECK(*read.value >= INT32_MIN && *read.value <= INT32_MAX, text);
        }
    } else if (const auto reference = strtodReading(compact)) {
        QM5083_CHECK(*reference == read, text);
    } else if (compact.empty()
               || std::string_view("+-.0123456789&").find(compact[0]) == std::string_view::npos) {
        QM5083_CHECK(read.value == 0.0, text); // no number at the start reads as 0
    }
    return 0;
}
