// The report's font: one that the system has as a TrueType file, so that the
// PDF embeds it (a PDF/A file may rely on no font of the reader's).
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tirevo {

struct ReportFontFamily {
    QString regular;  // the families the font database knows them by
    QString bold;     // the regular one again when there is no bold file
};

// The font files looked for, regular and bold in turn, best first.
QStringList ReportFontCandidates();

// Loads the first font found into the application's font database; nothing
// and why (the files tried) when there is none. Needs a QGuiApplication.
std::optional<ReportFontFamily> LoadReportFont(QString& why);

}  // namespace tirevo
