// What ends a run, for a wait that also waits on something else, such as a
// broker's socket: it polls the watch's descriptor beside its own and asks
// the watch once that one is readable. The program's watch is its signals;
// a broker's run waits through this alone, knowing nothing of them.
#pragma once

#include "RunWait.h"

namespace tirevo {

class EndingWatch : public RunWait {
public:
    // Readable once an ending is waiting; -1 when there is nothing to poll
    // (Wait itself must be asked then).
    virtual int Fd() const = 0;
};

}  // namespace tirevo
