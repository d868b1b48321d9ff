// The gateway's rules without a broker: a stand-in link records what would
// go out and answers as the test says, on a clock that moves only when told.
#include "MqttGateway.h"
#include "MqttUrl.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace tirevo;

namespace {

// The client id of every gateway here, and the availability topic made of it.
constexpr const char* kClientId = "tirevo-lab.1-QP000001";
constexpr const char* kGateway = "tirevo/gateway/tirevo-lab_1-QP000001/availability";

class StepClock final : public MeterClock {
public:
    int64_t NowMs() const override { return nowMs_; }
    void SleepMs(int64_t ms) override { nowMs_ += ms; }
    void Advance(int64_t ms) { nowMs_ += ms; }

private:
    int64_t nowMs_ = 0;
};

class FakeLink final : public MqttLink {
public:
    void SetEvents(MqttLinkEvents* events) override { events_ = events; }
    bool Connect(const MqttConnectSettings& settings) override
    {
        attempts.push_back(clock->NowMs());
        last = settings;
        connected = false;
        return true;
    }
    std::optional<int> Publish(const MqttMessage& message) override
    {
        if (!connected)
            return std::nullopt;
        sent.push_back(message);
        unacked.push_back(++mid);
        return mid;
    }
    void Subscribe(const std::string& topic) override { subscribed.insert(topic); }
    void Disconnect() override { connected = false; }

    void Accept()
    {
        connected = true;
        events_->LinkConnected();
    }
    void Drop()
    {
        connected = false;
        unacked.clear();
        events_->LinkLost("connection lost");
    }
    void AckAll()
    {
        for (int id : std::vector<int>(unacked))
            events_->LinkAcknowledged(id);
        unacked.clear();
    }
    std::vector<std::string> Payloads(const std::string& topic) const
    {
        std::vector<std::string> out;
        for (const MqttMessage& m : sent)
            if (m.topic == topic)
                out.push_back(m.payload);
        return out;
    }
    std::vector<std::string> Topics() const
    {
        std::vector<std::string> out;
        for (const MqttMessage& m : sent)
            out.push_back(m.topic);
        return out;
    }

    StepClock* clock = nullptr;
    MqttLinkEvents* events_ = nullptr;
    MqttConnectSettings last;
    std::vector<int64_t> attempts;
    std::vector<MqttMessage> sent;
    std::vector<int> unacked;
    std::set<std::string> subscribed;
    bool connected = false;
    int mid = 0;
};

class MqttGatewayTest : public ::testing::Test {
protected:
    MqttGatewayTest() { link.clock = &clock; }

    MqttGateway& Make(bool discovery = true, std::size_t capacity = ReadingQueue::kCapacity,
                      const std::string& spoolFolder = {})
    {
        MqttGatewaySetup setup;
        setup.connect.host = "broker";
        setup.connect.port = 1883;
        setup.connect.clientId = kClientId;
        setup.discovery = discovery;
        setup.appVersion = "1.2.3.4";
        setup.queueCapacity = capacity;
        setup.spoolFolder = spoolFolder;
        gateway.emplace(setup, link, clock, [this](const std::string& line) { said.push_back(line); });
        gateway->AddMeter({"QP000001", "QUVA USB pH Meter"});
        return *gateway;
    }

    StepClock clock;
    FakeLink link;
    std::optional<MqttGateway> gateway;
    std::vector<std::string> said;
};

// The readings with their time on `reading`, through each meter's spool.
class MqttGatewaySpoolTest : public MqttGatewayTest {
protected:
    // The spools close before their folder goes.
    ~MqttGatewaySpoolTest() override { gateway.reset(); }
    MqttGateway& MakeSpooled() { return Make(false, ReadingQueue::kCapacity, folder.path().toStdString()); }
    void Take(int n) { gateway->ReadingTaken("QP000001", 7.0, true, Json(n)); }
    static std::string Json(int n) { return "{\"n\":" + std::to_string(n) + "}"; }
    static std::vector<std::string> Jsons(int from, int to)
    {
        std::vector<std::string> out;
        for (int n = from; n < to; ++n)
            out.push_back(Json(n));
        return out;
    }
    bool Said(const std::string& text) const
    {
        return std::any_of(said.begin(), said.end(),
                           [&text](const std::string& line) { return line.find(text) != std::string::npos; });
    }

