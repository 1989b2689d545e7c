#include "parse_number.h"
#include "runtime_error.h"
#include "support/expect_error.h"
#include "value.h"

#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

using namespace qm5083::convert;
using qm5083::testing::failsWith;

namespace {

// A row's name from the text it is about: letters and digits kept, anything else spelled out;
// digits alone would read as a row index.
std::string nameOf(std::string_view text)
{
    const std::string_view spelled[] = {"_", "Amp", "Plus", "Minus", "Dot", "Comma", "Tab", "Lf"};
    std::string name;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const auto at = std::string_view(" &+-.,\t\n").find(c);
        if (std::isalnum(u))
            name += c;
        else if (at != std::string_view::npos)
            name += spelled[at];
        else
            name.append("X").append(std::to_string(u));
    }
    if (name.find_first_not_of("0123456789") == std::string::npos)
        name.insert(0, name.empty() ? "Empty" : "Digits");
    return name;
}

// Every row here is about a text, and prints as it.
template<class Row>
concept TextRow = std::is_same_v<decltype(Row::text), const char *>;
void PrintTo(const TextRow auto &row, std::ostream *os)
{
    *os << '"' << row.text << '"';
}

struct ParseRow
{
    const char *text;
    std::optional<double> value; // nullopt: overflow
};

class ParseNumberTest : public ::testing::TestWithParam<ParseRow>
{ };

// A text that starts with "&H" also checks the hexadecimal field reading of the rest.
TEST_P(ParseNumberTest, ReadsTheLeadingNumber)
{
    const std::string_view text = GetParam().text;
    const std::optional<double> &value = GetParam().value;
    const bool hex = text.substr(0, 2) == "&H" || text.substr(0, 2) == "&h";
    if (value) {
        EXPECT_EQ(ParseNumber(text), *value);
    } else {
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ParseNumber(text); }));
    }
    if (hex && value) {
        EXPECT_EQ(ParseHexField(text.substr(2)), *value);
    } else if (hex) {
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ParseHexField(text.substr(2)); }));
    }
}

const auto kTextName = [](const auto &info) {
    return nameOf(info.param.text);
};

INSTANTIATE_TEST_SUITE_P(
    Decimal, ParseNumberTest,
    ::testing::Values(ParseRow {"1000", 1000}, ParseRow {"1 000", 1000}, ParseRow {"12abc", 12},
                      ParseRow {"", 0}, ParseRow {"abc", 0}, ParseRow {"  -2.5", -2.5},
                      ParseRow {"+7", 7}, ParseRow {"- 5", -5}, ParseRow {".5", 0.5},
                      ParseRow {"5.", 5}, ParseRow {".", 0}, ParseRow {"-", 0},
                      ParseRow {"1E3", 1000}, ParseRow {"1e-2", 0.01}, ParseRow {"2D2", 200},
                      ParseRow {"1E", 1}, ParseRow {"1E+", 1}, ParseRow {"3\t\n4", 34},
                      ParseRow {"10.5", 10.5}, ParseRow {"255.5", 255.5}, ParseRow {"1,5", 1},
                      ParseRow {"0010", 10}, ParseRow {"1 E 2", 100},
                      ParseRow {"1E400", std::nullopt}, ParseRow {"-1E400", std::nullopt},
                      ParseRow {"1E-400", 0}, ParseRow {"1E99999999999999999999", std::nullopt},
                      ParseRow {"\xe4\xb8\x80", 0} /* a CJK character is no digit */),
    kTextName);

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, ParseNumberTest,
    ::testing::Values(
        ParseRow {"&HE00D", -8179}, ParseRow {"&h300", 768}, ParseRow {"&HFF", 255},
        ParseRow {"&Hff", 255}, ParseRow {"&HFFFF", -1}, ParseRow {"&H8000", -32768},
        ParseRow {"&H7FFF", 32767}, ParseRow {"&H10000", 65536}, ParseRow {"&H1G", 1},
        ParseRow {"&H", 0}, ParseRow {"&HNO", 0}, ParseRow {"&H&H10", 0}, ParseRow {"&H100", 256},
        ParseRow {"& H 1 0", 16}, ParseRow {"&H 1 0", 16}, ParseRow {"&H-1", 0},
        ParseRow {"&HFFFFFFFF", -1}, ParseRow {"&H80000000", -2147483648.0},
        ParseRow {"&H7FFFFFFF", 2147483647}, ParseRow {"&H12345678", 305419896},
        ParseRow {"&H123456789", std::nullopt},
        // Leading zeros are not significant: neither for the digit count nor the width.
        ParseRow {"&H0000FFFF", -1}, ParseRow {"&H00000000000E000", -8192},
        ParseRow {"&H000000001", 1}, ParseRow {"&O17", 0}, ParseRow {"&", 0}),
    kTextName);

