// The bench view: a tile per attached meter in a grid that fits the window,
// "Log all", and a status bar. Its meters are a BenchModel on the window's
// clock, run by one timer armed for whatever is due first; the view opens
// them when shown and lets them go when closed, so that a meter is free again
// for the main window or tirevo-cli.
#pragma once

#include "AuditWriter.h"
#include "BenchModel.h"
#include "BenchSettings.h"
#include "BenchViewApi.h"
#include "CalibrationSettings.h"
#include "LocaleSeparators.h"
#include "Settings.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStatusBar;
class QTimer;

namespace tirevo {

class BenchCalibrationDialog;
class BenchTile;
class SampleDialog;
class TrendHost;
enum class TileAction;

class BenchWindow : public QWidget, public BenchView, private BenchMeterListener {
public:
    // The smallest width a tile is given when the columns are counted to fit.
    static constexpr int kTileMinWidth = 300;
    static constexpr int kTileMinHeight = 150;

    BenchWindow(const BenchViewSetup& setup, QWidget* parent = nullptr);
    ~BenchWindow() override;

    QWidget* Window() override { return this; }
    void End() override;
    void Renew(const BenchViewSetup& setup) override;

    // The meters, while the view is open.
    BenchModel* Model() const { return model_.get(); }
    // The tile of a meter, else none.
    BenchTile* Tile(const std::string& serial) const;
    // The tiles in their order.
    std::vector<BenchTile*> Tiles() const;
    int Columns() const { return columns_; }
    // The columns the user chose (0: as many as fit).
    void SetColumns(int columns);

    // A tile's actions, as its menu and buttons run them.
    void Act(const std::string& serial, TileAction action);
    SampleDialog* RecordDialog(const std::string& serial) const;
    BenchCalibrationDialog* CalibrationDialog(const std::string& serial) const;
    TrendHost* Trend(const std::string& serial) const;

    // "Log all" and its stop.
    void LogAllClick();
    bool LoggingAll() const { return loggingAll_; }
    QString LogFolder() const;

    QPushButton* btnLogAll = nullptr;
    QSpinBox* edColumns = nullptr;
    QStatusBar* sbBench = nullptr;
    QLabel* sbPanel = nullptr;

    // Called when a tile's reading label has been painted (for the
    // benchmark of the time from a reading to the screen).
    std::function<void(const std::string& serial)> ReadingPainted;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the meters tell the view.
    void BenchReading(BenchMeter& meter, const Reading& reading) override;
    void BenchChanged(BenchMeter& meter) override;
    void BenchCalibrationRow(BenchMeter& meter, const CalibrationRow& row) override;

    void LoadSettings();
    void Open();
    void OpenAudit();
    void Close();
    void ArmTimer();
    void Tick();
    void MeterAdded(BenchMeter& meter);
    // Takes away a meter's tile, trend and dialogs. The serial is a copy: a
    // caller may pass a key of the maps this empties.
    void DropTile(std::string serial);
    void LayOut();
    void ShowStatus();
    void SavePlace();

    // Actions, per meter.
    void RecordSample(BenchMeter& meter);
    // The meter a sample of dialog goes to, or nothing when the tile is gone
    // or the name typed cannot be recorded (said in a box).
    BenchMeter* SampleMeter(const std::string& serial, SampleDialog* dialog);
    void SampleWhenStable(const std::string& serial);
    void SampleNow(const std::string& serial);
    void WriteSample(BenchMeter& meter, SampleDialog* dialog);
    void ShowTrend(BenchMeter& meter);
    void Calibrate(BenchMeter& meter);
    void ApplyCalibration(const std::string& serial, int point, const QString& text);
    void EditAlarmLimits(BenchMeter& meter);
    void StartLog(BenchMeter& meter);
    void StopLogs();
    void WriteLogRow(BenchMeter& meter, const Reading& reading);

    BenchViewSetup setup_;
    SystemMeterClock systemClock_;
    MeterClock& clock_;
    TSettings settings_;
    BenchRules rules_;
    LocaleSeparators separators_;
    // What could not be used of the settings file, said once the view is up.
    std::vector<std::string> problems_;
    BenchPlace loadedPlace_;
    BenchPlace place_;
    // The meters' events, into the trail of the records folder; made when
    // the view opens, and outliving the meters that write to it.
    std::optional<AuditWriter> auditWriter_;
    std::unique_ptr<BenchModel> model_;
    QTimer* timer_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* grid_ = nullptr;
    QGridLayout* gridLayout_ = nullptr;
    int columns_ = 1;
    std::map<std::string, BenchTile*> tiles_;
    std::map<std::string, TrendHost*> trends_;
    std::map<std::string, QPointer<SampleDialog>> samples_;
    std::map<std::string, QString> lastSampleNames_;
    std::map<std::string, QPointer<BenchCalibrationDialog>> calibrations_;
    bool loggingAll_ = false;
    QString logFolder_;
};

}  // namespace tirevo
