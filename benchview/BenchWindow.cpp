// The bench view's window: its controls, the meters' timer, the grid of
// tiles and the place it keeps in the settings file.
#include "BenchWindow.h"

#include "AlarmSettingsFile.h"
#include "BenchCalibrationDialog.h"
#include "BenchTile.h"
#include "Messages.h"
#include "SampleDialog.h"
#include "SettingsFile.h"
#include "TrendHost.h"
#include "Version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace tirevo {

namespace {

constexpr int kDefaultWidth = 660;
constexpr int kDefaultHeight = 420;
constexpr int kGridSpacing = 8;

}  // namespace

BenchWindow::BenchWindow(const BenchViewSetup& setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(setup), clock_(setup.clock ? *setup.clock : systemClock_)
{
    setWindowTitle(QStringLiteral("USB pH-Meter: bench"));
    setObjectName(QStringLiteral("BenchView"));
    separators_ = ReadLocaleSeparators();

    btnLogAll = new QPushButton(QIcon(QStringLiteral(":/record.png")), QStringLiteral("&Log all"), this);
    btnLogAll->setToolTip(QStringLiteral("A log file for every meter, USB_PH_yymmdd_hhmmss_SERIAL.txt"));
    btnLogAll->setFocusPolicy(Qt::NoFocus);
    edColumns = new QSpinBox(this);
    edColumns->setRange(0, kBenchColumnsMax);
    edColumns->setSpecialValueText(QStringLiteral("Fit"));
    edColumns->setToolTip(QStringLiteral("How many tiles side by side (Fit: as many as the window holds)"));
    edColumns->setFocusPolicy(Qt::ClickFocus);
    auto* bar = new QHBoxLayout;
    bar->addWidget(btnLogAll);
    bar->addStretch(1);
    auto* columns = new QLabel(QStringLiteral("&Columns"), this);
    columns->setBuddy(edColumns);
    bar->addWidget(columns);
    bar->addWidget(edColumns);

    grid_ = new QWidget;
    gridLayout_ = new QGridLayout(grid_);
    gridLayout_->setSpacing(kGridSpacing);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidget(grid_);
    scroll_->setFocusPolicy(Qt::NoFocus);

    sbBench = new QStatusBar(this);
    sbPanel = new QLabel;
    sbBench->addWidget(sbPanel, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addLayout(bar);
    layout->addWidget(scroll_, 1);
    layout->addWidget(sbBench);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    // Polls are counted on: a coarse timer may fire up to 5 % early.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
    connect(btnLogAll, &QPushButton::clicked, this, [this] { LogAllClick(); });
    connect(edColumns, &QSpinBox::valueChanged, this, [this](int columns) { SetColumns(columns); });

    LoadSettings();
    resize(place_.width.value_or(kDefaultWidth), place_.height.value_or(kDefaultHeight));
    if (place_.left && place_.top)
        move(*place_.left, *place_.top);
    edColumns->setValue(place_.columns);
}

BenchWindow::~BenchWindow() { Close(); }

void BenchWindow::LoadSettings()
{
    Guarded([&] {
        const SettingsLoadResult loaded = tirevo::LoadSettings(setup_.iniPath, separators_.decimal);
        settings_ = loaded.settings;
        rules_.pollIntervalMs = settings_.interval;
        const StabilityLoadResult stability =
            LoadStabilitySettings(setup_.iniPath, separators_.decimal, StabilityParams::kDefaultWindowS,
                                  StabilityParams::kDefaultBandHundredths);
        rules_.stability.windowS = stability.windowS;
        rules_.stability.bandHundredths = stability.bandHundredths;
        rules_.stability.pollIntervalMs = settings_.interval;
        const CalibrationSettingsLoad calibration =
            LoadCalibrationSettings(setup_.iniPath, separators_.decimal);
        rules_.calibration = calibration.settings;
        rules_.recordsFolder = setup_.recordsFolder;
        loadedPlace_ = LoadBenchPlace(setup_.iniPath);
        place_ = loadedPlace_;
        // As the main window says them at its start; opened from it, the
        // view does not say them a second time.
        for (const std::optional<std::string>& problem : {loaded.error, stability.error, calibration.problem})
            if (problem && !parentWidget())
                problems_.push_back(*problem);
    });
}

void BenchWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!model_)
        Open();
}