struct TextToInt16Row
{
    const char *text;
    int value;                        // when error is nullopt
    std::optional<ErrorNumber> error; // expected failure
};

class TextToInt16Test : public ::testing::TestWithParam<TextToInt16Row>
{ };

TEST_P(TextToInt16Test, ConvertsWholeDecimalTexts)
{
    const auto &row = GetParam();
    if (row.error)
        EXPECT_TRUE(failsWith(*row.error, [&] { TextToInt16(row.text); }));
    else
        EXPECT_EQ(TextToInt16(row.text), row.value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextToInt16Test,
    ::testing::Values(TextToInt16Row {"1", 1, {}}, TextToInt16Row {"  12  ", 12, {}},
                      TextToInt16Row {"-3", -3, {}}, TextToInt16Row {"+4", 4, {}},
                      TextToInt16Row {"2.5", 2, {}}, TextToInt16Row {"3.5", 4, {}},
                      TextToInt16Row {"0001", 1, {}}, TextToInt16Row {"1E2", 100, {}},
                      TextToInt16Row {"32767", 32767, {}}, TextToInt16Row {"-32768", -32768, {}},
                      TextToInt16Row {"", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {"   ", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {"abc", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {"1x", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {"1 2", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {".", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {"&H1", 0, ErrorNumber::TypeMismatch},
                      TextToInt16Row {"32768", 0, ErrorNumber::Overflow},
                      TextToInt16Row {"-32769", 0, ErrorNumber::Overflow},
                      TextToInt16Row {"32767.5", 0, ErrorNumber::Overflow},
                      TextToInt16Row {"1E400", 0, ErrorNumber::Overflow}),
    kTextName);

// How one value reads in a report, and what it converts to: rounded half to even, then checked
// against the range; a 16-bit value also as hexadecimal text.
struct ValueRow
{
    Value value;
    const char *text;          // describeValue; also the row's name
    std::optional<int> int16;  // nullopt: overflow
    std::optional<int> byte;   // nullopt: overflow
    const char *hex = nullptr; // FormatHex of the 16-bit value
};

class ValueConversion : public ::testing::TestWithParam<ValueRow>
{ };

TEST_P(ValueConversion, DescribesRoundsAndChecksTheRange)
{
    const ValueRow &row = GetParam();
    EXPECT_EQ(describeValue(row.value), row.text);
    if (row.int16)
        EXPECT_EQ(ToInt16(row.value), *row.int16);
    else
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ToInt16(row.value); }));
    if (row.byte)
        EXPECT_EQ(ToByte(row.value), *row.byte);
    else
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ToByte(row.value); }));
    if (row.hex) {
        EXPECT_EQ(FormatHex(static_cast<std::int16_t>(*row.int16)), row.hex);
    }
}

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Rows, ValueConversion,
    ::testing::Values(
        ValueRow {Empty {}, "empty", 0, 0}, ValueRow {2.5, "2.5", 2, 2},
        ValueRow {3.5, "3.5", 4, 4}, ValueRow {-2.5, "-2.5", -2, {}},
        ValueRow {-3.5, "-3.5", -4, {}}, ValueRow {0.5, "0.5", 0, 0}, ValueRow {1.5, "1.5", 2, 2},
        ValueRow {2.4, "2.4", 2, 2}, ValueRow {2.6, "2.6", 3, 3}, ValueRow {-0.4, "-0.4", 0, 0},
        ValueRow {-0.6, "-0.6", -1, {}}, ValueRow {32767.4, "32767.4", 32767, {}},
        ValueRow {32767.5, "32767.5", {}, {}}, ValueRow {-32768.5, "-32768.5", -32768, {}},
        ValueRow {255.4, "255.4", 255, 255}, ValueRow {255.5, "255.5", 256, {}},
        ValueRow {1e300, "1e+300", {}, {}}, ValueRow {kNan, "nan", {}, {}},
        ValueRow {kInf, "inf", {}, {}}, ValueRow {std::int32_t {200}, "200", 200, 200},
        ValueRow {std::int32_t {65536}, "65536", {}, {}},
        ValueRow {std::int16_t {0}, "0", 0, 0, "0"}, ValueRow {std::int16_t {5}, "5", 5, 5, "5"},
        ValueRow {std::int16_t {255}, "255", 255, 255, "FF"},
        ValueRow {std::int16_t {0x300}, "768", 768, {}, "300"},
        ValueRow {std::int16_t {-1}, "-1", -1, {}, "FFFF"},
        ValueRow {std::int16_t {-8179}, "-8179", -8179, {}, "E00D"},
        ValueRow {std::int16_t {-8192}, "-8192", -8192, {}, "E000"},
        ValueRow {std::int16_t {-32768}, "-32768", -32768, {}, "8000"},
        ValueRow {std::int16_t {32767}, "32767", 32767, {}, "7FFF"}),
    kTextName);

