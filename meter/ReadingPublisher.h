// Where a run hands its meter's readings beyond the terminal and the log
// file (a broker). The run tells it what happens; it tells the run when it
// cannot go on.
#pragma once

#include "MeterSession.h"

#include <functional>
#include <optional>
#include <string>

namespace tirevo {

class ReadingPublisher {
public:
    virtual ~ReadingPublisher() = default;
    // How its lines reach the user from now on: through the run, which
    // keeps them apart from its status line.
    virtual void SetSay(std::function<void(const std::string&)> say) = 0;
    // The meter answers (true) or is lost (false).
    virtual void MeterAvailable(bool available) = 0;
    // stable: the reading by the stability rule.
    virtual void ReadingTaken(const Reading& reading, bool stable) = 0;
    // "none", "high", "low" or "lost", while alarms are set for the meter.
    virtual void AlarmState(const std::string& /*state*/) {}
    // Why the run must end now, once it must.
    virtual std::optional<std::string> Failure() const = 0;
    // This meter's part of the run ends (the broker itself is said goodbye
    // to by its owner, once every meter has ended).
    virtual void End() = 0;
};

}  // namespace tirevo
