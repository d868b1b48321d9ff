// Runs every test under the locale the environment asks for, as the window
// does: the comma run then checks that nothing depends on the C locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <stdexcept>

namespace {

class ProcessLocale : public testing::Environment {
public:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "");
        try {
            std::locale::global(std::locale(""));
        } catch (const std::runtime_error&) {
            // The C library side above is what number conversions consult.
        }
    }
};

[[maybe_unused]] testing::Environment* const kProcessLocale =
    testing::AddGlobalTestEnvironment(new ProcessLocale);

TEST(ProcessLocale, CommaRunReallyUsesACommaLocale)
{
    const char* all = std::getenv("LC_ALL");
    if (all == nullptr || std::strncmp(all, "de_DE", 5) != 0)
        GTEST_SKIP() << "not the comma run";
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
}

}  // namespace
