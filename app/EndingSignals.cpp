#include "EndingSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tirevo {

namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end, for the handler; -1 until a watch is set up.
volatile sig_atomic_t gWriteFd = -1;

void OnSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    if (gWriteFd >= 0)
        (void)::write(gWriteFd, &byte, 1);
    errno = saved;
}

}  // namespace

void OnEndingSignals(QObject* owner, std::function<void()> action)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    gWriteFd = fds[1];
    struct sigaction handler {};
    handler.sa_handler = OnSignal;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    for (const int signal : kEndingSignals)
        ::sigaction(signal, &handler, nullptr);

    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner,
                     [readFd = fds[0], action = std::move(action)] {
                         char bytes[16];
                         while (::read(readFd, bytes, sizeof bytes) > 0) {}
                         action();
                     });
    // The pipe stays open for the life of the process: a late signal must
    // find a valid descriptor, never one reused for something else.
}

}  // namespace tirevo
