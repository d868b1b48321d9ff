// Recognising reading lines, cutting out the field and reading its number.
#include "ReadingText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <regex>
#include <string>

using namespace std::string_literals;
using tirevo::ParseReadingField;

namespace {

struct LineCase {
    std::string line;
    bool reading;
    std::string field;
};

class LineShape : public testing::TestWithParam<LineCase> {};

TEST_P(LineShape, ReadingLineAndField)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(tirevo::IsReadingLine(c.line), c.reading);
    EXPECT_EQ(tirevo::ReadingField(c.line), c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, LineShape,
    testing::Values(LineCase{"pH: 7.02", true, "7.02"}, LineCase{"pH:7.02", true, ".02"},
                    LineCase{"pH: 6.9876543", true, "6.9876"}, LineCase{"pH:\t-0.001", true, "-0.001"},
                    LineCase{"pH:", true, ""}, LineCase{"pH: ", true, ""}, LineCase{"pH:  7", true, " 7"},
                    LineCase{"PH: 7.02", false, "7.02"}, LineCase{"ph: 7.02", false, "7.02"},
                    LineCase{" pH: 7.02", false, " 7.02"}, LineCase{"\npH: 7", false, " 7"},
                    LineCase{"pH", false, ""}, LineCase{"", false, ""}, LineCase{"pH;7", false, ""},
                    LineCase{"V1.02", false, "2"},
                    LineCase{"pH:\0"
                             "1\0"
                             "2"s,
                             true,
                             "1\0"
                             "2"s}));

struct ParseCase {
    std::string field;
    std::optional<double> value;
};

class Parse : public testing::TestWithParam<ParseCase> {};

TEST_P(Parse, CompleteNumbersOnly)
{
    const ParseCase& c = GetParam();
    const std::optional<double> value = ParseReadingField(c.field);
    ASSERT_EQ(value.has_value(), c.value.has_value());
    if (c.value) {
        EXPECT_EQ(*value, *c.value);
        EXPECT_EQ(std::signbit(*value), std::signbit(*c.value));
    }
}

const std::optional<double> kNone;

INSTANTIATE_TEST_SUITE_P(PlainNumbers, Parse,
                         testing::Values(ParseCase{"7.02", 7.02}, ParseCase{"14", 14.0},
                                         ParseCase{"-0.5", -0.5}, ParseCase{"-0.001", -0.001},
                                         ParseCase{"+7", 7.0}, ParseCase{"00007", 7.0}, ParseCase{"-0", -0.0},
                                         ParseCase{"6.9876", 6.9876}));
INSTANTIATE_TEST_SUITE_P(PartialMantissa, Parse,
                         testing::Values(ParseCase{"7.", 7.0}, ParseCase{".02", 0.02}, ParseCase{"-.5", -0.5},
                                         ParseCase{"+.5", 0.5}, ParseCase{".", kNone}, ParseCase{"-.", kNone},
                                         ParseCase{"+", kNone}, ParseCase{"", kNone}));
INSTANTIATE_TEST_SUITE_P(Spaces, Parse,
                         testing::Values(ParseCase{" 7.02", 7.02}, ParseCase{"    -1", -1.0},
                                         ParseCase{" ", kNone}, ParseCase{"7.02 ", kNone},
                                         ParseCase{"- 1", kNone}, ParseCase{"\t7", kNone},
                                         ParseCase{"\n7", kNone},
                                         ParseCase{"\0"
                                                   "7"s,
                                                   kNone},
                                         ParseCase{"7\0"s, kNone}));
INSTANTIATE_TEST_SUITE_P(Exponent, Parse,
                         testing::Values(ParseCase{"1e2", 100.0}, ParseCase{"1E+2", 100.0},
                                         ParseCase{"5e-1", 0.5}, ParseCase{".5e1", 5.0},
                                         ParseCase{"7.e0", 7.0}, ParseCase{"1e99", 1e99},
                                         ParseCase{"1e", kNone}, ParseCase{"1E+", kNone},
                                         ParseCase{"1e-", kNone}, ParseCase{"e5", kNone},
                                         ParseCase{".e5", kNone}, ParseCase{"1e1.5", kNone},
                                         ParseCase{"1e+-1", kNone}, ParseCase{"1ee1", kNone}));
INSTANTIATE_TEST_SUITE_P(
    OutOfRange, Parse,
    testing::Values(ParseCase{"9e9999", kNone}, ParseCase{"1e400", kNone}, ParseCase{"-1e400", kNone},
                    ParseCase{"2e308", kNone}, ParseCase{"1e308", 1e308},
                    ParseCase{"1e99999999999999999999", kNone}, ParseCase{"1e-400", 0.0},
                    ParseCase{"-1e-999", -0.0}, ParseCase{"1e-310", 1e-310}, ParseCase{"5e-324", 5e-324},
                    ParseCase{"1e-99999999999999999999", 0.0}, ParseCase{"0e9999", 0.0},
                    ParseCase{"0.000e99999999999", 0.0}, ParseCase{"0.0001e-99999999999", 0.0},
                    ParseCase{"1000000e-999999", 0.0}, ParseCase{"0.00001e999999", kNone}));
INSTANTIATE_TEST_SUITE_P(NotNumbers, Parse,
                         testing::Values(ParseCase{"7,02", kNone}, ParseCase{"--1", kNone},
                                         ParseCase{"+-1", kNone}, ParseCase{"1.2.3", kNone},
                                         ParseCase{"0x1A", kNone}, ParseCase{"$1A", kNone},
                                         ParseCase{"inf", kNone}, ParseCase{"nan", kNone},
                                         ParseCase{"INF", kNone}, ParseCase{"1,000", kNone},
                                         ParseCase{"7.02pH", kNone}, ParseCase{"1d2", kNone},
                                         ParseCase{"\xb7"
                                                   "7",
                                                   kNone}));

#ifndef _WIN32
// Every text of up to six characters over an alphabet rich in the grammar's
// pieces, against a regular expression for the grammar and the C library's
// conversion in the "C" locale (POSIX's strtod_l; the Windows build runs the
// cases above).
TEST(ParseReadingField, AgreesWithGrammarAndStrtodOnAllShortTexts)
{
    const std::regex grammar(R"( *[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    ASSERT_NE(cLocale, static_cast<locale_t>(nullptr));
    const std::string alphabet = " +-.eE059";
    int mismatches = 0;
    std::string text;
    for (std::size_t length = 0; length <= 6 && mismatches < 10; ++length) {
        std::size_t combinations = 1;
        for (std::size_t i = 0; i < length; ++i)
            combinations *= alphabet.size();
        text.assign(length, ' ');
        for (std::size_t n = 0; n < combinations; ++n) {
            for (std::size_t i = 0, rest = n; i < length; ++i, rest /= alphabet.size())
                text[i] = alphabet[rest % alphabet.size()];
            std::optional<double> expected;
            if (std::regex_match(text, grammar)) {
                errno = 0;
                const double v = strtod_l(text.c_str(), nullptr, cLocale);
                if (!(errno == ERANGE && std::isinf(v)))
                    expected = v;
            }
            const std::optional<double> actual = ParseReadingField(text);
            const bool same = actual.has_value() == expected.has_value() &&
                (!actual || (*actual == *expected && std::signbit(*actual) == std::signbit(*expected)));
            if (!same) {
                ++mismatches;
                ADD_FAILURE() << "'" << text << "': " << (actual ? std::to_string(*actual) : "none") << " vs "
                              << (expected ? std::to_string(*expected) : "none");
            }
        }
    }
    freelocale(cLocale);
}
#endif

}  // namespace
