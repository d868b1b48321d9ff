// Data collection to disk: every start makes a new file, and every reading
// shown while collecting is on disk as a row before the next one arrives.
#include "MainFormUnit.h"

#include "LogText.h"
#include "Messages.h"

#include <QToolButton>

#include <cerrno>

namespace {

// Suffixes tried when the file name of a start is taken; more would only
// mean something keeps creating these names.
constexpr int kLogFileAttempts = 9999;

tirevo::LogClockTime LogNow(const TMainForm& form)
{
    const QDateTime now = form.LogClock ? form.LogClock() : QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

// The idle state comes back before any message box opens: the timers go on
// behind a modal box, and readings arriving then must not meet a collection
// that is still marked on.
void ShowIdle(TMainForm& form)
{
    form.sb6->setEnabled(false);
    form.sb5->setEnabled(true);
    form.LinkState.Logging = false;
}

[[noreturn]] void RaiseIoError(int systemError)
{
    throw AppError(tirevo::IoErrorText(tirevo::IoErrorCode(systemError)));
}

void StopCollection(TMainForm& form)
{
    ShowIdle(form);
    if (const int error = form.LinkState.LogFile.Close())
        RaiseIoError(error);
}

}  // namespace

void TMainForm::sb5Click()
{
    Guarded([&] {
        if (LinkState.Logging)
            return;
        sb5->setEnabled(false);
        sb6->setEnabled(true);
        LinkState.Logging = true;

        // Two starts within one second, or a clock set back, give the same
        // name; an existing file is never replaced, the new one is numbered.
        const tirevo::LogClockTime start = LogNow(*this);
        int error = EEXIST;
        for (int attempt = 1; attempt <= kLogFileAttempts && error == EEXIST; ++attempt) {
            LinkState.LogFileName = tirevo::LogFileName(start, attempt);
            error = LinkState.LogFile.CreateNew(LinkState.LogFileName);
        }
        if (error == 0)
            error = LinkState.LogFile.Write(tirevo::LogHeaderText(
                AppVersion, LinkState.MeterSerial, Settings.UseTimeStamp, Settings.Separator));
        if (error != 0) {
            LinkState.LogFile.Close();
            ShowIdle(*this);
            RaiseIoError(error);
        }
    });
}

void TMainForm::sb6Click()
{
    Guarded([&] { StopCollection(*this); });
}

void TMainForm::WriteLogRow(const std::string& readingText)
{
    if (!LinkState.Logging)
        return;
    // One sample of the clock for date and time alike, so a row written at
    // midnight cannot pair one day's date with the next day's time.
    const std::string row = tirevo::LogRowText(LogNow(*this), Separators.time, Settings.UseTimeStamp,
                                               Settings.Separator, readingText);
    if (const int error = LinkState.LogFile.Write(row)) {
        // Reported once: collection stops, so a disk that stays full does not
        // raise a box for every reading.
        ShowIdle(*this);
        LinkState.LogFile.Close();
        RaiseIoError(error);
    }
}

void TMainForm::CloseLogOnExit()
{
    StopCollection(*this);
}
