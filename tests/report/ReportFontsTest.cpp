// The report's font: the first candidate found is loaded, a missing bold
// face falls back to the regular one, and no font at all says what to install.
#include "ReportFonts.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace tirevo;

namespace {

const QString kMissing = QStringLiteral("/nonexistent/tirevo/NoSuchFont.ttf");

TEST(ReportFonts, TheFirstFontFoundIsTaken)
{
    const auto candidates = ReportFontCandidates();
    std::vector<ReportFontFiles> withMissingFirst = {{kMissing, kMissing}};
    withMissingFirst.insert(withMissingFirst.end(), candidates.begin(), candidates.end());
    QString why;
    const auto family = LoadReportFont(withMissingFirst, why);
    ASSERT_TRUE(family) << why.toStdString();
    EXPECT_FALSE(family->regular.isEmpty());
    EXPECT_TRUE(why.isEmpty());
}

TEST(ReportFonts, AMissingBoldFaceFallsBackToTheRegularOne)
{
    const auto candidates = ReportFontCandidates();
    QString why;
    std::optional<ReportFontFamily> family;
    for (const auto& files : candidates)
        if (!family)
            family = LoadReportFont({{files.regular, kMissing}}, why);
    ASSERT_TRUE(family) << why.toStdString();
    EXPECT_EQ(family->bold, family->regular);
}

TEST(ReportFonts, NoFontSaysWhatToInstall)
{
    QString why;
    EXPECT_FALSE(LoadReportFont({{kMissing, kMissing}}, why));
    EXPECT_TRUE(why.contains(QStringLiteral("No font for the report"))) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("fonts-dejavu-core")));
    EXPECT_TRUE(why.contains(kMissing));
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
