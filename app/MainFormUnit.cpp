// The window itself: its controls, start-up, navigation and shutdown.
#include "MainFormUnit.h"

#include "D2XXUnit.h"
#include "JpegImage.h"
#include "Messages.h"
#include "NumberText.h"
#include "SettingsFile.h"
#include "SettingsLocation.h"
#include "TrendHost.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <climits>

namespace tirevo {

namespace {

void InstallFontSubstitutes()
{
    // Metrically close stand-ins where the classic fonts are missing.
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
}

QFont PixelFont(const QString& family, int pixels, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* AutoLabel(const QString& text, QWidget* parent, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void SetColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QToolButton* ImageButton(QWidget* parent, const QRect& geometry, const char* image, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setIcon(QIcon(QString::fromLatin1(image)));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QListWidget* MeterList(QWidget* parent, const QRect& geometry)
{
    auto* list = new QListWidget(parent);
    list->setGeometry(geometry);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

}  // namespace

TMainForm::TMainForm(const QString& programPath, QWidget* parent, MeterClock* clock,
                     SettingsRule settingsRule)
    : QWidget(parent),
      programPath_(programPath),
      settingsRule_(settingsRule),
      clock_(clock ? *clock : systemClock_)
{
    InstallFontSubstitutes();
    Separators = ReadLocaleSeparators();
    meter_.AddListener(this);
    BuildWindow();
    BuildReadingPage();
    BuildSelectionPage();
    BuildAboutPage();
    BuildCalibrationPage();
    BuildBenchButtons();
    ConnectHandlers();
    FormCreate();
}

TMainForm::~TMainForm()
{
    if (!closed_)
        FormClose();
    meter_.RemoveListener(this);
}

void TMainForm::BuildWindow()
{
    setWindowTitle(QStringLiteral("USB pH-Meter"));
    // The icon comes from the application's (set once at program start).
    // A fixed border with only the system menu and the close box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(434, 136);
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
    setAutoFillBackground(true);

    sb1 = new QStatusBar(this);
    sb1->setGeometry(0, 117, 434, 19);
    sb1->setSizeGripEnabled(false);
    sb1Panel = new QLabel(QString::fromLatin1(kNotConnectedText));
    sb1->addWidget(sb1Panel, 1);

    pc1 = new QStackedWidget(this);
    pc1->setGeometry(0, 0, 289, 117);
    tsPH = new QWidget;
    tsConnect = new QWidget;
    tsAbout = new QWidget;
    tsCal = new QWidget;
    for (QWidget* page : {tsPH, tsConnect, tsAbout, tsCal})
        pc1->addWidget(page);

    BitBtn1 = new BitBtn(QStringLiteral("&Connect"), QIcon(QStringLiteral(":/connect.png")), this);
    BitBtn1->setGeometry(288, 0, 146, 39);
    btnCalibrate = new BitBtn(QStringLiteral("Ca&librate"), QIcon(QStringLiteral(":/calibrate.png")), this);
    btnCalibrate->setGeometry(288, 39, 146, 39);
    btnCalibrate->setEnabled(false);
    btnAbout = new BitBtn(QStringLiteral("&About"), QIcon(QStringLiteral(":/about.png")), this);
    btnAbout->setGeometry(288, 78, 146, 39);
    setTabOrder(pc1, BitBtn1);
    setTabOrder(BitBtn1, btnCalibrate);
    setTabOrder(btnCalibrate, btnAbout);

    Timer1 = new QTimer(this);
    // Polls are counted on: a coarse timer may fire up to 5 % early.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2 = new QTimer(this);
    Timer2->setInterval(100);
    reopenTimer_ = new QTimer(this);
    pc1->setCurrentIndex(3);
}

void TMainForm::BuildReadingPage()
{
    const QFont big = PixelFont(QStringLiteral("Courier New"), 48, true);
    Label2 = new QLabel(QStringLiteral("pH"), tsPH);
    Label2->setGeometry(25, 26, 58, 54);
    Label2->setFont(big);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbpHValue = new QLabel(QStringLiteral("---"), tsPH);
    lbpHValue->setGeometry(117, 26, 150, 54);
    lbpHValue->setFont(big);
    lbpHValue->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetColour(lbpHValue, QColor(0, 0, 255));
    sb5 = ImageButton(tsPH, {232, 85, 23, 22}, ":/record.png", QStringLiteral("Collect pH data to disk"));
    sb5->setEnabled(false);
    sb6 = ImageButton(tsPH, {256, 85, 23, 22}, ":/stop.png", QStringLiteral("Stop data collection"));
    sb6->setEnabled(false);
    sbTrend = ImageButton(tsPH, {208, 85, 23, 22}, ":/trend.png", QStringLiteral("Show pH trend"));
    Trend = new TrendHost(this);
    lbStability = new QLabel(tsPH);
    lbStability->setGeometry(25, 88, 130, 16);
    lbStability->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11, true));
    sbRecord = ImageButton(tsPH, {184, 85, 23, 22}, ":/sample.png", QStringLiteral("Record a sample"));
    sbRecord->setEnabled(false);
    StabilityNote = new QTimer(this);
    StabilityNote->setObjectName(QStringLiteral("StabilityNote"));
    StabilityNote->setSingleShot(true);
    StabilityNote->setInterval(kStabilityNoteMs);
    // Above the digits, where nothing else of the page is.
    lbCalibrationDue = new QLabel(QStringLiteral("Calibration due"), tsPH);
    lbCalibrationDue->setGeometry(117, 6, 150, 16);
    lbCalibrationDue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbCalibrationDue->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11, true));
    SetColour(lbCalibrationDue, QColor(224, 0, 0));
    lbCalibrationDue->hide();
    BuildAlarmControls();
}

void TMainForm::BuildSelectionPage()
{
    const QFont bold = PixelFont(QStringLiteral("MS Sans Serif"), 11, true);
    Label7 = AutoLabel(QStringLiteral("Name"), tsConnect, 8, 0);
    Label7->setFont(bold);
    Label7->adjustSize();
    Label8 = AutoLabel(QStringLiteral("S/N"), tsConnect, 176, 0);
    Label8->setFont(bold);
    Label8->adjustSize();
    lb1 = MeterList(tsConnect, {8, 17, 169, 90});
    lb2 = MeterList(tsConnect, {176, 17, 73, 90});
    SpeedButton2 = ImageButton(tsConnect, {256, 17, 23, 22}, ":/refresh.png", QStringLiteral("Refresh"));
}

void TMainForm::BuildAboutPage()
{
    Image1 = new ClickLabel(tsAbout);
    Image1->setGeometry(0, 8, 97, 41);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->SetPictureLoader([size = Image1->size()] {
        QFile logo(QStringLiteral(":/logo.jpg"));
        if (!logo.open(QIODevice::ReadOnly))
            return QPixmap();
        const QImage image = JpegToImage(logo.readAll());
        if (image.isNull())
            return QPixmap();
        return QPixmap::fromImage(image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
    Label1 = AutoLabel(QStringLiteral("Tirevo"), tsAbout, 120, 12);
    Label1->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 15, true));
    SetColour(Label1, QColor(0, 0, 128));
    Label1->adjustSize();
    Label3 = new ClickLabel(QString::fromLatin1(kMakerAddress), tsAbout);
    Label3->move(6, 56);
    QFont link = PixelFont(QStringLiteral("MS Sans Serif"), 13, true);
    link.setUnderline(true);
    Label3->setFont(link);
    SetColour(Label3, QColor(0, 128, 128));
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->adjustSize();
    lbVersion = AutoLabel(QString(), tsAbout, 154, 32);
}

void TMainForm::BuildCalibrationPage()
{
    Label5 = AutoLabel(QStringLiteral("Calibration point 1"), tsCal, 24, 28);
    edPH1 = new QLineEdit(tsCal);
    edPH1->setGeometry(130, 24, 81, 21);
    sbtCAL1 = ImageButton(tsCal, {230, 23, 23, 22}, ":/apply.png", QStringLiteral("Apply"));
    Label6 = AutoLabel(QStringLiteral("Calibration point 2"), tsCal, 24, 68);
    edPH2 = new QLineEdit(tsCal);
    edPH2->setGeometry(130, 64, 81, 21);
    sbtCAL2 = ImageButton(tsCal, {230, 63, 23, 22}, ":/apply.png", QStringLiteral("Apply"));
    lbCalibration = new QLabel(tsCal);
    lbCalibration->setGeometry(24, 92, 260, 16);
}

// Every handler is connected here and nowhere else.
void TMainForm::ConnectHandlers()
{
    connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
    connect(btnCalibrate, &QPushButton::clicked, this, &TMainForm::btnCalibrateClick);
    connect(btnAbout, &QPushButton::clicked, this, &TMainForm::btnAboutClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &TMainForm::SpeedButton2Click);
    // Mouse and keyboard alike: the two lists always show the same row.
    connect(lb1, &QListWidget::currentRowChanged, this, &TMainForm::lb1MouseDown);
    connect(lb2, &QListWidget::currentRowChanged, this, &TMainForm::lb2MouseDown);
    // A selection cleared or made without moving the current row.
    connect(lb1, &QListWidget::itemSelectionChanged, this,
            [this] { ShowOneSelection(lb1, lb2, SelectedRow(lb1)); });
    connect(lb2, &QListWidget::itemSelectionChanged, this,
            [this] { ShowOneSelection(lb2, lb1, SelectedRow(lb2)); });
    connect(Label3, &ClickLabel::clicked, this, &TMainForm::Label3Click);
    connect(Image1, &ClickLabel::clicked, this, &TMainForm::Image1Click);
    connect(sbtCAL1, &QToolButton::clicked, this, &TMainForm::sbtCAL1Click);
    connect(sbtCAL2, &QToolButton::clicked, this, &TMainForm::sbtCAL2Click);
    connect(sb5, &QToolButton::clicked, this, &TMainForm::sb5Click);
    connect(sb6, &QToolButton::clicked, this, &TMainForm::sb6Click);
    connect(sbTrend, &QToolButton::clicked, this, &TMainForm::sbTrendClick);
    connect(sbRecord, &QToolButton::clicked, this, &TMainForm::sbRecordClick);
    connect(StabilityNote, &QTimer::timeout, this, &TMainForm::ShowStability);
    connect(sbAlarm, &QToolButton::clicked, this, &TMainForm::sbAlarmClick);
    // Queued: Qt never delivers a timer's tick while its handler for the
    // previous one is still running, so a box shown inside the handler (a
    // log row that cannot be written) would stop that timer for as long as
    // the box is open. Run from the event loop instead, the handlers keep
    // running behind any box.
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer, Qt::QueuedConnection);
    connect(Timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer, Qt::QueuedConnection);
    connect(
        reopenTimer_, &QTimer::timeout, this, [this] { Guarded([&] { ReopenMeter(); }); },
        Qt::QueuedConnection);
}

void TMainForm::FormCreate()
{
    Guarded([&] {
        LinkState.IniPath = ChooseSettingsFile(ToLocal(programPath_), true, settingsRule_).path;
        const SettingsLoadResult loaded = LoadSettings(LinkState.IniPath, Separators.decimal);
        Settings = loaded.settings;
        // The interval reaches the poll timer as soon as it is read, so an
        // error at a later key leaves the timer with it (and an error at an
        // earlier one with the default), never at Qt's default of 0.
        SetPollInterval(Settings.interval);
        LoadStability();
        if (loaded.error)
            throw AppError(*loaded.error);
        pc1->setCurrentIndex(2);
    });
    // Reported on its own: the window comes up as it would without it.
    Guarded([&] { LoadAlarmSettingsAtStart(); });
    Guarded([&] { LoadCalibrationAtStart(); });
}

void TMainForm::FormShow()
{
    bool placed = false;
    Guarded([&] {
        move(Settings.left, Settings.top);
        edPH1->setText(FromLocal(NumberDisplayText(Settings.ph1, Separators.decimal)));
        edPH2->setText(FromLocal(NumberDisplayText(Settings.ph2, Separators.decimal)));
        lbVersion->setText(QStringLiteral("Version: ") + QString::fromLatin1(AppVersion));
        lbVersion->adjustSize();
        placed = true;
    });
    if (!placed)
        return;
    startConnectPending_ = true;
    if (!connectAfterFirstFrame_) {
        ConnectAtStart();
        return;
    }
    // Normally the first paint starts it; a window that is never painted
    // (minimised at start, say) still connects.
    QTimer::singleShot(kFirstFrameFallbackMs, this, [this] { ConnectAtStart(); });
}

void TMainForm::ConnectAtStart()
{
    if (!startConnectPending_ || closed_)
        return;
    startConnectPending_ = false;
    Guarded([&] {
        ListMeters();
        if (lb1->count() == 1) {
            lb1->setCurrentRow(0);
            lb2->setCurrentRow(0);
            USBConnect();
        }
    });
}

void TMainForm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // Queued, so the frame is on the screen before the listing and the
    // greeting's pauses hold the thread.
    if (startConnectPending_ && connectAfterFirstFrame_)
        QMetaObject::invokeMethod(this, &TMainForm::ConnectAtStart, Qt::QueuedConnection);
}