    QTemporaryDir folder;
    const std::string reading = "tirevo/QP000001/reading";
};

TEST_F(MqttGatewaySpoolTest, TheBacklogGoesOutOnReadingAtQosOneNotRetainedAndPhStaysRetained)
{
    MqttGateway& g = MakeSpooled();
    g.Start();
    for (int n = 1; n <= 3; ++n)
        Take(n);
    link.Accept();
    Take(4);
    EXPECT_EQ(link.Payloads(reading), Jsons(1, 5));
    for (const MqttMessage& m : link.sent) {
        if (m.topic == reading) {
            EXPECT_EQ(m.qos, 1);
            EXPECT_FALSE(m.retain);
        } else if (m.topic == "tirevo/QP000001/ph") {
            EXPECT_TRUE(m.retain);
        }
    }
    link.AckAll();
    g.End();
    link.AckAll();
    EXPECT_TRUE(g.Drained());
    g.Close();
    EXPECT_FALSE(Said("kept in the spool")) << said.back();
    EXPECT_FALSE(g.NothingDelivered());
}

// The backlog goes out on `reading` alone: the retained ph, the state a
// newcomer sees, is set by the newest reading only, never by a burst of old
// ones after an outage (and nothing of the backlog waits for it in memory).
TEST_F(MqttGatewaySpoolTest, AfterAnOutageThePhTopicGetsTheNewestReadingOnly)
{
    MqttGateway& g = MakeSpooled();
    const std::string ph = "tirevo/QP000001/ph";
    g.Start();
    for (int n = 1; n <= 3; ++n)
        g.ReadingTaken("QP000001", 7.0 + n / 100.0, true, Json(n));
    link.Accept();
    EXPECT_EQ(link.Payloads(reading), Jsons(1, 4));
    EXPECT_EQ(link.Payloads(ph), (std::vector<std::string>{"7.03"}));
    link.AckAll();
    // Live, each reading sets it; one in flight when the connection goes
    // is outdated by those taken meanwhile.
    g.ReadingTaken("QP000001", 7.04, true, Json(4));
    link.Drop();
    g.ReadingTaken("QP000001", 7.05, true, Json(5));
    g.ReadingTaken("QP000001", 7.06, true, Json(6));
    link.sent.clear();
    clock.Advance(ReconnectBackoff::kFirstMs);
    g.Tick();
    link.Accept();
    EXPECT_EQ(link.Payloads(ph), (std::vector<std::string>{"7.06"}));
    EXPECT_EQ(link.Payloads(reading), Jsons(4, 7));
    link.AckAll();
    g.End();
    link.AckAll();
    g.Close();
    EXPECT_FALSE(Said("dropped")) << said.back();
}

TEST_F(MqttGatewaySpoolTest, WhatTheBrokerDidNotAcknowledgeGoesAgainAndTheNextRunSendsItFirst)
{
    MqttGateway& g = MakeSpooled();
    g.Start();
    link.Accept();
    Take(1);
    link.AckAll();
    Take(2);
    Take(3);
    link.Drop();
    Take(4);
    g.End();
    // Nothing to wait for while the broker is away: the spool keeps it.
    EXPECT_TRUE(g.Drained());
    g.Close();
    EXPECT_TRUE(Said("3 readings of QP000001 kept in the spool for the next run"));
    EXPECT_FALSE(Said("could not be published"));

    said.clear();
    link.sent.clear();
    MqttGateway& next = MakeSpooled();
    EXPECT_TRUE(Said("3 readings of QP000001 left in the spool by an earlier run go out first"));
    next.Start();
    link.Accept();
    Take(5);
    EXPECT_EQ(link.Payloads(reading), Jsons(2, 6));
}

TEST_F(MqttGatewaySpoolTest, WithoutASpoolTheEndSaysWhatCouldNotBePublished)
{
    MqttGateway& g = Make(false);
    g.Start();
    Take(1);
    Take(2);
    g.End();
    g.Close();
    EXPECT_TRUE(Said("2 readings of QP000001 could not be published: the broker is away"));
    EXPECT_FALSE(Said("kept in the spool"));
}

TEST_F(MqttGatewaySpoolTest, ACleanEndWaitsTenSecondsAtMostForTheAcknowledgements)
{
    MqttGateway& g = MakeSpooled();
    g.Start();
    link.Accept();
    Take(1);
    Take(2);
    g.End();
    // The broker takes all but the readings on reading.
    for (int id : link.unacked)
        if (link.sent[static_cast<std::size_t>(id - 1)].topic != reading)
            link.events_->LinkAcknowledged(id);
    EXPECT_GE(g.DrainLimitMs(), SpoolDelivery::kDrainMs);
    EXPECT_FALSE(g.Drained());
    clock.Advance(SpoolDelivery::kDrainMs - 1);
    EXPECT_FALSE(g.Drained());
    clock.Advance(1);
    EXPECT_TRUE(g.Drained());
    g.Close();
    EXPECT_TRUE(Said("2 readings of QP000001 kept in the spool for the next run"));
}

TEST_F(MqttGatewaySpoolTest, AcknowledgementsOfTheSpoolAndOfTheStateTopicsFindTheirOwners)
{
    MqttGateway& g = Make(true, ReadingQueue::kCapacity, folder.path().toStdString());
    g.Start();
    link.Accept();
    g.MeterAvailable("QP000001", true);
    Take(1);
    // Acknowledged in the reverse order: each goes to whoever sent it.
    for (auto id = link.unacked.rbegin(); id != link.unacked.rend(); ++id)
        link.events_->LinkAcknowledged(*id);
    link.unacked.clear();
    g.End();
    link.AckAll();
    EXPECT_TRUE(g.Drained());
    g.Close();
    EXPECT_FALSE(Said("kept in the spool"));
}

TEST_F(MqttGatewaySpoolTest, ASpoolThatCannotBeMadeLeavesTheQueueInMemoryAndSaysSo)
{
    // A file where the folder should be.
    const std::string blocked = folder.filePath("blocked").toStdString();
    ASSERT_TRUE(QFile(QString::fromStdString(blocked)).open(QIODevice::WriteOnly));
    MqttGateway& g = Make(false, ReadingQueue::kCapacity, blocked);
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said.back().find("readings of QP000001 are kept in memory only"), std::string::npos)
        << said.back();
    g.Start();
    link.Accept();
    Take(1);
    EXPECT_TRUE(link.Payloads(reading).empty());
    EXPECT_EQ(link.Payloads("tirevo/QP000001/ph"), (std::vector<std::string>{"7.00"}));
    EXPECT_EQ(g.DrainLimitMs(), 3000);
}

