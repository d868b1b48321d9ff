// From a reply line to the text shown: the whole path, in either separator
// and under a real comma locale.
#include "ReadingText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <optional>
#include <stdexcept>
#include <string>

using tirevo::ReadingTextFromLine;

namespace {

struct LineCase {
    const char* name;
    std::string line;
    std::optional<std::string> shown;  // with '.'
};

class ReplyLine : public testing::TestWithParam<LineCase> {};

TEST_P(ReplyLine, ShownText)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(ReadingTextFromLine(c.line, '.'), c.shown);
    std::optional<std::string> comma = c.shown;
    if (comma)
        for (char& ch : *comma)
            if (ch == '.')
                ch = ',';
    EXPECT_EQ(ReadingTextFromLine(c.line, ','), comma);
}

const std::optional<std::string> kUnchanged;

INSTANTIATE_TEST_SUITE_P(
    Reading, ReplyLine,
    testing::Values(LineCase{"Plain", "pH: 7.02", "7.02"}, LineCase{"Whole", "pH: 14", "14.00"},
                    LineCase{"Negative", "pH: -0.5", "-0.50"}, LineCase{"NoMinusZero", "pH: -0.001", "0.00"},
                    LineCase{"FourthCharSkipped", "pH:7.02", "0.02"},
                    LineCase{"AnyFourthChar", "pH:x7.02", "7.02"},
                    LineCase{"BeyondTenthIgnored", "pH: 6.9876543", "6.99"},
                    LineCase{"TieAwayFromZero", "pH: 7.125", "7.13"},
                    LineCase{"ExtraSpace", "pH:  7.0", "7.00"}, LineCase{"Exponent", "pH: 1e2", "100.00"},
                    LineCase{"GeneralNotation", "pH: 123456", "1.2346E5"},
                    LineCase{"Underflow", "pH: 1e-999", "0.00"}));
INSTANTIATE_TEST_SUITE_P(NotShown, ReplyLine,
                         testing::Values(LineCase{"Capitals", "PH: 7.02", kUnchanged},
                                         LineCase{"LeadingSpace", " pH: 7.02", kUnchanged},
                                         LineCase{"LeadingLineFeed", "\npH: 7.02", kUnchanged},
                                         LineCase{"VersionReply", "V1.02 QUVA", kUnchanged},
                                         LineCase{"Empty", "", kUnchanged},
                                         LineCase{"EmptyField", "pH:", kUnchanged},
                                         LineCase{"BlankField", "pH:    ", kUnchanged},
                                         LineCase{"Text", "pH: error", kUnchanged},
                                         LineCase{"TrailingText", "pH: 7.02 pH", kUnchanged},
                                         LineCase{"TrailingLineFeed", "pH: 7.02\n", kUnchanged},
                                         LineCase{"CommaInField", "pH: 7,02", kUnchanged},
                                         LineCase{"ExponentWithoutDigits", "pH: 7e", kUnchanged},
                                         LineCase{"Overflow", "pH: 9e9999", kUnchanged}),
                         [](const auto& info) { return std::string(info.param.name); });

// The separator is the caller's; the process locale must change nothing.
class UnderCommaLocale : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = std::setlocale(LC_ALL, nullptr);
        savedGlobal_ = std::locale();
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
            GTEST_SKIP() << "no de_DE.UTF-8";
        std::locale::global(std::locale("de_DE.UTF-8"));
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, saved_.c_str());
        std::locale::global(savedGlobal_);
    }

private:
    std::string saved_;
    std::locale savedGlobal_;
};

TEST_F(UnderCommaLocale, PointStillParsesAndSeparatorIsTheCallers)
{
    EXPECT_EQ(ReadingTextFromLine("pH: 7.02", ','), "7,02");
    EXPECT_EQ(ReadingTextFromLine("pH: 7.02", '.'), "7.02");
    EXPECT_EQ(ReadingTextFromLine("pH: 7,02", ','), std::nullopt);
    EXPECT_EQ(ReadingTextFromLine("pH: 1234.56", ','), "1234,50");
    EXPECT_EQ(ReadingTextFromLine("pH: 123456", ','), "1,2346E5");
    EXPECT_EQ(tirevo::ParseReadingField("-1.5e1"), -15.0);
}

}  // namespace