void TMainForm::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    EndBenchView();
    Timer2->stop();
    Timer1->stop();
    reopenTimer_->stop();
    Guarded([&] { CloseMeter(); });
    Guarded([&] {
        if (log_.Logging())
            CloseLogOnExit();
    });
    alarmTimer_->stop();
    // A failed save is reported (once: both would name the same file), and
    // the window still closes. An installed copy run without any home folder
    // has no file to keep.
    Guarded([&] {
        if (LinkState.IniPath.empty())
            return;
        // What the file held before, so that each value saved changed is
        // in the audit trail; a file that cannot be read is not saved.
        IniFile before;
        const bool readBefore = before.Load(LinkState.IniPath);
        const std::optional<std::string> alarmError = SaveAlarmSettingsAtClose();
        const std::optional<std::string> positionError = SaveWindowPosition(LinkState.IniPath, y(), x());
        if (readBefore)
            AuditSettingsSaved(before);
        if (positionError)
            throw AppError(*positionError);
        if (alarmError)
            throw AppError(*alarmError);
    });
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TMainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        Separators = ReadLocaleSeparators();
    QWidget::changeEvent(event);
}

void TMainForm::BitBtn1Click()
{
    Guarded([&] {
        if (pc1->currentIndex() == 1 && lb1->count() >= 1) {
            if (SelectedRow(lb1) < 0) {
                ShowMessage(QStringLiteral("Select pH Meter first"));
            } else {
                USBConnect();
                pc1->setCurrentIndex(0);
            }
        }
        if (meter_.Connected()) {
            pc1->setCurrentIndex(0);
            return;
        }
        ListMeters();
        pc1->setCurrentIndex(1);
    });
}

