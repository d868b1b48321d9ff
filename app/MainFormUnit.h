// The program's one window: four pages without tabs, three navigation
// buttons, a status bar and the two timers that drive the meter traffic. The
// meter itself is a MeterSession; the window shows what it hears from it.
#pragma once

#include "AlarmRule.h"
#include "AlarmSettingsFile.h"
#include "AuditWriter.h"
#include "CalibrationCheck.h"
#include "CalibrationSettings.h"
#include "DataLog.h"
#include "DesktopNotifier.h"
#include "IniFile.h"
#include "LocaleSeparators.h"
#include "MeterSession.h"
#include "SampleDialog.h"
#include "SessionAudit.h"
#include "Settings.h"
#include "SettingsLocation.h"
#include "StabilityRule.h"
#include "Version.h"
#include "Widgets.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QStackedWidget;
class QStatusBar;
class QTimer;
class QToolButton;

namespace tirevo {

class BenchHost;
class TrendHost;

inline constexpr const char* AppVersion = kAppVersion;
inline constexpr const char* kMakerAddress = "https://example.com/tirevo";
inline constexpr const char* kNotConnectedText = "USB pH Meter not connected";

// What the window keeps of its own beside the meter session and the log.
struct TLinkState {
    std::string IniPath;  // full path of the settings file
};

class TMainForm : public QWidget, private MeterListener {
    Q_OBJECT
public:
    // programPath decides where the settings file lives (beside it), unless
    // the rule is that of an installed copy (the user's own file). clock
    // drives the meter link and stamps its readings; unset means the
    // system's clocks (tests hand in a virtual one).
    explicit TMainForm(const QString& programPath, QWidget* parent = nullptr, MeterClock* clock = nullptr,
                       SettingsRule settingsRule = SettingsRule::BesideProgram);
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
    // Whether the reading has settled (while an alarm is raised: the alarm),
    // and the sample record.
    QLabel* lbStability = nullptr;
    QToolButton* sbRecord = nullptr;
    // Shows what was recorded in lbStability for a while.
    QTimer* StabilityNote = nullptr;
    // The button of the alarm limits.
    QToolButton* sbAlarm = nullptr;
    // The last calibration point and its check, under the two rows of the
    // calibration page; "Calibration due" on the reading page.
    QLabel* lbCalibration = nullptr;
    QLabel* lbCalibrationDue = nullptr;
    // The bench view's buttons: on the reading page, and beside the meter
    // list for a choice of several meters.
    QToolButton* sbBench = nullptr;
    QToolButton* sbBenchList = nullptr;
    BenchHost* Bench = nullptr;

    TSettings Settings;
    StabilityParams StabilitySettings;
    CalibrationSettings CalibrationSettings_;
    TLinkState LinkState;
    LocaleSeparators Separators;

    MeterSession& Meter() { return meter_; }
    const MeterSession& Meter() const { return meter_; }
    DataLog& Log() { return log_; }
    const DataLog& Log() const { return log_; }
    // The limits in force: [Alarm] with the open meter's own section over it.
    const AlarmRule& Alarm() const { return alarm_; }
    // Applies [Alarm] at once (under the open meter's own section); it is
    // written to the settings file at close.
    void ApplyAlarmSettings(const AlarmSettings& settings);
    // What the stability label says, in which colour, while no alarm is
    // raised.
    void SetStabilityText(const QString& text, const QColor& colour = QColor());
    // The status bar says the meter is not responding.
    bool MeterLost() const;

    // Meter link.
    void ListMeters();
    // The status bar before a connection: "not connected", or the converters
    // refused for lack of permission when no meter is listed.
    void ShowRefusedConverters();
    bool OpenMeter(const std::string& serial);
    void USBConnect();
    void CloseMeter();
    void SendCommand(const std::string& text);
    bool WriteUSB(const std::string& text);
    void ReopenMeter();

    // Data log.
    // The row of a reading as shown, stamped with the reading's own time.
    void WriteLogRow(const std::string& readingText, const Reading& reading);
    void CloseLogOnExit();
    // Where the names of new files take the local time from; unset means
    // the system clock. Rows carry the time stamps of their readings.
    std::function<QDateTime()> LogClock;

    static int SelectedRow(const QListWidget* list);