void BenchWindow::Open()
{
    logFolder_ = setup_.logFolder.empty() ? QDir::currentPath() : QString::fromLocal8Bit(setup_.logFolder);
    const std::string iniPath = setup_.iniPath;
    const char decimal = separators_.decimal;
    model_ = std::make_unique<BenchModel>(
        clock_, rules_, [] { return ListDevices(); },
        [iniPath, decimal](const std::string& serial) {
            return LoadAlarmSettings(iniPath, decimal, serial).settings;
        });
    model_->MeterAdded = [this](BenchMeter& meter) { MeterAdded(meter); };
    model_->MetersChanged = [this] { LayOut(); };
    OpenAudit();
    model_->Audit = [this](const AuditEvent& event) { auditWriter_->Append(event); };
    if (setup_.shared && setup_.shared->Status() != LinkStatus::Closed)
        model_->AddShared(*setup_.shared, setup_.sharedDescription);
    model_->Start();
    LayOut();
    ArmTimer();
    if (!problems_.empty()) {
        QTimer::singleShot(0, this, [problems = problems_] {
            for (const std::string& problem : problems)
                ReportError(problem);
        });
        problems_.clear();
    }
}

void BenchWindow::OpenAudit()
{
    // Kept from one opening of the view to the next, so that a folder that
    // cannot take the trail is said once, not at every opening.
    if (auditWriter_)
        return;
    // A failed write never stops the readings or the logs: one box, once,
    // after the event loop comes back, so that none opens in the middle of
    // a meter's tick, nor is lost with a view that closes meanwhile.
    auditWriter_.emplace(
        setup_.recordsFolder, setup_.createRecordsFolder, std::string("tirevo ") + kAppVersion,
        [](const std::string& text) { QTimer::singleShot(0, qApp, [text] { ReportError(text); }); });
}

void BenchWindow::End()
{
    Close();
    hide();
}

void BenchWindow::Renew(const BenchViewSetup& setup)
{
    if (!model_) {
        setup_ = setup;
        // The records folder may be another one now.
        auditWriter_.reset();
    }
}

void BenchWindow::closeEvent(QCloseEvent* event)
{
    Close();
    event->accept();
}

void BenchWindow::Close()
{
    if (!model_)
        return;
    timer_->stop();
    Guarded([&] { SavePlace(); });
    // Waiting calibration points are recorded as left unknown, and the logs
    // closed, before the meters go.
    model_->EndAll();
    loggingAll_ = false;
    btnLogAll->setText(QStringLiteral("&Log all"));
    btnLogAll->setIcon(QIcon(QStringLiteral(":/record.png")));
    while (!tiles_.empty())
        DropTile(tiles_.begin()->first);
    model_.reset();
    ShowStatus();
}

void BenchWindow::ArmTimer()
{
    if (!model_)
        return;
    const int64_t wait = std::clamp<int64_t>(model_->NextDueMs() - clock_.NowMs(), 0, INT_MAX);
    timer_->start(static_cast<int>(wait));
}

void BenchWindow::Tick()
{
    Guarded([&] { model_->RunDue(); });
    ArmTimer();
}

void BenchWindow::MeterAdded(BenchMeter& meter)
{
    meter.SetListener(this);
    auto* tile = new BenchTile(meter.Serial(), grid_);
    tile->setMinimumSize(kTileMinWidth, kTileMinHeight);
    tile->lbReading->installEventFilter(this);
    const std::string serial = meter.Serial();
    tile->Chosen = [this, serial](TileAction action) { Act(serial, action); };
    tiles_[serial] = tile;
    auto* trend = new TrendHost(this);
    trend->SetRecordsFolder(QString::fromLocal8Bit(setup_.recordsFolder));
    trends_[serial] = trend;
    tile->ShowMeter(meter, separators_.decimal);
    if (loggingAll_)
        StartLog(meter);
}

