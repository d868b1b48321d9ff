// How long to wait before the next attempt to reach the broker: 1 s after the
// first failure, doubling up to 60 s, and back to 1 s once connected.
#pragma once

#include <cstdint>

namespace tirevo {

class ReconnectBackoff {
public:
    static constexpr int64_t kFirstMs = 1000;
    static constexpr int64_t kLongestMs = 60000;

    // The wait before the next attempt; each call doubles the one after.
    int64_t NextDelayMs();
    void Reset() { nextMs_ = kFirstMs; }

private:
    int64_t nextMs_ = kFirstMs;
};

}  // namespace tirevo
