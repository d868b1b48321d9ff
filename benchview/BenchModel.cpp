#include "BenchModel.h"

#include <algorithm>

namespace tirevo {

BenchModel::BenchModel(MeterClock& clock, BenchRules rules, ListMeters list, AlarmSettingsFor alarmFor)
    : clock_(clock), rules_(std::move(rules)), list_(std::move(list)), alarmFor_(std::move(alarmFor))
{
}

BenchModel::~BenchModel() = default;

void BenchModel::AddShared(MeterSession& session, const std::string& description)
{
    auto meter = std::make_unique<BenchMeter>(ListedDevice{description, session.Serial(), true}, clock_,
                                              rules_, &session, Audit);
    meter->Open();
    Insert(std::move(meter));
}

void BenchModel::Start()
{
    started_ = true;
    List();
}

void BenchModel::Insert(std::unique_ptr<BenchMeter> meter)
{
    if (alarmFor_)
        meter->SetAlarmSettings(alarmFor_(meter->Serial()));
    const auto at =
        std::lower_bound(meters_.begin(), meters_.end(), meter->Serial(),
                         [](const auto& m, const std::string& serial) { return m->Serial() < serial; });
    BenchMeter& added = **meters_.insert(at, std::move(meter));
    if (MeterAdded)
        MeterAdded(added);
}

void BenchModel::List()
{
    nextListMs_ = clock_.NowMs() + kListPeriodMs;
    bool changed = false;
    for (const ListedDevice& listed : list_()) {
        if (!listed.meter || Find(listed.serial))
            continue;
        auto meter = std::make_unique<BenchMeter>(listed, clock_, rules_, nullptr, Audit);
        // Held by another program: tried again at the next listing.
        if (!meter->Open())
            continue;
        Insert(std::move(meter));
        changed = true;
    }
    if (changed && MetersChanged)
        MetersChanged();
}

void BenchModel::RunDue()
{
    if (!started_)
        return;
    // Each meter's own ticks; none of them waits for another meter.
    for (std::size_t i = 0; i < meters_.size(); ++i)
        meters_[i]->RunDue();
    if (clock_.NowMs() >= nextListMs_)
        List();
}

int64_t BenchModel::NextDueMs() const
{
    int64_t next = nextListMs_;
    for (const auto& meter : meters_)
        next = std::min(next, meter->NextDueMs());
    return next;
}

void BenchModel::RunUntil(int64_t untilMs) { RunDueUntil(clock_, *this, untilMs); }

BenchMeter* BenchModel::Find(const std::string& serial) const
{
    const int index = IndexOf(serial);
    return index < 0 ? nullptr : meters_[static_cast<std::size_t>(index)].get();
}

int BenchModel::IndexOf(const std::string& serial) const
{
    for (std::size_t i = 0; i < meters_.size(); ++i)
        if (meters_[i]->Serial() == serial)
            return static_cast<int>(i);
    return -1;
}

bool BenchModel::Remove(const std::string& serial)
{
    const int index = IndexOf(serial);
    if (index < 0 || !meters_[static_cast<std::size_t>(index)]->Lost())
        return false;
    meters_[static_cast<std::size_t>(index)]->End();
    meters_.erase(meters_.begin() + index);
    if (MetersChanged)
        MetersChanged();
    return true;
}

void BenchModel::EndAll()
{
    for (const auto& meter : meters_)
        meter->End();
}

}  // namespace tirevo
