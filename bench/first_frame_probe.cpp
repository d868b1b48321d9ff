// Linked into the start-up benchmark programs: once the first top-level
// window has been exposed (and so painted and flushed by the widget
// machinery), prints the monotonic time of that moment and the CPU time the
// process has used so far, and quits the event loop, so the program then
// shuts down the ordinary way. With BENCH_SMAPS_FILE set it also copies
// /proc/self/smaps there, to see where the memory went.
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QWindow>

#include <cstdio>
#include <ctime>

namespace {

class FirstFrameProbe : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isTopLevel() && window->isExposed()) {
                seen_ = true;
                // Queued, so it runs after the expose has been handled.
                QMetaObject::invokeMethod(this, &FirstFrameProbe::Report, Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static long long Ns(clockid_t clock)
    {
        timespec now{};
        clock_gettime(clock, &now);
        return static_cast<long long>(now.tv_sec) * 1000000000LL + static_cast<long long>(now.tv_nsec);
    }

    void Report()
    {
        const long long frame = Ns(CLOCK_MONOTONIC);
        const long long cpu = Ns(CLOCK_PROCESS_CPUTIME_ID);
        std::printf("first-frame-ns=%lld\nfirst-frame-cpu-ns=%lld\n", frame, cpu);
        std::fflush(stdout);
        if (const QString target = qEnvironmentVariable("BENCH_SMAPS_FILE"); !target.isEmpty()) {
            QFile::remove(target);
            QFile smaps(QStringLiteral("/proc/self/smaps"));
            QFile copy(target);
            if (smaps.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly))
                copy.write(smaps.readAll());
        }
        QCoreApplication::quit();
    }

    bool seen_ = false;
};

void InstallFirstFrameProbe()
{
    auto* probe = new FirstFrameProbe;
    probe->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(probe);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallFirstFrameProbe)
