// bench_trend WORKDIR MODE [ARGS...]
//
// The pH trend, measured the way the program uses it: the module loaded from
// the build tree through the program's own loader, a real window on the X
// server. Results are key=value lines; a failed step exits non-zero.
//
//   log ROWS        writes a log of ROWS time-stamped rows as the program
//                   writes them, then opens it in the trend window and draws
//                   its chart: wall time of reading, of opening and drawing
//   zoom N          a live series of 7 days at 1 Hz (604,800 points): its
//                   memory in the program and in the open window, then N
//                   zooms by the mouse wheel, each drawn at once
//   live S HISTORY  the window on the simulated meter polling at 1 Hz for
//                   S seconds with the trend closed, then S seconds with it
//                   open on HISTORY seconds of earlier readings: process CPU
//                   of each, and CPU per live reading with the window open
//   show-live S     the window on the simulated meter given an hour of
//                   readings through its reception timer on a virtual clock,
//                   the trend window open beside it for S seconds (to look at)
#include "DriverBinding.h"
#include "LogReader.h"
#include "LogText.h"
#include "MainFormUnit.h"
#include "Messages.h"
#include "SimControl.h"
#include "TrendHost.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QWindow>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include "Measure.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace tirevo;
using namespace tirevo::bench;

namespace {

[[noreturn]] void Fail(const std::string& why)
{
    std::fprintf(stderr, "bench_trend: %s\n", why.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

double ThreadCpuMs() { return ThreadCpuUs() / 1e3; }

double WallMs() { return WallUs() / 1e3; }

void RunEventLoopMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void WaitExposed(QWidget* window)
{
    const double until = WallMs() + 10000;
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) && WallMs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!window->windowHandle() || !window->windowHandle()->isExposed())
        Fail("the trend window was not shown");
}

QCustomPlot* PlotOf(QWidget* window)
{
    auto* plot = window->findChild<QCustomPlot*>(QStringLiteral("plot"));
    if (!plot)
        Fail("no chart in the trend window");
    return plot;
}

// A reading drifting a little around 7.00, as the meter might send it.
double ReadingAt(long second)
{
    return 7.0 + 0.15 * std::sin(static_cast<double>(second) / 97.0) +
        0.01 * static_cast<double>(second % 7 - 3);
}

// Days of a sample that follows the day, with the meter's noise on top.
double DailyReadingAt(long second)
{
    constexpr double kTwoPi = 6.283185307179586;
    const double day = static_cast<double>(second) / 86400.0;
    return 7.0 + 0.25 * std::sin(kTwoPi * day) + 0.05 * day +
        0.015 * std::sin(static_cast<double>(second) * 1.7);
}

std::string TwoDecimals(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

int LogMode(const std::string& workdir, long rows)
{
    const std::string path = workdir + "/USB_PH_261208_000000.txt";
    {
        std::string text = tirevo::LogHeaderText(AppVersion, "QP000001", true, '\t');
        const QDateTime start(QDate(2026, 12, 8), QTime(0, 0, 0), Qt::UTC);
        for (long i = 0; i < rows; ++i) {
            const QDateTime at = start.addSecs(i);
            const tirevo::LogClockTime clock{at.date().year(), at.date().month(),  at.date().day(),
                                             at.time().hour(), at.time().minute(), at.time().second()};
            text += tirevo::LogRowText(clock, ':', true, '\t', TwoDecimals(DailyReadingAt(i)));
        }
        std::ofstream(path, std::ios::binary) << text;
        std::printf("log-bytes=%zu\n", text.size());
    }
    const QString file = QString::fromStdString(path);

    tirevo::TrendHost host(nullptr);
    double w0 = WallMs();
    if (auto error = host.ShowLog(QString()))
        Fail(error->toStdString());
    WaitExposed(host.Window());
    std::printf("module-and-window-ms=%.1f\n", WallMs() - w0);

    // Reading alone, for comparison: the file into memory and through the reader.
    w0 = WallMs();
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly))
        Fail("cannot read the log back");
    const QByteArray bytes = raw.readAll();
    const tirevo::LogSeries series = tirevo::ReadLogSeries({bytes.constData(), std::size_t(bytes.size())});
    if (long(series.keys.size()) != rows || series.skipped != 0)
        Fail("the reader did not get every row");
    std::printf("read-parse-ms=%.1f\n", WallMs() - w0);

