// `read`, `log` and `publish` with --all: every attached meter, each in a run
// of its own (its session with its own handle, its schedule, log file and
// alarms), all served by one loop that sleeps until whichever is due first.
// A meter that stays silent or is lost only ever costs its own short driver
// calls, so it never delays another meter's polls. The meters are listed
// again every kListPeriodMs: one plugged in later is taken up, one given up
// on (--give-up) is dropped and taken up again when it is back.
#pragma once

#include "MeterList.h"
#include "MeterRun.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tirevo {

class AllMetersRun {
public:
    // Listing scans the bus; more often would only cost the other meters' time.
    static constexpr int64_t kListPeriodMs = 2000;

    using ListMeters = std::function<std::vector<ListedDevice>()>;
    // Where a meter's readings go beyond stdout and its log (a broker): one
    // publisher per meter, or none.
    using PublisherFor = std::function<std::unique_ptr<ReadingPublisher>(const ListedDevice&)>;

    // setup is every meter's; its serial number is filled in per meter.
    AllMetersRun(MeterRunSetup setup, MeterClock& clock, RunWait& wait, ListMeters list,
                 PublisherFor publisherFor = {});
    ~AllMetersRun();
    AllMetersRun(const AllMetersRun&) = delete;
    AllMetersRun& operator=(const AllMetersRun&) = delete;

    // Runs until a signal, --duration, every meter's --count, or an error
    // that ends them all (a log file, stdout, the broker); the exit code.
    int Run();

    // A meter's own alarm settings, in place of the setup's, read as it is
    // taken up; nothing when they cannot be used (the function says why),
    // and the meter is left out of this run: the others go on. say is false
    // when a meter that could not be opened is tried again, as its lines
    // were said the first time.
    using AlarmFor = std::function<std::optional<AlarmSettings>(const std::string& serial, bool say)>;
    void SetAlarmFor(AlarmFor alarmFor) { alarmFor_ = std::move(alarmFor); }

    // Why the run must end though no meter is in it to tell (a broker that
    // refused the login while no meter could be opened).
    void SetFailureCheck(std::function<std::optional<std::string>()> check)
    {
        failureCheck_ = std::move(check);
    }

private:
    struct Meter {
        std::unique_ptr<ReadingPublisher> publisher;  // before the run, which uses it
        std::unique_ptr<MeterRun> run;
    };

    void Say(const std::string& line);
    // Takes up the listed meters not in the run; an exit code when one of
    // them ends the run at once.
    std::optional<int> TakeUpNew(const std::vector<ListedDevice>& listed);
    int EndAll(int exitCode);
    // Reaps the commands of the meters that have left; the soonest it is
    // due again, if ever.
    std::optional<int64_t> ReapLeftHooks();

    MeterRunSetup setup_;
    MeterClock& clock_;
    RunWait& wait_;
    ListMeters list_;
    PublisherFor publisherFor_;
    std::function<std::optional<std::string>()> failureCheck_;
    AlarmFor alarmFor_;
    std::map<std::string, Meter> meters_;
    // Meters that have left the run while their --on-alarm commands still
    // ran: kept until those have ended, or waited for at the run's end.
    std::vector<Meter> leftWithHooks_;
    // Meters that gave their --count: not taken up again.
    std::set<std::string> completed_;
    // Meters that could not be opened: said once, tried again quietly.
    std::set<std::string> refused_;
    // Meters whose alarm settings could not be used: said once, left out.
    std::set<std::string> alarmRefused_;
    int64_t nextListMs_ = 0;
    // The first failure of a meter that left the run on its own (a log that
    // could not be finished): the run's exit code unless something worse.
    int leftFailed_ = kExitDone;
};

}  // namespace tirevo
