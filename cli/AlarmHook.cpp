// The part of the --on-alarm command's handling both systems share: the
// commands' output passed on, the ended ones collected, the end of the run.
#include "AlarmHook.h"

#include <algorithm>

namespace tirevo {

namespace {

// The end of a run looks again this often; output that comes in between
// waits in the pipe.
constexpr long kEndLookMs = 50;

}  // namespace

AlarmHook::AlarmHook(std::string command, Lines say, Lines pass)
    : command_(std::move(command)), say_(std::move(say)), pass_(std::move(pass))
{
}

AlarmHook::~AlarmHook()
{
    // A run that ended without Finish() (an error on the way out) waits for
    // none, but still lets them go without its output.
    Finish(std::chrono::steady_clock::now());
}

void AlarmHook::Pass(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        pass_(line);
}

void AlarmHook::ReadOutput(Command& command)
{
    if (command.output < 0)
        return;
    std::string bytes;
    const bool open = ReadAvailable(command, bytes);
    Pass(command.lines.Add(bytes));
    if (!open) {
        if (const std::optional<std::string> rest = command.lines.Rest())
            pass_(*rest);
    }
}

void AlarmHook::Reap()
{
    for (auto it = running_.begin(); it != running_.end();) {
        Command& command = *it;
        std::string failure;
        // Collected before its output is read: what it wrote before it ended
        // is then in the pipe, and comes before the word on how it ended.
        const bool endedNow = !command.ended && Collect(command, failure);
        ReadOutput(command);
        if (endedNow && !failure.empty())
            say_(failure);
        if (command.ended && command.output < 0)
            it = running_.erase(it);
        else
            ++it;
    }
}

void AlarmHook::Finish(Deadline deadline)
{
    for (;;) {
        Reap();
        if (running_.empty())
            return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        WaitForAny(std::min<long>(static_cast<long>(left.count()), kEndLookMs));
    }
    for (Command& command : running_) {
        if (const std::optional<std::string> rest = command.lines.Rest())
            pass_(*rest);
        Leave(command);
    }
    running_.clear();
}

}  // namespace tirevo
