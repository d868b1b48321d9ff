#include "LinkWatch.h"

#include <algorithm>

namespace tirevo {

bool LinkWatch::MeansGone(FT_STATUS status)
{
    switch (status) {
    case FT_INVALID_HANDLE:
    case FT_DEVICE_NOT_FOUND:
    case FT_DEVICE_NOT_OPENED:
    case FT_IO_ERROR:
    case FT_OTHER_ERROR:
        return true;
    default:
        return false;
    }
}

int64_t LinkWatch::SilenceLimitMs(uint32_t pollIntervalMs)
{
    return std::max<int64_t>(3 * static_cast<int64_t>(pollIntervalMs), 3000);
}

int LinkWatch::ReopenPeriodMs(uint32_t pollIntervalMs)
{
    if (pollIntervalMs == 0 || pollIntervalMs > 1000)
        return 1000;
    return static_cast<int>(pollIntervalMs);
}

void LinkWatch::Restart(int64_t nowMs, uint32_t pollIntervalMs, bool polling)
{
    lastByteMs_ = nowMs;
    limitMs_ = SilenceLimitMs(pollIntervalMs);
    polling_ = polling;
}

bool LinkWatch::Silent(int64_t nowMs) const { return polling_ && nowMs - lastByteMs_ >= limitMs_; }

}  // namespace tirevo
