#include "AuditedRecord.h"

#include "AuditEvent.h"
#include "AuditTrail.h"
#include "RecordLock.h"

namespace tirevo {

AuditedRecord::AuditedRecord(std::string folder, bool createFolder, std::string program)
    : folder_(std::move(folder)), createFolder_(createFolder), program_(std::move(program))
{
}

AuditedWrite AuditedRecord::AppendSample(const SampleRow& row) const
{
    return AppendRow(SamplesFile(folder_, createFolder_), SampleFields(row),
                     SampleEvent(row, kSamplesFileName));
}

AuditedWrite AuditedRecord::AppendCalibration(const CalibrationRow& row) const
{
    return AppendRow(CalibrationsFile(folder_, createFolder_), CalibrationFields(row),
                     CalibrationEvent(row, kCalibrationsFileName));
}

AuditedWrite AuditedRecord::AppendRow(const RecordFile& file, const std::vector<std::string>& fields,
                                      const AuditEvent& event) const
{
    const AuditTrail trail(folder_, CurrentAuditOrigin(program_), createFolder_);
    const std::string nothing = ". Nothing was recorded";
    if (const RecordResult made = file.MakeFolder(); !made.Ok())
        return {false, file.ErrorText(made)};
    // The lock order of every writer of a records folder, the window's and
    // every tirevo-cli's: audit.jsonl first, then the records file. Two
    // writers that took them in opposite orders could each hold one and
    // wait for the other for ever. Both are held until the row and its
    // event are written, so that rows stand in the order of their events.
    AuditFile audit;
    if (const int error = trail.Lock(audit))
        return {false, trail.ErrorText({false, error, 0, {}}) + nothing};
    RecordLock lock(file.Path());
    if (lock.Error())
        return {false, file.ErrorText({RecordStatus::Failed, lock.Error()})};
    // The rows before the trail are taken as they are before one is added.
    if (const AuditWrite adopt = trail.AdoptIfUncovered(audit, file); !adopt.Ok())
        return {false, trail.ErrorText(adopt) + nothing};
    const RecordResult result = file.AppendLocked(lock, fields);
    if (!result.Ok())
        return {false, file.ErrorText(result)};
    const AuditWrite written = trail.Append(audit, event);
    if (!written.Ok()) {
        // A row without its event would stand in the file as one added
        // behind the trail's back: it goes again, and nothing is recorded.
        if (RecordFile::TakeBackLocked(lock, result) == 0)
            return {false, trail.ErrorText(written) + nothing};
        return {false, trail.ErrorText(written) + ". The row in " + file.Path() + " has no audit event"};
    }
    const int closeError = lock.Release();
    if (closeError != 0)
        return {false, file.ErrorText({RecordStatus::Failed, closeError})};
    return {};
}

}  // namespace tirevo
