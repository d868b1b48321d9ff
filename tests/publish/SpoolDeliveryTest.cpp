// Readings delivered through the spool to a stand-in broker, on virtual
// time: outages, their end, an outage during the backlog's delivery, a
// restart with a spool left, the wait for the broker at a clean end.
#include "SpoolDelivery.h"
#include "ReadingSender.h"
#include "ReadingSpool.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using tirevo::ReadingSpool;
using tirevo::SpoolDelivery;

namespace {

constexpr int64_t kStepMs = 250;  // 4 Hz

std::string Payload(const std::string& serial, int n)
{
    return "{\"time\":\"t" + std::to_string(n) + "\",\"ph\":7.02,\"stable\":true,\"serial\":\"" + serial +
        "\"}";
}

std::vector<std::string> Expected(const std::string& serial, int from, int to)
{
    std::vector<std::string> payloads;
    for (int n = from; n < to; ++n)
        payloads.push_back(Payload(serial, n));
    return payloads;
}

// Takes QoS 1 messages while up; what it acknowledges it has received.
class FakeBroker final : public tirevo::ReadingSender {
public:
    std::optional<int> SendReading(const std::string& topic, const std::string& payload) override
    {
        if (!up)
            return std::nullopt;
        const int id = nextId_++;
        unacked_.push_back({id, topic, payload});
        return id;
    }

    // Acknowledges what it has, in the order given by reversed, and tells
    // each meter's delivery.
    void AckAll(const std::vector<SpoolDelivery*>& deliveries, int64_t nowMs, bool reversed = false)
    {
        auto pending = std::move(unacked_);
        unacked_.clear();
        if (reversed)
            std::reverse(pending.begin(), pending.end());
        for (const auto& message : pending) {
            received[message.topic].push_back(message.payload);
            int claimed = 0;
            for (SpoolDelivery* delivery : deliveries)
                claimed += delivery->Acknowledged(message.id, nowMs) ? 1 : 0;
            EXPECT_EQ(claimed, 1) << "each ack belongs to one meter";
        }
    }

    // The connection breaks. Messages sent and not acknowledged may have
    // reached the broker (receivedAnyway) or not.
    void Break(const std::vector<SpoolDelivery*>& deliveries, bool receivedAnyway)
    {
        up = false;
        for (const auto& message : unacked_)
            if (receivedAnyway)
                received[message.topic].push_back(message.payload);
        unacked_.clear();
        for (SpoolDelivery* delivery : deliveries)
            delivery->Lost();
    }

    void Return(const std::vector<SpoolDelivery*>& deliveries, int64_t nowMs)
    {
        up = true;
        for (SpoolDelivery* delivery : deliveries)
            delivery->Connected(nowMs);
    }

    std::size_t Unacked() const { return unacked_.size(); }

    bool up = false;
    std::map<std::string, std::vector<std::string>> received;

private:
    struct Message {
        int id;
        std::string topic;
        std::string payload;
    };
    int nextId_ = 1;
    std::vector<Message> unacked_;
};

// Each reading once, in order: a repeat is only allowed right where a break
// came, and the first appearances must be the readings in their order.
std::vector<std::string> FirstAppearances(const std::vector<std::string>& got)
{
    std::vector<std::string> first;
    for (const auto& payload : got)
        if (std::find(first.begin(), first.end(), payload) == first.end())
            first.push_back(payload);
    return first;
}

class SpoolDeliveryTest : public ::testing::Test {
protected:
    struct Meter {
        std::string serial;
        std::unique_ptr<ReadingSpool> spool;
        std::unique_ptr<SpoolDelivery> delivery;
        int taken = 0;
    };

    Meter& AddMeter(const std::string& serial, std::size_t window = SpoolDelivery::kWindow,
                    uint64_t max = ReadingSpool::kDefaultMax)
    {
        auto meter = std::make_unique<Meter>();
        meter->serial = serial;
        meter->spool = std::make_unique<ReadingSpool>(dir_.filePath(QStringLiteral("spool")), serial, max);
        EXPECT_NE(meter->spool->Open(nowMs_), ReadingSpool::OpenResult::Failed);
        meter->delivery =
            std::make_unique<SpoolDelivery>(*meter->spool, broker_, "tirevo/" + serial + "/reading", window);
        meters_.push_back(std::move(meter));
        deliveries_.push_back(meters_.back()->delivery.get());
        return *meters_.back();
    }

    // One step of virtual time: each meter takes a reading, the broker
    // acknowledges what reached it (when it is up and acks is set).
    void Step(bool acks = true)
    {
        nowMs_ += kStepMs;
        for (auto& meter : meters_) {
            EXPECT_TRUE(meter->delivery->Reading(Payload(meter->serial, meter->taken++), nowMs_));
            meter->delivery->Tick(nowMs_);
        }
        if (broker_.up && acks)
            broker_.AckAll(deliveries_, nowMs_);
    }

    void Steps(int count, bool acks = true)
    {
        for (int i = 0; i < count; ++i)
            Step(acks);
    }

    const std::vector<std::string>& Received(const Meter& meter)
    {
        return broker_.received["tirevo/" + meter.serial + "/reading"];
    }

    void Restart()
    {
        deliveries_.clear();
        meters_.clear();
    }

