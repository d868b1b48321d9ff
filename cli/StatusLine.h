// The one line of progress kept on a terminal's stderr during long runs,
// rewritten in place; nothing of it when stderr is not a terminal.
#pragma once

#include <cstdint>
#include <string>

namespace tirevo {

struct RunProgress {
    std::string serial;
    std::string lastReading;  // empty before the first
    uint64_t readings = 0;
    int64_t elapsedMs = 0;
    std::string fileName;  // empty when not logging
    bool responding = true;
    std::string note;  // "settling" or "stable" while measure waits
};

// "QP000001  pH 7.02  12 readings  0:01:05  USB_PH_261208_140301.txt"
std::string StatusText(const RunProgress& progress);

// "H:MM:SS"
std::string ElapsedText(int64_t elapsedMs);

class StatusLine {
public:
    // fd is the terminal the line lives on; enabled false makes every call a
    // no-op.
    StatusLine(int fd, bool enabled);
    bool Enabled() const { return enabled_; }
    // Replaces the line shown (if any) by text.
    void Show(const std::string& text);
    // Removes the line, so that other output starts on a clean line.
    void Clear();

private:
    int fd_;
    bool enabled_;
    bool shown_ = false;
    std::string text_;  // what is shown
};

}  // namespace tirevo
