#include "NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace tirevo;
using namespace std::string_literals;

namespace {

// The program runs in the user's locale; so do these tests, which makes the
// LC_ALL=de_DE.UTF-8 run show that nothing depends on the C library's
// decimal separator.
const bool kUserLocale = std::setlocale(LC_ALL, "") != nullptr;

TEST(Locale, CommaLocaleIsInForceWhenAsked)
{
    ASSERT_TRUE(kUserLocale);
    const char* lcAll = std::getenv("LC_ALL");
    if (lcAll == nullptr || std::strncmp(lcAll, "de_DE", 5) != 0)
        GTEST_SKIP();
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
}

struct IntegerCase {
    std::string text;
    std::optional<int32_t> value;
};

class IntegerText : public testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerText, Converts)
{
    EXPECT_EQ(ParseIntegerText(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(DecimalRange, IntegerText,
                         testing::Values(IntegerCase{"0", 0}, IntegerCase{"-0", 0}, IntegerCase{"+17", 17},
                                         IntegerCase{"2147483647", INT32_MAX},
                                         IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"2147483648", {}},
                                         IntegerCase{"-2147483649", {}},
                                         IntegerCase{"0000000000002147483647", INT32_MAX},
                                         IntegerCase{"99999999999999999999999", {}}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, IntegerText,
    testing::Values(IntegerCase{"$1F4", 500}, IntegerCase{"x1f4", 500}, IntegerCase{"X1F4", 500},
                    IntegerCase{"0x1F4", 500}, IntegerCase{"0X1f4", 500}, IntegerCase{"$FFFFFFFF", -1},
                    IntegerCase{"0x80000000", INT32_MIN}, IntegerCase{"$7FFFFFFF", INT32_MAX},
                    IntegerCase{"-$1", -1}, IntegerCase{"-0x80000000", INT32_MIN}, IntegerCase{"+$10", 16},
                    IntegerCase{"$100000000", {}}, IntegerCase{"$", {}}, IntegerCase{"0x", {}},
                    IntegerCase{"$G", {}}, IntegerCase{"$$1", {}}, IntegerCase{"0x-1", {}}));

INSTANTIATE_TEST_SUITE_P(Shape, IntegerText,
                         testing::Values(IntegerCase{" 12", 12}, IntegerCase{"   -12", -12},
                                         IntegerCase{"12 ", {}}, IntegerCase{"\t12", {}}, IntegerCase{"", {}},
                                         IntegerCase{" ", {}}, IntegerCase{"+", {}}, IntegerCase{"-", {}},
                                         IntegerCase{"- 1", {}}, IntegerCase{"+-1", {}},
                                         IntegerCase{"1,000", {}}, IntegerCase{"1.000", {}},
                                         IntegerCase{"1e3", {}}, IntegerCase{"abc", {}},
                                         IntegerCase{"false", {}}, IntegerCase{"1\0"s, {}},
                                         IntegerCase{"\xB9", {}}));

struct NumberCase {
    std::string text;
    char separator;
    NumberTextStatus status;
    double value;
};

class LocaleNumberText : public testing::TestWithParam<NumberCase> {};

TEST_P(LocaleNumberText, Converts)
{
    const NumberCase& c = GetParam();
    const NumberTextResult result = ParseLocaleNumberText(c.text, c.separator);
    ASSERT_EQ(result.status, c.status) << '"' << c.text << "\" with '" << c.separator << "'";
    if (c.status != NumberTextStatus::Ok)
        return;
    EXPECT_EQ(result.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(std::signbit(result.value), std::signbit(c.value)) << '"' << c.text << '"';
}

constexpr auto kOk = NumberTextStatus::Ok;
constexpr auto kNaN = NumberTextStatus::NotANumber;
constexpr auto kOverflow = NumberTextStatus::Overflow;

INSTANTIATE_TEST_SUITE_P(
    Shape, LocaleNumberText,
    testing::Values(
        NumberCase{"4.01", '.', kOk, 4.01}, NumberCase{"4,01", ',', kOk, 4.01},
        NumberCase{"4,01", '.', kNaN, 0}, NumberCase{"4.01", ',', kNaN, 0}, NumberCase{" 12", '.', kOk, 12},
        NumberCase{"12 ", '.', kOk, 12}, NumberCase{"  -7.5  ", '.', kOk, -7.5},
        NumberCase{"+3", '.', kOk, 3}, NumberCase{".5", '.', kOk, 0.5}, NumberCase{"5.", '.', kOk, 5},
        NumberCase{".", '.', kOk, 0}, NumberCase{"-0", '.', kOk, -0.0}, NumberCase{"1e", '.', kOk, 1},
        NumberCase{"1.5e+", '.', kOk, 1.5}, NumberCase{"2E-", '.', kOk, 2},
        NumberCase{"1,5E3", ',', kOk, 1500}, NumberCase{"25e-1", '.', kOk, 2.5},
        NumberCase{",e5", ',', kOk, 0}, NumberCase{"", '.', kNaN, 0}, NumberCase{"   ", '.', kNaN, 0},
        NumberCase{"+", '.', kNaN, 0}, NumberCase{"-", '.', kNaN, 0}, NumberCase{"e5", '.', kNaN, 0},
        NumberCase{"-e", '.', kNaN, 0}, NumberCase{"\t1", '.', kNaN, 0}, NumberCase{"1 2", '.', kNaN, 0},
        NumberCase{"1..2", '.', kNaN, 0}, NumberCase{"1e5x", '.', kNaN, 0}, NumberCase{"1e+-2", '.', kNaN, 0},
        NumberCase{"--1", '.', kNaN, 0}, NumberCase{"0x10", '.', kNaN, 0}, NumberCase{"inf", '.', kNaN, 0},
        NumberCase{"nan", '.', kNaN, 0}, NumberCase{"1\0"s, '.', kNaN, 0}));

INSTANTIATE_TEST_SUITE_P(ThousandsSeparators, LocaleNumberText,
                         testing::Values(NumberCase{"1,000.5", '.', kNaN, 0},
                                         NumberCase{"1.000,5", ',', kNaN, 0},
                                         NumberCase{"1 000", '.', kNaN, 0},
                                         NumberCase{"1'000", '.', kNaN, 0}));

INSTANTIATE_TEST_SUITE_P(
    Range, LocaleNumberText,
    testing::Values(NumberCase{"1E400", '.', kOverflow, 0}, NumberCase{"-1e400", '.', kOverflow, 0},
                    NumberCase{"1.7976931348623157e308", '.', kOk, DBL_MAX},
                    NumberCase{"1.7976931348623159e308", '.', kOverflow, 0},
                    NumberCase{"0.00000000000000000001e329", '.', kOverflow, 0},
                    NumberCase{"0.00000000000000000001e328", '.', kOk, 1e308},
                    NumberCase{"1e99999999999999999999999", '.', kOverflow, 0},
                    NumberCase{"1e-400", '.', kOk, 0}, NumberCase{"-1e-400", '.', kOk, -0.0},
                    NumberCase{"4.9406564584124654e-324", '.', kOk, 4.9406564584124654e-324},
                    NumberCase{"2.2250738585072014E-308", '.', kOk, DBL_MIN},
                    NumberCase{"1e-99999999999999999999999", '.', kOk, 0},
                    NumberCase{"1e0000000000000000000000001", '.', kOk, 10},
                    NumberCase{"0e999999", '.', kOk, 0},
                    NumberCase{"0." + std::string(5000, '0') + "1e5002", '.', kOk, 10},
                    NumberCase{"1" + std::string(400, '0') + "e-400", '.', kOk, 1},
                    NumberCase{"0.30000000000000000000000000000000000001", '.', kOk, 0.3}));

TEST(ErrorText, NamesTheText)
{
    EXPECT_EQ(InvalidIntegerText("abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(InvalidIntegerText(""), "'' is not a valid integer value");
    EXPECT_EQ(InvalidFloatText("4,01"), "'4,01' is not a valid floating point value");
    EXPECT_STREQ(kFloatingPointOverflow, "Floating point overflow");
}

struct DisplayCase {
    double value;
    char separator;
    std::string text;
};

class NumberDisplay : public testing::TestWithParam<DisplayCase> {};

// The text must also read back as a number that shows the same, since the
// calibration fields are shown and then read.
TEST_P(NumberDisplay, ShowsAndReadsBack)
{
    const DisplayCase& c = GetParam();
    const std::string text = NumberDisplayText(c.value, c.separator);
    EXPECT_EQ(text, c.text);
    const NumberTextResult back = ParseLocaleNumberText(text, c.separator);
    ASSERT_EQ(back.status, NumberTextStatus::Ok) << text;
    EXPECT_EQ(NumberDisplayText(back.value, c.separator), text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberDisplay,
    testing::Values(DisplayCase{4.01, '.', "4.01"}, DisplayCase{7.0, '.', "7"},
                    DisplayCase{4.01, ',', "4,01"}, DisplayCase{-2.5, ',', "-2,5"},
                    DisplayCase{0.0, '.', "0"}, DisplayCase{-0.0, '.', "0"},
                    DisplayCase{0.1 + 0.2, '.', "0.3"}, DisplayCase{1.0 / 3, '.', "0.333333333333333"},
                    DisplayCase{123456789012345.0, '.', "123456789012345"}, DisplayCase{1e15, '.', "1E15"},
                    DisplayCase{-1.5e20, ',', "-1,5E20"}, DisplayCase{0.0001, '.', "0.0001"},
                    DisplayCase{0.00001, '.', "1E-5"}, DisplayCase{1.5e-7, ',', "1,5E-7"},
                    DisplayCase{1e300, '.', "1E300"}, DisplayCase{1.5e308, '.', "1.5E308"},
                    DisplayCase{4.9406564584124654e-324, '.', "4.94065645841247E-324"}));

}  // namespace