    QTemporaryDir dir_;
    FakeBroker broker_;
    int64_t nowMs_ = 0;
    std::vector<std::unique_ptr<Meter>> meters_;
    std::vector<SpoolDelivery*> deliveries_;
};

TEST_F(SpoolDeliveryTest, AMinuteOutageOnTwoMetersDeliversEveryReadingOnceInOrder)
{
    Meter& a = AddMeter("A1");
    Meter& b = AddMeter("B2");
    broker_.Return(deliveries_, nowMs_);
    Steps(20);
    broker_.Break(deliveries_, false);
    Steps(240);  // 60 s at 4 Hz
    EXPECT_EQ(a.delivery->Pending(), 240u);
    EXPECT_EQ(b.delivery->Pending(), 240u);
    broker_.Return(deliveries_, nowMs_);
    // The backlog goes a window at a time, ahead of the live readings.
    while (a.delivery->Pending() > 1 || b.delivery->Pending() > 1)
        Step();
    Steps(5);

    for (const Meter* meter : {&a, &b}) {
        EXPECT_EQ(Received(*meter), Expected(meter->serial, 0, meter->taken)) << meter->serial;
        EXPECT_EQ(meter->delivery->Pending(), 0u);
    }
    EXPECT_GE(a.taken, 260 + 5);
}

TEST_F(SpoolDeliveryTest, ASecondOutageDuringTheBacklogRepeatsOnlyWhatWasInFlight)
{
    Meter& a = AddMeter("A1", 8);
    broker_.Return(deliveries_, nowMs_);
    Steps(4);
    broker_.Break(deliveries_, false);
    Steps(100);
    broker_.Return(deliveries_, nowMs_);
    Steps(3);  // three windows of the backlog acknowledged, the fourth in flight
    Step(false);
    ASSERT_EQ(broker_.Unacked(), 8u);
    ASSERT_GT(a.delivery->Pending(), 50u) << "the break must come during the backlog";
    broker_.Break(deliveries_, true);  // they reached the broker, the acks did not come back
    Steps(40);
    broker_.Return(deliveries_, nowMs_);
    while (a.delivery->Pending() > 1)
        Step();
    broker_.AckAll(deliveries_, nowMs_);

    const auto& got = Received(a);
    EXPECT_EQ(FirstAppearances(got), Expected("A1", 0, a.taken));
    EXPECT_EQ(got.size(), static_cast<std::size_t>(a.taken) + 8) << "only the eight in flight came twice";
    EXPECT_EQ(a.delivery->Pending(), 0u);
}

TEST_F(SpoolDeliveryTest, AcksInAnyOrderKeepTheSpoolInOrder)
{
    Meter& a = AddMeter("A1", 5);
    Steps(12);
    broker_.Return(deliveries_, nowMs_);
    for (int i = 0; i < 6; ++i)
        broker_.AckAll(deliveries_, nowMs_, true);
    EXPECT_EQ(a.delivery->Pending(), 0u);
    auto sorted = Received(a);
    std::sort(sorted.begin(), sorted.end(), [](const std::string& x, const std::string& y) {
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    EXPECT_EQ(sorted, Expected("A1", 0, 12));
}

TEST_F(SpoolDeliveryTest, AFullBoundDropsTheOldestAndTheRestArrives)
{
    Meter& a = AddMeter("A1", SpoolDelivery::kWindow, 50);
    Steps(80);  // never connected
    EXPECT_EQ(a.spool->TakeDropped(), 30u);
    broker_.Return(deliveries_, nowMs_);
    broker_.AckAll(deliveries_, nowMs_);
    broker_.AckAll(deliveries_, nowMs_);
    broker_.AckAll(deliveries_, nowMs_);
    EXPECT_EQ(Received(a), Expected("A1", 30, 80));
}

TEST_F(SpoolDeliveryTest, ANewRunDeliversTheSpoolLeftBeforeItsOwnReadings)
{
    {
        Meter& a = AddMeter("A1");
        Steps(30);
        broker_.Return(deliveries_, nowMs_);
        Step(false);  // a window in flight when the run ends
        a.delivery->BeginDrain(nowMs_);
        broker_.Break(deliveries_, false);
        nowMs_ += SpoolDelivery::kDrainMs - 1;
        EXPECT_FALSE(a.delivery->Drained(nowMs_));
        nowMs_ += 1;
        EXPECT_TRUE(a.delivery->Drained(nowMs_));
        EXPECT_EQ(a.delivery->Pending(), 31u) << "kept for the next run";
        Restart();
    }
    Meter& again = AddMeter("A1");
    broker_.Return(deliveries_, nowMs_);
    again.taken = 31;
    Steps(10);
    broker_.AckAll(deliveries_, nowMs_);
    EXPECT_EQ(Received(again), Expected("A1", 0, 41));
}

TEST_F(SpoolDeliveryTest, AtACleanEndTheBrokerTakesWhatIsLeft)
{
    Meter& a = AddMeter("A1", 4);
    Steps(20);
    broker_.Return(deliveries_, nowMs_);
    a.delivery->BeginDrain(nowMs_);
    EXPECT_FALSE(a.delivery->Drained(nowMs_));
    for (int i = 0; i < 5; ++i) {
        nowMs_ += 100;
        broker_.AckAll(deliveries_, nowMs_);
    }
    EXPECT_TRUE(a.delivery->Drained(nowMs_));
    EXPECT_EQ(Received(a), Expected("A1", 0, 20));
}

TEST_F(SpoolDeliveryTest, ASendTheConnectionRefusesGoesAgainInOrder)
{
    Meter& a = AddMeter("A1", 4);
    broker_.Return(deliveries_, nowMs_);
    broker_.up = false;  // the link cannot take it but has not said it is lost
    Steps(6);
    broker_.up = true;
    nowMs_ += kStepMs;
    a.delivery->Tick(nowMs_);
    broker_.AckAll(deliveries_, nowMs_);
    broker_.AckAll(deliveries_, nowMs_);
    EXPECT_EQ(Received(a), Expected("A1", 0, 6));
}

}  // namespace
