// The report module's exports, looked up by name when it is loaded.
#include "ReportData.h"
#include "ReportFonts.h"
#include "ReportModuleApi.h"
#include "ReportPdf.h"

#include <QGuiApplication>

#include <exception>

extern "C" Q_DECL_EXPORT int TirevoReportVersion() { return tirevo::kReportModuleVersion; }

extern "C" Q_DECL_EXPORT void TirevoReportWrite(const tirevo::ReportRequest* request,
                                                tirevo::ReportOutcome* outcome)
{
    using namespace tirevo;
    *outcome = ReportOutcome();
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        outcome->error =
            "The report needs the program's graphics layer (a QGuiApplication), which is not running.";
        return;
    }
    try {
        QString why;
        const std::optional<ReportFontFamily> font = LoadReportFont(ReportFontCandidates(), why);
        if (!font) {
            outcome->error = why.toStdString();
            return;
        }
        const ReportData data = GatherReport(*request, ReportPdf::ChartColumns());
        *outcome = ReportPdf(*font).Write(data);
    } catch (const std::exception& e) {
        outcome->written = false;
        outcome->error = std::string("The report could not be written: ") + e.what();
    }
}

extern "C" Q_DECL_EXPORT void TirevoReportWriteAlone(const tirevo::ReportRequest* request,
                                                     tirevo::ReportOutcome* outcome)
{
    if (QCoreApplication::instance()) {
        TirevoReportWrite(request, outcome);
        return;
    }
    // Qt keeps references to these for the application's life.
    static int argc = 1;
    static char name[] = "tirevo-report";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    TirevoReportWrite(request, outcome);
}
