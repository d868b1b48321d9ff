#include "BenchTile.h"

#include "AlarmText.h"
#include "BenchMeter.h"
#include "ReadingText.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace tirevo {

namespace {

// The main window's colours and fonts, so a reading looks the same in both.
const QColor kReadingBlue(0, 0, 255);
const QColor kAlarmRed(224, 0, 0);
const QColor kStableColour(0, 128, 0);
const QColor kSettlingColour(176, 96, 0);
const QColor kLostGrey(128, 128, 128);
constexpr int kReadingPixels = 48;
constexpr int kTextPixels = 11;
constexpr int kBorderWidth = 2;
constexpr int kAlarmBorderWidth = 4;

QFont PixelFont(const QString& family, int pixels, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A reading a second on each of several tiles: only what changed is set, so
// that nothing but the digits is repainted.
void SetTextColour(QWidget* widget, const QColor& colour)
{
    if (widget->palette().color(QPalette::WindowText) == colour)
        return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void SetText(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

}  // namespace

BenchTile::BenchTile(const std::string& serial, QWidget* parent) : QFrame(parent), serial_(serial)
{
    setObjectName(QStringLiteral("tile ") + Latin1(serial));
    // Tab moves from tile to tile; the buttons are reached by the mouse or
    // through the menu.
    setFocusPolicy(Qt::StrongFocus);
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), kTextPixels));
    setAttribute(Qt::WA_Hover);

    lbSerial = new QLabel(Latin1(serial), this);
    lbSerial->setFont(PixelFont(QStringLiteral("MS Sans Serif"), kTextPixels, true));
    lbDescription = new QLabel(this);
    lbReading = new QLabel(QStringLiteral("---"), this);
    lbReading->setObjectName(QStringLiteral("lbReading"));
    lbReading->setFont(PixelFont(QStringLiteral("Courier New"), kReadingPixels, true));
    lbReading->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetTextColour(lbReading, kReadingBlue);
    auto* ph = new QLabel(QStringLiteral("pH"), this);
    ph->setFont(lbReading->font());
    lbState = new QLabel(this);
    lbState->setFont(lbSerial->font());
    lbDue = new QLabel(QStringLiteral("Calibration due"), this);
    lbDue->setFont(lbSerial->font());
    SetTextColour(lbDue, kAlarmRed);
    lbDue->hide();

    btnSample = ActionButton(":/sample.png", QStringLiteral("Record a sample"), TileAction::RecordSample);
    btnTrend = ActionButton(":/trend.png", QStringLiteral("Show trend"), TileAction::ShowTrend);
    btnCalibrate = ActionButton(":/calibrate.png", QStringLiteral("Calibrate"), TileAction::Calibrate);
    btnAlarm = ActionButton(":/alarm.png", QStringLiteral("Alarm limits"), TileAction::AlarmLimits);

    auto* top = new QHBoxLayout;
    top->addWidget(lbSerial);
    top->addWidget(lbDescription, 1);
    top->addWidget(lbDue);
    auto* reading = new QHBoxLayout;
    reading->addWidget(ph);
    reading->addWidget(lbReading, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lbState, 1);
    for (QToolButton* button : {btnAlarm, btnSample, btnTrend, btnCalibrate})
        bottom->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->addLayout(top);
    layout->addLayout(reading, 1);
    layout->addLayout(bottom);
    ShowButtons();
}

QToolButton* BenchTile::ActionButton(const char* icon, const QString& hint, TileAction action)
{
    auto* button = new QToolButton(this);
    button->setIcon(QIcon(QString::fromLatin1(icon)));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    // Shown or not, the button keeps its place: the row does not jump.
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
    connect(button, &QToolButton::clicked, this, [this, action] { Choose(action); });
    return button;
}

