// Everything a pH measurement report shows, gathered from the logs, the
// records and the audit trail of a request. Plain data: the PDF module draws
// it, tests read it.
#pragma once

#include "AuditCheck.h"
#include "ReportCalibration.h"
#include "ReportFigures.h"
#include "ReportRequest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tirevo {

struct ReportLog {
    std::string path;
    std::string serial;  // empty when neither its name, its header nor the trail says
    int64_t rows = 0;    // rows in the period
};

struct ReportSample {
    int64_t utcMs = 0;
    std::string time;  // local, "2026-12-08 10:02:45"
    std::string name;
    std::string ph;
    bool stable = false;
    std::string serial;
};

struct ReportCalibration {
    int64_t utcMs = 0;
    std::string time;
    std::string serial;
    int point = 1;
    std::string buffer;
    std::string asFound;
    std::string asLeft;
    std::string error;
    std::string result;
    bool inForce = false;  // the last pass before the period
};

struct ReportElectrode {
    std::size_t point1 = 0;  // indexes into ReportData::calibrations
    std::size_t point2 = 0;
    ElectrodeFigures figures;
};

struct ReportAlarm {
    int64_t utcMs = 0;
    std::string time;
    std::string what;  // high, low, lost, clear
    std::string limit;
    std::string ph;
    std::string serial;
};

struct ReportData {
    ReportRequest request;
    std::vector<std::string> serials;  // the meters the report is of
    bool hasPeriod = false;            // false when no data at all was found
    double fromUtcMs = 0;
    double toUtcMs = 0;
    std::vector<ReportLog> logs;
    ReadingFigures figures;
    int chartColumns = 0;
    std::vector<ChartColumn> chart;  // the readings reduced to chartColumns
    std::vector<ReportSample> samples;
    std::vector<ReportCalibration> calibrations;  // by time, the one in force first
    std::vector<ReportElectrode> electrodes;
    std::vector<ReportAlarm> alarms;
    AuditCheckResult verify;
    std::vector<std::string> notes;  // files that could not be read, and why
};

// Gathers the data of request, with the readings reduced to chartColumns.
ReportData GatherReport(const ReportRequest& request, int chartColumns);

// The serial number in a log's name ("USB_PH_261208_140301_QP000001.txt"),
// or empty ("USB_PH_261208_140301.txt", "USB_PH_261208_140301_2.txt").
std::string SerialFromLogName(const std::string& fileName);

// "2026-12-08 10:02:45", the local time of UTC ms.
std::string ReportTimeText(double utcMs);

}  // namespace tirevo
