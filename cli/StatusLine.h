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

// "QP000001  pH 7.02  12 readings  0:01:05  USB_PH_261208_140301.txt"; with
// columns above 0, cut to fewer characters than that (a full last column
// would wrap on some terminals): the file name shortened in its middle
// first, then the line's end cut off.
std::string StatusText(const RunProgress& progress, int columns = 0);

// "H:MM:SS"
std::string ElapsedText(int64_t elapsedMs);

// A wait in seconds, as the user gave it: "120 s", "2.5 s".
std::string SecondsText(int64_t ms);

class StatusLine {
public:
    // fd is the terminal the line lives on; enabled false makes every call a
    // no-op.
    StatusLine(int fd, bool enabled);
    bool Enabled() const { return enabled_; }
    // The terminal's width in characters, 0 when unknown; read at the start
    // and again by Refit().
    int Columns() const { return columns_; }
    // Takes the terminal's width anew (after SIGWINCH).
    void Refit();
    // Replaces the line shown (if any) by text.
    void Show(const std::string& text);
    // Removes the line, so that other output starts on a clean line.
    void Clear();

private:
    int fd_;
    bool enabled_;
    int columns_ = 0;
    bool shown_ = false;
    std::string text_;  // what is shown
};

}  // namespace tirevo
