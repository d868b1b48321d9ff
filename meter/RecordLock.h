// The one writer of a records file at a time. The window and any number of
// tirevo-cli runs append to the same samples.csv and calibrations.csv: each
// takes the file's exclusive lock before it looks at the file (is it empty,
// where does it end), and lets go only once its row is whole on disk or
// taken back again. Without it, two writers that both find the file empty
// both write the header, and a writer cutting back a failed row cuts away
// the row another one appended meanwhile.
//
// The lock is advisory: it holds between writers of this program, which all
// take it. A writer that also writes a line that goes with the row (the
// audit trail's, see AuditedRecord) takes that file's lock first and this
// one second, always in that order, so two writers never wait for each
// other.
#pragma once

#include <string>

namespace tirevo {

class RecordLock {
public:
#ifdef _WIN32
    using NativeFile = void*;  // HANDLE
#else
    using NativeFile = int;
#endif

    // Opens the file at path for reading and appending, creating it when it
    // is missing, and waits for its exclusive lock.
    explicit RecordLock(const std::string& path);
    // Lets go of the lock and closes the file.
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

    // 0 when the file is open and locked, or the system error number of
    // what failed.
    int Error() const { return error_; }
    // The open file, while Error() is 0.
    NativeFile File() const { return file_; }

    // Lets go and closes the file now. Returns 0 or the system error number
    // of the close, which reports what a deferred write-back could not do.
    int Release();

private:
    NativeFile file_;
    int error_ = 0;
};

}  // namespace tirevo
