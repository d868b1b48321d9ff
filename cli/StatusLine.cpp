#include "StatusLine.h"

#include "FdOutput.h"

#include <cstdio>
#include <vector>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 3600;
// Carriage return to the line's start, then erase to its end: a shorter text
// leaves nothing of a longer one behind.
constexpr const char* kRewind = "\r\x1b[K";
constexpr const char* kCut = "...";
constexpr std::size_t kCutLength = 3;
// A file name shortened to fewer characters than this tells nothing; the
// line is then cut at its end instead.
constexpr std::size_t kShortestPath = 12;

// Where each character (UTF-8 sequence) of text starts.
std::vector<std::size_t> CharacterStarts(const std::string& text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    return starts;
}

std::string FirstCharacters(const std::string& text, std::size_t count)
{
    const std::vector<std::size_t> starts = CharacterStarts(text);
    return count >= starts.size() ? text : text.substr(0, starts[count]);
}

// text in at most `room` characters, "..." in place of its middle.
std::string MiddleCut(const std::string& text, std::size_t room)
{
    const std::vector<std::size_t> starts = CharacterStarts(text);
    if (starts.size() <= room)
        return text;
    const std::size_t keep = room - kCutLength;
    const std::size_t head = keep / 2;
    const std::size_t tail = keep - head;  // the file's own name is at the end
    return text.substr(0, starts[head]) + kCut + text.substr(starts[starts.size() - tail]);
}

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

std::string StatusText(const RunProgress& progress, int columns)
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
    if (columns <= 0) {
        if (!progress.fileName.empty())
            text += "  " + progress.fileName;
        return text;
    }
    const std::size_t room = static_cast<std::size_t>(columns - 1);
    const std::size_t used = CharacterStarts(text).size();
    if (!progress.fileName.empty() && used + 2 + kShortestPath <= room)
        return text + "  " + MiddleCut(progress.fileName, room - used - 2);
    return FirstCharacters(text, room);
}

StatusLine::StatusLine(int fd, bool enabled) : fd_(fd), enabled_(enabled) { Refit(); }

void StatusLine::Refit() { columns_ = enabled_ ? TerminalColumns(fd_) : 0; }

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

std::string SecondsText(int64_t ms)
{
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + " s";
}

}  // namespace tirevo