    // Opening through the window, then drawing the chart and painting it.
    QCustomPlot* plot = PlotOf(host.Window());
    w0 = WallMs();
    const double c0 = ThreadCpuMs();
    host.ShowLog(file);
    const double opened = WallMs();
    plot->replot(QCustomPlot::rpImmediateRefresh);
    host.Window()->repaint();
    std::printf("open-ms=%.1f\ndraw-ms=%.1f\n", opened - w0, WallMs() - opened);
    std::printf("open-and-draw-ms=%.1f\nopen-and-draw-cpu-ms=%.1f\n", WallMs() - w0, ThreadCpuMs() - c0);
    auto* figures = host.Window()->findChild<QLabel*>(QStringLiteral("figures"));
    if (!figures || !figures->text().startsWith(QStringLiteral("n %1 ").arg(rows)))
        Fail("the chart does not show every row");
    std::printf("log-rows=%ld\nrss-kb=%ld\nhwm-kb=%ld\n", rows, StatusKb("VmRSS"), StatusKb("VmHWM"));
    return 0;
}

void FillWeek(tirevo::TrendHost& host, long points)
{
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0, 0));
    for (long i = 0; i < points; ++i)
        host.AddReading(ReadingAt(i), start.addSecs(i));
}

int ZoomMode(long zooms)
{
    const long points = long(tirevo::TrendSeries::kMaxPoints);
    tirevo::TrendHost host(nullptr);
    const long rss0 = StatusKb("VmRSS"), heap0 = HeapInUse();
    FillWeek(host, points + 1000);  // past the bound: the oldest go
    const long rss1 = StatusKb("VmRSS"), heap1 = HeapInUse();
    if (long(host.Series().Size()) != points)
        Fail("the live series is not at its bound");
    std::printf("series-points=%zu\nseries-heap-b=%ld\nseries-rss-kb=%ld\n", host.Series().Size(),
                heap1 - heap0, rss1 - rss0);

    if (auto error = host.Show())
        Fail(error->toStdString());
    QWidget* window = host.Window();
    WaitExposed(window);
    RunEventLoopMs(200);
    const long rss2 = StatusKb("VmRSS"), heap2 = HeapInUse();
    std::printf("window-heap-b=%ld\nwindow-rss-kb=%ld\n", heap2 - heap1, rss2 - rss1);

    QCustomPlot* plot = PlotOf(window);
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    std::vector<double> wall, cpu;
    for (long i = 0; i < zooms; ++i) {
        // In by steps to about a minute in view, then out again to all.
        const int steps = (i / 10) % 2 == 0 ? 6 : -6;
        QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        const double w0 = WallMs(), c0 = ThreadCpuMs();
        QApplication::sendEvent(plot, &wheel);
        plot->replot(QCustomPlot::rpImmediateRefresh);
        QCoreApplication::processEvents();
        wall.push_back(WallMs() - w0);
        cpu.push_back(ThreadCpuMs() - c0);
    }
    std::printf("zooms=%ld\nzoom-median-ms=%.2f\nzoom-max-ms=%.2f\nzoom-cpu-median-ms=%.2f\n", zooms,
                Median(wall), Maximum(wall), Median(cpu));

    // Everything in view, the worst case: Fit, then a new live reading.
    std::vector<double> fitWall, liveCpu;
    for (int i = 0; i < 20; ++i) {
        const double w0 = WallMs();
        for (QPushButton* button : window->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Fit"))
                button->click();
        plot->replot(QCustomPlot::rpImmediateRefresh);
        fitWall.push_back(WallMs() - w0);
        // Whatever Fit queued is drawn before the reading is measured.
        QCoreApplication::processEvents();
        const double c0 = ThreadCpuMs();
        host.AddReading(7.0, QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0)).addSecs(i + 1000));
        QCoreApplication::processEvents();
        liveCpu.push_back(ThreadCpuMs() - c0);
    }
    std::printf("fit-all-median-ms=%.2f\nlive-reading-week-cpu-ms=%.2f\n", Median(fitWall), Median(liveCpu));
    return 0;
}

