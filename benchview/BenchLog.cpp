// "Log all": a log file for every meter of the bench, named with its serial
// number as tirevo-cli log --all names them, and the rows of each meter's
// readings; the readings themselves reach the tiles here too.
#include "BenchWindow.h"

#include "BenchTile.h"
#include "LogText.h"
#include "Messages.h"
#include "ReadingText.h"
#include "ReadingTime.h"
#include "SampleDialog.h"
#include "TrendHost.h"
#include "Version.h"

#include <QDir>
#include <QPushButton>

namespace tirevo {

namespace {

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString BenchWindow::LogFolder() const { return logFolder_; }

void BenchWindow::LogAllClick()
{
    Guarded([&] {
        if (!model_)
            return;
        if (loggingAll_) {
            StopLogs();
            return;
        }
        loggingAll_ = true;
        btnLogAll->setText(QStringLiteral("&Stop logging"));
        btnLogAll->setIcon(QIcon(QStringLiteral(":/stop.png")));
        for (const auto& meter : model_->Meters())
            StartLog(*meter);
        ShowStatus();
    });
}

void BenchWindow::StartLog(BenchMeter& meter)
{
    if (meter.Log().Logging())
        return;
    const DataLogOptions options{ToLocal(logFolder_), settings_.UseTimeStamp, settings_.Separator, true};
    if (const int error = meter.StartLog(options, kAppVersion))
        ReportError(meter.Serial() + ": " + IoErrorText(IoErrorCode(error)));
    ShowStatus();
}

void BenchWindow::StopLogs()
{
    loggingAll_ = false;
    btnLogAll->setText(QStringLiteral("&Log all"));
    btnLogAll->setIcon(QIcon(QStringLiteral(":/record.png")));
    std::string failed;
    for (const auto& meter : model_->Meters())
        if (meter->Log().Logging() && meter->StopLog() != 0)
            failed += (failed.empty() ? "" : ", ") + meter->Serial();
    ShowStatus();
    if (!failed.empty())
        throw AppError("The log files of " + failed + " could not be finished");
}

void BenchWindow::WriteLogRow(BenchMeter& meter, const Reading& reading)
{
    if (!meter.Log().Logging())
        return;
    const std::string text = FormatReading(reading.value, separators_.decimal);
    if (const int error = meter.WriteLogRow(text, separators_.time, ReadingLogTime(reading))) {
        // Said once: the file is closed and the meter's collection is off.
        ShowStatus();
        ReportError(meter.Serial() + ": " + IoErrorText(IoErrorCode(error)));
    }
}

void BenchWindow::BenchReading(BenchMeter& meter, const Reading& reading)
{
    if (BenchTile* tile = Tile(meter.Serial()))
        tile->ShowMeter(meter, separators_.decimal);
    if (TrendHost* trend = Trend(meter.Serial()))
        trend->AddReading(reading.value, ReadingDateTime(reading), meter.Stable());
    WriteLogRow(meter, reading);
    SampleDialog* dialog = RecordDialog(meter.Serial());
    if (!dialog || !dialog->Waiting())
        return;
    dialog->ShowWaiting(Latin1(FormatReading(reading.value, separators_.decimal)), false);
    if (meter.Stable())
        Guarded([&] { WriteSample(meter, dialog); });
}

void BenchWindow::BenchChanged(BenchMeter& meter)
{
    if (BenchTile* tile = Tile(meter.Serial()))
        tile->ShowMeter(meter, separators_.decimal);
    if (SampleDialog* dialog = RecordDialog(meter.Serial())) {
        const std::optional<Reading>& last = meter.LastReading();
        dialog->ShowWaiting(last ? Latin1(FormatReading(last->value, separators_.decimal)) : QString(),
                            meter.Lost());
    }
}

}  // namespace tirevo
