// POSIX: the command runs as `/bin/sh -c COMMAND`; its output comes through a
// pipe whose reading end the program looks at without blocking.
#include "AlarmHook.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tirevo {

namespace {

constexpr int kFirstOwnFd = 3;
constexpr std::size_t kReadChunk = 4096;
// What a shell's exit status says when it could not run the command.
constexpr int kShellNotExecutable = 126;
constexpr int kShellNotFound = 127;

// The program's environment without the names given, then the names given.
std::vector<std::string> Environment(const HookVariables& variables)
{
    std::vector<std::string> out;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [key, value] : variables)
            replaced = replaced || name == key;
        if (!replaced)
            out.emplace_back(text);
    }
    for (const auto& [key, value] : variables)
        out.push_back(key + "=" + value);
    return out;
}

// `/bin/sh -c script` with the descriptors given as its input and output
// (both output and errors), nothing else of ours, in a session of its own.
// Returns 0 or the system error number.
int SpawnShell(const std::string& script, const std::vector<std::string>& environment, int input, int output,
               pid_t& pid)
{
    std::vector<std::string> entries = environment;
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    std::string text = script;
    char* argv[] = {shell, dashC, text.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    // The meter's device, the log file, the signal watch and the program's
    // own stdout and stderr stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, kFirstOwnFd);

    // The program blocks its ending signals and ignores SIGPIPE; a command
    // must start with neither, as from a shell.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    const int error = posix_spawn(&pid, shell, &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

std::vector<std::string> OwnEnvironment() { return Environment({}); }

// "SIGKILL" for 9: the same words in every locale.
std::string SignalName(int signal)
{
    const char* name = sigabbrev_np(signal);
    return name ? std::string("SIG") + name : std::string();
}

std::string EndedText(int status)
{
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const std::string name = SignalName(signal);
        return "the --on-alarm command ended by signal " + std::to_string(signal) +
            (name.empty() ? std::string() : " (" + name + ")");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 0)
        return std::string();
    const int code = WEXITSTATUS(status);
    const char* hint = code == kShellNotFound ? "command not found"
        : code == kShellNotExecutable         ? "command not executable"
                                              : "";
    return HookStatusText(code, hint);
}

}  // namespace

void AlarmHook::Run(const HookVariables& variables)
{
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int pipe[2] = {-1, -1};
    // Close-on-exec: another command started meanwhile, or anything else
    // the program starts, never holds this one's pipe.
    if (input < 0 || ::pipe2(pipe, O_CLOEXEC) != 0) {
        const int error = errno;
        if (input >= 0)
            ::close(input);
        say_("cannot run the --on-alarm command: " + std::string(std::strerror(error)));
        return;
    }
    ::fcntl(pipe[0], F_SETFL, ::fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
    pid_t pid = 0;
    const int error = SpawnShell(command_, Environment(variables), input, pipe[1], pid);
    ::close(input);
    ::close(pipe[1]);
    if (error != 0) {
        ::close(pipe[0]);
        say_("cannot run the --on-alarm command: " + std::string(std::strerror(error)));
        return;
    }
    Command command;
    command.process = pid;
    command.output = pipe[0];
    running_.push_back(std::move(command));
}

bool AlarmHook::ReadAvailable(Command& command, std::string& bytes)
{
    const int fd = static_cast<int>(command.output);
    char buffer[kReadChunk];
    while (bytes.size() < kMostPerLook) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        // The end: every process that held the pipe has closed it.
        ::close(fd);
        command.output = -1;
        return false;
    }
    return true;
}

bool AlarmHook::Collect(Command& command, std::string& failure)
{
    const pid_t pid = static_cast<pid_t>(command.process);
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR))
        return false;
    if (done == pid)
        failure = EndedText(status);
    // Ended, or not ours to wait for any more (ECHILD).
    command.ended = true;
    return true;
}

void AlarmHook::WaitForAny(long timeoutMs)
{
    // An ending process is not something poll() sees: the wait is short, and
    // output wakes it at once.
    std::vector<pollfd> outputs;
    for (const Command& command : running_)
        if (command.output >= 0)
            outputs.push_back({static_cast<int>(command.output), POLLIN, 0});
    ::poll(outputs.data(), outputs.size(), static_cast<int>(timeoutMs));
}

void AlarmHook::Leave(Command& command)
{
    if (!command.ended)
        say_(HookLeftText(static_cast<long>(command.process), kEndWaitMs));
    else
        say_(HookLeftText(std::nullopt, kEndWaitMs));
    if (command.output < 0)
        return;
    // Its output goes on to a reader of its own, which drops it: the command
    // neither holds the program's streams nor dies of a broken pipe the next
    // time it writes. The reader ends when the last writer has gone.
    const int fd = static_cast<int>(command.output);
    // The reader waits for the output, as the program did not.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t reader = 0;
    if (nothing >= 0)
        SpawnShell("exec cat", OwnEnvironment(), fd, nothing, reader);
    if (nothing >= 0)
        ::close(nothing);
    ::close(fd);
    command.output = -1;
}

}  // namespace tirevo