// Each process has its own availability and last will, named after its
// client id: one that ends leaves the meters of the others available.
TEST_F(MqttGatewayTest, TheLastWillMarksThisGatewayOfflineRetained)
{
    Make().Start();
    EXPECT_EQ(link.last.will.topic, kGateway);
    EXPECT_EQ(link.last.will.payload, "offline");
    EXPECT_TRUE(link.last.will.retain);
    EXPECT_EQ(link.last.will.qos, 1);
}

TEST_F(MqttGatewayTest, OnConnectTheGatewayThenDiscoveryThenStateThenReadingsInOrder)
{
    MqttGateway& g = Make();
    g.Start();
    g.MeterAvailable("QP000001", true);
    g.ReadingTaken("QP000001", 7.0);
    g.ReadingTaken("QP000001", 7.016);
    link.Accept();
    const std::vector<std::string> expected = {
        kGateway,
        "homeassistant/sensor/tirevo_QP000001_ph/config",
        "homeassistant/binary_sensor/tirevo_QP000001_stable/config",
        "tirevo/QP000001/availability",
        "tirevo/QP000001/ph",
        "tirevo/QP000001/ph",
    };
    EXPECT_EQ(link.Topics(), expected);
    EXPECT_EQ(link.Payloads("tirevo/QP000001/ph"), (std::vector<std::string>{"7.00", "7.02"}));
    EXPECT_EQ(link.Payloads(kGateway), std::vector<std::string>{"online"});
    for (const MqttMessage& m : link.sent) {
        EXPECT_TRUE(m.retain) << m.topic;
        EXPECT_EQ(m.qos, 1) << m.topic;
    }
    EXPECT_TRUE(link.subscribed.count("homeassistant/status"));
}

