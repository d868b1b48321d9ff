// The reception timer: collect what the meter sent, take one line per tick
// and show (and log) the readings.
#include "MainFormUnit.h"

#include "D2XXUnit.h"
#include "Messages.h"
#include "ReadingText.h"
#include "TrendHost.h"

#include <QLabel>

void TMainForm::Timer2Timer()
{
    Guarded([&] {
        if (!LinkState.DeviceOpen)
            return;
        if (!handleDead_) {
            const FT_STATUS status = GetFTQueueStatus();
            checkLinkStatus(status);
            if (status == FT_OK && FTDeviceState.RxBytes > 0) {
                const DWORD got = ReadFTBuffer(FTDeviceState.RxBytes);
                if (got > 0)
                    linkWatch_.BytesArrived(nowMs());
                else
                    checkLinkStatus(FTDeviceState.lastIoStatus);
                tirevo::AppendReceived(LinkState.ReceiveText,
                                       {reinterpret_cast<const char*>(FTDeviceState.inputBuffer), got});
            }
            if (!handleDead_ && linkWatch_.Silent(nowMs()))
                markMeterLost();
        }
        const std::optional<std::string> line = tirevo::TakeLine(LinkState.ReceiveText);
        if (!line)
            return;
        if (meterLost_ && !handleDead_) {
            // The meter answers again on its new handle.
            meterLost_ = false;
            showLinkStatus();
        }
        const std::optional<std::string> reading = tirevo::ReadingTextFromLine(*line, Separators.decimal);
        if (!reading)
            return;
        lbpHValue->setText(QString::fromLatin1(reading->data(), static_cast<qsizetype>(reading->size())));
        Trend->AddReading(*tirevo::ParseReadingField(tirevo::ReadingField(*line)), Trend->Now());
        if (LinkState.Logging)
            WriteLogRow(*reading);
    });
}
