#include "parse_number.h"
#include "runtime_error.h"
#include "value.h"
#include "support/expect_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

using namespace qm5083::convert;
using qm5083::testing::failsWith;

namespace {

struct ParseRow
{
    const char *text;
    std::optional<double> value; // nullopt: overflow
};

void PrintTo(const ParseRow &row, std::ostream *os)
{
    *os << '"' << row.text << '"';
}

class ParseNumberTest : public ::testing::TestWithParam<ParseRow>
{ };

TEST_P(ParseNumberTest, ReadsTheLeadingNumber)
{
    const ParseRow &row = GetParam();
    if (row.value) {
        EXPECT_EQ(ParseNumber(row.text), *row.value) << '"' << row.text << '"';
    } else {
        EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ParseNumber(row.text); })) << row.text;
    }
}

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
                      ParseRow {"\xe4\xb8\x80", 0} /* a CJK character is no digit */));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, ParseNumberTest,
    ::testing::Values(
        ParseRow {"&HE00D", -8179}, ParseRow {"&h300", 768}, ParseRow {"&HFF", 255},
        ParseRow {"&Hff", 255}, ParseRow {"&HFFFF", -1}, ParseRow {"&H8000", -32768},
        ParseRow {"&H7FFF", 32767}, ParseRow {"&H10000", 65536}, ParseRow {"&H1G", 1},
        ParseRow {"&H", 0}, ParseRow {"&HNO", 0}, ParseRow {"&H&H10", 0}, ParseRow {"&H100", 256},
        ParseRow {"& H 1 0", 16}, ParseRow {"&HFFFFFFFF", -1},
        ParseRow {"&H80000000", -2147483648.0}, ParseRow {"&H7FFFFFFF", 2147483647},
        ParseRow {"&H123456789", std::nullopt},
        // Leading zeros are not significant: neither for the digit count nor the width.
        ParseRow {"&H0000FFFF", -1}, ParseRow {"&H00000000000E000", -8192},
        ParseRow {"&H000000001", 1}, ParseRow {"&O17", 0}, ParseRow {"&", 0}));

TEST(ParseHexField, EqualsParseNumberWithThePrefix)
{
    for (const char *text : {"E00D", "e00d", "300", "FF", "FFFF", "10000", "1G", "", "NO", "&H10",
                             " 1 0", "0000FFFF", "FFFFFFFF", "-1", "12345678"}) {
        EXPECT_EQ(ParseHexField(text), ParseNumber(std::string("&H") + text)) << text;
    }
    EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [] { ParseHexField("123456789"); }));
}

struct TextToInt16Row
{
    const char *text;
    int value;                        // when error is nullopt
    std::optional<ErrorNumber> error; // expected failure
};

void PrintTo(const TextToInt16Row &row, std::ostream *os)
{
    *os << '"' << row.text << '"';
}

class TextToInt16Test : public ::testing::TestWithParam<TextToInt16Row>
{ };

TEST_P(TextToInt16Test, ConvertsWholeDecimalTexts)
{
    const auto &row = GetParam();
    if (row.error) {
        EXPECT_TRUE(failsWith(*row.error, [&] { TextToInt16(row.text); }))
            << '"' << row.text << '"';
    } else {
        EXPECT_EQ(TextToInt16(row.text), row.value) << '"' << row.text << '"';
    }
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
                      TextToInt16Row {"1E400", 0, ErrorNumber::Overflow}));

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    const std::pair<double, double> rows[]
        = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4},   {0.5, 0},      {1.5, 2},
           {2.4, 2}, {2.6, 3}, {-0.4, -0}, {255.5, 256}, {1e300, 1e300}};
    for (const auto &[in, out] : rows)
        EXPECT_EQ(RoundHalfEven(in), out) << in;
}

struct IntegerConversionRow
{
    Value value;
    std::optional<int> int16;
    std::optional<int> byte;
};

