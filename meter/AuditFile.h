// audit.jsonl held open under a lock: the exclusive lock of a writer, which
// keeps the chain one line after another when several processes append to
// one folder, or the shared lock of a reader, which sees no line half
// written. The lock is on the open file and goes with it; a caller that
// holds it can write a records row and its audit line before any other
// writer of the folder reads the trail's last line.
#pragma once

#include <cstdint>
#include <string>

namespace tirevo {

class AuditFile {
public:
    enum class Mode {
        Append,  // read and append, created when missing; exclusive lock
        Read,    // read only, never created; shared lock
    };

    AuditFile() = default;
    ~AuditFile();
    AuditFile(AuditFile&& other) noexcept;
    AuditFile& operator=(AuditFile&& other) noexcept;
    AuditFile(const AuditFile&) = delete;
    AuditFile& operator=(const AuditFile&) = delete;

    // Opens path and waits for its lock. 0, or the errno of the failure
    // (ENOENT: missing in Read mode; EINVAL: not a regular file).
    int Open(const std::string& path, Mode mode);
    bool IsOpen() const { return handle_ != kClosed; }

    // The file's length, or -1 when it cannot be had.
    int64_t Size() const;
    // Up to count bytes from offset (fewer at the end); false on failure.
    bool ReadAt(int64_t offset, std::size_t count, std::string& bytes) const;
    // Writes bytes at the end with one call and waits until they are on the
    // disk. 0, or the errno of the failure, which leaves nothing of bytes.
    int Append(const std::string& bytes);

    // Lets the lock go and closes the file.
    void Close();

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;  // a descriptor on POSIX, a HANDLE on Windows
};

}  // namespace tirevo
