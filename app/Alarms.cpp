// The alarm limits in the window: the rule hears every reading and change of
// the link; a raised alarm turns the digits red, takes the stability label's
// place and is sent as a desktop notification.
#include "MainFormUnit.h"

#include "AlarmDialog.h"
#include "AlarmSettingsFile.h"
#include "AlarmText.h"
#include "Messages.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace tirevo {

namespace {

const QColor kReadingBlue(0, 0, 255);
const QColor kAlarmRed(224, 0, 0);
constexpr int kStabilityPixels = 11;
constexpr int kSmallestPixels = 8;

void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TMainForm::BuildAlarmControls()
{
    sbAlarm = new QToolButton(tsPH);
    sbAlarm->setGeometry(160, 85, 23, 22);
    sbAlarm->setIcon(QIcon(QStringLiteral(":/alarm.png")));
    sbAlarm->setIconSize(QSize(16, 16));
    sbAlarm->setToolTip(QStringLiteral("Alarm limits"));
    sbAlarm->setFocusPolicy(Qt::NoFocus);
    alarmTimer_ = new QTimer(this);
    alarmTimer_->setSingleShot(true);
    connect(alarmTimer_, &QTimer::timeout, this,
            [this] { Guarded([&] { HandleAlarmEvents(alarm_.Advance(clock_.NowMs())); }); });
}

void TMainForm::LoadAlarmSettingsAtStart()
{
    const AlarmSettingsLoad loaded = LoadAlarmSettings(LinkState.IniPath, Separators.decimal);
    alarmCommon_ = loaded.settings;
    alarm_.SetSettings(loaded.settings);
    if (loaded.problem)
        throw AppError(*loaded.problem);
}

std::optional<std::string> TMainForm::LoadMeterAlarmSettings(const std::string& serial)
{
    meterAlarm_ = LoadAlarmSettings(LinkState.IniPath, Separators.decimal, serial);
    // [Alarm]'s own lines were told at the start.
    std::optional<std::string> problem = meterAlarm_.meterProblem;
    if (const std::optional<std::string> clash = ApplyAlarmsInForce(); clash && !problem)
        problem = clash;
    return problem;
}

std::optional<std::string> TMainForm::ApplyAlarmsInForce()
{
    const AlarmSettingsLoad inForce = WithMeterKeys(alarmCommon_, meterAlarm_, Separators.decimal);
    // The same limits again must not restart a run past a limit.
    if (inForce.settings != alarm_.Settings()) {
        alarm_.SetSettings(inForce.settings);
        ArmAlarmTimer();
        ShowAlarmState();
    }
    return inForce.problem;
}

std::optional<std::string> TMainForm::SaveAlarmSettingsAtClose()
{
    // Only limits set in this run are written; a file edited by hand stays
    // as it was otherwise. The meter's own section is never written here.
    if (!alarmsChanged_)
        return std::nullopt;
    return SaveAlarmSettings(LinkState.IniPath, alarmCommon_, Separators.decimal);
}

void TMainForm::sbAlarmClick()
{
    Guarded([&] {
        AlarmDialog dialog(alarmCommon_, Separators.decimal, this,
                           MeterLimitsNote(meterAlarm_.meterSection, meterAlarm_.meterKeys));
        if (dialog.exec() == QDialog::Accepted)
            ApplyAlarmSettings(dialog.Values());
    });
}

void TMainForm::ApplyAlarmSettings(const AlarmSettings& settings)
{
    if (settings == alarmCommon_)
        return;
    alarmsChanged_ = true;
    alarmCommon_ = settings;
    if (const std::optional<std::string> clash = ApplyAlarmsInForce())
        ReportError(*clash);
}

void TMainForm::SetStabilityText(const QString& text, const QColor& colour)
{
    stabilityText_ = text;
    stabilityColour_ = colour;
    ShowAlarmState();
}

void TMainForm::HandleAlarmEvents(const std::vector<AlarmEvent>& events)
{
    AuditAlarms(events);
    for (const AlarmEvent& event : events) {
        const QString summary = Latin1(AlarmEventText(event, meter_.Serial(), Separators.decimal));
        const QString body =
            Latin1(LinkStatusText(meter_.Serial(), event.kind != AlarmKind::Lost || !event.raised) + ", " +
                   AlarmClockText(event.at));
        notifier_.Send(summary, body,
                       event.raised ? DesktopNotifier::Urgency::Critical : DesktopNotifier::Urgency::Normal);
    }
    ArmAlarmTimer();
    ShowAlarmState();
}

void TMainForm::ShowAlarmState()
{
    const std::optional<RaisedAlarm> shown = alarm_.Shown();
    SetTextColour(lbpHValue, shown ? kAlarmRed : kReadingBlue);
    SetTextColour(lbStability,
                  shown                            ? kAlarmRed
                      : stabilityColour_.isValid() ? stabilityColour_
                                                   : palette().color(QPalette::WindowText));
    const QString text = shown ? Latin1(AlarmStateText(*shown, Separators.decimal)) : stabilityText_;
    // The label's place is fixed; "Not responding since 10:02:45" is wider
    // than it at the label's own size, so a long text is set smaller rather
    // than cut off.
    QFont font = lbStability->font();
    font.setPixelSize(kStabilityPixels);
    while (font.pixelSize() > kSmallestPixels &&
           QFontMetrics(font).horizontalAdvance(text) > lbStability->width())
        font.setPixelSize(font.pixelSize() - 1);
    lbStability->setFont(font);
    lbStability->setText(text);
}

void TMainForm::ArmAlarmTimer()
{
    const std::optional<int64_t> due = alarm_.NextDueMs();
    if (!due) {
        alarmTimer_->stop();
        return;
    }
    const int64_t wait = std::clamp<int64_t>(*due - clock_.NowMs(), 0, INT32_MAX);
    alarmTimer_->start(static_cast<int>(wait));
}

}  // namespace tirevo
