// The run's waits on the virtual clock: a run of seconds takes no real time.
// An action may be due at a moment of it (a converter plugged in), and then
// happens when the clock passes that moment.
#pragma once

#include "RunWait.h"
#include "VirtualClock.h"

#include <cstdint>
#include <functional>
#include <utility>

class VirtualWait final : public tirevo::RunWait {
public:
    explicit VirtualWait(VirtualClock& clock) : clock_(clock) {}
    bool Wait(int64_t timeoutMs) override
    {
        const int64_t until = clock_.NowMs() + timeoutMs;
        if (action_ && atMs_ <= until) {
            clock_.Advance(atMs_ - clock_.NowMs());
            std::exchange(action_, nullptr)();
        }
        clock_.Advance(until - clock_.NowMs());
        return false;
    }
    void At(int64_t ms, std::function<void()> action)
    {
        atMs_ = ms;
        action_ = std::move(action);
    }

private:
    VirtualClock& clock_;
    int64_t atMs_ = 0;
    std::function<void()> action_;
};
