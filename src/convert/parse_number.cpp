#include "parse_number.h"

#include "hex_text.h"
#include "runtime_error.h"
#include "value.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace qm5083::convert {

namespace {

constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Walks a text with the blanks taken out, never copying it.
class BlankSkippingCursor
{
public:
    explicit BlankSkippingCursor(std::string_view text)
        : text_(text)
    {
        skipBlanks();
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void advance()
    {
        ++pos_;
        skipBlanks();
    }

private:
    void skipBlanks()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
};

double readHexDigits(BlankSkippingCursor &cursor)
{
    std::uint64_t value = 0;
    int significantDigits = 0;
    for (int digit = hexDigitValue(cursor.peek()); digit >= 0;
         digit = hexDigitValue(cursor.peek())) {
        if (significantDigits > 0 || digit != 0) {
            if (++significantDigits > 8)
                throwOverflow();
            value = value * 16 + static_cast<std::uint64_t>(digit);
        }
        cursor.advance();
    }
    if (value <= 0xFFFF)
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

// Converts a well-formed decimal literal ("-12.5E+3"; no blanks, exponent letter E) to a double.
double convertDecimal(const std::string &literal)
{
    const char *first = literal.data();
    const char *last = first + literal.size();
    if (*first == '+')
        ++first;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc())
        return value;
    // Out of range one way or the other: strtod in the C locale tells overflow from underflow.
    static const locale_t kCLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    errno = 0;
    const double slow = strtod_l(literal.c_str(), nullptr, kCLocale);
    if (std::isinf(slow))
        throwOverflow();
    return slow; // a subnormal or zero
}

// Appends the decimal prefix at the cursor to literal; true when it holds at least one digit.
bool scanDecimalPrefix(BlankSkippingCursor &cursor, std::string &literal)
{
    if (cursor.peek() == '+' || cursor.peek() == '-') {
        literal += cursor.peek();
        cursor.advance();
    }
    bool mantissaDigits = false;
    while (isDigit(cursor.peek())) {
        literal += cursor.peek();
        mantissaDigits = true;
        cursor.advance();
    }
    if (cursor.peek() == '.') {
        literal += '.';
        cursor.advance();
        while (isDigit(cursor.peek())) {
            literal += cursor.peek();
            mantissaDigits = true;
            cursor.advance();
        }
    }
    if (!mantissaDigits)
        return false;
    const char e = cursor.peek();
    if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        // The exponent counts only when a digit follows; "1E" reads as 1.
        BlankSkippingCursor lookahead = cursor;
        lookahead.advance();
        std::string exponent = "E";
        if (lookahead.peek() == '+' || lookahead.peek() == '-') {
            exponent += lookahead.peek();
            lookahead.advance();
        }
        if (isDigit(lookahead.peek())) {
            while (isDigit(lookahead.peek())) {
                exponent += lookahead.peek();
                lookahead.advance();
            }
            literal += exponent;
            cursor = lookahead;
        }
    }
    return true;
}

} // namespace

double ParseNumber(std::string_view text)
{
    BlankSkippingCursor cursor(text);
    if (cursor.peek() == '&') {
        BlankSkippingCursor afterAmpersand = cursor;
        afterAmpersand.advance();
        if (afterAmpersand.peek() == 'H' || afterAmpersand.peek() == 'h') {
            afterAmpersand.advance();
            return readHexDigits(afterAmpersand);
        }
        return 0.0;
    }
    std::string literal;
    if (!scanDecimalPrefix(cursor, literal))
        return 0.0;
    return convertDecimal(literal);
}

double ParseHexField(std::string_view text)
{
    BlankSkippingCursor cursor(text);
    return readHexDigits(cursor);
}

std::int16_t TextToInt16(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        throwTypeMismatch();
    const auto last = text.find_last_not_of(" \t");
    const std::string_view number = text.substr(first, last - first + 1);
    // Inner blanks would be skipped by the lenient cursor; here they make the text non-numeric.
    if (number.find_first_of(" \t\n") != std::string_view::npos)
        throwTypeMismatch();
    BlankSkippingCursor cursor(number);
    std::string literal;
    if (!scanDecimalPrefix(cursor, literal) || !cursor.atEnd())
        throwTypeMismatch();
    return ToInt16(convertDecimal(literal));
}

} // namespace qm5083::convert
