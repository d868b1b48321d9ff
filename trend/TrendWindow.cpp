#include "TrendWindow.h"

#include "LocaleSeparators.h"
#include "LogReader.h"
#include "ReportLoader.h"
#include "TrendSeries.h"
#include "TrendTimeTicker.h"
#include "Version.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSysInfo>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <string>

namespace tirevo {

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 400;
// The pH axis never spans less, so the meter's noise is not blown up.
constexpr double kMinimumPhSpan = 0.2;
constexpr double kPhMargin = 0.05;  // of the span, above and below
// Time keys are milliseconds.
constexpr double kMillisPerMinute = 60'000.0;
constexpr double kMillisPerDay = 86'400'000.0;
// A view of a single point still spans a minute (or a few rows).
constexpr double kMinimumTimeSpan = kMillisPerMinute;
constexpr double kMinimumRowSpan = 4.0;
constexpr double kZoomFactor = 0.85;
// Beyond this many points in view per pixel of the chart's width, the thinned
// copy is drawn instead (see TrendOverview).
constexpr int kDensePointsPerPixel = 16;

// Of the one point with this key and value, when several share the key.
void RemovePoint(QCPGraphDataContainer& data, const TrendPoint& point)
{
    QVector<QCPGraphData> others;
    bool found = false;
    int sameKey = 0;
    for (auto it = data.findBegin(point.key, false); it != data.constEnd() && it->key == point.key; ++it) {
        ++sameKey;
        if (!found && it->value == point.value)
            found = true;
        else
            others.append(*it);
    }
    if (!found)
        return;
    for (int i = 0; i < sameKey; ++i)
        data.remove(point.key);
    if (!others.isEmpty())
        data.add(others, true);
}

QString Local(const std::string& text) { return QString::fromLocal8Bit(text.data(), qsizetype(text.size())); }

}  // namespace

TrendWindow::TrendWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    decimal_ = ReadLocaleSeparators().decimal;
    buildControls();
    showSource(live_);
}

void TrendWindow::buildControls()
{
    setWindowTitle(QStringLiteral("pH trend"));
    resize(kDefaultWidth, kDefaultHeight);

    openButton_ = new QPushButton(QStringLiteral("Open log…"), this);
    saveImageButton_ = new QPushButton(QStringLiteral("Save image…"), this);
    saveDataButton_ = new QPushButton(QStringLiteral("Save data…"), this);
    saveReportButton_ = new QPushButton(QStringLiteral("Save report…"), this);
    saveReportButton_->setToolTip(QStringLiteral("A PDF report of the meter and the period in view"));
    fitButton_ = new QPushButton(QStringLiteral("Fit"), this);
    liveButton_ = new QPushButton(QStringLiteral("Live"), this);
    liveButton_->setToolTip(QStringLiteral("Show the live readings again"));
    liveButton_->setVisible(false);
    sourceLabel_ = new QLabel(this);
    sourceLabel_->setObjectName(QStringLiteral("source"));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button :
         {openButton_, saveImageButton_, saveDataButton_, saveReportButton_, fitButton_, liveButton_})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(sourceLabel_);

    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("plot"));
    plot_->setLocale(QLocale());
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    plot_->axisRect()->setRangeZoomFactor(kZoomFactor);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->yAxis->setLabel(QStringLiteral("pH"));
    plot_->yAxis->setNumberFormat(QStringLiteral("f"));
    plot_->yAxis->setNumberPrecision(2);
    graph_ = plot_->addGraph();
    // A one-pixel (cosmetic) pen: a wider one goes through the stroker and
    // draws a dense chart a hundred times slower.
    graph_->setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 1));
    // QCustomPlot thins out dense data itself (adaptive sampling): hundreds
    // of thousands of points draw as a few per pixel column.
    graph_->setAdaptiveSampling(true);

    // Stable spans, shaded over the whole height behind the line.
    stableGraph_ = plot_->addGraph(plot_->xAxis, plot_->yAxis2);
    stableGraph_->setName(QStringLiteral("stable"));
    stableGraph_->setPen(Qt::NoPen);
    stableGraph_->setBrush(QColor(0, 160, 0, 40));
    stableGraph_->setData(stableData_);
    // Behind the line (and over the grid, which shows through).
    stableGraph_->setLayer(QStringLiteral("grid"));
    plot_->yAxis2->setRange(0, 1);
    plot_->yAxis2->setVisible(false);

    figuresLabel_ = new QLabel(this);
    figuresLabel_->setObjectName(QStringLiteral("figures"));
    figuresLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(plot_, 1);
    layout->addWidget(figuresLabel_);

    connect(openButton_, &QPushButton::clicked, this, &TrendWindow::openLogClicked);
    connect(saveImageButton_, &QPushButton::clicked, this, &TrendWindow::saveImageClicked);
    connect(saveDataButton_, &QPushButton::clicked, this, &TrendWindow::saveDataClicked);
    connect(saveReportButton_, &QPushButton::clicked, this, &TrendWindow::saveReportClicked);
    connect(fitButton_, &QPushButton::clicked, this, &TrendWindow::Fit);
    connect(liveButton_, &QPushButton::clicked, this, &TrendWindow::showLiveSource);
    connect(plot_, &QCustomPlot::mousePress, this, &TrendWindow::userMovedView);
    connect(plot_, &QCustomPlot::mouseWheel, this, &TrendWindow::userMovedView);
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &TrendWindow::viewChanged);
}

