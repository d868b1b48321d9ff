// The calibration page: each apply button sends its point to the meter, and
// the point is checked against the readings that follow it. Every point sent
// leaves a row in calibrations.csv; the reading page shows when the meter is
// due again.
#include "MainFormUnit.h"

#include "AuditedRecord.h"
#include "Calibration.h"
#include "Messages.h"
#include "MeterClock.h"
#include "ReadingTime.h"
#include "SampleRecord.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>

namespace tirevo {

namespace {

constexpr int64_t kDueCheckPeriodMs = 60 * 1000;

}  // namespace

void TMainForm::sbtCAL1Click() { ApplyCalibration(edPH1, 1); }

void TMainForm::sbtCAL2Click() { ApplyCalibration(edPH2, 2); }

void TMainForm::ApplyCalibration(QLineEdit* field, int point)
{
    Guarded([&] {
        const CalibrationCommandResult result =
            CalibrationCommandFromText(point, ToLocal(field->text()), Separators.decimal);
        switch (result.status) {
        case CalibrationStatus::Ok:
            if (!meter_.Connected()) {
                SendCommand(result.command);
                return;
            }
            StartCalibrationCheck(point, result.hundredths, result.command);
            return;
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
    });
}

void TMainForm::LoadCalibrationAtStart()
{
    const CalibrationSettingsLoad loaded = LoadCalibrationSettings(LinkState.IniPath, Separators.decimal);
    CalibrationSettings_ = loaded.settings;
    check_ = CalibrationCheck(StabilitySettings, CalibrationSettings_);
    if (loaded.problem)
        throw AppError(*loaded.problem);
}

void TMainForm::StartCalibrationCheck(int point, int32_t bufferHundredths, const std::string& command)
{
    CalibrationStart start;
    Reading now;
    now.utcMs = clock_.UtcMs();
    now.utcOffsetS = LocalUtcOffsetS(now.utcMs);
    start.time = IsoLocalTimeText(ReadingDateTime(now));
    start.serial = meter_.Serial();
    start.point = point;
    start.bufferHundredths = bufferHundredths;
    start.command = command;
    if (haveReading_ && meter_.Status() == LinkStatus::Connected) {
        start.asFound = lastValue_;
        start.asFoundStable = lastStable_;
    }
    // The point sent before is over, whatever it was waiting for.
    RecordCalibration(check_.Start(start, clock_.NowMs()));
    lbCalibration->setText(QString::fromStdString(CalibrationWaitingText(point)));
    lbCalibration->setToolTip(QString());
    SendCommand(command);
    // A meter that did not answer the command cannot give its as-left.
    if (meter_.Status() != LinkStatus::Connected)
        RecordCalibration(check_.End());
}

void TMainForm::CalibrationReading(const Reading& reading)
{
    RecordCalibration(check_.Add(reading.atMs, reading.value));
}

void TMainForm::CalibrationLinkChanged(LinkStatus status)
{
    if (status != LinkStatus::Connected)
        RecordCalibration(check_.End());
}

void TMainForm::CalibrationTick()
{
    RecordCalibration(check_.Advance(clock_.NowMs()));
    if (CalibrationSettings_.dueHours > 0 && meter_.Connected() && clock_.NowMs() >= nextDueCheckMs_)
        CheckCalibrationDue();
}

void TMainForm::RecordCalibration(const std::optional<CalibrationRow>& row)
{
    if (!row)
        return;
    // The numbers as the window shows its readings; the file keeps ".".
    const QString line = QString::fromStdString(CalibrationLineText(*row))
                             .replace(QLatin1Char('.'), QLatin1Char(Separators.decimal));
    lbCalibration->setText(
        lbCalibration->fontMetrics().elidedText(line, Qt::ElideRight, lbCalibration->width()));
    lbCalibration->setToolTip(line == lbCalibration->text() ? QString() : line);
    Guarded([&] {
        const AuditedRecord records(recordsFolder_, createRecordsFolder_,
                                    std::string("tirevo ") + AppVersion);
        const AuditedWrite result = records.AppendCalibration(*row);
        if (!result.ok)
            throw AppError(result.errorText);
    });
    if (row->result == CalibrationResult::Pass)
        CheckCalibrationDue();
}

void TMainForm::CheckCalibrationDue()
{
    nextDueCheckMs_ = clock_.NowMs() + kDueCheckPeriodMs;
    bool due = false;
    QString hint;
    if (CalibrationSettings_.dueHours > 0 && meter_.Connected()) {
        const CalibrationsRead read = ReadCalibrations(CalibrationsFile(recordsFolder_, false).Path());
        const CalibrationDue state = CalibrationDueState(read.rows, Latin1ToUtf8(meter_.Serial()),
                                                         CalibrationSettings_.dueHours, clock_.UtcMs());
        due = state.due;
        if (!state.lastPassUtcMs)
            hint = QStringLiteral("Calibration due: no passed calibration recorded");
        else if (due)
            hint = QStringLiteral("Calibration due since ") +
                QString::fromStdString(LocalMinuteText(*state.dueSinceUtcMs)) +
                QStringLiteral(" (last passed ") +
                QString::fromStdString(LocalMinuteText(*state.lastPassUtcMs)) + QStringLiteral(")");
        else
            hint = QStringLiteral("Next calibration due ") +
                QString::fromStdString(LocalMinuteText(*state.dueSinceUtcMs));
    }
    lbCalibrationDue->setVisible(due);
    btnCalibrate->setToolTip(hint);
}

}  // namespace tirevo