void BenchWindow::DropTile(std::string serial)
{
    // Later: the tile's own menu may be what removed it.
    if (BenchTile* tile = Tile(serial)) {
        gridLayout_->removeWidget(tile);
        tile->hide();
        tile->deleteLater();
    }
    tiles_.erase(serial);
    // The meter's trend window goes with its tile; so do its dialogs.
    if (TrendHost* trend = Trend(serial)) {
        if (QWidget* window = trend->Window())
            window->deleteLater();
        trend->deleteLater();
    }
    trends_.erase(serial);
    if (SampleDialog* dialog = RecordDialog(serial))
        dialog->deleteLater();
    samples_.erase(serial);
    if (BenchCalibrationDialog* dialog = CalibrationDialog(serial))
        dialog->deleteLater();
    calibrations_.erase(serial);
}

BenchTile* BenchWindow::Tile(const std::string& serial) const
{
    const auto found = tiles_.find(serial);
    return found == tiles_.end() ? nullptr : found->second;
}

std::vector<BenchTile*> BenchWindow::Tiles() const
{
    std::vector<BenchTile*> out;
    if (model_)
        for (const auto& meter : model_->Meters())
            if (BenchTile* tile = Tile(meter->Serial()))
                out.push_back(tile);
    return out;
}

void BenchWindow::SetColumns(int columns)
{
    place_.columns = std::clamp(columns, 0, kBenchColumnsMax);
    LayOut();
}

void BenchWindow::LayOut()
{
    // Tiles of meters that were removed go first.
    std::vector<std::string> gone;
    for (const auto& [serial, tile] : tiles_)
        if (!model_ || !model_->Find(serial))
            gone.push_back(serial);
    for (const std::string& serial : gone)
        DropTile(serial);
    const std::vector<BenchTile*> tiles = Tiles();
    const int fit =
        std::max(1, (scroll_->viewport()->width() + kGridSpacing) / (kTileMinWidth + kGridSpacing));
    const int count = static_cast<int>(tiles.size());
    columns_ = place_.columns > 0 ? place_.columns : std::clamp(count, 1, fit);
    for (BenchTile* tile : tiles)
        gridLayout_->removeWidget(tile);
    for (int i = 0; i < count; ++i)
        gridLayout_->addWidget(tiles[static_cast<std::size_t>(i)], i / columns_, i % columns_);
    for (int c = 0; c < gridLayout_->columnCount(); ++c)
        gridLayout_->setColumnStretch(c, c < columns_ ? 1 : 0);
    // Tab goes from tile to tile in their order.
    for (int i = 1; i < count; ++i)
        setTabOrder(tiles[static_cast<std::size_t>(i - 1)], tiles[static_cast<std::size_t>(i)]);
    for (BenchTile* tile : tiles)
        tile->show();
    ShowStatus();
}

void BenchWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (place_.columns == 0)
        LayOut();
}

void BenchWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        separators_ = ReadLocaleSeparators();
    QWidget::changeEvent(event);
}

bool BenchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && ReadingPainted) {
        for (const auto& [serial, tile] : tiles_)
            if (tile->lbReading == watched)
                ReadingPainted(serial);
    }
    return QWidget::eventFilter(watched, event);
}

void BenchWindow::ShowStatus()
{
    QString text;
    const std::size_t count = model_ ? model_->Meters().size() : 0;
    if (count == 0)
        text = QStringLiteral("No pH meter attached");
    else if (loggingAll_) {
        int logging = 0;
        for (const auto& meter : model_->Meters())
            logging += meter->Log().Logging() ? 1 : 0;
        text = QStringLiteral("%1 %2 logging into %3")
                   .arg(logging)
                   .arg(logging == 1 ? QStringLiteral("meter") : QStringLiteral("meters"))
                   .arg(QDir::toNativeSeparators(logFolder_));
    } else {
        text = QStringLiteral("%1 %2").arg(count).arg(count == 1 ? QStringLiteral("meter")
                                                                 : QStringLiteral("meters"));
    }
    sbPanel->setText(text);
}

void BenchWindow::SavePlace()
{
    BenchPlace now = place_;
    // Where the window is now, as the user left it.
    if (isVisible()) {
        now.left = x();
        now.top = y();
        now.width = width();
        now.height = height();
    }
    if (const std::optional<std::string> error = SaveBenchPlace(setup_.iniPath, loadedPlace_, now))
        throw AppError(*error);
    loadedPlace_ = now;
    place_ = now;
}

}  // namespace tirevo
