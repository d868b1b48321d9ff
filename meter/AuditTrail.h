// Appends events to the audit trail of a records folder (audit.jsonl beside
// samples.csv and calibrations.csv): each line takes the seq and hash of the
// line before it, read from the end of the file under the writers' lock.
//
// A row and its event go under one lock, so that rows stand in the same
// order in the records file as their events in the trail:
//
//     AuditFile trail;
//     if (audit.Lock(trail) == 0) {
//         audit.AdoptIfUncovered(trail, samples);
//         if (samples.Append(fields).Ok())
//             audit.Append(trail, SampleEvent(row, kSamplesFileName));
//     }
//
// An event without a row (an alarm, a meter, a log, a setting) takes the
// lock for itself with Append(event).
#pragma once

#include "AuditEvent.h"
#include "AuditFile.h"
#include "AuditOrigin.h"
#include "RecordFile.h"

#include <QDateTime>

#include <cstdint>
#include <functional>
#include <string>

namespace tirevo {

struct AuditWrite {
    bool written = false;  // a line was appended
    int systemError = 0;   // the errno of a failure; nothing of the line is then in the file
    int64_t seq = 0;       // the line's, when written
    std::string hash;      // as seq

    bool Ok() const { return systemError == 0; }
};

// The last whole line of a trail: what the next line follows.
struct AuditTail {
    int64_t seq = 0;            // 0 for an empty trail
    std::string hash;           // kAuditGenesis for an empty trail
    bool endsInLineEnd = true;  // false: the file ends with part of a line
};

class AuditTrail {
public:
    using Clock = std::function<QDateTime()>;

    // folder: the records folder; createFolder: make it when missing, as the
    // records files do. now: the local time of each event.
    AuditTrail(std::string folder, AuditOrigin origin, bool createFolder, Clock now = &AuditNow);

    const std::string& Path() const { return path_; }

    // Opens audit.jsonl for appending and waits for the writers' lock, which
    // file holds until it is closed or destroyed. 0, or the errno of the
    // failure.
    int Lock(AuditFile& file) const;

    // Appends event through a file locked with Lock.
    AuditWrite Append(AuditFile& locked, const AuditEvent& event) const;

    // Takes the lock, appends event and lets the lock go.
    AuditWrite Append(const AuditEvent& event) const;

    // Appends an adopt event for a records file in the folder that holds
    // rows under its own header which no event of the trail covers yet (a
    // file written before the trail, or brought into the folder): the file's
    // rows up to now are then covered as they are. Nothing for a missing,
    // empty or foreign file, or one the trail already covers.
    AuditWrite AdoptIfUncovered(AuditFile& locked, const RecordFile& records) const;

    // The line the next one follows.
    static AuditTail ReadTail(const AuditFile& file);

    // Whether an adopt, sample or calibration event names fileName.
    static bool Covers(const AuditFile& file, const std::string& fileName);

    // A message for the user about a failed write.
    std::string ErrorText(const AuditWrite& write) const;

private:
    std::string folder_;
    std::string path_;
    AuditOrigin origin_;
    bool createFolder_;
    Clock now_;
};

}  // namespace tirevo
