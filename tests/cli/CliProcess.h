// build/tirevo-cli as a real child process on the simulated meter: its
// stdout and stderr through pipes or a pseudo-terminal, real signals, and
// waits that end on output or exit, never on a clock. The only time limit is
// a generous safety net against a hung child.
#pragma once

#include "FileBytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace clitest {

namespace fs = std::filesystem;

// Long enough for a loaded two-core machine under sanitizers; only reached
// when the program hangs.
constexpr auto kSafetyNet = std::chrono::seconds(60);

enum class Console {
    Pipes,        // stdout and stderr each a pipe: a script or a cron job
    Terminal,     // both on one pseudo-terminal: someone watching
    TerminalOut,  // stdout on a terminal, stderr a pipe
    Closed,       // stdout and stderr closed (`>&- 2>&-`), as some service managers start programs
};

struct Finished {
    int exitCode = -1;  // -1 when ended by a signal
    int signal = 0;
    std::string out;  // stdout (with a terminal: everything it showed)
    std::string err;
};

using ::ReadFile;
using ::WriteFile;

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "tirevo-cli-test.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

class CliProcess {
public:
    struct Setup {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;  // added to (or replacing) the test's own
        fs::path cwd;
        Console console = Console::Pipes;
        std::string program = TIREVO_CLI_PROGRAM;
        // Largest file the child may write (0: no limit); writes beyond it
        // fail with EFBIG, as on a full disk. SIGXFSZ keeps its default (it
        // kills), so the program must ignore it itself.
        long fileSizeLimit = 0;
        // With Pipes: stdout goes to this file instead (created or emptied),
        // such as /dev/full.
        fs::path stdoutFile;
        // With Closed: stdin is closed too.
        bool closeStdin = false;
        // With a terminal: its width in characters (0: the size is unknown).
        unsigned short columns = 0;
    };

    explicit CliProcess(const Setup& setup) { Start(setup); }
    ~CliProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {outFd_, errFd_})
            if (fd >= 0)
                ::close(fd);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Reads until stdout holds `count` occurrences of text (or the child
    // ends). True when they are there.
    bool WaitForOutput(const std::string& text, int count = 1)
    {
        return Pump([&] { return Occurrences(result_.out, text) >= count; });
    }
    bool WaitForError(const std::string& text)
    {
        return Pump([&] { return result_.err.find(text) != std::string::npos; });
    }

    void Signal(int signal) { ::kill(pid_, signal); }
    pid_t Pid() const { return pid_; }

    // Reads until done() holds (or the child ends). True when it holds.
    bool WaitFor(const std::function<bool()>& done) { return Pump(done); }

    // The reader of stdout goes away, as `| head -1` does.
    void CloseStdout()
    {
        if (outFd_ >= 0)
            ::close(outFd_);
        outFd_ = -1;
    }

    // The terminal gets a new width; the kernel sends SIGWINCH.
    void Resize(unsigned short columns)
    {
        const winsize size{24, columns, 0, 0};
        ::ioctl(outFd_, TIOCSWINSZ, &size);
    }

    // Reads to the end and reaps the child.
    Finished Wait()
    {
        Pump([] { return false; });
        int status = 0;
        if (pid_ > 0) {
            if (!exited_) {
                ADD_FAILURE() << "the child did not end before the safety net";
                ::kill(pid_, SIGKILL);
            }
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            if (WIFEXITED(status))
                result_.exitCode = WEXITSTATUS(status);
            if (WIFSIGNALED(status))
                result_.signal = WTERMSIG(status);
        }
        return result_;
    }

    const std::string& Out() const { return result_.out; }
    const std::string& Err() const { return result_.err; }

    static int Occurrences(const std::string& text, const std::string& part)
    {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + part.size()))
            ++n;
        return n;
    }

