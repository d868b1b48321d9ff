// The program's one window: four pages without tabs, three navigation
// buttons, a status bar and the two timers that drive the meter traffic.
#pragma once

#include "LinkState.h"
#include "LinkWatch.h"
#include "LocaleSeparators.h"
#include "Settings.h"
#include "Widgets.h"

#include <QDateTime>
#include <QElapsedTimer>
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
}

inline constexpr const char* AppVersion = "1.0.2.7";
inline constexpr const char* kMeterMarker = "QUVA USB pH";
inline constexpr const char* kMakerAddress = "https://example.com/tirevo";

class TMainForm : public QWidget {
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
    TBitBtn* BitBtn1 = nullptr;
    TBitBtn* btnCalibrate = nullptr;
    TBitBtn* btnAbout = nullptr;
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
    TClickLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    TClickLabel* Label3 = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* edPH1 = nullptr;
    QToolButton* sbtCAL1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* edPH2 = nullptr;
    QToolButton* sbtCAL2 = nullptr;
    // The pH trend window's button and the live series it shows.
    QToolButton* sbTrend = nullptr;
    tirevo::TrendHost* Trend = nullptr;

    TSettings Settings;
    TLinkState LinkState;
    TLocaleSeparators Separators;

    // Meter link.
    void ListMeters();
    bool OpenMeter(const std::string& serial);
    void USBConnect();
    void CloseMeter();
    void SendCommand(const std::string& text);
    bool WriteUSB(const std::string& text);
    // A meter that went away is looked for again by its serial number.
    void ReopenMeter();
    bool MeterLost() const { return meterLost_; }

    // Data log.
    void WriteLogRow(const std::string& readingText);
    void CloseLogOnExit();
    // Where file names and rows take the local time from; unset means the
    // system clock.
    std::function<QDateTime()> LogClock;

    static int SelectedRow(const QListWidget* list);

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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void applyCalibration(QLineEdit* field, const char* prefix);
    void setPollInterval(uint32_t ms);
    void startPolling();
    void showLinkStatus();
    void markMeterLost();
    void checkLinkStatus(FT_STATUS status);
    int64_t nowMs() const { return linkClock_.elapsed(); }

    QString programPath_;
    bool shown_ = false;
    bool closed_ = false;
    uint32_t pollInterval_ = 1000;
    QTimer* reopenTimer_ = nullptr;
    QElapsedTimer linkClock_;
    TLinkWatch linkWatch_;
    bool meterLost_ = false;   // the status bar says the meter is not responding
    bool handleDead_ = false;  // the handle is given up; reopening is under way
};