TEST_F(MqttGatewayTest, TheDiscoveryJsonHasTheKeysHomeAssistantReads)
{
    Make().Start();
    link.Accept();
    const auto config = link.Payloads("homeassistant/sensor/tirevo_QP000001_ph/config");
    ASSERT_EQ(config.size(), 1u);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(config[0])).object();
    const QStringList keys = {
        "availability",       "availability_mode",     "device",      "device_class", "name",
        "payload_available",  "payload_not_available", "state_class", "state_topic",  "unique_id",
        "unit_of_measurement"};
    EXPECT_EQ(o.keys(), keys);
    EXPECT_EQ(o["unique_id"].toString(), "tirevo_QP000001_ph");
    EXPECT_EQ(o["state_topic"].toString(), "tirevo/QP000001/ph");
    EXPECT_EQ(o["unit_of_measurement"].toString(), "pH");
    EXPECT_EQ(o["device_class"].toString(), "ph");
    EXPECT_EQ(o["state_class"].toString(), "measurement");
    EXPECT_EQ(o["availability_mode"].toString(), "all");
    const QJsonArray availability = o["availability"].toArray();
    ASSERT_EQ(availability.size(), 2);
    EXPECT_EQ(availability[0].toObject()["topic"].toString(), kGateway);
    EXPECT_EQ(availability[1].toObject()["topic"].toString(), "tirevo/QP000001/availability");
    EXPECT_EQ(o["payload_available"].toString(), "online");
    EXPECT_EQ(o["payload_not_available"].toString(), "offline");
    const QJsonObject device = o["device"].toObject();
    EXPECT_EQ(device["identifiers"].toArray(), QJsonArray{"tirevo_QP000001"});
    EXPECT_EQ(device["name"].toString(), "pH meter QP000001");
    EXPECT_EQ(device["model"].toString(), "QUVA USB pH Meter");
    EXPECT_EQ(device["sw_version"].toString(), "1.2.3.4");

    const auto stable = link.Payloads("homeassistant/binary_sensor/tirevo_QP000001_stable/config");
    ASSERT_EQ(stable.size(), 1u);
    const QJsonObject s = QJsonDocument::fromJson(QByteArray::fromStdString(stable[0])).object();
    EXPECT_EQ(s["state_topic"].toString(), "tirevo/QP000001/stable");
    EXPECT_EQ(s["payload_on"].toString(), "true");
    EXPECT_EQ(s["payload_off"].toString(), "false");
    EXPECT_EQ(s["device"].toObject(), device);
}

// A run over every meter adds a meter when it is taken up, and again when
// it is taken up anew; it is announced once, and a new meter at once.
TEST_F(MqttGatewayTest, AMeterAddedWhileConnectedIsAnnouncedOnce)
{
    MqttGateway& g = Make();
    g.Start();
    link.Accept();
    const std::string second = "homeassistant/sensor/tirevo_QP000002_ph/config";
    g.AddMeter({"QP000002", "QUVA USB pH Meter"});
    EXPECT_EQ(link.Payloads(second).size(), 1u);
    g.AddMeter({"QP000002", "QUVA USB pH Meter"});
    g.AddMeter({"QP000001", "QUVA USB pH Meter"});
    EXPECT_EQ(link.Payloads(second).size(), 1u);
    EXPECT_EQ(link.Payloads("homeassistant/sensor/tirevo_QP000001_ph/config").size(), 1u);
}

TEST_F(MqttGatewayTest, NoDiscoveryUnlessAsked)
{
    Make(false).Start();
    link.Accept();
    for (const std::string& topic : link.Topics())
        EXPECT_EQ(topic.rfind("homeassistant/", 0), std::string::npos) << topic;
    EXPECT_TRUE(link.subscribed.empty());
}

TEST_F(MqttGatewayTest, HomeAssistantComingOnlineGetsTheDiscoveryAgain)
{
    Make().Start();
    link.Accept();
    link.events_->LinkMessage("homeassistant/status", "offline");
    link.events_->LinkMessage("homeassistant/status", "online");
    EXPECT_EQ(link.Payloads("homeassistant/sensor/tirevo_QP000001_ph/config").size(), 2u);
}

