#include "ReconnectBackoff.h"

#include <algorithm>

namespace tirevo {

int64_t ReconnectBackoff::NextDelayMs()
{
    const int64_t delay = nextMs_;
    nextMs_ = std::min(nextMs_ * 2, kLongestMs);
    return delay;
}

}  // namespace tirevo
