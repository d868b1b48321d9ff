// A program started with stdin, stdout or stderr closed (as some service
// managers and cron set-ups do) would hand those numbers to the next files
// it opens, and its messages would then land in a log file. Call this first
// in main, before anything opens a file.
#pragma once

namespace tirevo {

// Opens /dev/null (NUL on Windows) on each of descriptors 0, 1 and 2 that
// is closed.
void OpenClosedStandardDescriptors();

// A file size limit reached (SIGXFSZ) fails the write with an error the
// program reports, instead of killing it half way through a row. Windows has
// no such signal: a write over a quota fails there anyway.
void IgnoreFileSizeSignal();

}  // namespace tirevo