TEST_F(MqttGatewayTest, AttemptsBackOffFromOneSecondDoublingToSixtyAndResetOnConnect)
{
    MqttGateway& g = Make();
    g.Start();
    for (int i = 0; i < 9; ++i) {
        link.events_->LinkLost("refused");
        ASSERT_TRUE(g.NextDueMs());
        clock.Advance(*g.NextDueMs() - clock.NowMs() - 1);
        g.Tick();  // a millisecond early: nothing
        clock.Advance(1);
        g.Tick();
    }
    std::vector<int64_t> gaps;
    for (std::size_t i = 1; i < link.attempts.size(); ++i)
        gaps.push_back(link.attempts[i] - link.attempts[i - 1]);
    EXPECT_EQ(gaps, (std::vector<int64_t>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
    link.Accept();
    EXPECT_FALSE(g.NextDueMs());
    link.Drop();
    EXPECT_EQ(*g.NextDueMs() - clock.NowMs(), 1000);
    // Said once when the broker went away, not at every attempt.
    int away = 0;
    for (const std::string& line : said)
        away += line.find("is away") != std::string::npos;
    EXPECT_EQ(away, 2);
}

TEST_F(MqttGatewayTest, ReadingsNotAcknowledgedWhenTheLinkDropsGoAgainInOrder)
{
    MqttGateway& g = Make(false);
    g.Start();
    link.Accept();
    g.ReadingTaken("QP000001", 7.01);
    link.AckAll();
    g.ReadingTaken("QP000001", 7.02);
    g.ReadingTaken("QP000001", 7.03);
    link.Drop();
    g.ReadingTaken("QP000001", 7.04);
    link.sent.clear();
    clock.Advance(1000);
    g.Tick();
    link.Accept();
    EXPECT_EQ(link.Payloads("tirevo/QP000001/ph"), (std::vector<std::string>{"7.02", "7.03", "7.04"}));
}

TEST_F(MqttGatewayTest, AFullQueueDropsTheOldestAndSaysHowMany)
{
    MqttGateway& g = Make(false, 3);
    g.Start();
    for (double v : {7.01, 7.02, 7.03, 7.04, 7.05})
        g.ReadingTaken("QP000001", v);
    link.Accept();
    EXPECT_EQ(link.Payloads("tirevo/QP000001/ph"), (std::vector<std::string>{"7.03", "7.04", "7.05"}));
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said.back().find("2 readings of QP000001 were dropped"), std::string::npos) << said.back();
}

TEST_F(MqttGatewayTest, TheDefaultQueueHoldsTenThousandReadings)
{
    MqttGateway& g = Make(false);
    g.Start();
    for (int i = 0; i < 10001; ++i)
        g.ReadingTaken("QP000001", i / 100.0);
    link.Accept();
    const auto ph = link.Payloads("tirevo/QP000001/ph");
    ASSERT_EQ(ph.size(), 10000u);
    EXPECT_EQ(ph.front(), "0.01");
    EXPECT_NE(said.back().find("1 readings of QP000001 were dropped"), std::string::npos);
}

TEST_F(MqttGatewayTest, ALostMeterAndTheEndShowOffline)
{
    MqttGateway& g = Make(false);
    g.Start();
    g.MeterAvailable("QP000001", true);
    link.Accept();
    g.MeterAvailable("QP000001", false);
    g.MeterAvailable("QP000001", true);
    g.End();
    EXPECT_EQ(link.Payloads("tirevo/QP000001/availability"),
              (std::vector<std::string>{"online", "offline", "online", "offline"}));
    EXPECT_EQ(link.Payloads(kGateway), (std::vector<std::string>{"online", "offline"}));
    EXPECT_FALSE(g.Drained());
    link.AckAll();
    EXPECT_TRUE(g.Drained());
}

TEST_F(MqttGatewayTest, StabilityAndAlarmStatesArePublishedOnChangeAndAgainOnReconnect)
{
    MqttGateway& g = Make(false);
    g.Start();
    link.Accept();
    g.ReadingTaken("QP000001", 7.0, false);
    g.ReadingTaken("QP000001", 7.0, false);
    g.ReadingTaken("QP000001", 7.0, true);
    g.AlarmChanged("QP000001", "high");
    EXPECT_EQ(link.Payloads("tirevo/QP000001/stable"), (std::vector<std::string>{"false", "true"}));
    link.Drop();
    clock.Advance(1000);
    g.Tick();
    link.Accept();
    EXPECT_EQ(link.Payloads("tirevo/QP000001/stable"), (std::vector<std::string>{"false", "true", "true"}));
    EXPECT_EQ(link.Payloads("tirevo/QP000001/alarm"), (std::vector<std::string>{"high", "high"}));
}

TEST_F(MqttGatewayTest, TheFirstConnectionAfterFailedAttemptsIsNoReconnection)
{
    MqttGateway& g = Make(false);
    g.Start();
    link.events_->LinkLost("Connection refused");
    clock.Advance(1000);
    g.Tick();
    link.Accept();
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "connected to the broker at broker:1883");
    link.Drop();
    clock.Advance(1000);
    g.Tick();
    link.Accept();
    EXPECT_EQ(said.back(), "reconnected to the broker at broker:1883");
}

