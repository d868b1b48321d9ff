// What the window leaves in the audit trail of its records folder besides
// its samples and calibrations: the meter connected, lost, found and closed,
// each alarm, each data log started and closed, and each setting it saves
// changed. The records folder is the one of the sample dialog and the
// calibration page.
#include "MainFormUnit.h"

#include "Messages.h"

#include <QTimer>

namespace tirevo {

void TMainForm::WriteAuditEvent(const AuditEvent& event)
{
    if (!auditWriter_) {
        // A failed write never stops the readings or the log: one box,
        // once, and the window goes on. It waits for the event loop, so
        // that no box opens in the middle of the meter's reception.
        auditWriter_.emplace(recordsFolder_, createRecordsFolder_, std::string("tirevo ") + AppVersion,
                             [this](const std::string& text) {
                                 if (closed_)
                                     ReportError(text);
                                 else
                                     QTimer::singleShot(0, this, [text] { ReportError(text); });
                             });
    }
    auditWriter_->Append(event);
}

void TMainForm::AuditAlarms(const std::vector<AlarmEvent>& events)
{
    sessionAudit_.AlarmsChanged(events, meter_.Serial());
}

void TMainForm::AuditLog() { sessionAudit_.LogChanged(log_, meter_.Serial()); }

void TMainForm::AuditSettingsSaved(const IniFile& before)
{
    IniFile after;
    if (!after.Load(LinkState.IniPath))
        return;
    for (const IniChange& change : IniChanges(before, after))
        WriteAuditEvent(
            SettingsEvent(change.before.section, change.before.key, change.before.value, change.now));
}

}  // namespace tirevo