void BenchTile::ShowMeter(const BenchMeter& meter, char decimal)
{
    SetText(lbDescription, Latin1(meter.Description()));
    const std::optional<RaisedAlarm> alarm = meter.Alarm().Shown();
    const LinkStatus status = meter.Status();
    const bool wasAlarmed = alarmed_;
    lost_ = meter.Lost();
    alarmed_ = alarm.has_value();
    const std::optional<Reading>& last = meter.LastReading();
    // A lost meter keeps its last reading dimmed, as it stood when it went.
    if (last)
        SetText(lbReading, Latin1(FormatReading(last->value, decimal)));
    SetTextColour(lbReading, alarmed_ ? kAlarmRed : lost_ ? kLostGrey : kReadingBlue);
    if (alarm) {
        SetText(lbState, Latin1(AlarmStateText(*alarm, decimal)));
        SetTextColour(lbState, kAlarmRed);
    } else if (status == LinkStatus::Lost) {
        SetText(lbState, QStringLiteral("not responding"));
        SetTextColour(lbState, kLostGrey);
    } else if (status == LinkStatus::Reopening) {
        SetText(lbState, QStringLiteral("reconnecting"));
        SetTextColour(lbState, kLostGrey);
    } else if (!last) {
        SetText(lbState, QString());
    } else {
        SetText(lbState, meter.Stable() ? QStringLiteral("Stable") : QStringLiteral("Settling"));
        SetTextColour(lbState, meter.Stable() ? kStableColour : kSettlingColour);
    }
    // Lost with an alarm raised: the link's state still shows in the tooltip.
    lbState->setToolTip(lost_ ? (status == LinkStatus::Lost ? QStringLiteral("not responding")
                                                            : QStringLiteral("reconnecting"))
                              : QString());
    if (lbDue->isVisibleTo(this) != meter.CalibrationDue())
        lbDue->setVisible(meter.CalibrationDue());
    if (removeAction_)
        removeAction_->setEnabled(lost_);
    // The frame is drawn red while an alarm is raised.
    if (alarmed_ != wasAlarmed)
        update();
}

QMenu* BenchTile::Menu()
{
    if (!menu_) {
        menu_ = new QMenu(this);
        const auto add = [this](const QString& text, TileAction action) {
            QAction* item = menu_->addAction(text);
            connect(item, &QAction::triggered, this, [this, action] { Choose(action); });
            return item;
        };
        add(QStringLiteral("Record a sample"), TileAction::RecordSample);
        add(QStringLiteral("Show trend"), TileAction::ShowTrend);
        add(QStringLiteral("Calibrate"), TileAction::Calibrate);
        add(QStringLiteral("Alarm limits"), TileAction::AlarmLimits);
        menu_->addSeparator();
        removeAction_ = add(QStringLiteral("Remove tile"), TileAction::Remove);
        removeAction_->setEnabled(lost_);
    }
    return menu_;
}

void BenchTile::Choose(TileAction action)
{
    if (Chosen)
        Chosen(action);
}

void BenchTile::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int width = alarmed_ ? kAlarmBorderWidth : kBorderWidth;
    QColor colour = alarmed_ ? kAlarmRed : palette().color(QPalette::Mid);
    if (!alarmed_ && hasFocus())
        colour = palette().color(QPalette::Highlight);
    painter.setPen(QPen(colour, width));
    painter.setBrush(alarmed_ ? QColor(255, 232, 232) : palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0), 6,
                            6);
}

void BenchTile::ShowButtons()
{
    const bool shown = underMouse() || hasFocus();
    for (QToolButton* button : {btnSample, btnTrend, btnCalibrate, btnAlarm})
        button->setVisible(shown);
}

void BenchTile::enterEvent(QEnterEvent* event)
{
    QFrame::enterEvent(event);
    ShowButtons();
}

void BenchTile::leaveEvent(QEvent* event)
{
    QFrame::leaveEvent(event);
    ShowButtons();
}

void BenchTile::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    ShowButtons();
    update();
}

void BenchTile::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    ShowButtons();
    update();
}

void BenchTile::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Menu) {
        Menu()->popup(mapToGlobal(rect().center()));
        return;
    }
    QFrame::keyPressEvent(event);
}

void BenchTile::contextMenuEvent(QContextMenuEvent* event) { Menu()->popup(event->globalPos()); }

}  // namespace tirevo