void TrendWindow::ShowLive(const TrendSeries& series)
{
    QVector<QCPGraphData> points;
    points.reserve(qsizetype(series.Size()));
    live_.overview.Clear();
    for (std::size_t i = 0; i < series.Size(); ++i) {
        points.append(QCPGraphData(series.At(i).key, series.At(i).value));
        live_.overview.Add(series.At(i).key, series.At(i).value);
    }
    live_.data->set(points, false);
    QVector<QCPGraphData> spans;
    for (const TrendSpan& span : series.StableSpans()) {
        spans.append(QCPGraphData(span.from, 1));
        spans.append(QCPGraphData(span.to, 1));
        spans.append(QCPGraphData(span.to, qQNaN()));
    }
    stableData_->set(spans, true);
    lastStable_ = series.LastStable();
    live_.overviewStale = true;
    live_.label = QStringLiteral("Live readings");
    hasLive_ = true;
    showLiveSource();
}

void TrendWindow::addStable(double key, bool stable)
{
    // As the series keeps its spans: one runs on to the reading that ends it.
    if (lastStable_ && stableData_->size() >= 2) {
        auto end = stableData_->end();
        (end - 1)->key = std::max((end - 1)->key, key);
        (end - 2)->key = (end - 1)->key;
    } else if (stable) {
        stableData_->add(QCPGraphData(key, 1));
        stableData_->add(QCPGraphData(key, 1));
        stableData_->add(QCPGraphData(key, qQNaN()));
    }
    lastStable_ = stable;
}

void TrendWindow::AddLive(const TrendPoint& point, const std::optional<TrendPoint>& dropped, bool stable)
{
    // Kept in key order even when the clock was set back: the point goes
    // in among the earlier ones at its own time.
    live_.data->add(QCPGraphData(point.key, point.value));
    addStable(point.key, stable);
    live_.overview.Add(point.key, point.value);
    if (dropped) {
        RemovePoint(*live_.data, *dropped);
        live_.overview.DropOldest();
        if (!stableData_->isEmpty() && stableData_->constBegin()->key < dropped->key)
            stableData_->removeBefore(dropped->key);
    }
    live_.overviewStale = true;
    // A hidden window only stores the point: showing it fits the view again.
    if (!showingLive_ || !isVisible())
        return;
    if (following_)
        Fit();
    else
        viewChanged();  // the figures cover the span in view, and the point may be in it
}

