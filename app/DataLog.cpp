// Data collection to disk: the two buttons, the rows of the readings shown,
// and what the user sees when the file fails.
#include "MainFormUnit.h"

#include "LogText.h"
#include "Messages.h"
#include "ReadingTime.h"

#include <QToolButton>

namespace tirevo {

namespace {

[[noreturn]] void RaiseIoError(int systemError) { throw AppError(IoErrorText(IoErrorCode(systemError))); }

}  // namespace

LogClockTime TMainForm::LogNow() const
{
    if (!LogClock)
        return SystemLogClock();
    const QDateTime now = LogClock();
    return {now.date().year(), now.date().month(),  now.date().day(),
            now.time().hour(), now.time().minute(), now.time().second()};
}

// The idle state comes back before any message box opens: the timers go on
// behind a modal box, and readings arriving then must not meet a collection
// that is still marked on. Reported once, so a disk that stays full does not
// raise a box for every reading.
void TMainForm::ShowCollectionIdle()
{
    sb6->setEnabled(false);
    sb5->setEnabled(true);
}

void TMainForm::sb5Click()
{
    Guarded([&] {
        if (log_.Logging())
            return;
        sb5->setEnabled(false);
        sb6->setEnabled(true);
        const DataLogOptions options{std::string(), Settings.UseTimeStamp, Settings.Separator};
        if (const int error = log_.Start(options, AppVersion, meter_.Serial())) {
            ShowCollectionIdle();
            RaiseIoError(error);
        }
        AuditLog();
    });
}

void TMainForm::sb6Click()
{
    Guarded([&] { CloseLogOnExit(); });
}

void TMainForm::WriteLogRow(const std::string& readingText, const Reading& reading)
{
    if (!log_.Logging())
        return;
    if (const int error = log_.WriteRow(readingText, Separators.time, ReadingLogTime(reading))) {
        ShowCollectionIdle();
        // The file is closed with the rows it holds.
        AuditLog();
        RaiseIoError(error);
    }
}

void TMainForm::CloseLogOnExit()
{
    ShowCollectionIdle();
    const int error = log_.Stop();
    AuditLog();
    if (error != 0)
        RaiseIoError(error);
}

}  // namespace tirevo
