// Whether the reading has settled ("Stable" or "Settling" under it), and the
// samples the user records with the Record button.
#include "MainFormUnit.h"

#include "AuditedRecord.h"
#include "Messages.h"
#include "ReadingText.h"
#include "ReadingTime.h"
#include "SampleDialog.h"
#include "SampleRecord.h"
#include "SettingsFile.h"
#include "SettingsLocation.h"
#include "TrendHost.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace tirevo {

namespace {

const QColor kStableColour(0, 128, 0);
const QColor kSettlingColour(176, 96, 0);

}  // namespace

void TMainForm::LoadStability()
{
    // Reported on its own: a bad window or band leaves the other settings,
    // and its own default, in force.
    const StabilityLoadResult loaded =
        LoadStabilitySettings(LinkState.IniPath, Separators.decimal, StabilityParams::kDefaultWindowS,
                              StabilityParams::kDefaultBandHundredths);
    StabilitySettings.windowS = loaded.windowS;
    StabilitySettings.bandHundredths = loaded.bandHundredths;
    // The interval the poll timer was given just before: a window that
    // holds a single reading at it would call a swinging meter stable.
    StabilitySettings.pollIntervalMs = meter_.PollInterval();
    stability_ = StabilityRule(StabilitySettings);
    const RecordsLocation records = ChooseRecordsFolder(ToLocal(programPath_), settingsRule_);
    recordsFolder_ = records.folder;
    createRecordsFolder_ = records.perUser;
    if (Trend)
        Trend->SetRecordsFolder(QString::fromStdString(recordsFolder_));
    if (loaded.error)
        ReportError(*loaded.error);
}

void TMainForm::SayStabilityNotJudged()
{
    // Once: from then on the label's "Settling" tells it, and the bar goes
    // back to the link's state at its next change.
    if (StabilitySettings.Judged())
        return;
    QString text = QString::fromStdString(StabilityNotJudgedText(StabilitySettings));
    text[0] = text[0].toUpper();
    ShowInStatusBar(text);
}

void TMainForm::StabilityReading(const Reading& reading, const QString& text)
{
    lastStable_ = stability_.Add(reading.atMs, reading.value);
    haveReading_ = true;
    lastValue_ = reading.value;
    lastReadingText_ = text;
    lastReadingTime_ = ReadingDateTime(reading);
    ShowStability();
    if (!dialog_ || !dialog_->Waiting())
        return;
    dialog_->ShowWaiting(text, false);
    if (lastStable_)
        Guarded([&] { RecordSample(); });
}

void TMainForm::StabilityStatus()
{
    // A lost meter, or one found again, is judged afresh from its next
    // reading on.
    stability_.Restart();
    haveReading_ = false;
    lastStable_ = false;
    sbRecord->setEnabled(meter_.Status() == LinkStatus::Connected);
    if (dialog_)
        dialog_->ShowWaiting(lastReadingText_, MeterLost());
    ShowStability();
}

void TMainForm::ShowStability()
{
    if (StabilityNote->isActive())
        return;
    if (!haveReading_ || meter_.Status() != LinkStatus::Connected)
        SetStabilityText(QString(), kSettlingColour);
    else if (lastStable_)
        SetStabilityText(QStringLiteral("Stable"), kStableColour);
    else
        SetStabilityText(QStringLiteral("Settling"), kSettlingColour);
}

void TMainForm::sbRecordClick()
{
    Guarded([&] {
        if (dialog_) {
            dialog_->raise();
            dialog_->activateWindow();
            return;
        }
        const std::string last = lastSampleName_.toStdString();
        dialog_ = new SampleDialog(QString::fromStdString(NextSampleName(last)), this);
        connect(dialog_, &SampleDialog::RecordWhenStable, this, &TMainForm::SampleWhenStable);
        connect(dialog_, &SampleDialog::RecordNow, this, &TMainForm::SampleNow);
        connect(dialog_, &QDialog::finished, dialog_, &QObject::deleteLater);
        dialog_->open();
    });
}

bool TMainForm::SampleNameAccepted()
{
    if (const std::optional<std::string> refusal = SampleNameRefusal(dialog_->Name().toStdString())) {
        ShowMessage(QString::fromStdString(*refusal));
        return false;
    }
    return true;
}

void TMainForm::SampleWhenStable()
{
    Guarded([&] {
        if (!dialog_ || !SampleNameAccepted())
            return;
        if (haveReading_ && lastStable_ && meter_.Status() == LinkStatus::Connected) {
            RecordSample();
            return;
        }
        dialog_->StartWaiting();
        dialog_->ShowWaiting(lastReadingText_, MeterLost());
    });
}

void TMainForm::SampleNow()
{
    Guarded([&] {
        if (!dialog_ || !SampleNameAccepted())
            return;
        if (!haveReading_) {
            ShowMessage(MeterLost()
                            ? QStringLiteral("The meter is not responding; there is no reading to record")
                            : QStringLiteral("There is no reading to record yet"));
            return;
        }
        RecordSample();
    });
}

void TMainForm::RecordSample()
{
    const QString name = dialog_->Name();
    SampleRow row;
    row.time = IsoLocalTimeText(lastReadingTime_);
    row.name = name.toStdString();
    row.readingText = FormatReading(lastValue_, '.');
    row.stable = lastStable_;
    row.serial = meter_.Serial();
    // The dialog is done before any message box: readings go on behind a
    // box, and must not record the sample a second time.
    dialog_->accept();
    dialog_ = nullptr;
    const AuditedRecord records(recordsFolder_, createRecordsFolder_, std::string("tirevo ") + AppVersion);
    const AuditedWrite result = records.AppendSample(row);
    if (!result.ok)
        throw AppError(result.errorText);
    lastSampleName_ = name;
    const QString what = (name.isEmpty() ? QString() : name + QStringLiteral(": ")) + lastReadingText_ +
        QStringLiteral(" recorded");
    SetStabilityText(lbStability->fontMetrics().elidedText(what, Qt::ElideMiddle, lbStability->width()),
                     palette().color(QPalette::WindowText));
    StabilityNote->start();
}

}  // namespace tirevo