void TrendWindow::OpenLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("The log file %1 cannot be read: %2.").arg(path, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    const LogSeries series = ReadLogSeries(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    QVector<QCPGraphData> points;
    points.reserve(qsizetype(series.keys.size()));
    log_.overview.Clear();
    for (std::size_t i = 0; i < series.keys.size(); ++i) {
        points.append(QCPGraphData(series.keys[i], series.values[i]));
        log_.overview.Add(series.keys[i], series.values[i]);
    }
    const bool sorted = std::is_sorted(series.keys.begin(), series.keys.end());
    log_.data = QSharedPointer<QCPGraphDataContainer>::create();
    log_.data->set(points, sorted);
    log_.overviewStale = true;
    log_.timeKeys = series.timeStamped;

    logPath_ = path;
    logSerial_ = QString::fromStdString(
        LogHeaderSerial(std::string_view(bytes.constData(), std::size_t(bytes.size()))));
    log_.label = QFileInfo(path).fileName();
    if (series.keys.empty())
        log_.label += QStringLiteral(", no readings");
    if (series.skipped > 0)
        log_.label += QStringLiteral(", %1 %2 skipped")
                          .arg(series.skipped)
                          .arg(series.skipped == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    showSource(log_);
}

void TrendWindow::showLiveSource() { showSource(live_); }

void TrendWindow::showSource(Source& source)
{
    shown_ = &source;
    showingLive_ = shown_ == &live_;
    liveButton_->setVisible(hasLive_ && !showingLive_);
    graph_->setData(source.data);
    stableGraph_->setVisible(showingLive_);
    sourceLabel_->setText(source.label);
    if (source.timeKeys) {
        auto ticker = QSharedPointer<TrendTimeTicker>::create();
        ticker->setDateTimeSpec(Qt::LocalTime);
        plot_->xAxis->setTicker(ticker);
        plot_->xAxis->setLabel(QString());
    } else {
        plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
        plot_->xAxis->setNumberFormat(QStringLiteral("f"));
        plot_->xAxis->setNumberPrecision(0);
        plot_->xAxis->setLabel(QStringLiteral("row"));
    }
    Fit();
}

void TrendWindow::drawDense(bool dense)
{
    Source& source = *shown_;
    if (dense && source.overviewStale) {
        const std::vector<TrendPoint> thinned = source.overview.Points();
        QVector<QCPGraphData> points;
        points.reserve(qsizetype(thinned.size()));
        for (const TrendPoint& point : thinned)
            points.append(QCPGraphData(point.key, point.value));
        source.overviewData->set(points, source.overview.Ordered());
        source.overviewStale = false;
    }
    const QSharedPointer<QCPGraphDataContainer>& wanted = dense ? source.overviewData : source.data;
    if (graph_->data() != wanted)
        graph_->setData(wanted);
}

void TrendWindow::Fit()
{
    following_ = true;
    const QCPGraphDataContainer& data = *shown_->data;
    const double minimumSpan = shown_->timeKeys ? kMinimumTimeSpan : kMinimumRowSpan;
    double lower = 0;
    double upper = minimumSpan;
    if (!data.isEmpty()) {
        lower = data.constBegin()->key;
        upper = (data.constEnd() - 1)->key;
        if (upper - lower < minimumSpan) {
            const double middle = (lower + upper) / 2;
            lower = middle - minimumSpan / 2;
            upper = middle + minimumSpan / 2;
        }
    } else if (shown_->timeKeys) {
        lower = TimeKey(QDateTime::currentDateTime());
        upper = lower + minimumSpan;
    }
    const QCPRange wanted(lower, upper);
    if (plot_->xAxis->range() == wanted)
        viewChanged();
    else
        plot_->xAxis->setRange(wanted);  // viewChanged follows through the signal
}

void TrendWindow::userMovedView() { following_ = false; }

void TrendWindow::viewChanged()
{
    const QCPRange view = plot_->xAxis->range();
    const QCPGraphDataContainer& data = *shown_->data;
    const auto begin = data.findBegin(view.lower, false);
    const auto end = data.findEnd(view.upper, false);
    drawDense(end - begin > qsizetype(kDensePointsPerPixel) * std::max(1, plot_->axisRect()->width()));
    figures_ = ComputeTrendFigures(
        begin, end, [](const QCPGraphData& p) { return p.key; },
        [](const QCPGraphData& p) { return p.value; });

    double low = figures_.n > 0 ? figures_.min : 7.0 - kMinimumPhSpan / 2;
    double high = figures_.n > 0 ? figures_.max : 7.0 + kMinimumPhSpan / 2;
    const double margin = (high - low) * kPhMargin;
    low -= margin;
    high += margin;
    if (high - low < kMinimumPhSpan) {
        const double middle = (low + high) / 2;
        low = middle - kMinimumPhSpan / 2;
        high = middle + kMinimumPhSpan / 2;
    }
    plot_->yAxis->setRange(low, high);
    updateTimeFormat(view.size());

    const bool timeKeys = shown_->timeKeys;
    figuresLabel_->setText(Local(TrendFiguresLine(figures_, decimal_, timeKeys ? kMillisPerMinute : 1.0,
                                                  timeKeys ? "pH/min" : "pH/row")));
    // Several changes in one event loop pass draw once.
    if (isVisible())
        plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::updateTimeFormat(double span)
{
    auto ticker = plot_->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
    if (!ticker)
        return;
    if (span < 10 * kMillisPerMinute)
        ticker->setDateTimeFormat(QStringLiteral("HH:mm:ss"));
    else if (span < 2 * kMillisPerDay)
        ticker->setDateTimeFormat(QStringLiteral("HH:mm"));
    else
        ticker->setDateTimeFormat(QStringLiteral("dd.MM.\nHH:mm"));
}

QString TrendWindow::FiguresText() const { return figuresLabel_->text(); }

QString TrendWindow::SourceText() const { return sourceLabel_->text(); }

bool TrendWindow::SaveImage(const QString& path, QString& error)
{
    if (plot_->savePng(path, plot_->width(), plot_->height()))
        return true;
    error = QStringLiteral("The image cannot be written to %1.").arg(path);
    return false;
}

bool TrendWindow::SaveData(const QString& path, QString& error)
{
    const QCPRange view = plot_->xAxis->range();
    const QCPGraphDataContainer& data = *shown_->data;
    std::string text = TrendCsvHeader(shown_->timeKeys);
    for (auto it = data.findBegin(view.lower, false); it != data.findEnd(view.upper, false); ++it)
        AppendTrendCsvRow(text, it->key, it->value, shown_->timeKeys);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit())
        return true;
    error = QStringLiteral("The data cannot be written to %1: %2.").arg(path, file.errorString());
    return false;
}

bool TrendWindow::SaveReport(const QString& path, QString& error)
{
    ReportRequest request;
    request.outFile = path.toStdString();
    request.recordsFolder = recordsFolder_.toStdString();
    const bool showingLog = shown_ == &log_;
    request.logsFolder =
        (showingLog ? QFileInfo(logPath_).absolutePath() : QDir::currentPath()).toStdString();
    if (showingLog)
        request.serial = logSerial_.toStdString();
    // The span in view; a log without time stamps has no period to give.
    if (shown_->timeKeys) {
        const QCPRange view = plot_->xAxis->range();
        request.fromUtcMs = static_cast<int64_t>(std::floor(view.lower));
        request.toUtcMs = static_cast<int64_t>(std::ceil(view.upper));
    }
    const QString login = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    request.madeBy = (login + QLatin1Char('@') + QSysInfo::machineHostName()).toStdString();
    request.madeAtUtcMs = QDateTime::currentMSecsSinceEpoch();
    request.version = kAppVersion;
    const ReportOutcome outcome = WriteReport(request);
    if (!outcome.written)
        error = QString::fromStdString(outcome.error);
    return outcome.written;
}

void TrendWindow::openLogClicked()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open log"), QString(), QStringLiteral("pH logs (USB_PH_*.txt);;All files (*)"));
    if (!path.isEmpty())
        guarded([&] { OpenLog(path); });
}

void TrendWindow::saveImageClicked()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save image"), QStringLiteral("pH-trend.png"),
                                     QStringLiteral("PNG images (*.png)"));
    QString error;
    guarded([&] {
        if (!path.isEmpty() && !SaveImage(path, error))
            report(error);
    });
}

