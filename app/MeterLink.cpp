// Finding, opening and talking to the meter: the window's side of the meter
// session.
#include "MainFormUnit.h"

#include "Messages.h"
#include "MeterList.h"

#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace tirevo {

namespace {

// Room the status bar keeps around its one panel.
constexpr int kStatusMargin = 12;

void AddRow(QListWidget* list, const std::string& text)
{
    auto* item = new QListWidgetItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    // The driver's bytes as they are, so the serial number opened is exactly
    // the one listed.
    item->setData(Qt::UserRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    item->setSizeHint(QSize(0, 13));
    list->addItem(item);
}

}  // namespace

void TMainForm::ListMeters()
{
    lb1->clear();
    lb2->clear();
    for (const ListedDevice& meter : ListDevices()) {
        AddRow(lb1, meter.description);
        AddRow(lb2, meter.serial);
    }
    lb1->clearSelection();
    lb2->clearSelection();
    ShowRefusedConverters();
}

void TMainForm::ShowRefusedConverters()
{
    // The status bar names the meter once one is connected; until then it
    // says why an empty list may be empty.
    if (meter_.Connected())
        return;
    std::string text = kNotConnectedText;
    if (lb1->count() == 0) {
        const std::vector<std::string> refused = RefusedConverters();
        if (!refused.empty()) {
            text = refused.front();
            if (refused.size() > 1)
                text += " (and " + std::to_string(refused.size() - 1) + " more)";
        }
    }
    ShowInStatusBar(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TMainForm::ShowInStatusBar(const QString& full)
{
    // The fixed window is narrower than a long line: it ends in "…" and the
    // tooltip holds all of it.
    sb1Panel->setText(sb1Panel->fontMetrics().elidedText(full, Qt::ElideRight, sb1->width() - kStatusMargin));
    sb1Panel->setToolTip(full == sb1Panel->text() ? QString() : full);
}

bool TMainForm::OpenMeter(const std::string& serial)
{
    return meter_.Open(serial) == ConnectResult::Connected;
}

void TMainForm::USBConnect()
{
    const int row = SelectedRow(lb2);
    if (row < 0)
        return;
    const QByteArray serial = lb2->item(row)->data(Qt::UserRole).toByteArray();
    if (!OpenMeter(serial.toStdString()))
        return;
    const std::optional<std::string> alarmProblem = LoadMeterAlarmSettings(serial.toStdString());
    sb5->setEnabled(true);
    sbRecord->setEnabled(meter_.Status() == LinkStatus::Connected);
    btnCalibrate->setEnabled(true);
    BitBtn1->setText(QStringLiteral("Show pH"));
    pc1->setCurrentIndex(0);
    ShowLinkStatus();
    SayStabilityNotJudged();
    meter_.Greet();
    Timer2->start();
    StartPolling();
    CheckCalibrationDue();
    // Told once the meter is served, so the box holds up nothing.
    if (alarmProblem)
        ReportError(*alarmProblem);
}

bool TMainForm::MeterLost() const
{
    const LinkStatus status = meter_.Status();
    return status == LinkStatus::Lost || status == LinkStatus::Reopening;
}

void TMainForm::ShowLinkStatus()
{
    const std::string text = LinkStatusText(meter_.Serial(), !MeterLost());
    ShowInStatusBar(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TMainForm::StatusChanged(LinkStatus status)
{
    sessionAudit_.LinkChanged(status, meter_.Serial());
    HandleAlarmEvents(alarm_.OnStatus(status, clock_));
    StabilityStatus();
    CalibrationLinkChanged(status);
    // No message box for a lost meter: the user may be away, and boxes would
    // pile up behind each other while the timers go on.
    if (status == LinkStatus::Closed)
        return;
    if (status == LinkStatus::Reopening)
        reopenTimer_->start(meter_.ReopenPeriodMs());
    else
        reopenTimer_->stop();
    ShowLinkStatus();
}

void TMainForm::ReopenMeter()
{
    if (!closed_)
        meter_.ReopenTick();
}

void TMainForm::CloseMeter() { meter_.Close(); }

void TMainForm::SendCommand(const std::string& text)
{
    if (!meter_.SendCommand(text))
        ShowMessage(QStringLiteral("Not connected to pH meter"));
}

bool TMainForm::WriteUSB(const std::string& text) { return meter_.WriteUSB(text); }

void TMainForm::Timer1Timer()
{
    // A tick queued just before the window closed finds the meter closed.
    if (closed_)
        return;
    Guarded([&] { meter_.PollTick(); });
}

}  // namespace tirevo
