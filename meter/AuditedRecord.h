// The one writer of a records row and its audit event: samples.csv or
// calibrations.csv gets the row, audit.jsonl in the same folder the event
// that records it (after an adopt event, when the records file held rows
// before the trail covered it). The window and tirevo-cli both write here,
// so that every row of either has its event.
#pragma once

#include "AuditEvent.h"
#include "CalibrationRecord.h"
#include "SampleRecord.h"

#include <string>
#include <vector>

namespace tirevo {

struct AuditedWrite {
    bool ok = true;
    std::string errorText;  // for the user, when not ok
};

class AuditedRecord {
public:
    // folder: the records folder; createFolder: make it when missing.
    // program: who records, "tirevo-cli 1.4.0" or "tirevo 1.4.0".
    AuditedRecord(std::string folder, bool createFolder, std::string program);

    AuditedWrite AppendSample(const SampleRow& row) const;
    AuditedWrite AppendCalibration(const CalibrationRow& row) const;

private:
    AuditedWrite AppendRow(const RecordFile& file, const std::vector<std::string>& fields,
                           const AuditEvent& event) const;

    std::string folder_;
    bool createFolder_;
    std::string program_;
};

}  // namespace tirevo
