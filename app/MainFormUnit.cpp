// The window itself: its controls, start-up, navigation and shutdown.
#include "MainFormUnit.h"

#include "D2XXUnit.h"
#include "Messages.h"
#include "JpegImage.h"
#include "NumberText.h"
#include "SettingsFile.h"
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

namespace {

void installFontSubstitutes()
{
    // Metrically close stand-ins where the classic fonts are missing.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
}

QFont pixelFont(const QString& family, int pixels, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* autoLabel(const QString& text, QWidget* parent, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void setColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QToolButton* imageButton(QWidget* parent, const QRect& geometry, const char* image, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(geometry);
    button->setIcon(QIcon(QString::fromLatin1(image)));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QListWidget* meterList(QWidget* parent, const QRect& geometry)
{
    auto* list = new QListWidget(parent);
    list->setGeometry(geometry);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

}  // namespace

TMainForm::TMainForm(const QString& programPath, QWidget* parent)
    : QWidget(parent), programPath_(programPath)
{
    installFontSubstitutes();
    Separators = ReadLocaleSeparators();
    buildControls();
    FormCreate();
}

TMainForm::~TMainForm()
{
    if (!closed_)
        FormClose();
}

void TMainForm::buildControls()
{
    setWindowTitle(QStringLiteral("USB pH-Meter"));
    // The icon comes from the application's (set once at program start).
    // A fixed border with only the system menu and the close box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(434, 136);
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11));
    setAutoFillBackground(true);

    sb1 = new QStatusBar(this);
    sb1->setGeometry(0, 117, 434, 19);
    sb1->setSizeGripEnabled(false);
    sb1Panel = new QLabel(QStringLiteral("USB pH Meter not connected"));
    sb1->addWidget(sb1Panel, 1);

    pc1 = new QStackedWidget(this);
    pc1->setGeometry(0, 0, 289, 117);
    tsPH = new QWidget;
    tsConnect = new QWidget;
    tsAbout = new QWidget;
    tsCal = new QWidget;
    for (QWidget* page : {tsPH, tsConnect, tsAbout, tsCal})
        pc1->addWidget(page);

    BitBtn1 = new TBitBtn(QStringLiteral("&Connect"), QIcon(QStringLiteral(":/connect.png")), this);
    BitBtn1->setGeometry(288, 0, 146, 39);
    btnCalibrate = new TBitBtn(QStringLiteral("Ca&librate"), QIcon(QStringLiteral(":/calibrate.png")), this);
    btnCalibrate->setGeometry(288, 39, 146, 39);
    btnCalibrate->setEnabled(false);
    btnAbout = new TBitBtn(QStringLiteral("&About"), QIcon(QStringLiteral(":/about.png")), this);
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
    linkClock_.start();

    // Page 0: the reading.
    const QFont big = pixelFont(QStringLiteral("Courier New"), 48, true);
    Label2 = new QLabel(QStringLiteral("pH"), tsPH);
    Label2->setGeometry(25, 26, 58, 54);
    Label2->setFont(big);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbpHValue = new QLabel(QStringLiteral("---"), tsPH);
    lbpHValue->setGeometry(117, 26, 150, 54);
    lbpHValue->setFont(big);
    lbpHValue->setAlignment(Qt::AlignRight | Qt::AlignTop);
    setColour(lbpHValue, QColor(0, 0, 255));
    sb5 = imageButton(tsPH, {232, 85, 23, 22}, ":/record.png", QStringLiteral("Collect pH data to disk"));
    sb5->setEnabled(false);
    sb6 = imageButton(tsPH, {256, 85, 23, 22}, ":/stop.png", QStringLiteral("Stop data collection"));
    sb6->setEnabled(false);
    sbTrend = imageButton(tsPH, {208, 85, 23, 22}, ":/trend.png", QStringLiteral("Show pH trend"));
    Trend = new tirevo::TrendHost(this);

    // Page 1: meter selection.
    const QFont bold = pixelFont(QStringLiteral("MS Sans Serif"), 11, true);
    Label7 = autoLabel(QStringLiteral("Name"), tsConnect, 8, 0);
    Label7->setFont(bold);
    Label7->adjustSize();
    Label8 = autoLabel(QStringLiteral("S/N"), tsConnect, 176, 0);
    Label8->setFont(bold);
    Label8->adjustSize();
    lb1 = meterList(tsConnect, {8, 17, 169, 90});
    lb2 = meterList(tsConnect, {176, 17, 73, 90});
    SpeedButton2 = imageButton(tsConnect, {256, 17, 23, 22}, ":/refresh.png", QStringLiteral("Refresh"));

    // Page 2: About.
    Image1 = new TClickLabel(tsAbout);
    Image1->setGeometry(0, 8, 97, 41);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setPictureLoader([size = Image1->size()] {
        QFile logo(QStringLiteral(":/logo.jpg"));
        if (!logo.open(QIODevice::ReadOnly))
            return QPixmap();
        const QImage image = JpegToImage(logo.readAll());
        if (image.isNull())
            return QPixmap();
        return QPixmap::fromImage(image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
    Label1 = autoLabel(QStringLiteral("Tirevo"), tsAbout, 120, 12);
    Label1->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 15, true));
    setColour(Label1, QColor(0, 0, 128));
    Label1->adjustSize();
    Label3 = new TClickLabel(QString::fromLatin1(kMakerAddress), tsAbout);
    Label3->move(6, 56);
    QFont link = pixelFont(QStringLiteral("MS Sans Serif"), 13, true);
    link.setUnderline(true);
    Label3->setFont(link);
    setColour(Label3, QColor(0, 128, 128));
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->adjustSize();
    lbVersion = autoLabel(QString(), tsAbout, 154, 32);

    // Page 3: calibration.
    Label5 = autoLabel(QStringLiteral("Calibration point 1"), tsCal, 24, 28);
    edPH1 = new QLineEdit(tsCal);
    edPH1->setGeometry(130, 24, 81, 21);
    sbtCAL1 = imageButton(tsCal, {230, 23, 23, 22}, ":/apply.png", QStringLiteral("Apply"));
    Label6 = autoLabel(QStringLiteral("Calibration point 2"), tsCal, 24, 68);
    edPH2 = new QLineEdit(tsCal);
    edPH2->setGeometry(130, 64, 81, 21);
    sbtCAL2 = imageButton(tsCal, {230, 63, 23, 22}, ":/apply.png", QStringLiteral("Apply"));

    pc1->setCurrentIndex(3);

    connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
    connect(btnCalibrate, &QPushButton::clicked, this, &TMainForm::btnCalibrateClick);
    connect(btnAbout, &QPushButton::clicked, this, &TMainForm::btnAboutClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &TMainForm::SpeedButton2Click);
    // Mouse and keyboard alike: the two lists always show the same row.
    connect(lb1, &QListWidget::currentRowChanged, this, &TMainForm::lb1MouseDown);
    connect(lb2, &QListWidget::currentRowChanged, this, &TMainForm::lb2MouseDown);
    connect(Label3, &TClickLabel::clicked, this, &TMainForm::Label3Click);
    connect(Image1, &TClickLabel::clicked, this, &TMainForm::Image1Click);
    connect(sbtCAL1, &QToolButton::clicked, this, &TMainForm::sbtCAL1Click);
    connect(sbtCAL2, &QToolButton::clicked, this, &TMainForm::sbtCAL2Click);
    connect(sb5, &QToolButton::clicked, this, &TMainForm::sb5Click);
    connect(sb6, &QToolButton::clicked, this, &TMainForm::sb6Click);
    connect(sbTrend, &QToolButton::clicked, this, &TMainForm::sbTrendClick);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
    connect(reopenTimer_, &QTimer::timeout, this, &TMainForm::ReopenMeter);
}

void TMainForm::FormCreate()
{
    Guarded([&] {
        LinkState.IniPath = IniPathForProgram(ToLocal(programPath_));
        LinkState.ReceiveText.clear();
        const SettingsLoadResult loaded = LoadSettings(LinkState.IniPath, Separators.decimal);
        Settings = loaded.settings;
        if (loaded.error)
            throw AppError(*loaded.error);
        setPollInterval(Settings.interval);
        pc1->setCurrentIndex(2);
    });
}

void TMainForm::FormShow()
{
    Guarded([&] {
        move(Settings.left, Settings.top);
        edPH1->setText(FromLocal(tirevo::NumberDisplayText(Settings.ph1, Separators.decimal)));
        edPH2->setText(FromLocal(tirevo::NumberDisplayText(Settings.ph2, Separators.decimal)));
        lbVersion->setText(QStringLiteral("Version: ") + QString::fromLatin1(AppVersion));
        lbVersion->adjustSize();
        ListMeters();
        if (lb1->count() == 1) {
            lb1->setCurrentRow(0);
            lb2->setCurrentRow(0);
            USBConnect();
        }
    });
}

void TMainForm::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    Timer2->stop();
    Timer1->stop();
    reopenTimer_->stop();
    Guarded([&] { CloseMeter(); });
    Guarded([&] {
        if (LinkState.Logging)
            CloseLogOnExit();
    });
    // A failed save is reported, and the window still closes.
    Guarded([&] {
        if (auto error = SaveWindowPosition(LinkState.IniPath, y(), x()))
            throw AppError(*error);
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
        if (LinkState.Connected) {
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

void TMainForm::lb1MouseDown()
{
    const int row = lb1->currentRow();
    if (row >= 0 && row < lb2->count() && lb2->currentRow() != row)
        lb2->setCurrentRow(row);
}

void TMainForm::lb2MouseDown()
{
    const int row = lb2->currentRow();
    if (row >= 0 && row < lb1->count() && lb1->currentRow() != row)
        lb1->setCurrentRow(row);
}

void TMainForm::Label3Click() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerAddress))); }

void TMainForm::Image1Click() { Label3Click(); }

int TMainForm::SelectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void TMainForm::setPollInterval(uint32_t ms)
{
    pollInterval_ = ms;
    // QTimer counts in int milliseconds: longer intervals (a negative
    // setting read as unsigned) are held at the longest it can wait.
    Timer1->setInterval(static_cast<int>(std::min<uint32_t>(ms, INT_MAX)));
}

void TMainForm::startPolling()
{
    // An interval of 0 means the meter is never polled (a zero QTimer would
    // fire continuously instead).
    if (pollInterval_ > 0)
        Timer1->start();
}
