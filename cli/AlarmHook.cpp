#include "AlarmHook.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tirevo {

namespace {

constexpr int kFirstOwnFd = 3;

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

}  // namespace

AlarmHook::AlarmHook(std::string command, std::function<void(const std::string&)> say)
    : command_(std::move(command)), say_(std::move(say))
{
}

AlarmHook::~AlarmHook() { Reap(); }

void AlarmHook::Run(const HookVariables& variables)
{
    std::vector<std::string> environment = Environment(variables);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    std::string command = command_;
    char* argv[] = {shell, dashC, command.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    // The meter's device, the log file and the signal watch stay ours.
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

    pid_t pid = 0;
    const int error = posix_spawn(&pid, shell, &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        say_("cannot run the --on-alarm command: " + std::string(std::strerror(error)));
        return;
    }
    running_.push_back(pid);
}

void AlarmHook::Reap()
{
    for (auto it = running_.begin(); it != running_.end();) {
        int status = 0;
        const pid_t done = ::waitpid(*it, &status, WNOHANG);
        if (done == 0 || (done < 0 && errno == EINTR)) {
            ++it;
            continue;
        }
        if (done == *it) {
            if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
                say_("the --on-alarm command ended with status " + std::to_string(WEXITSTATUS(status)));
            else if (WIFSIGNALED(status))
                say_("the --on-alarm command ended by signal " + std::to_string(WTERMSIG(status)));
        }
        // Ended, or not ours to wait for any more (ECHILD).
        it = running_.erase(it);
    }
}

}  // namespace tirevo