void TMainForm::sbTrendClick()
{
    Guarded([&] {
        if (const std::optional<QString> error = Trend->Show())
            ShowMessage(*error);
    });
}

void TMainForm::btnCalibrateClick() { pc1->setCurrentIndex(3); }

void TMainForm::btnAboutClick() { pc1->setCurrentIndex(2); }

void TMainForm::SpeedButton2Click()
{
    Guarded([&] { ListMeters(); });
}

void TMainForm::lb1MouseDown() { ShowOneSelection(lb1, lb2, lb1->currentRow()); }

void TMainForm::lb2MouseDown() { ShowOneSelection(lb2, lb1, lb2->currentRow()); }

void TMainForm::ShowOneSelection(QListWidget* from, QListWidget* to, int row)
{
    // The two lists are one selection shown twice: the row chosen in one, by
    // mouse, arrow keys, type-ahead or focus arriving by Tab (which makes a
    // row current without selecting it), is the row selected in both.
    if (syncingLists_)
        return;
    syncingLists_ = true;
    for (QListWidget* list : {from, to}) {
        if (row >= 0 && row < list->count())
            list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        else
            list->clearSelection();
    }
    syncingLists_ = false;
}

void TMainForm::Label3Click() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerAddress))); }

void TMainForm::Image1Click() { Label3Click(); }

int TMainForm::SelectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void TMainForm::SetPollInterval(uint32_t ms)
{
    meter_.SetPollInterval(ms);
    // QTimer counts in int milliseconds: longer intervals (a negative
    // setting read as unsigned) are held at the longest it can wait.
    Timer1->setInterval(static_cast<int>(std::min<uint32_t>(ms, INT_MAX)));
}

void TMainForm::StartPolling()
{
    // An interval of 0 means the meter is never polled (a zero QTimer would
    // fire continuously instead).
    if (meter_.PollInterval() > 0)
        Timer1->start();
}

}  // namespace tirevo
