// bench_first_ph PROGRAM [ARGS...]
//
// Starts PROGRAM on the simulated meter and reports the time from the fork to
// the first "PH" on the line: start-up, listing, opening, the greeting and
// the first poll interval. The simulator writes every byte of the line into
// a FIFO (TIREVO_SIM_WIRE_LOG) that this program reads as it comes. Prints
// first-ph-ms=...; exits non-zero when no "PH" comes within a minute.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kGiveUpMs = 60000;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_first_ph: %s\n", what.c_str());
    std::exit(1);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
        Fail("usage: bench_first_ph PROGRAM [ARGS...]");
    char folder[] = "/tmp/bench-first-ph.XXXXXX";
    if (!::mkdtemp(folder))
        Fail("no temporary folder");
    const std::string fifo = std::string(folder) + "/wire";
    if (::mkfifo(fifo.c_str(), 0600) != 0)
        Fail("no FIFO");
    // Read and write: the simulator opens and closes it for every write,
    // and this end must not see an end of file in between.
    const int wire = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    if (wire < 0)
        Fail("cannot open the FIFO");
    ::setenv("TIREVO_SIM_WIRE_LOG", fifo.c_str(), 1);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(argv[1], argv + 1);
        ::_exit(127);
    }
    std::string line;
    bool seen = false;
    while (!seen) {
        pollfd entry{wire, POLLIN, 0};
        const int left = kGiveUpMs -
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
        if (left <= 0 || ::poll(&entry, 1, left) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(wire, buffer, sizeof buffer);
        if (n > 0)
            line.append(buffer, static_cast<std::size_t>(n));
        seen = line.find("PH\r") != std::string::npos;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    ::close(wire);
    ::unlink(fifo.c_str());
    ::rmdir(folder);
    if (!seen)
        Fail("no PH on the line");
    std::printf("first-ph-ms=%.1f\n", ms);
    return 0;
}
