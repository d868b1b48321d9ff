// Finding, opening and talking to the meter.
#include "MainFormUnit.h"

#include "D2XXUnit.h"
#include "Messages.h"

#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <thread>

namespace {

// No real machine has more converters than this; a driver reporting more is
// not believed, so that listing always ends.
constexpr DWORD kMaxListed = 1024;

void addRow(QListWidget* list, const std::string& text)
{
    auto* item = new QListWidgetItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    item->setData(Qt::UserRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    item->setSizeHint(QSize(0, 13));
    list->addItem(item);
}

}  // namespace

void TMainForm::ListMeters()
{
    lb1->clear();
    lb2->clear();
    LinkState.DeviceOpen = false;
    GetFTDeviceCount();
    const DWORD count = std::min(FTDeviceState.deviceCount, kMaxListed);
    for (DWORD index = 0; index < count; ++index) {
        // A converter whose strings cannot be read is left out: the shared
        // result text would still hold another device's text.
        if (GetFTDeviceDescription(index) != FT_OK)
            continue;
        const std::string description = FTDeviceState.resultText;
        if (description.find(kMeterMarker) == std::string::npos)
            continue;
        if (GetFTDeviceSerialNo(index) != FT_OK)
            continue;
        addRow(lb1, description);
        addRow(lb2, FTDeviceState.resultText);
    }
    lb1->clearSelection();
    lb2->clearSelection();
}

bool TMainForm::OpenMeter(const std::string& serial)
{
    LinkState.DeviceOpen = false;
    if (Open_USB_Device_By_Serial_Number(serial) != FT_OK)
        return false;
    FTPortSettings.BaudRate = 9600;
    FTPortSettings.WordLength = FT_BITS_8;
    FTPortSettings.StopBits = FT_STOP_BITS_1_5;
    FTPortSettings.Parity = FT_PARITY_NONE;
    FTPortSettings.FlowControl = FT_FLOW_NONE;
    SetFTBaudRate();
    SetFTDataCharacteristics();
    SetFTFlowControl();
    SetFTDtr();
    SetFTRts();
    SetFTTimeouts(1, 100);
    LinkState.DeviceOpen = true;
    return true;
}

void TMainForm::USBConnect()
{
    const int row = SelectedRow(lb2);
    if (row < 0)
        return;
    const QByteArray serial = lb2->item(row)->data(Qt::UserRole).toByteArray();
    LinkState.MeterSerial = serial.toStdString();
    if (!OpenMeter(LinkState.MeterSerial))
        return;
    LinkState.Connected = true;
    sb5->setEnabled(true);
    btnCalibrate->setEnabled(true);
    BitBtn1->setText(QStringLiteral("Show pH"));
    pc1->setCurrentIndex(0);
    showLinkStatus();
    SendCommand("S20");
    Timer2->start();
    SendCommand("V");
    startPolling();
    linkWatch_.Restart(nowMs(), pollInterval_, pollInterval_ > 0);
}

void TMainForm::showLinkStatus()
{
    const QString serial = QString::fromLatin1(LinkState.MeterSerial.data(),
                                               static_cast<qsizetype>(LinkState.MeterSerial.size()));
    sb1Panel->setText(QStringLiteral("USB pH meter S/N ") + serial +
                      (meterLost_ ? QStringLiteral(" not responding") : QStringLiteral(" connected")));
}

void TMainForm::checkLinkStatus(FT_STATUS status)
{
    if (TLinkWatch::MeansGone(status))
        markMeterLost();
}

void TMainForm::markMeterLost()
{
    // No message box: the user may be away, and boxes would pile up behind
    // each other while the timers go on.
    if (!meterLost_) {
        meterLost_ = true;
        showLinkStatus();
    }
    if (!handleDead_) {
        handleDead_ = true;
        reopenTimer_->start(TLinkWatch::ReopenPeriodMs(pollInterval_));
    }
}

void TMainForm::ReopenMeter()
{
    if (!handleDead_) {
        reopenTimer_->stop();
        return;
    }
    if (LinkState.DeviceOpen) {
        CloseFTDevice();
        LinkState.DeviceOpen = false;
    }
    // Only the same meter, with the same line setup.
    if (!OpenMeter(LinkState.MeterSerial))
        return;
    handleDead_ = false;
    reopenTimer_->stop();
    // Half a line from before the loss must not be glued to the first new one.
    LinkState.ReceiveText.clear();
    SendCommand("S20");
    SendCommand("V");
    linkWatch_.Restart(nowMs(), pollInterval_, pollInterval_ > 0);
}

void TMainForm::CloseMeter()
{
    if (LinkState.DeviceOpen)
        CloseFTDevice();
}

void TMainForm::SendCommand(const std::string& text)
{
    if (!LinkState.Connected) {
        ShowMessage(QStringLiteral("Not connected to pH meter"));
        return;
    }
    // The meter needs a pause after every character; a plain sleep keeps
    // timers out, so two commands never interleave on the line.
    for (char c : text) {
        WriteUSB(std::string(1, c));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    WriteUSB("\r");
}

bool TMainForm::WriteUSB(const std::string& text)
{
    bool ok = true;
    for (char c : text) {
        FTDeviceState.outputBuffer[0] = static_cast<unsigned char>(c);
        if (WriteFTBuffer(1) != 1) {
            ok = false;
            if (!handleDead_)
                checkLinkStatus(FTDeviceState.lastIoStatus);
        }
    }
    return ok;
}

void TMainForm::Timer1Timer()
{
    Guarded([&] {
        // A handle given up is not written to until the meter is back.
        if (!handleDead_)
            SendCommand("PH");
    });
}
