#include "MeterClock.h"

#include "ZoneRules.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace tirevo {

int64_t MeterClock::UtcMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t SystemMeterClock::NowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemMeterClock::SleepMs(int64_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int32_t LocalUtcOffsetS(int64_t utcMs)
{
    constexpr int64_t kMsPerSecond = 1000;
    // Whole seconds towards minus infinity, so a moment just before the epoch
    // (or a change of offset) falls in the second it belongs to.
    const auto seconds =
        static_cast<time_t>(utcMs >= 0 ? utcMs / kMsPerSecond : -((-utcMs - 1) / kMsPerSecond) - 1);
    // Read again each time: a zone changed while the program runs (the system's
    // setting, or TZ in tests) applies from the next reading on.
    tzset();
    return static_cast<int32_t>(LocalOffsetAt(static_cast<long long>(seconds)));
}

}  // namespace tirevo
