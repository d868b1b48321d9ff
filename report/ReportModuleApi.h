// The report module's entry points, looked up by name when the module is
// loaded: its interface version, and writing a report.
#pragma once

#include "ReportRequest.h"

#include <string>

namespace tirevo {

// Raised whenever ReportRequest, ReportOutcome or the functions change.
inline constexpr int kReportModuleVersion = 2;

struct ReportOutcome {
    bool written = false;
    std::string error;  // why not, in a sentence for the user (UTF-8)
    int pages = 0;
};

}  // namespace tirevo

extern "C" {
using TirevoReportVersionFn = int (*)();
// Never throws; needs a QGuiApplication (an offscreen one will do).
using TirevoReportWriteFn = void (*)(const tirevo::ReportRequest* request, tirevo::ReportOutcome* outcome);
// The same for a program without Qt Gui of its own (tirevo-cli): makes a
// QGuiApplication for the call when the process has no application object.
// The platform is the caller's choice (QT_QPA_PLATFORM), made before the call.
using TirevoReportWriteAloneFn = void (*)(const tirevo::ReportRequest* request,
                                          tirevo::ReportOutcome* outcome);
}
