// A name lookup the test slows down, preloaded into tirevo-cli: a lookup of
// broker.example takes TIREVO_TEST_LOOKUP_MS (3000 unless set), or, with
// TIREVO_TEST_LOOKUP_HOLD naming a file, lasts until that file exists; then
// it fails as a name no server knows. Each lookup adds a line to the file
// TIREVO_TEST_LOOKUP_LOG when it starts. Every other name is looked up as
// usual.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <netdb.h>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr const char* kSlowName = "broker.example";
constexpr long kDefaultMs = 3000;

using LookupFn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

void NoteStart()
{
    const char* log = std::getenv("TIREVO_TEST_LOOKUP_LOG");
    if (!log)
        return;
    if (FILE* f = std::fopen(log, "a")) {
        std::fputs("lookup\n", f);
        std::fclose(f);
    }
}

void Stall()
{
    if (const char* hold = std::getenv("TIREVO_TEST_LOOKUP_HOLD")) {
        struct stat info {};
        while (::stat(hold, &info) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return;
    }
    const char* ms = std::getenv("TIREVO_TEST_LOOKUP_MS");
    std::this_thread::sleep_for(std::chrono::milliseconds(ms ? std::atol(ms) : kDefaultMs));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int getaddrinfo(const char* node, const char* service,
                                                                  const addrinfo* hints, addrinfo** result)
{
    if (node && std::strcmp(node, kSlowName) == 0) {
        NoteStart();
        Stall();
        return EAI_NONAME;
    }
    static const auto real = reinterpret_cast<LookupFn>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return real ? real(node, service, hints, result) : EAI_SYSTEM;
}
