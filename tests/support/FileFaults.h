// The test's side of FileFaults.c, the library a child process is started
// with to hold its writers at a gate or to fail a close (for a suite built
// with TIREVO_FILE_FAULTS, its path). Linux only: what waits for a lock is
// read from /proc/locks.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>

namespace filefaults {

namespace fs = std::filesystem;

// Long enough for a loaded two-core machine under sanitizers; only reached
// when something hangs.
constexpr auto kSafetyNet = std::chrono::seconds(60);

// Looks at done() until it holds (true) or the safety net is reached.
inline bool Eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + kSafetyNet;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Whether the process waits for a lock (flock or fcntl) another holds.
inline bool WaitsForALock(pid_t pid)
{
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream words(line);
        std::string number, arrow, kind, mode, access, owner;
        words >> number >> arrow >> kind >> mode >> access >> owner;
        if (arrow == "->" && owner == std::to_string(pid))
            return true;
    }
    return false;
}

#ifdef TIREVO_FILE_FAULTS
// The environment that loads the library into a child, added to a
// LD_PRELOAD the test itself may run with.
inline std::map<std::string, std::string> PreloadEnv(std::map<std::string, std::string> env = {})
{
    std::string preload = TIREVO_FILE_FAULTS;
    if (const char* own = std::getenv("LD_PRELOAD"); own && *own)
        preload += std::string(":") + own;
    env["LD_PRELOAD"] = preload;
    // A program built with a sanitizer whose runtime is a library of its
    // own would refuse to start behind a preloaded one.
    std::string sanitizer = "verify_asan_link_order=0";
    if (const char* own = std::getenv("ASAN_OPTIONS"); own && *own)
        sanitizer = std::string(own) + ":" + sanitizer;
    env["ASAN_OPTIONS"] = sanitizer;
    return env;
}

// Every close of a file whose path holds part fails with EIO.
inline std::map<std::string, std::string> CloseFailsEnv(const std::string& part)
{
    return PreloadEnv({{"TIREVO_FAULT_CLOSE", part}});
}

// Whether the process has ended (it is not reaped).
inline bool HasEnded(pid_t pid)
{
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid;
}

// Writers held where they have looked at a file (its size) and not yet
// written to it, each let go when the test says.
class WriterGate {
public:
    explicit WriterGate(fs::path dir) : dir_(std::move(dir)) { fs::create_directories(dir_); }

    // The environment of a child whose file ending in fileSuffix is gated.
    std::map<std::string, std::string> Env(const std::string& fileSuffix) const
    {
        return PreloadEnv({{"TIREVO_FAULT_GATE", dir_.string()}, {"TIREVO_FAULT_GATE_FILE", fileSuffix}});
    }

    // At the gate and not let go yet.
    bool Held(pid_t pid) const { return fs::exists(Mark("at", pid)) && !fs::exists(Mark("go", pid)); }
    void Release(pid_t pid) const { std::ofstream(Mark("go", pid)).put('\n'); }

    // Nothing more happens to the process until the test acts: it is held
    // at the gate, waits for a lock, or has ended.
    bool Settled(pid_t pid) const { return Held(pid) || WaitsForALock(pid) || HasEnded(pid); }

    // Lets two writers through, whichever is held, until both have ended;
    // false when they stop moving.
    bool LetThrough(pid_t a, pid_t b) const
    {
        while (!HasEnded(a) || !HasEnded(b)) {
            if (!Eventually([&] { return Settled(a) && Settled(b); }))
                return false;
            for (const pid_t pid : {a, b})
                if (Held(pid))
                    Release(pid);
        }
        return true;
    }

private:
    fs::path Mark(const char* what, pid_t pid) const
    {
        return dir_ / (std::string(what) + "." + std::to_string(pid));
    }

    fs::path dir_;
};
#endif

}  // namespace filefaults