TEST(Add, IsExactAndWidensInsteadOfOverflowing)
{
    EXPECT_EQ(Add(Empty {}, std::int16_t {8}), Value {std::int16_t {8}});
    EXPECT_EQ(Add(Empty {}, Empty {}), Value {std::int16_t {0}});
    EXPECT_EQ(Add(std::int16_t {32767}, std::int16_t {1}), Value {std::int32_t {32768}});
    EXPECT_EQ(Add(std::int16_t {-8179}, std::int16_t {8}), Value {std::int16_t {-8171}});
    EXPECT_EQ(Add(std::int32_t {2147483647}, std::int16_t {1}), Value {2147483648.0});
    EXPECT_EQ(Add(65536.0, std::int16_t {1}), Value {65537.0});
    // The overflow of a port sum belongs to the ToInt16 that follows.
    EXPECT_TRUE(failsWith(ErrorNumber::Overflow,
                          [] { ToInt16(Add(std::int16_t {32767}, std::int16_t {3})); }));
}

TEST(AndDivisionFloor, FollowTheIntegerRules)
{
    EXPECT_EQ(And(200.0, std::int16_t {255}), Value {std::int32_t {200}});
    EXPECT_EQ(And(255.5, std::int16_t {255}), Value {std::int32_t {0}}); // 255.5 rounds to 256
    EXPECT_EQ(And(-1.0, std::int16_t {255}), Value {std::int32_t {255}});
    EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [] { And(4294967296.0, std::int16_t {255}); }));

    EXPECT_EQ(IntDiv(-1.0, 256), Value {std::int32_t {0}});
    EXPECT_EQ(IntDiv(-4096.0, 256), Value {std::int32_t {-16}});
    EXPECT_EQ(IntDiv(std::int16_t {4095}, 256), Value {std::int32_t {15}});
    EXPECT_EQ(IntDiv(383.5, 256), Value {std::int32_t {1}}); // 383.5 rounds to 384 first
    EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [] { IntDiv(4294967296.0, 256); }));

    EXPECT_EQ(Divide(1000.0, 256), 3.90625);
    EXPECT_EQ(Divide(std::int32_t {-65536}, 256), -256.0);
    EXPECT_EQ(Divide(Empty {}, 256), 0.0);

    EXPECT_EQ(FloorOf(-0.02), Value {-1.0});
    EXPECT_EQ(FloorOf(255.5 / 256), Value {0.0});
    EXPECT_EQ(FloorOf(std::int16_t {7}), Value {std::int16_t {7}});
    EXPECT_EQ(FloorOf(Empty {}), Value {std::int16_t {0}});
}

TEST(RuntimeError, CarriesNumberDescriptionAndSource)
{
    RuntimeError error(ErrorNumber::Overflow);
    EXPECT_EQ(error.number(), ErrorNumber::Overflow);
    EXPECT_STREQ(error.what(), "Run-time error 6: Overflow");
    error.setSource(ErrorSource::TextBox, "txtOutput2", "10000");
    EXPECT_EQ(error.sourceKind(), ErrorSource::TextBox);
    EXPECT_EQ(error.source(), "txtOutput2");
    EXPECT_EQ(error.sourceText(), "10000");
    EXPECT_STREQ(RuntimeError(ErrorNumber::TypeMismatch).what(),
                 "Run-time error 13: Type mismatch");
}

} // namespace
