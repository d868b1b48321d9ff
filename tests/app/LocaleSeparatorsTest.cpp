// Separators taken from Qt's locale data.
#include "LocaleSeparators.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* name;
    char decimal;
    char time;
};

class LocaleSeparators : public ::testing::TestWithParam<Case> {};

TEST_P(LocaleSeparators, FromTheLocale)
{
    const tirevo::LocaleSeparators s =
        tirevo::ReadLocaleSeparators(QLocale(QString::fromLatin1(GetParam().name)));
    EXPECT_EQ(s.decimal, GetParam().decimal);
    EXPECT_EQ(s.time, GetParam().time);
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleSeparators,
                         ::testing::Values(Case{"en_US", '.', ':'}, Case{"de_DE", ',', ':'},
                                           Case{"fi_FI", ',', '.'}, Case{"C", '.', ':'}));

}  // namespace