TEST_F(MqttGatewayTest, AnUntrustedCertificateEndsTheRunWithoutAnotherAttempt)
{
    MqttGateway& g = Make();
    g.Start();
    link.events_->LinkUntrusted("its certificate failed the check (hostname mismatch)");
    ASSERT_TRUE(g.Fatal());
    EXPECT_EQ(
        *g.Fatal(),
        "the broker at broker:1883 is not trusted: its certificate failed the check (hostname mismatch)");
    EXPECT_FALSE(g.NextDueMs());
    clock.Advance(60000);
    g.Tick();
    EXPECT_EQ(link.attempts.size(), 1u);
}

// Whether a run got any of its readings to the broker: a publish run that
// got none has failed.
struct DeliveryCase {
    const char* name;
    bool connects;
    int readings;
    bool acknowledged;
    bool nothing;
};

class MqttDeliveryTest : public MqttGatewayTest, public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(MqttDeliveryTest, NothingDeliveredOnlyWhenNoReadingReachedTheBroker)
{
    const DeliveryCase& c = GetParam();
    MqttGateway& g = Make(false);
    g.Start();
    if (c.connects)
        link.Accept();
    else
        link.events_->LinkLost("the name broker cannot be looked up");
    for (int i = 0; i < c.readings; ++i)
        g.ReadingTaken("QP000001", 7.0);
    if (c.acknowledged)
        link.AckAll();
    g.End();
    EXPECT_EQ(g.NothingDelivered().has_value(), c.nothing);
    if (c.nothing) {
        EXPECT_EQ(*g.NothingDelivered(), "no reading reached the broker at broker:1883");
    }
}