TEST(ToInt16AndToByte, RoundThenCheckTheRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const IntegerConversionRow rows[] = {
        {Empty {}, 0, 0},
        {std::int16_t {-1}, -1, std::nullopt},
        {2.5, 2, 2},
        {32767.5, std::nullopt, std::nullopt},
        {32767.4, 32767, std::nullopt},
        {-32768.5, -32768, std::nullopt},
        {255.5, 255 + 1, std::nullopt},
        {255.4, 255, 255},
        {-0.4, 0, 0},
        {-0.6, -1, std::nullopt},
        {std::int32_t {65536}, std::nullopt, std::nullopt},
        {std::int32_t {200}, 200, 200},
        {nan, std::nullopt, std::nullopt},
        {inf, std::nullopt, std::nullopt},
    };
    for (const auto &row : rows) {
        const std::string label = Describe(row.value);
        if (row.int16)
            EXPECT_EQ(ToInt16(row.value), *row.int16) << label;
        else
            EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ToInt16(row.value); })) << label;
        if (row.byte)
            EXPECT_EQ(ToByte(row.value), *row.byte) << label;
        else
            EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [&] { ToByte(row.value); })) << label;
    }
}

TEST(FormatHex, UpperCaseNoPrefixNoLeadingZeros)
{
    const std::pair<int, const char *> rows[]
        = {{0, "0"},        {5, "5"},        {255, "FF"},      {0x300, "300"}, {-1, "FFFF"},
           {-8179, "E00D"}, {-8192, "E000"}, {-32768, "8000"}, {32767, "7FFF"}};
    for (const auto &[value, text] : rows)
        EXPECT_EQ(FormatHex(static_cast<std::int16_t>(value)), text) << value;
}

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
    EXPECT_EQ(ToInt32(And(200.0, std::int16_t {255})), 200);
    EXPECT_EQ(ToInt32(And(255.5, std::int16_t {255})), 0); // 255.5 rounds to 256
    EXPECT_EQ(ToInt32(And(-1.0, std::int16_t {255})), 255);
    EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [] { And(4294967296.0, std::int16_t {255}); }));

    EXPECT_EQ(ToInt32(IntDiv(-1.0, std::int16_t {256})), 0);
    EXPECT_EQ(ToInt32(IntDiv(-4096.0, std::int16_t {256})), -16);
    EXPECT_EQ(ToInt32(IntDiv(4095.0, std::int16_t {256})), 15);
    EXPECT_EQ(ToInt32(IntDiv(383.5, std::int16_t {256})), 1); // 383.5 rounds to 384 first
    EXPECT_TRUE(failsWith(ErrorNumber::DivisionByZero, [] { IntDiv(1.0, Empty {}); }));

    EXPECT_DOUBLE_EQ(Divide(1000.0, std::int16_t {256}), 3.90625);
    EXPECT_TRUE(failsWith(ErrorNumber::DivisionByZero, [] { Divide(1.0, 0.0); }));
    EXPECT_TRUE(failsWith(ErrorNumber::Overflow, [] { Divide(0.0, 0.0); }));

    EXPECT_EQ(FloorOf(-0.02), Value {-1.0});
    EXPECT_EQ(FloorOf(255.5 / 256), Value {0.0});
    EXPECT_EQ(FloorOf(std::int16_t {7}), Value {std::int16_t {7}});
    EXPECT_EQ(FloorOf(Empty {}), Value {std::int16_t {0}});
}

TEST(RuntimeError, CarriesNumberDescriptionAndSource)
{
    RuntimeError error(ErrorNumber::Overflow);
    EXPECT_EQ(error.code(), 6);
    EXPECT_EQ(error.description(), "Overflow");
    EXPECT_STREQ(error.what(), "Run-time error 6: Overflow");
    error.setSource(ErrorSource::TextBox, "txtOutput2", "10000");
    EXPECT_EQ(error.sourceKind(), ErrorSource::TextBox);
    EXPECT_EQ(error.source(), "txtOutput2");
    EXPECT_EQ(error.sourceText(), "10000");
    EXPECT_STREQ(RuntimeError(ErrorNumber::TypeMismatch).what(),
                 "Run-time error 13: Type mismatch");
}

} // namespace
