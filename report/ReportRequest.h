// What a pH measurement report is asked to cover and where it comes from:
// tirevo-cli report and the trend window's "Save report…" fill one alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

struct ReportRequest {
    std::string outFile;        // the PDF to write
    std::string recordsFolder;  // samples.csv, calibrations.csv, audit.jsonl
    std::string logsFolder;     // USB_PH_*.txt
    // The period, UTC ms, both ends included; unset ends take all data found.
    std::optional<int64_t> fromUtcMs;
    std::optional<int64_t> toUtcMs;
    std::string serial;  // UTF-8; empty for every meter
    // The alarm limits to draw and to count time outside of; unset when off.
    std::optional<double> highLimit;
    std::optional<double> lowLimit;
    std::string madeBy;  // "user@host"
    int64_t madeAtUtcMs = 0;
    std::string version;  // the program's version
};

}  // namespace tirevo
