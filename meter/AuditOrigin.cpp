#include "AuditOrigin.h"

#include "MeterClock.h"
#include "ReadingTime.h"

#include <QSysInfo>
#include <QTimeZone>

namespace tirevo {

AuditOrigin CurrentAuditOrigin(std::string program) { return {LoginName(), HostName(), std::move(program)}; }

std::string HostName() { return QSysInfo::machineHostName().toStdString(); }

QDateTime AuditNow()
{
    const int64_t utcMs = QDateTime::currentMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone(LocalUtcOffsetS(utcMs)));
}

std::string AuditTimeText(const QDateTime& time) { return IsoLocalTimeText(time); }

}  // namespace tirevo
