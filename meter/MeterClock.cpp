#include "MeterClock.h"

#include <chrono>
#include <thread>

namespace tirevo {

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

}  // namespace tirevo
