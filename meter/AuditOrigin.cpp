#include "AuditOrigin.h"

#include "ReadingTime.h"

#include <QSysInfo>

namespace tirevo {

AuditOrigin CurrentAuditOrigin(std::string program) { return {LoginName(), HostName(), std::move(program)}; }

std::string HostName() { return QSysInfo::machineHostName().toStdString(); }

std::string AuditTimeText(const QDateTime& time) { return IsoLocalTimeText(time); }

}  // namespace tirevo
