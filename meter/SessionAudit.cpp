#include "SessionAudit.h"

#include "AlarmText.h"

#include <QDir>
#include <QFileInfo>

namespace tirevo {

namespace {

// The alarm events carry their numbers as the records write them.
constexpr char kPoint = '.';

const char* AuditAlarmWhat(const AlarmEvent& event)
{
    if (!event.raised)
        return kAlarmClear;
    switch (event.kind) {
    case AlarmKind::High:
        return kAlarmHigh;
    case AlarmKind::Low:
        return kAlarmLow;
    case AlarmKind::Lost:
        break;
    }
    return kAlarmLost;
}

}  // namespace

SessionAudit::SessionAudit(Sink sink) : sink_(std::move(sink)) {}

void SessionAudit::LinkChanged(LinkStatus status, std::string_view serial)
{
    switch (status) {
    case LinkStatus::Connected:
        if (link_ == Link::Responding)
            return;
        sink_(MeterEvent(link_ == Link::Closed ? kMeterConnected : kMeterFound, serial));
        link_ = Link::Responding;
        return;
    case LinkStatus::Lost:
    case LinkStatus::Reopening:
        // Lost and then Reopening (or the other way round) is one meter
        // that stopped answering, not two.
        if (link_ == Link::NotResponding)
            return;
        if (link_ == Link::Closed)
            sink_(MeterEvent(kMeterConnected, serial));
        sink_(MeterEvent(kMeterLost, serial));
        link_ = Link::NotResponding;
        return;
    case LinkStatus::Closed:
        if (link_ == Link::Closed)
            return;
        sink_(MeterEvent(kMeterClosed, serial));
        link_ = Link::Closed;
        return;
    }
}

void SessionAudit::AlarmsChanged(const std::vector<AlarmEvent>& events, std::string_view serial)
{
    for (const AlarmEvent& event : events) {
        // A lost meter has no limit; a clear names the limit of the alarm it
        // ends, and the reading that ended it (none for a meter found).
        const std::string limit =
            event.kind == AlarmKind::Lost ? std::string() : AlarmNumberText(event.limit, kPoint);
        const std::string ph = event.hasValue ? AlarmNumberText(event.value, kPoint) : std::string();
        sink_(AlarmAuditEvent(AuditAlarmWhat(event), limit, ph, serial));
    }
}

void SessionAudit::LogChanged(const DataLog& log, std::string_view serial)
{
    const bool open = log.Logging();
    const std::string path = log.FileName().empty() ? std::string() : AbsoluteFilePath(log.FileName());
    // A new file while the last one was never seen closed: that one ended
    // first. Its rows are no longer known, only its file.
    if (logPath_ && (!open || path != *logPath_))
        CloseLog(open ? std::nullopt : std::optional<int64_t>(log.Rows()));
    if (open && !logPath_) {
        logPath_ = path;
        sink_(LogStartedEvent(path, serial));
    }
}

void SessionAudit::CloseLog(std::optional<int64_t> rows)
{
    const std::string path = *logPath_;
    logPath_.reset();
    // A file that cannot be read back has no hash to hold it to; its
    // started event stays without a closed one, as a log cut off by a crash.
    const std::optional<std::string> hash = FileSha256Hex(path);
    if (!hash)
        return;
    sink_(LogClosedEvent(path, rows, *hash));
}

std::string AbsoluteFilePath(const std::string& path)
{
    return QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath()).toStdString();
}

}  // namespace tirevo
