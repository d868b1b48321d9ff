// Checks a records folder against its audit trail: the chain of audit.jsonl
// (each line parses, seq goes up by one, prev names the hash of the line
// before, hash matches the line), the rows of samples.csv and
// calibrations.csv against the events that recorded them, and the log files
// that closed log events name. For a verify command and a report alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tirevo {

struct AuditProblem {
    std::string file;  // the path of the file concerned
    int64_t line = 0;  // its line, from 1; 0 for the file as a whole
    std::string text;  // what is wrong, in a few English words
};

struct AuditMissingLog {
    std::string path;       // as the trail names it
    int64_t auditLine = 0;  // the line of its closed event
};

struct AuditCheckResult {
    int64_t events = 0;
    int64_t headSeq = 0;  // the last line's seq and hash
    std::string headHash;
    int64_t samples = 0;       // rows of samples.csv
    int64_t calibrations = 0;  // rows of calibrations.csv
    int64_t logsChecked = 0;
    std::vector<AuditMissingLog> logsNotFound;  // moved or deleted: not a problem
    std::vector<AuditProblem> problems;         // in the order of files, then lines

    bool Intact() const { return problems.empty(); }
};

// Checks the folder's trail under the readers' lock, so that no line is
// seen half written. A folder without a trail and without records rows is
// intact with nothing in it.
AuditCheckResult CheckAuditFolder(const std::string& folder);

// "samples.csv:14: row changed ...", or "FILE: what" for a whole file.
std::string AuditProblemText(const AuditProblem& problem);

// "intact: 42 events (head 42 3f2a…c9), 12 samples, 4 calibrations, 3 logs
// checked, 1 not found"
std::string AuditSummaryText(const AuditCheckResult& result);

}  // namespace tirevo
