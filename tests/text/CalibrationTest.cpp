#include "Calibration.h"
#include "NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

using namespace tirevo;

namespace {

struct PadCase {
    int32_t number;
    int width;
    std::string text;
};

class ZeroPadding : public testing::TestWithParam<PadCase> {};

TEST_P(ZeroPadding, Pads) { EXPECT_EQ(ZeroPad(GetParam().number, GetParam().width), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Widths, ZeroPadding,
                         testing::Values(PadCase{0, 4, "0000"}, PadCase{5, 4, "0005"},
                                         PadCase{401, 4, "0401"}, PadCase{1234, 4, "1234"},
                                         PadCase{10000, 4, "10000"}, PadCase{-5, 4, "00-5"},
                                         PadCase{-1234, 4, "-1234"}, PadCase{7, 0, "7"}, PadCase{7, -3, "7"},
                                         PadCase{1, 9, "000000001"}, PadCase{1, 10, "000000001"},
                                         PadCase{1, 1000, "000000001"}, PadCase{INT32_MIN, 4, "-2147483648"},
                                         PadCase{INT32_MAX, 12, "002147483647"}));

struct HundredthsCase {
    double value;
    HundredthsStatus status;
    int32_t hundredths;
};

class Hundredths : public testing::TestWithParam<HundredthsCase> {};

TEST_P(Hundredths, TruncatesTheDecimalText)
{
    const HundredthsResult result = CalibrationHundredths(GetParam().value);
    EXPECT_EQ(result.status, GetParam().status) << GetParam().value;
    if (GetParam().status == HundredthsStatus::Ok) {
        EXPECT_EQ(result.hundredths, GetParam().hundredths);
    }
}

constexpr auto kOk = HundredthsStatus::Ok;
constexpr auto kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(BufferValues, Hundredths,
                         testing::Values(HundredthsCase{4.01, kOk, 401}, HundredthsCase{9.18, kOk, 918},
                                         HundredthsCase{1.15, kOk, 115}, HundredthsCase{0.03, kOk, 3},
                                         HundredthsCase{4.017, kOk, 401}, HundredthsCase{7.999, kOk, 799},
                                         HundredthsCase{7.00, kOk, 700}, HundredthsCase{12.5, kOk, 1250},
                                         HundredthsCase{0.5, kOk, 50}, HundredthsCase{100, kOk, 10000},
                                         HundredthsCase{0.1 + 0.2, kOk, 30}, HundredthsCase{0.009, kOk, 0},
                                         HundredthsCase{1e-300, kOk, 0}, HundredthsCase{0.0, kOk, 0},
                                         HundredthsCase{-0.0, kOk, 0}));

INSTANTIATE_TEST_SUITE_P(NotSendable, Hundredths,
                         testing::Values(HundredthsCase{-0.05, HundredthsStatus::Negative, 0},
                                         HundredthsCase{-1e-300, HundredthsStatus::Negative, 0},
                                         HundredthsCase{-kInf, HundredthsStatus::Negative, 0},
                                         HundredthsCase{21474836.47, kOk, INT32_MAX},
                                         HundredthsCase{21474836.48, HundredthsStatus::TooLarge, 0},
                                         HundredthsCase{21474837, HundredthsStatus::TooLarge, 0},
                                         HundredthsCase{1e300, HundredthsStatus::TooLarge, 0},
                                         HundredthsCase{kInf, HundredthsStatus::TooLarge, 0},
                                         HundredthsCase{std::nan(""), HundredthsStatus::TooLarge, 0}));

// Every entry with two decimals must arrive as exactly the hundredths typed,
// and a third decimal is cut off, never rounded up; typed with the decimal
// separator of the locale the tests run in.
TEST(Hundredths, EveryTypedValueUpTo2000)
{
    const char separator = *std::localeconv()->decimal_point;
    for (int typed = 1; typed <= 2000; ++typed) {
        const std::string whole = std::to_string(typed / 100);
        const std::string cents = std::to_string(100 + typed % 100).substr(1);
        for (const std::string& extra : {std::string(), std::string("9"), std::string("999")}) {
            const std::string text = whole + separator + cents + extra;
            const NumberTextResult number = ParseLocaleNumberText(text, separator);
            ASSERT_EQ(number.status, NumberTextStatus::Ok) << text;
            const HundredthsResult result = CalibrationHundredths(number.value);
            ASSERT_EQ(result.status, HundredthsStatus::Ok) << text;
            ASSERT_EQ(result.hundredths, typed) << text;
        }
    }
}

TEST(Hundredths, EveryTypedValueNearTheLimit)
{
    for (int32_t typed = INT32_MAX - 20000; typed != INT32_MAX; ++typed) {
        const std::string text =
            std::to_string(typed / 100) + "." + std::to_string(100 + typed % 100).substr(1);
        const HundredthsResult result = CalibrationHundredths(ParseLocaleNumberText(text, '.').value);
        ASSERT_EQ(result.hundredths, typed) << text;
    }
}

}  // namespace
