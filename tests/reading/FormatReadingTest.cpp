// The reading as shown and logged: rounding at delicate values and a
// cross-check against a slow reference written from the rounding rule.
#include "ReadingText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

using tirevo::FormatReading;

namespace {

struct FormatCase {
    double value;
    const char* text;  // with '.'; the same with ',' is checked too
};

class Format : public testing::TestWithParam<FormatCase> {};

TEST_P(Format, TwoDecimalsFiveDigits)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatReading(c.value, '.'), c.text);
    std::string comma = c.text;
    for (char& ch : comma)
        if (ch == '.')
            ch = ',';
    EXPECT_EQ(FormatReading(c.value, ','), comma);
}

INSTANTIATE_TEST_SUITE_P(Plain, Format,
                         testing::Values(FormatCase{7.02, "7.02"}, FormatCase{14, "14.00"},
                                         FormatCase{-0.5, "-0.50"}, FormatCase{6.9876, "6.99"},
                                         FormatCase{0.02, "0.02"}, FormatCase{0, "0.00"},
                                         FormatCase{1e99, "1E99"}));
// Exact binary ties go away from zero.
INSTANTIATE_TEST_SUITE_P(Ties, Format,
                         testing::Values(FormatCase{7.125, "7.13"}, FormatCase{-7.125, "-7.13"},
                                         FormatCase{0.125, "0.13"}, FormatCase{0.375, "0.38"},
                                         FormatCase{-0.625, "-0.63"}, FormatCase{12344.5, "12345.00"},
                                         FormatCase{-12344.5, "-12345.00"}, FormatCase{1234.25, "1234.30"},
                                         FormatCase{-1234.75, "-1234.80"}));
// Written ties whose double lies below (1.005 is 1.00499999999999989) or
// above (8.345 is 8.34500000000000064) the tie, as its 18-digit form shows.
INSTANTIATE_TEST_SUITE_P(DecimalTies, Format,
                         testing::Values(FormatCase{1.005, "1.00"}, FormatCase{-1.005, "-1.00"},
                                         FormatCase{0.285, "0.28"}, FormatCase{-0.285, "-0.28"},
                                         FormatCase{2.675, "2.67"}, FormatCase{1.115, "1.11"},
                                         FormatCase{4.35, "4.35"}, FormatCase{0.045, "0.04"},
                                         FormatCase{8.345, "8.35"}, FormatCase{0.005, "0.01"},
                                         FormatCase{-0.005, "-0.01"}, FormatCase{0.015, "0.01"},
                                         FormatCase{1234.55, "1234.50"}));
// Carries that add an integer digit.
INSTANTIATE_TEST_SUITE_P(Carries, Format,
                         testing::Values(FormatCase{9.995, "9.99"}, FormatCase{99.995, "100.00"},
                                         FormatCase{999.995, "1000.00"}, FormatCase{-999.995, "-1000.00"},
                                         FormatCase{9999.95, "10000.00"}, FormatCase{-9999.95, "-10000.00"},
                                         FormatCase{9.9999, "10.00"}, FormatCase{0.995, "0.99"},
                                         FormatCase{0.996, "1.00"}));
// At most five significant digits, rounded once (1234.549 is not 1234.60).
INSTANTIATE_TEST_SUITE_P(FiveDigits, Format,
                         testing::Values(FormatCase{123.456, "123.46"}, FormatCase{1234.567, "1234.60"},
                                         FormatCase{1234.549, "1234.50"}, FormatCase{12345.678, "12346.00"},
                                         FormatCase{-12345.678, "-12346.00"}, FormatCase{99999.4, "99999.00"},
                                         FormatCase{99999.49, "99999.00"}, FormatCase{10000, "10000.00"}));
INSTANTIATE_TEST_SUITE_P(RoundsToZero, Format,
                         testing::Values(FormatCase{-0.001, "0.00"}, FormatCase{-0.004, "0.00"},
                                         FormatCase{-0.0049999, "0.00"}, FormatCase{-0.0, "0.00"},
                                         FormatCase{1e-320, "0.00"}, FormatCase{-1e-320, "0.00"},
                                         FormatCase{-DBL_MIN, "0.00"}));
INSTANTIATE_TEST_SUITE_P(GeneralNotation, Format,
                         testing::Values(FormatCase{99999.5, "1E5"}, FormatCase{-99999.5, "-1E5"},
                                         FormatCase{100000, "1E5"}, FormatCase{120000, "1.2E5"},
                                         FormatCase{123456, "1.2346E5"}, FormatCase{-123456, "-1.2346E5"},
                                         FormatCase{999994, "9.9999E5"}, FormatCase{999995, "1E6"},
                                         FormatCase{1234567, "1.2346E6"}, FormatCase{1.5e20, "1.5E20"},
                                         FormatCase{1e300, "1E300"}, FormatCase{DBL_MAX, "1.7977E308"},
                                         FormatCase{-DBL_MAX, "-1.7977E308"}));
