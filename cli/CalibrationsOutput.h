// `calibrations`: the rows of calibrations.csv on stdout, and the warning of
// a meter that is due, printed at the start of the runs that poll.
#pragma once

#include "CalibrationRecord.h"
#include "CliOptions.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

// csv: the file's header and rows byte for byte; json: one object per row and
// line, named by the header; text: an aligned table. serial (UTF-8) keeps
// only that meter's rows.
std::string CalibrationsOutput(OutputFormat format, const CalibrationsRead& read,
                               const std::optional<std::string>& serial);

// "calibration of A1B2C3 due (last passed 2026-01-05 09:00)" or "... (no
// passed calibration recorded)" when the meter with serial (the driver's
// bytes) is due by the file in folder; nothing when it is not, or dueHours
// is 0.
std::optional<std::string> CalibrationDueWarning(const std::string& serial, const std::string& folder,
                                                 int32_t dueHours, int64_t nowUtcMs);

}  // namespace tirevo