INSTANTIATE_TEST_SUITE_P(Deliveries, MqttDeliveryTest,
                         ::testing::Values(DeliveryCase{"NeverReached", false, 3, false, true},
                                           DeliveryCase{"NeverReachedNoReadings", false, 0, false, true},
                                           DeliveryCase{"NotAcknowledged", true, 3, false, true},
                                           DeliveryCase{"Acknowledged", true, 3, true, false},
                                           DeliveryCase{"ReachedNoReadings", true, 0, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Serial numbers a meter may hold but MQTT and Home Assistant cannot take:
// topic levels and ids carry their plain form, the device's name the
// serial itself, in UTF-8.
struct SerialCase {
    const char* name;
    std::string serial;
    std::string level;
    std::string shown;
};

class MqttSerialTest : public MqttGatewayTest, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(MqttSerialTest, TopicsAndIdsCarryThePlainFormTheNameTheSerial)
{
    const SerialCase& c = GetParam();
    MqttGateway& g = Make();
    g.AddMeter({c.serial, "QUVA USB pH Meter"});
    g.Start();
    link.Accept();
    g.MeterAvailable(c.serial, true);
    g.ReadingTaken(c.serial, 7.0, true);
    EXPECT_EQ(link.Payloads("tirevo/" + c.level + "/ph"), std::vector<std::string>{"7.00"});
    EXPECT_EQ(link.Payloads("tirevo/" + c.level + "/availability"),
              (std::vector<std::string>{"offline", "online"}));
    EXPECT_EQ(link.Payloads("tirevo/" + c.level + "/stable"), std::vector<std::string>{"true"});
    const auto config = link.Payloads("homeassistant/sensor/tirevo_" + c.level + "_ph/config");
    ASSERT_EQ(config.size(), 1u);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(config[0])).object();
    EXPECT_EQ(o["unique_id"].toString().toStdString(), "tirevo_" + c.level + "_ph");
    EXPECT_EQ(o["state_topic"].toString().toStdString(), "tirevo/" + c.level + "/ph");
    const QJsonObject device = o["device"].toObject();
    EXPECT_EQ(device["identifiers"].toArray(), QJsonArray{QString::fromStdString("tirevo_" + c.level)});
    EXPECT_EQ(device["name"].toString().toStdString(), "pH meter " + c.shown);
    EXPECT_EQ(link.Payloads("homeassistant/binary_sensor/tirevo_" + c.level + "_stable/config").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Serials, MqttSerialTest,
                         ::testing::Values(SerialCase{"Wildcards", "QP/1+#2 x", "QP_1__2_x", "QP/1+#2 x"},
                                           SerialCase{"Dot", "QP.0001", "QP_0001", "QP.0001"},
                                           SerialCase{"Latin1", "QP\xE9-01", "QP_-01", "QP\xC3\xA9-01"},
                                           SerialCase{"Plain", "QP_0001-a", "QP_0001-a", "QP_0001-a"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    MqttRefusal refusal;
    bool fatal;
};

class MqttRefusalTest : public MqttGatewayTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(MqttRefusalTest, ARefusedLoginEndsTheRunAnUnavailableBrokerIsTriedAgain)
{
    MqttGateway& g = Make();
    g.Start();
    link.events_->LinkRefused(GetParam().refusal);
    EXPECT_EQ(g.Fatal().has_value(), GetParam().fatal);
    EXPECT_EQ(g.NextDueMs().has_value(), !GetParam().fatal);
}

INSTANTIATE_TEST_SUITE_P(Refusals, MqttRefusalTest,
                         ::testing::Values(RefusalCase{MqttRefusal::BadLogin, true},
                                           RefusalCase{MqttRefusal::NotAuthorised, true},
                                           RefusalCase{MqttRefusal::ClientId, true},
                                           RefusalCase{MqttRefusal::Unavailable, false},
                                           RefusalCase{MqttRefusal::Protocol, false}));

struct UrlCase {
    std::string text;
    bool ok;
    bool tls;
    std::string host;
    uint16_t port;
};

class MqttUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(MqttUrlTest, Parses)
{
    const UrlCase& c = GetParam();
    const MqttUrlResult r = ParseMqttUrl(c.text);
    ASSERT_EQ(r.url.has_value(), c.ok) << r.error;
    if (!c.ok) {
        EXPECT_FALSE(r.error.empty());
        return;
    }
    EXPECT_EQ(r.url->tls, c.tls);
    EXPECT_EQ(r.url->host, c.host);
    EXPECT_EQ(r.url->port, c.port);
}

INSTANTIATE_TEST_SUITE_P(Urls, MqttUrlTest,
                         ::testing::Values(UrlCase{"mqtt://broker", true, false, "broker", 1883},
                                           UrlCase{"mqtts://broker", true, true, "broker", 8883},
                                           UrlCase{"mqtt://10.0.0.5:1884", true, false, "10.0.0.5", 1884},
                                           UrlCase{"mqtts://broker.lan:443/", true, true, "broker.lan", 443},
                                           UrlCase{"mqtt://[::1]:1885", true, false, "::1", 1885},
                                           UrlCase{"mqtt://[fe80::1]", true, false, "fe80::1", 1883},
                                           UrlCase{"http://broker", false, false, "", 0},
                                           UrlCase{"broker:1883", false, false, "", 0},
                                           UrlCase{"mqtt://", false, false, "", 0},
                                           UrlCase{"mqtt://broker:", false, false, "", 0},
                                           UrlCase{"mqtt://broker:0", false, false, "", 0},
                                           UrlCase{"mqtt://broker:65536", false, false, "", 0},
                                           UrlCase{"mqtt://broker:18x3", false, false, "", 0},
                                           UrlCase{"mqtt://user@broker", false, false, "", 0},
                                           UrlCase{"mqtt://broker/topic", false, false, "", 0},
                                           UrlCase{"mqtt://::1", false, false, "", 0}));

TEST(MqttTopicsTest, PrefixesThatCannotStandBeforeASerialAreRefused)
{
    EXPECT_TRUE(ValidTopicPrefix("tirevo"));
    EXPECT_TRUE(ValidTopicPrefix("lab/bench2"));
    for (const char* bad : {"", "/tirevo", "tirevo/", "lab/+", "lab/#"})
        EXPECT_FALSE(ValidTopicPrefix(bad)) << bad;
}

TEST(MqttTopicsTest, ThePayloadHasAPointAndTwoDecimalsInAnyLocale)
{
    EXPECT_EQ(PhPayload(7.0), "7.00");
    EXPECT_EQ(PhPayload(6.987), "6.99");
    EXPECT_EQ(PhPayload(-0.5), "-0.50");
}

}  // namespace
