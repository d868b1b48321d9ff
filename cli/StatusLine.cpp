#include "StatusLine.h"

#include "FdOutput.h"

#include <cstdio>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 3600;
// Carriage return to the line's start, then erase to its end: a shorter text
// leaves nothing of a longer one behind.
constexpr const char* kRewind = "\r\x1b[K";

}  // namespace

std::string ElapsedText(int64_t elapsedMs)
{
    const int64_t seconds = elapsedMs < 0 ? 0 : elapsedMs / kMsPerSecond;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld",
                  static_cast<long long>(seconds / kSecondsPerHour),
                  static_cast<long long>(seconds % kSecondsPerHour / kSecondsPerMinute),
                  static_cast<long long>(seconds % kSecondsPerMinute));
    return buffer;
}

std::string StatusText(const RunProgress& progress)
{
    std::string text = progress.serial + "  ";
    if (!progress.responding)
        text += "not responding";
    else
        text += "pH " + (progress.lastReading.empty() ? std::string("---") : progress.lastReading);
    if (progress.responding && !progress.note.empty())
        text += "  " + progress.note;
    text += "  " + std::to_string(progress.readings) + (progress.readings == 1 ? " reading" : " readings");
    text += "  " + ElapsedText(progress.elapsedMs);
    if (!progress.fileName.empty())
        text += "  " + progress.fileName;
    return text;
}

StatusLine::StatusLine(int fd, bool enabled) : fd_(fd), enabled_(enabled) {}

void StatusLine::Show(const std::string& text)
{
    // The loop comes by ten times a second; a terminal over a slow link
    // only gets a line that says something new.
    if (!enabled_ || (shown_ && text == text_))
        return;
    WriteAll(fd_, kRewind + text);
    text_ = text;
    shown_ = true;
}

void StatusLine::Clear()
{
    if (!enabled_ || !shown_)
        return;
    WriteAll(fd_, kRewind);
    shown_ = false;
}

}  // namespace tirevo