void TrendWindow::saveDataClicked()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save data"), QStringLiteral("pH-trend.csv"),
                                     QStringLiteral("CSV files (*.csv)"));
    QString error;
    guarded([&] {
        if (!path.isEmpty() && !SaveData(path, error))
            report(error);
    });
}

void TrendWindow::saveReportClicked()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save report"), QStringLiteral("pH-report.pdf"),
                                     QStringLiteral("PDF files (*.pdf)"));
    QString error;
    guarded([&] {
        if (!path.isEmpty() && !SaveReport(path, error))
            report(error);
    });
}

void TrendWindow::guarded(const std::function<void()>& body)
{
    // What a button does may run out of memory (a log larger than the memory
    // left); that is reported, and never crosses into Qt.
    try {
        body();
    } catch (const std::exception& e) {
        report(QStringLiteral("The pH trend could not do that: %1.").arg(QString::fromLocal8Bit(e.what())));
    }
}

void TrendWindow::report(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok, this);
    box.exec();
}

void TrendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Live points that came while hidden were only stored.
    if (following_)
        Fit();
    else
        viewChanged();
}

void TrendWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange) {
        decimal_ = ReadLocaleSeparators().decimal;
        plot_->setLocale(QLocale());
        viewChanged();
    }
    QWidget::changeEvent(event);
}

}  // namespace tirevo
