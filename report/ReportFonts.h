// The report's font: one that the system has as a TrueType file, so that the
// PDF embeds it (a PDF/A file may rely on no font of the reader's).
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tirevo {

struct ReportFontFamily {
    QString regular;  // the families the font database knows them by
    QString bold;     // the regular one again when there is no bold file
};

struct ReportFontFiles {
    QString regular;
    QString bold;
};

// The font files looked for, best first.
std::vector<ReportFontFiles> ReportFontCandidates();

// Loads the first of candidates whose regular file loads into the
// application's font database; nothing and why (the files tried) when none
// does. Needs a QGuiApplication.
std::optional<ReportFontFamily> LoadReportFont(const std::vector<ReportFontFiles>& candidates, QString& why);

}  // namespace tirevo
