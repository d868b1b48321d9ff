// The program's one window: four pages without tabs, three navigation
// buttons, a status bar and the two timers that drive the meter traffic. The
// meter itself is a MeterSession; the window shows what it hears from it.
#pragma once

#include "AlarmRule.h"
#include "DataLog.h"
#include "DesktopNotifier.h"
#include "LocaleSeparators.h"
#include "MeterSession.h"
#include "Settings.h"
#include "Version.h"
#include "Widgets.h"

#include <QDateTime>
#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QStackedWidget;
class QStatusBar;
class QTimer;
class QToolButton;

namespace tirevo {

class TrendHost;

inline constexpr const char* AppVersion = kAppVersion;
inline constexpr const char* kMakerAddress = "https://example.com/tirevo";

// What the window keeps of its own beside the meter session and the log.
struct TLinkState {
    std::string IniPath;  // full path of the settings file
};

class TMainForm : public QWidget, private MeterListener {
    Q_OBJECT
public:
    // programPath decides where the settings file lives (beside it).
    explicit TMainForm(const QString& programPath, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, named as the rest of the program and its tests know them.
    QStatusBar* sb1 = nullptr;
    QLabel* sb1Panel = nullptr;
    QStackedWidget* pc1 = nullptr;
    QWidget* tsPH = nullptr;
    QWidget* tsConnect = nullptr;
    QWidget* tsAbout = nullptr;
    QWidget* tsCal = nullptr;
    BitBtn* BitBtn1 = nullptr;
    BitBtn* btnCalibrate = nullptr;
    BitBtn* btnAbout = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lbpHValue = nullptr;
    QToolButton* sb5 = nullptr;
    QToolButton* sb6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QListWidget* lb1 = nullptr;
    QListWidget* lb2 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    ClickLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    ClickLabel* Label3 = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* edPH1 = nullptr;
    QToolButton* sbtCAL1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* edPH2 = nullptr;
    QToolButton* sbtCAL2 = nullptr;
    // The pH trend window's button and the live series it shows.
    QToolButton* sbTrend = nullptr;
    TrendHost* Trend = nullptr;
    // The stability label, where a raised alarm is shown instead, and the
    // button of the alarm limits.
    QLabel* lbStability = nullptr;
    QToolButton* sbAlarm = nullptr;

    TSettings Settings;
    TLinkState LinkState;
    LocaleSeparators Separators;

    MeterSession& Meter() { return meter_; }
    const MeterSession& Meter() const { return meter_; }
    DataLog& Log() { return log_; }
    const DataLog& Log() const { return log_; }
    const AlarmRule& Alarm() const { return alarm_; }
    // Applies alarm limits at once; they are written to the settings file at
    // close.
    void ApplyAlarmSettings(const AlarmSettings& settings);
    // What the stability label says while no alarm is raised.
    void SetStabilityText(const QString& text);
    // The status bar says the meter is not responding.
    bool MeterLost() const;

    // Meter link.
    void ListMeters();
    bool OpenMeter(const std::string& serial);
    void USBConnect();
    void CloseMeter();
    void SendCommand(const std::string& text);
    bool WriteUSB(const std::string& text);
    void ReopenMeter();

    // Data log.
    void WriteLogRow(const std::string& readingText);
    void CloseLogOnExit();
    // Where file names and rows take the local time from; unset means the
    // system clock.
    std::function<QDateTime()> LogClock;

    static int SelectedRow(const QListWidget* list);

    // The program lets the first frame be painted before the meters are
    // listed and the only one connected; tests connect at once on show().
    void SetConnectAfterFirstFrame(bool on) { connectAfterFirstFrame_ = on; }

public slots:
    void FormCreate();
    void FormShow();
    void FormClose();
    void BitBtn1Click();
    void btnCalibrateClick();
    void btnAboutClick();
    void SpeedButton2Click();
    void lb1MouseDown();
    void lb2MouseDown();
    void Label3Click();
    void Image1Click();
    void sbtCAL1Click();
    void sbtCAL2Click();
    void sb5Click();
    void sb6Click();
    void Timer1Timer();
    void Timer2Timer();
    void sbTrendClick();
    void sbAlarmClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the meter session tells the window.
    void ReadingReceived(const Reading& reading) override;
    void StatusChanged(LinkStatus status) override;

    void ConnectAtStart();
    void BuildWindow();
    void BuildReadingPage();
    void BuildSelectionPage();
    void BuildAboutPage();
    void BuildCalibrationPage();
    void ConnectHandlers();

    void ShowOneSelection(QListWidget* from, QListWidget* to, int row);
    void ApplyCalibration(QLineEdit* field, int point);
    void SetPollInterval(uint32_t ms);
    void StartPolling();
    void ShowLinkStatus();
    void ShowCollectionIdle();
    void BuildAlarmControls();
    void LoadAlarmSettingsAtStart();
    std::optional<std::string> SaveAlarmSettingsAtClose();
    void HandleAlarmEvents(const std::vector<AlarmEvent>& events);
    void ShowAlarmState();
    void ArmAlarmTimer();
    LogClockTime LogNow() const;

    QString programPath_;
    bool shown_ = false;
    bool closed_ = false;
    bool syncingLists_ = false;
    bool connectAfterFirstFrame_ = false;
    bool startConnectPending_ = false;
    static constexpr int kFirstFrameFallbackMs = 500;
    QTimer* reopenTimer_ = nullptr;
    QTimer* alarmTimer_ = nullptr;
    AlarmRule alarm_;
    bool alarmsChanged_ = false;
    QString stabilityText_;
    DesktopNotifier notifier_;
    SystemMeterClock clock_;
    MeterSession meter_{clock_};
    DataLog log_{[this] { return LogNow(); }};
};

}  // namespace tirevo
