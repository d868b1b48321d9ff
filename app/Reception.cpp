// The reception timer: the session collects what the meter sent and takes
// one line per tick; readings are shown (and logged) here.
#include "MainFormUnit.h"

#include "Messages.h"
#include "ReadingText.h"
#include "TrendHost.h"

#include <QLabel>

namespace tirevo {

void TMainForm::Timer2Timer()
{
    Guarded([&] { meter_.ReceiveTick(); });
}

void TMainForm::ReadingReceived(const Reading& reading)
{
    const std::string text = FormatReading(reading.value, Separators.decimal);
    lbpHValue->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    HandleAlarmEvents(alarm_.OnReading(reading));
    Trend->AddReading(reading.value, Trend->Now());
    if (log_.Logging())
        WriteLogRow(text);
}

}  // namespace tirevo
