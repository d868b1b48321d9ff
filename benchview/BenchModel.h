// The bench view's meters, plain and on the clock it is given: every attached
// meter with a session of its own, in the order of their serial numbers. The
// meters are listed again every kListPeriodMs, so one plugged in later is
// taken up within that time; a lost meter keeps its place, marked lost, until
// its session finds it again or the user removes it. Each meter's ticks cost
// only its own short driver calls, so a lost or silent meter never delays
// another's polls. The window runs RunDue() from one timer armed for
// NextDueMs(); tests and benchmarks run RunUntil() on a virtual clock.
#pragma once

#include "BenchMeter.h"
#include "MeterList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tirevo {

class BenchModel {
public:
    // Listing scans the bus; more often would only cost the meters' time.
    static constexpr int64_t kListPeriodMs = 2000;

    using ListMeters = std::function<std::vector<ListedDevice>()>;
    using AlarmSettingsFor = std::function<AlarmSettings(const std::string& serial)>;

    BenchModel(MeterClock& clock, BenchRules rules, ListMeters list, AlarmSettingsFor alarmFor = {});
    ~BenchModel();
    BenchModel(const BenchModel&) = delete;
    BenchModel& operator=(const BenchModel&) = delete;

    // The main window's session, shown as the tile of its meter instead of
    // one the bench would fail to open beside it. Before Start().
    void AddShared(MeterSession& session, const std::string& description);
    // Lists and opens the meters attached now.
    void Start();
    // Runs every meter's ticks that are due, and the listing when due.
    void RunDue();
    // When RunDue() has something to do next.
    int64_t NextDueMs() const;
    // Sleeps on the clock from due time to due time, running each, until
    // untilMs.
    void RunUntil(int64_t untilMs);

    const std::vector<std::unique_ptr<BenchMeter>>& Meters() const { return meters_; }
    BenchMeter* Find(const std::string& serial) const;
    int IndexOf(const std::string& serial) const;
    // The user removes a tile: only a lost meter's (an answering one would
    // be back at the next listing). False when it is not lost or not there.
    bool Remove(const std::string& serial);
    // Ends every meter (see BenchMeter::End()).
    void EndAll();

    // Meters were added or removed: the tiles are laid out again.
    std::function<void()> MetersChanged;
    // A meter was added, before MetersChanged: the view sets its listener.
    std::function<void(BenchMeter&)> MeterAdded;
    // Where every meter's events go (see BenchMeter). Before AddShared() and
    // Start().
    SessionAudit::Sink Audit;

private:
    void List();
    void Insert(std::unique_ptr<BenchMeter> meter);

    MeterClock& clock_;
    BenchRules rules_;
    ListMeters list_;
    AlarmSettingsFor alarmFor_;
    std::vector<std::unique_ptr<BenchMeter>> meters_;  // by serial number
    int64_t nextListMs_ = 0;
    bool started_ = false;
};

}  // namespace tirevo