private:
    void Start(const Setup& setup)
    {
        std::map<std::string, std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::size_t eq = entry.find('=');
            if (eq != std::string::npos)
                env[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        // Where tirevo-cli runs there is no display.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.erase(name);
        env["LD_LIBRARY_PATH"] = TIREVO_SIM_DIR;
        for (const auto& [name, value] : setup.env)
            env[name] = value;
        std::vector<std::string> envText;
        for (const auto& [name, value] : env)
            envText.push_back(name + "=" + value);
        std::vector<std::string> argText{setup.program};
        argText.insert(argText.end(), setup.args.begin(), setup.args.end());
        std::vector<char*> argv, envp;
        for (auto& a : argText)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        int errPipe[2] = {-1, -1};
        int outPipe[2] = {-1, -1};
        if (setup.console == Console::Pipes || setup.console == Console::TerminalOut) {
            EXPECT_EQ(::pipe(errPipe), 0);
        }
        if (setup.console == Console::Pipes) {
            EXPECT_EQ(::pipe(outPipe), 0);
        }

        if (setup.console == Console::Pipes || setup.console == Console::Closed) {
            pid_ = ::fork();
        } else {
            termios raw{};
            ::cfmakeraw(&raw);
            const winsize size{24, setup.columns, 0, 0};
            // No translation of "\n", so the test sees the bytes written.
            pid_ = ::forkpty(&outFd_, nullptr, &raw, &size);
        }
        if (pid_ == 0) {
            if (setup.console == Console::Closed) {
                for (int fd = setup.closeStdin ? 0 : 1; fd <= 2; ++fd)
                    ::close(fd);
            }
            if (setup.console == Console::Pipes) {
                if (setup.stdoutFile.empty())
                    ::dup2(outPipe[1], 1);
                else
                    ::dup2(::open(setup.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            }
            if (setup.console == Console::Pipes || setup.console == Console::TerminalOut)
                ::dup2(errPipe[1], 2);
            // Only the test holds the reading ends: a reader that goes away
            // is then gone for the child too.
            for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
                if (fd > 2)
                    ::close(fd);
            if (!setup.cwd.empty() && ::chdir(setup.cwd.c_str()) != 0)
                ::_exit(126);
            if (setup.fileSizeLimit > 0) {
                ::signal(SIGXFSZ, SIG_DFL);
                const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit),
                                   static_cast<rlim_t>(setup.fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (setup.console == Console::Pipes) {
            ::close(outPipe[1]);
            outFd_ = outPipe[0];
        }
        if (setup.console == Console::Pipes || setup.console == Console::TerminalOut) {
            ::close(errPipe[1]);
            errFd_ = errPipe[0];
        }
        deadline_ = std::chrono::steady_clock::now() + kSafetyNet;
    }

    // Reads whatever comes until done() or the end of both streams.
    bool Pump(const std::function<bool()>& done)
    {
        while (!done()) {
            std::vector<pollfd> fds;
            for (int fd : {outFd_, errFd_})
                if (fd >= 0)
                    fds.push_back({fd, POLLIN, 0});
            if (fds.empty()) {
                ReapIfEnded();
                return done();
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline_ - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return done();
            if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno != EINTR)
                return done();
            for (const pollfd& p : fds) {
                if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buffer[4096];
                const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
                std::string& sink = p.fd == outFd_ ? result_.out : result_.err;
                if (n > 0) {
                    sink.append(buffer, static_cast<std::size_t>(n));
                } else {
                    // End of stream (a terminal says EIO once the child is gone).
                    ::close(p.fd);
                    (p.fd == outFd_ ? outFd_ : errFd_) = -1;
                }
            }
        }
        return true;
    }

    void ReapIfEnded()
    {
        // Both streams closed: the child is gone or about to be. A child
        // started without them is looked at until it has ended.
        while (!Exited() && std::chrono::steady_clock::now() < deadline_)
            ::usleep(10000);
        exited_ = Exited();
    }

    bool Exited() const
    {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid_;
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool exited_ = false;
    std::chrono::steady_clock::time_point deadline_;
    Finished result_;
};

// Runs to the end.
inline Finished RunCli(const CliProcess::Setup& setup)
{
    CliProcess child(setup);
    return child.Wait();
}

// tirevo-cli verify on a records folder, run from it.
inline Finished RunVerify(const std::filesystem::path& records)
{
    CliProcess::Setup setup;
    setup.args = {"verify", "--records", records.string()};
    setup.cwd = records;
    return RunCli(setup);
}

}  // namespace clitest
