// The open log file: created new (never over an existing file), written
// straight to the operating system row by row, and readable by other
// programs while it is open.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tirevo {

class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // Creates the file only when no file of that name exists. Returns 0, or
    // the system error number (EEXIST when the name is taken).
    int CreateNew(const std::string& name);

    // Hands every byte to the operating system before returning, so a crash
    // of the program afterwards loses none of them. Returns 0 or the system
    // error number; EBADF when no file is open. A write that fails part way
    // leaves nothing of these bytes in the file.
    int Write(std::string_view bytes);

    // Returns 0 or the system error number; closing when nothing is open is
    // not an error. The file is released either way.
    int Close();

private:
    // Removes the last `written` bytes again after a failed write.
    void TakeBack(std::size_t written);

    int fd_ = -1;
};

}  // namespace tirevo
