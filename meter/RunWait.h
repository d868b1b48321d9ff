// How a run waits between ticks: until the next tick is due or something
// ends the run. The program waits on its signals; a benchmark on a virtual
// clock waits by moving that clock.
#pragma once

#include <cstdint>

namespace tirevo {

class RunWait {
public:
    virtual ~RunWait() = default;
    // Waits up to timeoutMs; true when the run is to end now.
    virtual bool Wait(int64_t timeoutMs) = 0;
    // True once after the terminal changed its size (Wait may then return
    // early, before its timeout).
    virtual bool TakeResized() { return false; }
};

}  // namespace tirevo
