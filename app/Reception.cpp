// The reception timer: the session collects what the meter sent and takes
// one line per tick; readings are shown (and logged) here.
#include "MainFormUnit.h"

#include "Messages.h"
#include "ReadingText.h"

#include <QLabel>

void TMainForm::Timer2Timer()
{
    Guarded([&] { meter_.ReceiveTick(); });
}

void TMainForm::ReadingReceived(const tirevo::Reading& reading)
{
    const std::string text = tirevo::FormatReading(reading.value, Separators.decimal);
    lbpHValue->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    if (log_.Logging())
        WriteLogRow(text);
}
