// Runs the --on-alarm command, `/bin/sh -c COMMAND`, once per alarm event,
// without waiting for it: polling goes on whatever the command does. It runs
// in the working folder with the program's environment and the event's
// variables, its output goes to stderr, its input is /dev/null, and it is in
// a session of its own, away from the terminal (Ctrl-C on the program does
// not cut a mail half sent). Commands that have ended are collected by
// Reap(), so none is left a zombie; commands still running when the program
// ends go on by themselves.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace tirevo {

using HookVariables = std::vector<std::pair<std::string, std::string>>;

class AlarmHook {
public:
    // say takes a line for stderr (without the program's name).
    AlarmHook(std::string command, std::function<void(const std::string&)> say);
    ~AlarmHook();
    AlarmHook(const AlarmHook&) = delete;
    AlarmHook& operator=(const AlarmHook&) = delete;

    // Starts the command with these variables added to the environment.
    void Run(const HookVariables& variables);
    // Collects the commands that have ended; one that failed is reported.
    void Reap();
    std::size_t Running() const { return running_.size(); }

private:
    std::string command_;
    std::function<void(const std::string&)> say_;
    std::vector<pid_t> running_;
};

}  // namespace tirevo
