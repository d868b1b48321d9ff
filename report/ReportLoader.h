// The program's side of the report: loads the report module, with its PDF
// and font code, only when a report is asked for.
#pragma once

#include "ReportModuleApi.h"

#include <QStringList>

namespace tirevo {

// Writes the report through the module. When the module cannot be loaded
// the outcome's error says so and names the files tried.
ReportOutcome WriteReport(const ReportRequest& request);

// For a program with no Qt application object of its own: the module is
// looked for beside programPath (then in the installation's library folder)
// and makes the QGuiApplication itself. moduleMissing is set when the module
// could not be loaded, as against a report that could not be written.
ReportOutcome WriteReportAlone(const ReportRequest& request, const QString& programPath, bool& moduleMissing);

// Where the module is looked for, in order: beside the program, then in the
// library folder of its installation prefix.
QStringList ReportModuleCandidates();
QStringList ReportModuleCandidates(const QString& programDir);
// Tests and the driver load the module from the build tree instead.
void SetReportModuleFile(const QString& path);

}  // namespace tirevo
