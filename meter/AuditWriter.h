// Writes the events of a run that records no rows of its own (a meter that
// connects or goes away, an alarm, a log started or closed) into the trail of
// a records folder. The trail is made at the first event, not before: a run
// pays for the user and host look-ups only once it has something to say.
//
// A failed write never stops the run that asked for it: the readings and the
// log matter more than their trail. It is said once (one line: the trail's
// path and the reason), and every later event is still tried.
#pragma once

#include "AuditEvent.h"
#include "AuditTrail.h"

#include <functional>
#include <optional>
#include <string>

namespace tirevo {

class AuditWriter {
public:
    using Say = std::function<void(const std::string&)>;

    // folder: the records folder; createFolder: make it when missing.
    // program: "tirevo-cli 1.4.0" or "tirevo 1.4.0". say: where the one line
    // about a failed write goes.
    AuditWriter(std::string folder, bool createFolder, std::string program, Say say = {},
                AuditTrail::Clock now = &AuditNow);

    void SetSay(Say say) { say_ = std::move(say); }

    // Appends event under the writers' lock: true when it is in the trail.
    bool Append(const AuditEvent& event);

    // The trail's path, as the failure line names it.
    std::string Path() const;
    // A write has failed (and was said).
    bool Failed() const { return said_; }

private:
    std::string folder_;
    bool createFolder_;
    std::string program_;
    Say say_;
    AuditTrail::Clock now_;
    std::optional<AuditTrail> trail_;
    bool said_ = false;
};

}  // namespace tirevo
