// bench_launch PROGRAM [ARGS...]
//
// Runs PROGRAM once and prints
//   startup-ms=<from just before fork to the child's first-frame line>
//   cpu-ms=<CPU time the child had used by then>
//   maxrss-kb=<peak resident memory of the child>
// The child must print "first-frame-ns=<CLOCK_MONOTONIC ns>" and
// "first-frame-cpu-ns=<its CPU time in ns>" on its standard output and exit
// with status 0; anything else is a failed run (exit 1).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + static_cast<long long>(now.tv_nsec);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_launch PROGRAM [ARGS...]\n");
        return 2;
    }
    int out[2];
    if (pipe(out) != 0) {
        std::perror("bench_launch: pipe");
        return 1;
    }
    const long long startNs = MonotonicNs();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("bench_launch: fork");
        return 1;
    }
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(argv[1], argv + 1);
        std::fprintf(stderr, "bench_launch: cannot run %s: %s\n", argv[1], std::strerror(errno));
        _exit(127);
    }
    close(out[1]);

    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    close(out[0]);

    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("bench_launch: wait4");
            return 1;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_launch: %s did not exit cleanly (status 0x%x)\n", argv[1], status);
        return 1;
    }
    // A value printed on a line of its own as KEY=VALUE.
    auto field = [&](const std::string& key, long long& value) {
        for (size_t begin = 0; begin < text.size();) {
            const size_t end = std::min(text.find('\n', begin), text.size());
            if (text.compare(begin, key.size() + 1, key + "=") == 0) {
                value = std::strtoll(text.c_str() + begin + key.size() + 1, nullptr, 10);
                return true;
            }
            begin = end + 1;
        }
        return false;
    };
    long long frameNs = 0, cpuNs = 0;
    if (!field("first-frame-ns", frameNs) || !field("first-frame-cpu-ns", cpuNs)) {
        std::fprintf(stderr, "bench_launch: %s printed no first-frame time\n", argv[1]);
        return 1;
    }
    std::printf("startup-ms=%.2f\ncpu-ms=%.2f\nmaxrss-kb=%ld\n", static_cast<double>(frameNs - startNs) / 1e6,
                static_cast<double>(cpuNs) / 1e6, usage.ru_maxrss);
    return 0;
}
