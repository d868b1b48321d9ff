#include "SignalWatch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tirevo {

namespace {

sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    // Blocked, so it waits in the descriptor although its default is to be
    // ignored.
    sigaddset(&set, SIGWINCH);
    return set;
}

}  // namespace

SignalWatch::SignalWatch()
{
    const sigset_t set = WatchedSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    // A reader that has gone away (read | head -3) shows up as a failed
    // write the run handles, not as a death in the middle of a row.
    std::signal(SIGPIPE, SIG_IGN);
}

SignalWatch::~SignalWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SignalWatch::Wait(int64_t timeoutMs)
{
    if (received_ != 0)
        return true;
    pollfd entry{fd_, POLLIN, 0};
    const int timeout = static_cast<int>(std::clamp<int64_t>(timeoutMs, 0, INT_MAX));
    const int ready = ::poll(&entry, 1, timeout);
    if (ready <= 0)
        return false;
    signalfd_siginfo info{};
    while (received_ == 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGWINCH)
            resized_ = true;
        else
            received_ = static_cast<int>(info.ssi_signo);
    }
    return received_ != 0;
}

bool SignalWatch::TakeResized()
{
    const bool resized = resized_;
    resized_ = false;
    return resized;
}

}  // namespace tirevo
