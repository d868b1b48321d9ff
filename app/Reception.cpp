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
    const QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    lbpHValue->setText(shown);
    StabilityReading(reading, shown);
    Trend->AddReading(reading.value, Trend->Now(), Stability().Stable());
    if (log_.Logging())
        WriteLogRow(text);
}

}  // namespace tirevo
