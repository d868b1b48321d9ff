#include "ReportFonts.h"

#include <QFileInfo>
#include <QFontDatabase>

namespace tirevo {

namespace {

// Regular and bold of each family: DejaVu Sans (fonts-dejavu-core), Liberation
// Sans (fonts-liberation2), and Arial where Windows keeps it.
constexpr const char* kFontFiles[][2] = {
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
     "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"},
    {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
     "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"},
    {"/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
     "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"},
    {"C:/Windows/Fonts/arial.ttf", "C:/Windows/Fonts/arialbd.ttf"},
};

QString FamilyOf(const QString& file)
{
    if (!QFileInfo::exists(file))
        return {};
    const int id = QFontDatabase::addApplicationFont(file);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

}  // namespace

std::vector<ReportFontFiles> ReportFontCandidates()
{
    std::vector<ReportFontFiles> out;
    for (const auto& pair : kFontFiles)
        out.push_back({QString::fromLatin1(pair[0]), QString::fromLatin1(pair[1])});
    return out;
}

std::optional<ReportFontFamily> LoadReportFont(const std::vector<ReportFontFiles>& candidates, QString& why)
{
    QStringList tried;
    for (const ReportFontFiles& files : candidates) {
        const QString regular = FamilyOf(files.regular);
        if (regular.isEmpty()) {
            tried << files.regular;
            continue;
        }
        const QString bold = FamilyOf(files.bold);
        return ReportFontFamily{regular, bold.isEmpty() ? regular : bold};
    }
    why =
        QStringLiteral("No font for the report: none of these could be loaded (install fonts-dejavu-core or "
                       "fonts-liberation2):\n") +
        tried.join(QLatin1Char('\n'));
    return std::nullopt;
}

}  // namespace tirevo
