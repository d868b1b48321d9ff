// Notices a meter that has gone away: a driver call failing with a status
// that means the device is gone, or silence while it is being polled.
#pragma once

#include "FtApi.h"

#include <cstdint>

namespace tirevo {

class LinkWatch {
public:
    // Statuses after which the handle is of no further use.
    static bool MeansGone(FT_STATUS status);
    // How long polling may go without a single byte: three intervals, at
    // least three seconds.
    static int64_t SilenceLimitMs(uint32_t pollIntervalMs);
    // How often a lost meter is looked for again: once per poll interval,
    // at least once a second (also when the meter is not polled).
    static int ReopenPeriodMs(uint32_t pollIntervalMs);

    // The link was (re)opened at nowMs; polling tells whether the meter is
    // asked for readings at all (an interval of 0 never polls).
    void Restart(int64_t nowMs, uint32_t pollIntervalMs, bool polling);
    void BytesArrived(int64_t nowMs) { lastByteMs_ = nowMs; }
    bool Silent(int64_t nowMs) const;

private:
    int64_t lastByteMs_ = 0;
    int64_t limitMs_ = 0;
    bool polling_ = false;
};

}  // namespace tirevo