int LiveMode(const std::string& workdir, double seconds, long history)
{
    std::ofstream(workdir + "/tirevo.INI") << "[System]\nInterval=1000\n";
    TMainForm form(QString::fromStdString(workdir + "/tirevo"));
    form.show();
    WaitExposed(&form);
    if (!form.Meter().Connected())
        Fail("the window did not connect to the simulated meter");
    RunEventLoopMs(2000);

    auto measure = [&](const char* name) {
        sim::ClearCalls();
        const double c0 = ProcessCpuS(), w0 = WallMs();
        RunEventLoopMs(int(seconds * 1000));
        const double cpu = ProcessCpuS() - c0, elapsed = (WallMs() - w0) / 1000;
        std::printf("%s-cpu-pct=%.3f\n%s-seconds=%.1f\n", name, 100 * cpu / elapsed, name, elapsed);
    };
    measure("closed");

    // Earlier readings, as if the meter had been polled for that long.
    const QDateTime now = QDateTime::currentDateTime();
    for (long i = history; i > 0; --i)
        form.Trend->AddReading(ReadingAt(i), now.addSecs(-i));
    form.sbTrend->click();
    QWidget* window = form.Trend->Window();
    if (!window)
        Fail("the trend window did not open");
    WaitExposed(window);
    RunEventLoopMs(2000);
    const std::size_t before = form.Trend->Series().Size();
    measure("open");
    const std::size_t readings = form.Trend->Series().Size() - before;
    if (readings < std::size_t(seconds * 0.9))
        Fail("the trend did not get a reading a second");
    std::printf("open-readings=%zu\nhistory=%ld\n", readings, history);

    // The cost of one live reading in the open window, drawing included.
    form.Timer1->stop();
    form.Timer2->stop();
    std::vector<double> cpu;
    for (int i = 0; i < 50; ++i) {
        const double c0 = ThreadCpuMs();
        form.Trend->AddReading(7.0, QDateTime::currentDateTime());
        QCoreApplication::processEvents();
        cpu.push_back(ThreadCpuMs() - c0);
    }
    std::printf("live-reading-cpu-ms=%.3f\n", Median(cpu));
    return 0;
}

// The system's clock for the link, with a wall clock the bench moves on by a
// second per reading, so an hour of readings goes by in moments.
class SteppedWallClock final : public MeterClock {
public:
    int64_t NowMs() const override { return system_.NowMs(); }
    int64_t UtcMs() const override { return utcMs; }
    void SleepMs(int64_t ms) override { system_.SleepMs(ms); }
    int64_t utcMs = 0;

private:
    SystemMeterClock system_;
};

int ShowLiveMode(const std::string& workdir, double seconds)
{
    SteppedWallClock clock;
    clock.utcMs = QDateTime(QDate(2026, 12, 8), QTime(9, 0, 0)).toMSecsSinceEpoch();
    TMainForm form(QString::fromStdString(workdir + "/tirevo"), nullptr, &clock);
    form.show();
    WaitExposed(&form);
    form.Timer1->stop();
    form.Timer2->stop();
    sim::SetAutoReply(false);
    // What the meter said on connection is taken in first.
    for (int i = 0; i < 10; ++i)
        form.Timer2Timer();
    form.sbTrend->click();
    if (!form.Trend->Window())
        Fail("the trend window did not open");
    // An electrode moved from a pH 4 buffer into the sample: it settles
    // towards 7.0 over some minutes, with the meter's noise on top.
    for (long second = 0; second < 3600; ++second) {
        const double settling = 7.0 - 2.6 * std::exp(-double(second) / 240.0);
        const double noise = 0.012 * std::sin(double(second) * 1.7) + 0.008 * std::sin(double(second) * 0.31);
        char line[32];
        std::snprintf(line, sizeof line, "pH: %.2f\r", settling + noise + 0.00002 * double(second));
        sim::InjectRx(line);
        form.Timer2Timer();
        clock.utcMs += 1000;
        if (second % 60 == 0)
            QCoreApplication::processEvents();
    }
    form.Trend->Window()->move(20, 200);
    form.move(20, 20);
    RunEventLoopMs(int(seconds * 1000));
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    if (argc < 3)
        Fail("usage: bench_trend WORKDIR log ROWS | zoom N | live S HISTORY | show-live S");
    const std::string workdir = argv[1];
    const std::string mode = argv[2];
    auto number = [&](int index, double fallback) {
        return argc > index ? std::atof(argv[index]) : fallback;
    };
    if (chdir(workdir.c_str()) != 0)
        Fail("cannot enter " + workdir);
    tirevo::TrendHost::SetModuleFile(QStringLiteral(TIREVO_TREND_MODULE));
    if (mode == "log")
        return LogMode(workdir, std::lround(number(3, 1000000)));
    if (mode == "zoom")
        return ZoomMode(std::lround(number(3, 40)));
    if (mode == "live" || mode == "show-live") {
        if (!BindFTDriverLibrary(TIREVO_SIM_LIBRARY))
            Fail("cannot bind the simulated meter");
        sim::Reset();
        if (mode == "show-live")
            return ShowLiveMode(workdir, number(3, 5));
        return LiveMode(workdir, number(3, 60), std::lround(number(4, 3600)));
    }
    Fail("unknown mode " + mode);
}
