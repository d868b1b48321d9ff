// What a run with a meter leaves in the audit trail, whoever runs it (the
// window, tirevo-cli, one meter or several): the meter connected, lost,
// found again and closed, each alarm raised and cleared, and each data log
// started and closed. Its user tells it the changes as they happen; it keeps
// what it needs to tell a change from a repeat (a lost meter that goes on
// being lost, a log that goes on being written) and hands each event to the
// sink, which writes it (an AuditWriter) or keeps it (a test).
//
// It keeps no time of its own: the trail stamps each event when it is
// written.
#pragma once

#include "AlarmRule.h"
#include "AuditEvent.h"
#include "DataLog.h"
#include "MeterSession.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

class SessionAudit {
public:
    using Sink = std::function<void(const AuditEvent&)>;

    explicit SessionAudit(Sink sink);

    // A change of the meter's link, with the serial number of the meter it
    // concerns: connected when it is opened, lost when it stops answering,
    // found when it answers again, closed at the end.
    void LinkChanged(LinkStatus status, std::string_view serial);

    // What the alarm rule reported (raised and cleared alarms), in order.
    void AlarmsChanged(const std::vector<AlarmEvent>& events, std::string_view serial);

    // To be called after the log was started, written or stopped: a file
    // newly open is started, one no longer open is closed with its rows and
    // the SHA-256 of the file as it was left.
    void LogChanged(const DataLog& log, std::string_view serial);

    // The absolute path of the log being written, as its events name it.
    const std::optional<std::string>& OpenLog() const { return logPath_; }

private:
    enum class Link { Closed, Responding, NotResponding };

    void CloseLog(std::optional<int64_t> rows);

    Sink sink_;
    Link link_ = Link::Closed;
    std::optional<std::string> logPath_;
};

// A file's path made absolute and clean ("/data/logs/USB_PH_…txt"), as the
// trail names log files so that a check from any folder finds them.
std::string AbsoluteFilePath(const std::string& path);

}  // namespace tirevo
