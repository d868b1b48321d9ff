// What an --on-alarm command writes, cut into whole lines before it reaches
// the program's stderr: the program's own lines never land in the middle of
// one, and commands running side by side never mix within a line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

class HookOutput {
public:
    // A line longer than this is passed on in pieces: a command that never
    // writes a newline must not make the program hold its output for ever.
    static constexpr std::size_t kLongestLine = 4096;

    // The whole lines these bytes complete, without their "\n" or "\r\n".
    std::vector<std::string> Add(std::string_view bytes);
    // What is left once the command's output has ended: a last line that
    // had no newline.
    std::optional<std::string> Rest();

private:
    std::string partial_;
};

// "the --on-alarm command ended with status 3", with what a shell's own
// status means (hint, such as "command not found") when there is one.
std::string HookStatusText(long status, std::string_view hint = {});

// Said at the end of a run for a command still running: it goes on by
// itself, its output no longer shown. process: its id, when it is known
// still to run (its output may also be held by something it started).
std::string HookLeftText(std::optional<long> process, long waitedMs);

}  // namespace tirevo
