#include "HookOutput.h"

namespace tirevo {

namespace {

constexpr long kMsPerSecond = 1000;

}  // namespace

std::vector<std::string> HookOutput::Add(std::string_view bytes)
{
    std::vector<std::string> lines;
    for (const char c : bytes) {
        if (c == '\n') {
            if (!partial_.empty() && partial_.back() == '\r')
                partial_.pop_back();
            lines.push_back(std::move(partial_));
            partial_.clear();
            continue;
        }
        partial_.push_back(c);
        if (partial_.size() >= kLongestLine) {
            lines.push_back(std::move(partial_));
            partial_.clear();
        }
    }
    return lines;
}

std::optional<std::string> HookOutput::Rest()
{
    if (partial_.empty())
        return std::nullopt;
    std::string rest = std::move(partial_);
    partial_.clear();
    if (rest.back() == '\r')
        rest.pop_back();
    return rest;
}

std::string HookStatusText(long status, std::string_view hint)
{
    std::string text = "the --on-alarm command ended with status " + std::to_string(status);
    if (!hint.empty())
        text += " (" + std::string(hint) + ")";
    return text;
}

std::string HookLeftText(std::optional<long> process, long waitedMs)
{
    const std::string waited = std::to_string(waitedMs / kMsPerSecond) + " s";
    std::string text = "the --on-alarm command";
    if (process)
        text += " (process " + std::to_string(*process) + ")";
    return text + " is still running after " + waited + "; it goes on by itself, its output no longer shown";
}

}  // namespace tirevo
