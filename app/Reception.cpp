// The reception timer: the session collects what the meter sent and takes
// every complete line per tick; each reading is logged and added to the
// trend with its own time stamp, and the last one of a tick stays shown.
#include "MainFormUnit.h"

#include "Messages.h"
#include "ReadingText.h"
#include "ReadingTime.h"
#include "TrendHost.h"

#include <QLabel>

namespace tirevo {

void TMainForm::Timer2Timer()
{
    // A tick queued just before the window closed finds the meter closed.
    if (closed_)
        return;
    Guarded([&] { meter_.ReceiveTick(); });
    CalibrationTick();
}

void TMainForm::ReadingReceived(const Reading& reading)
{
    const std::string text = FormatReading(reading.value, Separators.decimal);
    const QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    lbpHValue->setText(shown);
    HandleAlarmEvents(alarm_.OnReading(reading));
    StabilityReading(reading, shown);
    CalibrationReading(reading);
    Trend->AddReading(reading.value, ReadingDateTime(reading), Stability().Stable());
    if (log_.Logging())
        WriteLogRow(text, reading);
}

}  // namespace tirevo