INSTANTIATE_TEST_SUITE_P(NotFinite, Format,
                         testing::Values(FormatCase{std::numeric_limits<double>::quiet_NaN(), "NAN"},
                                         FormatCase{std::numeric_limits<double>::infinity(), "INF"},
                                         FormatCase{-std::numeric_limits<double>::infinity(), "-INF"}));

// Slow reference, written from the rule rather than from the code: print
// 18 significant digits, lay them out as a plain decimal, round that text
// once at the lower of the fifth significant digit and hundredths, half away
// from zero; more than five integer digits switch to general notation.
std::string ReferenceFormat(double value, char separator)
{
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17e", value);
    std::string text = printed;
    const bool negative = text[0] == '-';
    if (negative)
        text.erase(0, 1);
    const std::size_t e = text.find('e');
    const int exponent = std::stoi(text.substr(e + 1));
    std::string digits;
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] >= '0' && text[i] <= '9')
            digits += text[i];  // '.' or ','

    const auto roundAt = [](std::string& s, std::size_t keep) {  // true: carried out
        const bool up = keep < s.size() && s[keep] >= '5';
        s.resize(keep);
        for (std::size_t i = keep; up && i-- > 0;) {
            if (s[i] != '9') {
                ++s[i];
                return false;
            }
            s[i] = '0';
        }
        if (up)
            s.insert(s.begin(), '1');
        return up;
    };

    // Plain decimal: `whole` integer digits, then the rest.
    std::string plain = digits;
    int whole = exponent + 1;
    if (whole <= 0) {
        plain.insert(0, static_cast<std::size_t>(1 - whole), '0');
        whole = 1;
    }
    if (static_cast<int>(plain.size()) < whole + 3)
        plain.resize(whole + 3, '0');
    const std::size_t firstSignificant = plain.find_first_not_of('0');
    std::size_t keep = static_cast<std::size_t>(whole) + 2;
    if (firstSignificant != std::string::npos)
        keep = std::min(keep, firstSignificant + 5);
    if (roundAt(plain, keep))
        ++whole;
    if (plain.size() < static_cast<std::size_t>(whole))
        plain.resize(whole, '0');
    std::string integer = plain.substr(0, static_cast<std::size_t>(whole));
    std::string fraction = plain.substr(static_cast<std::size_t>(whole));
    fraction.resize(2, '0');
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size() - 1));

    if (integer.size() <= 5) {
        const bool zero = integer == "0" && fraction == "00";
        return (negative && !zero ? "-" : "") + integer + separator + fraction;
    }
    std::string mantissa = digits;
    int power = exponent;
    if (roundAt(mantissa, 5)) {
        mantissa.resize(5);
        ++power;
    }
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    std::string general = negative ? "-" : "";
    general += mantissa[0];
    if (mantissa.size() > 1)
        general += separator + mantissa.substr(1);
    return general + "E" + std::to_string(power);
}

TEST(FormatReading, ReferenceAgreesOnTheTable)
{
    const FormatCase cases[] = {{1.005, "1.00"},  {999.995, "1000.00"},  {99999.5, "1E5"},
                                {-0.001, "0.00"}, {1234.549, "1234.50"}, {123456, "1.2346E5"},
                                {0.005, "0.01"}};
    for (const FormatCase& c : cases)
        EXPECT_EQ(ReferenceFormat(c.value, '.'), c.text) << c.value;
}

// Families of doubles where the rounding is delicate, and doubles of any bit
// pattern.
TEST(FormatReading, AgreesWithReferenceOnRandomValues)
{
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> uniform(-110000.0, 110000.0);
    std::uniform_real_distribution<double> decade(-8.0, 12.0);
    std::uniform_int_distribution<std::int64_t> thousandths(-100'000'000, 100'000'000);
    std::uniform_int_distribution<int> scale(0, 6);
    int mismatches = 0;
    for (int i = 0; i < 400'000 && mismatches < 10; ++i) {
        double value = 0;
        switch (i % 5) {
        case 0:
            value = uniform(random);
            break;
        case 1:
            value = static_cast<double>(thousandths(random)) / 1000.0;
            break;
        case 2:  // written ties at every decimal position
            value = (static_cast<double>(thousandths(random) / 10) * 10 + 5) / std::pow(10.0, scale(random));
            break;
        case 3:
            value = std::pow(10.0, decade(random)) * (random() % 2 ? 1 : -1);
            break;
        default:
            value = std::bit_cast<double>(random());
            if (!std::isfinite(value))
                continue;
        }
        if (i % 7 == 0)
            value = std::nextafter(value, random() % 2 ? HUGE_VAL : -HUGE_VAL);
        for (char separator : {'.', ','}) {
            const std::string expected = ReferenceFormat(value, separator);
            const std::string actual = FormatReading(value, separator);
            if (actual != expected) {
                ++mismatches;
                char shown[40];
                std::snprintf(shown, sizeof shown, "%.17g", value);
                ADD_FAILURE() << shown << ": " << actual << " vs " << expected;
            }
        }
    }
}

}  // namespace