    // The sample record.
    const StabilityRule& Stability() const { return stability_; }
    SampleDialog* RecordDialog() const { return dialog_; }
    const std::string& RecordsFolder() const { return recordsFolder_; }
    void SampleWhenStable();
    void SampleNow();

    // The calibration record.
    const CalibrationCheck& Check() const { return check_; }
    // Looks at calibrations.csv for the connected meter now (also done at
    // connection and once a minute on the window's clock).
    void CheckCalibrationDue();

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
    void sbRecordClick();
    void sbAlarmClick();
    void sbBenchClick();

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
    // One line in the status bar, cut to its width, whole in the tooltip.
    void ShowInStatusBar(const QString& full);
    void ShowCollectionIdle();
    void BuildAlarmControls();
    void BuildBenchButtons();
    // The bench view shares this window's session: it lets it go first.
    void EndBenchView();
    void LoadAlarmSettingsAtStart();
    std::optional<std::string> SaveAlarmSettingsAtClose();
    // Reads the meter's own [Alarm SERIAL] and puts its keys in force over
    // [Alarm]; what cannot be used, for the user.
    std::optional<std::string> LoadMeterAlarmSettings(const std::string& serial);
    // [Alarm] with the meter's keys over it into the rule; the reason when
    // the limits clash (both are then off).
    std::optional<std::string> ApplyAlarmsInForce();
    void HandleAlarmEvents(const std::vector<AlarmEvent>& events);
    void ShowAlarmState();
    void ArmAlarmTimer();
    LogClockTime LogNow() const;
    void LoadStability();
    void StabilityReading(const Reading& reading, const QString& text);
    void StabilityStatus();
    void ShowStability();
    // At connection: the status bar says when the poll interval leaves the
    // window too short to judge.
    void SayStabilityNotJudged();
    bool SampleNameAccepted();
    void RecordSample();
    void LoadCalibrationAtStart();
    void StartCalibrationCheck(int point, int32_t bufferHundredths, const std::string& command);
    void CalibrationReading(const Reading& reading);
    void CalibrationLinkChanged(LinkStatus status);
    void CalibrationTick();
    void RecordCalibration(const std::optional<CalibrationRow>& row);
    // The audit trail of the records folder: the meter, its alarms, the
    // data log and the settings saved at close.
    void WriteAuditEvent(const AuditEvent& event);
    void AuditAlarms(const std::vector<AlarmEvent>& events);
    void AuditLog();
    void AuditSettingsSaved(const IniFile& before);

    QString programPath_;
    SettingsRule settingsRule_ = SettingsRule::BesideProgram;
    bool shown_ = false;
    bool closed_ = false;
    bool syncingLists_ = false;
    bool connectAfterFirstFrame_ = false;
    bool startConnectPending_ = false;
    static constexpr int kFirstFrameFallbackMs = 500;
    static constexpr int kStabilityNoteMs = 5000;
    QTimer* reopenTimer_ = nullptr;
    QTimer* alarmTimer_ = nullptr;
    AlarmRule alarm_;
    AlarmSettings alarmCommon_;     // [Alarm] as this run has it
    AlarmSettingsLoad meterAlarm_;  // the open meter's own section
    bool alarmsChanged_ = false;
    QString stabilityText_;
    QColor stabilityColour_;
    DesktopNotifier notifier_;
    SystemMeterClock systemClock_;
    MeterClock& clock_;
    MeterSession meter_{clock_};
    DataLog log_{[this] { return LogNow(); }};
    StabilityRule stability_;
    bool haveReading_ = false;  // since the link was (re)made
    double lastValue_ = 0;
    QString lastReadingText_;
    QDateTime lastReadingTime_;
    bool lastStable_ = false;
    QString lastSampleName_;
    std::string recordsFolder_;
    bool createRecordsFolder_ = false;
    QPointer<SampleDialog> dialog_;
    CalibrationCheck check_{StabilityParams(), CalibrationSettings()};
    int64_t nextDueCheckMs_ = 0;
    // Made at the first event, in the records folder chosen at creation.
    std::optional<AuditWriter> auditWriter_;
    SessionAudit sessionAudit_{[this](const AuditEvent& event) { WriteAuditEvent(event); }};
};

}  // namespace tirevo
