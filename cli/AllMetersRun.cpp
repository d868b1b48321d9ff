#include "AllMetersRun.h"

#include "FdOutput.h"
#include "ReadingOutput.h"

#include <algorithm>
#include <cerrno>

namespace tirevo {

AllMetersRun::AllMetersRun(MeterRunSetup setup, MeterClock& clock, RunWait& wait, ListMeters list,
                           PublisherFor publisherFor)
    : setup_(std::move(setup)),
      clock_(clock),
      wait_(wait),
      list_(std::move(list)),
      publisherFor_(std::move(publisherFor))
{
    setup_.severalMeters = true;
}

AllMetersRun::~AllMetersRun() = default;

void AllMetersRun::Say(const std::string& line) { WriteAll(setup_.errFd, "tirevo-cli: " + line + "\n"); }

std::optional<int> AllMetersRun::TakeUpNew(const std::vector<ListedDevice>& meters)
{
    for (const ListedDevice& listed : meters) {
        if (!listed.meter || meters_.count(listed.serial) || completed_.count(listed.serial) ||
            alarmRefused_.count(listed.serial))
            continue;
        MeterRunSetup setup = setup_;
        setup.serial = listed.serial;
        const bool firstTry = refused_.insert(listed.serial).second;
        if (alarmFor_) {
            const std::optional<AlarmSettings> alarm = alarmFor_(listed.serial, firstTry);
            if (!alarm) {
                alarmRefused_.insert(listed.serial);
                continue;
            }
            setup.alarm = *alarm;
        }
        // The run's end is the whole run's: a meter taken up later must not
        // run on past it.
        setup.options.durationMs.reset();
        Meter meter;
        if (publisherFor_)
            meter.publisher = publisherFor_(listed);
        setup.publisher = meter.publisher.get();
        meter.run = std::make_unique<MeterRun>(std::move(setup), clock_, wait_);
        if (const std::optional<int> failed = meter.run->Begin(firstTry)) {
            // Another program may hold it; it is tried again at the next
            // listing. Anything else (the log folder) ends the run.
            if (*failed == kExitNoMeter)
                continue;
            return failed;
        }
        refused_.erase(listed.serial);
        meters_.emplace(listed.serial, std::move(meter));
    }
    return std::nullopt;
}

int AllMetersRun::Run()
{
    const std::vector<ListedDevice> first = list_();
    nextListMs_ = clock_.NowMs() + kListPeriodMs;
    if (std::none_of(first.begin(), first.end(), [](const ListedDevice& d) { return d.meter; })) {
        Say("no pH meter attached");
        return kExitNoMeter;
    }
    const CliOptions& options = setup_.options;
    const bool keeping = options.command == CliCommand::Log || options.command == CliCommand::Publish;
    if (!keeping) {
        if (const int error = WriteAll(setup_.outFd, OutputHeader(options.format, true)))
            return error == EPIPE ? kExitDone : kExitOutput;
    }
    const int64_t startMs = clock_.NowMs();
    if (const std::optional<int> failed = TakeUpNew(first))
        return EndAll(*failed);
    for (;;) {
        int64_t now = clock_.NowMs();
        if (options.durationMs && now - startMs >= *options.durationMs)
            return EndAll(kExitDone);
        for (auto it = meters_.begin(); it != meters_.end();) {
            MeterRun& run = *it->second.run;
            const std::optional<int> code = run.Due(now);
            if (!code) {
                ++it;
                continue;
            }
            // A meter given up on, or one that has given its count, leaves
            // the run; anything else ends it for all.
            if (*code != kExitGaveUp && !run.Completed())
                return EndAll(*code);
            if (run.Completed())
                completed_.insert(it->first);
            if (const int finished = run.Finish(kExitDone); finished != kExitDone && leftFailed_ == kExitDone)
                leftFailed_ = finished;
            if (run.HooksRunning())
                leftWithHooks_.push_back(std::move(it->second));
            it = meters_.erase(it);
        }
        // With meters in the run, each of them tells of a failure.
        if (meters_.empty() && failureCheck_) {
            if (const std::optional<std::string> failure = failureCheck_()) {
                Say(*failure);
                return EndAll(kExitBroker);
            }
        }
        // Every meter has given its count (one plugged in later is not
        // waited for).
        if (options.count && meters_.empty() && !completed_.empty())
            return EndAll(kExitDone);
        if (now >= nextListMs_) {
            nextListMs_ = now + kListPeriodMs;
            if (const std::optional<int> failed = TakeUpNew(list_()))
                return EndAll(*failed);
            now = clock_.NowMs();
        }
        int64_t wake = nextListMs_;
        for (const auto& [serial, meter] : meters_)
            wake = std::min(wake, meter.run->NextWakeMs(now));
        if (const std::optional<int64_t> hooksDue = ReapLeftHooks())
            wake = std::min(wake, *hooksDue);
        if (options.durationMs)
            wake = std::min(wake, startMs + *options.durationMs);
        if (wait_.Wait(std::max<int64_t>(wake - now, 0)))
            return EndAll(kExitDone);
        for (auto& [serial, meter] : meters_)
            meter.run->Step();
    }
}

std::optional<int64_t> AllMetersRun::ReapLeftHooks()
{
    std::optional<int64_t> due;
    for (auto it = leftWithHooks_.begin(); it != leftWithHooks_.end();) {
        it->run->ReapHooks();
        const std::optional<int64_t> next = it->run->HooksDueMs();
        if (!next) {
            it = leftWithHooks_.erase(it);
            continue;
        }
        due = due ? std::min(*due, *next) : *next;
        ++it;
    }
    return due;
}

int AllMetersRun::EndAll(int exitCode)
{
    if (exitCode == kExitDone)
        exitCode = leftFailed_;
    for (auto& [serial, meter] : meters_) {
        const int code = meter.run->Finish(exitCode);
        // A log that cannot be finished is the run's failure too.
        if (exitCode == kExitDone)
            exitCode = code;
    }
    // Every meter's commands get the same few seconds, not a few each.
    const AlarmHook::Deadline deadline = AlarmHook::EndDeadline();
    for (auto& [serial, meter] : meters_)
        meter.run->EndHooks(deadline);
    for (Meter& meter : leftWithHooks_)
        meter.run->EndHooks(deadline);
    meters_.clear();
    leftWithHooks_.clear();
    return exitCode;
}

}  // namespace tirevo
