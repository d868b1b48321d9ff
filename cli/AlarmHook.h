// Runs the --on-alarm command, `/bin/sh -c COMMAND`, once per alarm event,
// without waiting for it: polling goes on whatever the command does. It runs
// in the working folder with the program's environment and the event's
// variables, its input is /dev/null, and it is in a session of its own, away
// from the terminal (Ctrl-C on the program does not cut a mail half sent).
//
// Its output and errors come through a pipe of its own that the program
// reads without ever waiting on it, and are passed on to stderr line by
// line. It never holds the program's own stdout or stderr: a pipeline such
// as `tirevo-cli read ... 2>&1 | tee log` ends with the program, whatever
// the command still does.
//
// Commands that have ended are collected by Reap(), so none is left a
// zombie. At the end of the run Finish() waits a little for those still
// running, then leaves them to go on by themselves.
#pragma once

#include "HookOutput.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tirevo {

using HookVariables = std::vector<std::pair<std::string, std::string>>;

class AlarmHook {
public:
    using Lines = std::function<void(const std::string&)>;
    using Deadline = std::chrono::steady_clock::time_point;

    // How long the end of a run waits for commands still running: a mail
    // being sent gets through, a command that never ends does not hold up
    // a script.
    static constexpr long kEndWaitMs = 5000;
    static Deadline EndDeadline()
    {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndWaitMs);
    }

    // say takes a line of the program's own for stderr (without the
    // program's name); pass takes a line the command wrote.
    AlarmHook(std::string command, Lines say, Lines pass);
    ~AlarmHook();
    AlarmHook(const AlarmHook&) = delete;
    AlarmHook& operator=(const AlarmHook&) = delete;

    // Starts the command with these variables added to the environment.
    void Run(const HookVariables& variables);
    // Passes on what the commands have written, without waiting for more,
    // and collects those that have ended; one that failed is reported.
    void Reap();
    std::size_t Running() const { return running_.size(); }
    // Reaps until every command has ended or the deadline has passed; those
    // still running then go on without the program, each said once.
    void Finish(Deadline deadline);

private:
    struct Command {
        intptr_t process = 0;  // the process id (POSIX) or handle (Windows)
        intptr_t output = -1;  // the pipe's reading end; -1 once it has ended
        HookOutput lines;
        bool ended = false;
    };

    // Reads at most this much of one command's output in one go, so a
    // command writing without end cannot hold up the run.
    static constexpr std::size_t kMostPerLook = 64 * 1024;

    // Passes on what the command has written so far.
    void ReadOutput(Command& command);
    // Adds what can be read without waiting to bytes; false once the output
    // has ended (its reading end is then closed).
    bool ReadAvailable(Command& command, std::string& bytes);
    // Whether the command's process has ended, the text to say if it failed.
    bool Collect(Command& command, std::string& failure);
    // Waits up to timeoutMs for output or for a command to end.
    void WaitForAny(long timeoutMs);
    // Lets a command still running at the end of the run go on alone.
    void Leave(Command& command);
    void Pass(const std::vector<std::string>& lines);

    std::string command_;
    Lines say_;
    Lines pass_;
    std::vector<Command> running_;
};

}  // namespace tirevo
