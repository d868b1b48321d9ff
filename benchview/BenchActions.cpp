// A tile's actions: a sample of its meter, its trend, its calibration and its
// alarm limits, each for that meter alone, recorded as the main window
// records them.
#include "BenchWindow.h"

#include "AlarmDialog.h"
#include "AlarmSettingsFile.h"
#include "AuditedRecord.h"
#include "BenchCalibrationDialog.h"
#include "BenchTile.h"
#include "Calibration.h"
#include "Messages.h"
#include "NumberText.h"
#include "ReadingText.h"
#include "ReadingTime.h"
#include "SampleDialog.h"
#include "SampleRecord.h"
#include "TrendHost.h"
#include "Version.h"

#include <QLabel>
#include <QLineEdit>

namespace tirevo {

namespace {

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ProgramName() { return std::string("tirevo ") + kAppVersion; }

}  // namespace

void BenchWindow::Act(const std::string& serial, TileAction action)
{
    Guarded([&] {
        BenchMeter* meter = model_ ? model_->Find(serial) : nullptr;
        if (!meter)
            return;
        switch (action) {
        case TileAction::RecordSample:
            RecordSample(*meter);
            return;
        case TileAction::ShowTrend:
            ShowTrend(*meter);
            return;
        case TileAction::Calibrate:
            Calibrate(*meter);
            return;
        case TileAction::AlarmLimits:
            EditAlarmLimits(*meter);
            return;
        case TileAction::Remove:
            model_->Remove(serial);
            return;
        }
    });
}

SampleDialog* BenchWindow::RecordDialog(const std::string& serial) const
{
    const auto found = samples_.find(serial);
    return found == samples_.end() ? nullptr : found->second.data();
}

BenchCalibrationDialog* BenchWindow::CalibrationDialog(const std::string& serial) const
{
    const auto found = calibrations_.find(serial);
    return found == calibrations_.end() ? nullptr : found->second.data();
}

TrendHost* BenchWindow::Trend(const std::string& serial) const
{
    const auto found = trends_.find(serial);
    return found == trends_.end() ? nullptr : found->second;
}

void BenchWindow::RecordSample(BenchMeter& meter)
{
    const std::string serial = meter.Serial();
    if (SampleDialog* open = RecordDialog(serial)) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* dialog = new SampleDialog(
        QString::fromStdString(NextSampleName(lastSampleNames_[serial].toStdString())), this);
    dialog->setWindowTitle(QStringLiteral("Record sample: ") + Latin1(serial));
    samples_[serial] = dialog;
    connect(dialog, &SampleDialog::RecordWhenStable, this, [this, serial] { SampleWhenStable(serial); });
    connect(dialog, &SampleDialog::RecordNow, this, [this, serial] { SampleNow(serial); });
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->open();
}

BenchMeter* BenchWindow::SampleMeter(const std::string& serial, SampleDialog* dialog)
{
    BenchMeter* meter = model_ ? model_->Find(serial) : nullptr;
    if (!dialog || !meter)
        return nullptr;
    if (const std::optional<std::string> refusal = SampleNameRefusal(dialog->Name().toStdString())) {
        ShowMessage(QString::fromStdString(*refusal));
        return nullptr;
    }
    return meter;
}

void BenchWindow::SampleWhenStable(const std::string& serial)
{
    Guarded([&] {
        SampleDialog* dialog = RecordDialog(serial);
        BenchMeter* meter = SampleMeter(serial, dialog);
        if (!meter)
            return;
        if (meter->LastReading() && meter->Stable()) {
            WriteSample(*meter, dialog);
            return;
        }
        dialog->StartWaiting();
        dialog->ShowWaiting(meter->LastReading()
                                ? Latin1(FormatReading(meter->LastReading()->value, separators_.decimal))
                                : QString(),
                            meter->Lost());
    });
}

void BenchWindow::SampleNow(const std::string& serial)
{
    Guarded([&] {
        SampleDialog* dialog = RecordDialog(serial);
        BenchMeter* meter = SampleMeter(serial, dialog);
        if (!meter)
            return;
        if (!meter->LastReading()) {
            ShowMessage(meter->Lost()
                            ? QStringLiteral("The meter is not responding; there is no reading to record")
                            : QStringLiteral("There is no reading to record yet"));
            return;
        }
        WriteSample(*meter, dialog);
    });
}

void BenchWindow::WriteSample(BenchMeter& meter, SampleDialog* dialog)
{
    const Reading& reading = *meter.LastReading();
    const QString name = dialog->Name();
    SampleRow row;
    row.time = IsoLocalTimeText(ReadingDateTime(reading));
    row.name = name.toStdString();
    row.readingText = FormatReading(reading.value, '.');
    row.stable = meter.Stable();
    row.serial = meter.Serial();
    // The dialog is done before any message box: readings go on behind a
    // box, and must not record the sample a second time.
    samples_.erase(meter.Serial());
    dialog->accept();
    const AuditedRecord records(setup_.recordsFolder, setup_.createRecordsFolder, ProgramName());
    const AuditedWrite result = records.AppendSample(row);
    if (!result.ok)
        throw AppError(result.errorText);
    lastSampleNames_[meter.Serial()] = name;
    sbPanel->setText(Latin1(meter.Serial()) + QStringLiteral(": ") +
                     (name.isEmpty() ? QString() : name + QStringLiteral(": ")) +
                     Latin1(FormatReading(reading.value, separators_.decimal)) + QStringLiteral(" recorded"));
}

void BenchWindow::ShowTrend(BenchMeter& meter)
{
    TrendHost* trend = Trend(meter.Serial());
    if (!trend)
        return;
    if (const std::optional<QString> error = trend->Show()) {
        ShowMessage(*error);
        return;
    }
    trend->Window()->setWindowTitle(QStringLiteral("pH trend: ") + Latin1(meter.Serial()));
}

void BenchWindow::Calibrate(BenchMeter& meter)
{
    const std::string serial = meter.Serial();
    if (BenchCalibrationDialog* open = CalibrationDialog(serial)) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* dialog = new BenchCalibrationDialog(
        Latin1(serial), FromLocal(NumberDisplayText(settings_.ph1, separators_.decimal)),
        FromLocal(NumberDisplayText(settings_.ph2, separators_.decimal)), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->Apply = [this, serial](int point, const QString& text) { ApplyCalibration(serial, point, text); };
    calibrations_[serial] = dialog;
    dialog->show();
}

void BenchWindow::ApplyCalibration(const std::string& serial, int point, const QString& text)
{
    Guarded([&] {
        BenchMeter* meter = model_ ? model_->Find(serial) : nullptr;
        if (!meter)
            return;
        const CalibrationCommandResult result =
            CalibrationCommandFromText(point, ToLocal(text), separators_.decimal);
        switch (result.status) {
        case CalibrationStatus::Ok:
            break;
        case CalibrationStatus::NotANumber:
        case CalibrationStatus::Overflow:
            throw AppError(result.errorText);
        case CalibrationStatus::Zero:
            return;
        case CalibrationStatus::Negative:
        case CalibrationStatus::TooLarge:
            ShowMessage(QString::fromLatin1(result.errorText.c_str()));
            return;
        }
        Reading now;
        now.utcMs = clock_.UtcMs();
        now.utcOffsetS = LocalUtcOffsetS(now.utcMs);
        if (BenchCalibrationDialog* dialog = CalibrationDialog(serial))
            dialog->ShowResult(QString::fromStdString(CalibrationWaitingText(point)));
        meter->StartCalibration(point, result.hundredths, result.command,
                                IsoLocalTimeText(ReadingDateTime(now)));
    });
}

void BenchWindow::BenchCalibrationRow(BenchMeter& meter, const CalibrationRow& row)
{
    // The numbers as the window shows its readings; the file keeps ".".
    const QString line = QString::fromStdString(CalibrationLineText(row))
                             .replace(QLatin1Char('.'), QLatin1Char(separators_.decimal));
    if (BenchCalibrationDialog* dialog = CalibrationDialog(meter.Serial()))
        dialog->ShowResult(line);
    Guarded([&] {
        const AuditedRecord records(setup_.recordsFolder, setup_.createRecordsFolder, ProgramName());
        const AuditedWrite result = records.AppendCalibration(row);
        if (!result.ok)
            throw AppError(result.errorText);
    });
}

void BenchWindow::EditAlarmLimits(BenchMeter& meter)
{
    AlarmDialog dialog(meter.Alarm().Settings(), separators_.decimal, this);
    dialog.setWindowTitle(QStringLiteral("Alarm limits: ") + Latin1(meter.Serial()));
    const std::string serial = meter.Serial();
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The meter may have been removed while the dialog was open.
    BenchMeter* still = model_ ? model_->Find(serial) : nullptr;
    if (!still || dialog.Values() == still->Alarm().Settings())
        return;
    still->SetAlarmSettings(dialog.Values());
    // Written at once, and only this meter's section: the main window's
    // [Alarm] and the other meters' stay as they are.
    if (const std::optional<std::string> error =
            SaveMeterAlarmSettings(setup_.iniPath, serial, dialog.Values(), separators_.decimal))
        throw AppError(*error);
}

}  // namespace tirevo
