// tirevo-cli against a real broker: Debian's mosquitto, started by the test
// on 127.0.0.1 with a free port and a configuration of its own, and
// mosquitto_sub as the subscriber. The program runs on the simulated meter.
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <thread>

using namespace clitest;

namespace {

constexpr const char* kMosquitto = "/usr/sbin/mosquitto";
constexpr const char* kSub = "/usr/bin/mosquitto_sub";
constexpr const char* kPub = "/usr/bin/mosquitto_pub";
constexpr const char* kSerial = "QP000001";
// The client id the tests give, and the availability topic named after it.
constexpr const char* kClientId = "lab-1";
constexpr const char* kGateway = "tirevo/gateway/lab-1/availability";

int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

CliProcess::Setup Program(const std::string& program, std::vector<std::string> args)
{
    CliProcess::Setup setup;
    setup.program = program;
    setup.args = std::move(args);
    return setup;
}

// One broker process with its own configuration in the test's folder.
class Broker {
public:
    Broker(const TempDir& dir, std::string extra, int port = FreePort())
        : dir_(dir), extra_(std::move(extra)), port_(port)
    {
        Start();
    }
    ~Broker() { Stop(); }

    void Start()
    {
        WriteFile(dir_ / "mosquitto.conf",
                  "listener " + std::to_string(port_) +
                      " 127.0.0.1\n"
                      "log_dest stderr\n"
                      "log_type all\n" +
                      // Started as root it would read the test's
                      // files as the mosquitto user.
                      std::string(::geteuid() == 0 ? "user root\n" : "") + extra_);
        process_ =
            std::make_unique<CliProcess>(Program(kMosquitto, {"-c", (dir_ / "mosquitto.conf").string()}));
        ASSERT_TRUE(process_->WaitForError(" running")) << process_->Err();
    }
    void Stop()
    {
        if (!process_)
            return;
        process_->Signal(SIGTERM);
        process_->Wait();
        process_.reset();
    }
    int Port() const { return port_; }
    std::string Url(const std::string& scheme = "mqtt") const
    {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }

private:
    const TempDir& dir_;
    std::string extra_;
    int port_;
    std::unique_ptr<CliProcess> process_;
};

struct Message {
    bool retained = false;
    std::string topic;
    std::string payload;
};

std::vector<Message> Messages(const std::string& out)
{
    std::vector<Message> messages;
    for (const std::string& line : Lines(out)) {
        const std::size_t first = line.find('|');
        const std::size_t second = line.find('|', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        messages.push_back({line.substr(0, first) == "1", line.substr(first + 1, second - first - 1),
                            line.substr(second + 1)});
    }
    return messages;
}

std::vector<std::string> Payloads(const std::vector<Message>& messages, const std::string& topic)
{
    std::vector<std::string> out;
    for (const Message& m : messages)
        if (m.topic == topic)
            out.push_back(m.payload);
    return out;
}

// A subscriber to everything, ready once it has seen a marker published
// before it started: from then on it misses nothing.
std::unique_ptr<CliProcess> Subscribe(const Broker& broker, std::vector<std::string> extra = {})
{
    const std::string port = std::to_string(broker.Port());
    const Finished marker = RunCli(
        Program(kPub, {"-h", "127.0.0.1", "-p", port, "-r", "-q", "1", "-t", "test/ready", "-m", "1"}));
    EXPECT_EQ(marker.exitCode, 0) << marker.err;
    std::vector<std::string> args = {"-h", "127.0.0.1", "-p", port, "-t", "#", "-q", "1", "-F", "%r|%t|%p"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto sub = std::make_unique<CliProcess>(Program(kSub, args));
    EXPECT_TRUE(sub->WaitForOutput("|test/ready|1")) << sub->Err();
    return sub;
}

// What the broker keeps for a newcomer, with its retained flags.
std::vector<Message> Retained(const Broker& broker, const std::string& lastTopic)
{
    CliProcess sub(Program(kSub,
                           {"-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-t", "#", "-F",
                            "%r|%t|%p", "--retained-only"}));
    EXPECT_TRUE(sub.WaitForOutput("|" + lastTopic + "|")) << sub.Err();
    return Messages(sub.Out());
}

// The payload the broker keeps for one topic, whatever the order it keeps
// the others in.
std::string RetainedPayload(const Broker& broker, const std::string& topic)
{
    const Finished got = RunCli(Program(
        kSub,
        {"-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-t", topic, "--retained-only", "-C", "1"}));
    const std::vector<std::string> lines = Lines(got.out);
    return lines.empty() ? std::string() : lines.front();
}

std::optional<Message> Find(const std::vector<Message>& messages, const std::string& topic)
{
    std::optional<Message> found;
    for (const Message& m : messages)
        if (m.topic == topic)
            found = m;
    return found;
}

// The readings of a log file, as published: with a "." whatever the locale.
std::vector<std::string> LogReadings(const fs::path& folder)
{
    std::vector<std::string> readings;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("USB_PH_", 0) != 0)
            continue;
        bool rows = false;
        for (std::string line : Lines(ReadFile(entry.path()))) {
            if (rows && !line.empty()) {
                std::string value = line.substr(line.rfind('\t') + 1);
                std::replace(value.begin(), value.end(), ',', '.');
                readings.push_back(value);
            }
            rows = rows || line.rfind("DATE", 0) == 0;
        }
    }
    return readings;
}

bool InOrderWithin(const std::vector<std::string>& wanted, const std::vector<std::string>& got)
{
    std::size_t at = 0;
    for (const std::string& value : got)
        if (at < wanted.size() && value == wanted[at])
            ++at;
    return at == wanted.size();
}

// The payloads on one topic in arrival order, each a reading's JSON object.
std::vector<QJsonObject> Objects(const std::vector<std::string>& payloads)
{
    std::vector<QJsonObject> objects;
    for (const std::string& payload : payloads)
        objects.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object());
    return objects;
}

// The ph member as the payload writes it ("7.02"), to compare with a log row.
std::vector<std::string> PhTexts(const std::vector<std::string>& payloads)
{
    std::vector<std::string> out;
    for (const std::string& payload : payloads) {
        const std::size_t at = payload.find("\"ph\":");
        const std::size_t from = at == std::string::npos ? payload.size() : at + 5;
        out.push_back(payload.substr(from, payload.find(',', from) - from));
    }
    return out;
}

class MqttBrokerTest : public ::testing::Test {
protected:
    // Each test runs a copy of its own, with the MQTT module beside it: the
    // spool it keeps beside its records is the test's alone.
    MqttBrokerTest()
    {
        fs::create_directories(dir / "bin");
        fs::copy_file(TIREVO_CLI_PROGRAM, program);
        fs::copy_file(TIREVO_MQTT_MODULE, dir / "bin" / fs::path(TIREVO_MQTT_MODULE).filename());
    }

    CliProcess::Setup Cli(std::vector<std::string> args) const
    {
        CliProcess::Setup setup;
        setup.program = program.string();
        setup.args = std::move(args);
        setup.cwd = dir.Path();
        return setup;
    }

    // Where a log file's rows are, once the run has written that many.
    std::size_t RowsLogged() const { return LogReadings(dir.Path()).size(); }

    TempDir dir;
    const fs::path program = dir / "bin" / "tirevo-cli";
    const std::string ph = std::string("tirevo/") + kSerial + "/ph";
    const std::string meterAvailability = std::string("tirevo/") + kSerial + "/availability";
    const std::string sensorConfig = std::string("homeassistant/sensor/tirevo_") + kSerial + "_ph/config";
    const std::string stableConfig =
        std::string("homeassistant/binary_sensor/tirevo_") + kSerial + "_stable/config";
    const std::string reading = std::string("tirevo/") + kSerial + "/reading";
};

TEST_F(MqttBrokerTest, EveryReadingArrivesOnceInOrderOnReadingWithItsTime)
{
    Broker broker(dir, "allow_anonymous true\npersistence false\n");
    auto sub = Subscribe(broker);
    const Finished done = RunCli(Cli({"log", "--mqtt", broker.Url(), "--client-id", kClientId, "--count", "8",
                                      "--interval", "100", "--dir", dir.Path().string()}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    ASSERT_TRUE(sub->WaitForOutput(std::string("|") + kGateway + "|offline")) << sub->Out();
    EXPECT_EQ(done.err.find("kept in the spool"), std::string::npos) << done.err;

    const std::vector<Message> live = Messages(sub->Out());
    const std::vector<std::string> payloads = Payloads(live, reading);
    EXPECT_EQ(PhTexts(payloads), LogReadings(dir.Path()));
    QString last;
    for (const QJsonObject& object : Objects(payloads)) {
        EXPECT_EQ(object.keys(), (QStringList{"ph", "serial", "stable", "time"}));
        EXPECT_EQ(object["serial"].toString(), kSerial);
        EXPECT_TRUE(object["stable"].isBool());
        const QString time = object["time"].toString();
        EXPECT_TRUE(QDateTime::fromString(time, Qt::ISODateWithMs).isValid()) << time.toStdString();
        EXPECT_GT(time, last);
        last = time;
    }
    for (const Message& m : live) {
        if (m.topic == reading) {
            EXPECT_FALSE(m.retained);
        }
    }
    EXPECT_FALSE(Find(Retained(broker, kGateway), reading));
}

// A subscriber with a session the broker keeps: it receives what was
// published while it was away, as a consumer in a database would.
class MqttSpoolOutageTest : public MqttBrokerTest {
protected:
    MqttSpoolOutageTest()
        : broker(dir,
                 "allow_anonymous true\npersistence true\npersistence_location " + dir.Path().string() +
                     "/\n")
    {
        sub = Subscribe(broker, {"-c", "-i", "tirevo-test-subscriber"});
    }

    std::vector<std::string> RowsOf(const fs::path& folder) const { return LogReadings(folder); }
    // The log file is the run's only sign of a reading while the broker is
    // away: polled, within the safety net.
    bool WaitForRows(const fs::path& folder, std::size_t count) const
    {
        const auto until = std::chrono::steady_clock::now() + kSafetyNet;
        while (RowsOf(folder).size() < count && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return RowsOf(folder).size() >= count;
    }
    // A run that logs into a folder of its own and publishes, no count.
    CliProcess::Setup LogRun(const fs::path& folder, std::vector<std::string> more = {}) const
    {
        fs::create_directories(folder);
        std::vector<std::string> args = {"log",        "--mqtt", broker.Url(), "--client-id",  kClientId,
                                         "--interval", "250",    "--dir",      folder.string()};
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    }

    Broker broker;
    std::unique_ptr<CliProcess> sub;
};

TEST_F(MqttSpoolOutageTest, TheBacklogOfAnOutageArrivesFirstInOrderOnceWithItsTimes)
{
    broker.Stop();
    CliProcess child(LogRun(dir / "run"));
    ASSERT_TRUE(child.WaitForError("is away")) << child.Err();
    // Some five seconds of readings the broker never sees.
    ASSERT_TRUE(WaitForRows(dir / "run", 20)) << child.Err();
    broker.Start();
    ASSERT_TRUE(child.WaitForError("connected to")) << child.Err();
    const std::size_t atReconnect = RowsOf(dir / "run").size();
    ASSERT_TRUE(sub->WaitForOutput("|" + reading + "|", static_cast<int>(atReconnect) + 2)) << child.Err();
    child.Signal(SIGINT);
    const Finished done = child.Wait();
    ASSERT_EQ(done.exitCode, 0) << done.err;
    ASSERT_TRUE(sub->WaitForOutput("|" + meterAvailability + "|offline")) << sub->Out();
    EXPECT_EQ(done.err.find("kept in the spool"), std::string::npos) << done.err;

    const std::vector<std::string> payloads = Payloads(Messages(sub->Out()), reading);
    EXPECT_EQ(PhTexts(payloads), RowsOf(dir / "run"));
    QString last;
    for (const QJsonObject& object : Objects(payloads)) {
        EXPECT_GT(object["time"].toString(), last);
        last = object["time"].toString();
    }
}

TEST_F(MqttSpoolOutageTest, AKilledRunsReadingsArriveWithTheNextRun)
{
    broker.Stop();
    CliProcess first(LogRun(dir / "first"));
    ASSERT_TRUE(first.WaitForError("is away")) << first.Err();
    ASSERT_TRUE(WaitForRows(dir / "first", 6)) << first.Err();
    first.Signal(SIGKILL);
    EXPECT_EQ(first.Wait().signal, SIGKILL);
    std::vector<std::string> firstRows = RowsOf(dir / "first");
    broker.Start();

    const Finished second = RunCli(LogRun(dir / "second", {"--count", "3"}));
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.err.find("readings of QP000001 left in the spool by an earlier run go out first"),
              std::string::npos)
        << second.err;
    ASSERT_TRUE(sub->WaitForOutput("|" + meterAvailability + "|offline")) << sub->Out();

    const std::vector<std::string> got = PhTexts(Payloads(Messages(sub->Out()), reading));
    std::vector<std::string> wanted = firstRows;
    const std::vector<std::string> secondRows = RowsOf(dir / "second");
    ASSERT_EQ(secondRows.size(), 3u);
    wanted.insert(wanted.end(), secondRows.begin(), secondRows.end());
    // A kill between the row and the spool loses the row's reading alone.
    std::vector<std::string> lessTheLast = wanted;
    lessTheLast.erase(lessTheLast.begin() + static_cast<std::ptrdiff_t>(firstRows.size()) - 1);
    EXPECT_TRUE(got == wanted || got == lessTheLast) << sub->Out();
}

TEST_F(MqttBrokerTest, LogPublishesEveryRowInOrderAndEndsOfflineWithDiscoveryRetained)
{
    Broker broker(dir, "allow_anonymous true\npersistence false\n");
    auto sub = Subscribe(broker);
    const Finished done =
        RunCli(Cli({"log", "--mqtt", broker.Url(), "--client-id", kClientId, "--ha-discovery", "--count", "8",
                    "--interval", "100", "--dir", dir.Path().string()}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    ASSERT_TRUE(sub->WaitForOutput(std::string("|") + kGateway + "|offline")) << sub->Out();

    const std::vector<Message> live = Messages(sub->Out());
    const std::vector<std::string> rows = LogReadings(dir.Path());
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(PhTexts(Payloads(live, reading)), rows);
    // The state: readings of the log in their order (every one, unless one
    // came before the broker's first answer), the newest kept.
    EXPECT_TRUE(InOrderWithin(Payloads(live, ph), rows));
    EXPECT_EQ(Payloads(live, kGateway), (std::vector<std::string>{"online", "offline"}));
    EXPECT_EQ(Payloads(live, meterAvailability), (std::vector<std::string>{"online", "offline"}));

    const std::vector<Message> kept = Retained(broker, stableConfig);
    for (const std::string& topic :
         {sensorConfig, stableConfig, ph, meterAvailability, std::string(kGateway)}) {
        const std::optional<Message> m = Find(kept, topic);
        ASSERT_TRUE(m) << topic;
        EXPECT_TRUE(m->retained) << topic;
    }
    EXPECT_EQ(Find(kept, kGateway)->payload, "offline");
    EXPECT_EQ(Find(kept, meterAvailability)->payload, "offline");
    EXPECT_EQ(Find(kept, ph)->payload, rows.back());
    const QJsonObject config =
        QJsonDocument::fromJson(QByteArray::fromStdString(Find(kept, sensorConfig)->payload)).object();
    EXPECT_EQ(config["unique_id"].toString().toStdString(), std::string("tirevo_") + kSerial + "_ph");
    EXPECT_EQ(config["state_topic"].toString().toStdString(), ph);
    EXPECT_EQ(config["device_class"].toString(), "ph");
    EXPECT_EQ(config["unit_of_measurement"].toString(), "pH");
    EXPECT_EQ(config["device"].toObject()["model"].toString(), "QUVA USB pH Meter");
}

TEST_F(MqttBrokerTest, AKilledGatewayIsMarkedOfflineByItsLastWill)
{
    Broker broker(dir, "allow_anonymous true\npersistence false\n");
    auto sub = Subscribe(broker);
    CliProcess child(Cli({"publish", broker.Url(), "--client-id", kClientId, "--interval", "100"}));
    ASSERT_TRUE(sub->WaitForOutput("|" + ph + "|", 2)) << sub->Out() << child.Err();
    child.Signal(SIGKILL);
    EXPECT_EQ(child.Wait().signal, SIGKILL);
    ASSERT_TRUE(sub->WaitForOutput(std::string("|") + kGateway + "|offline")) << sub->Out();
    EXPECT_EQ(Find(Retained(broker, kGateway), kGateway)->payload, "offline");
}

TEST_F(MqttBrokerTest, AfterABrokerRestartOnlineAndDiscoveryComeAgainAndQueuedReadingsInOrder)
{
    // The subscriber keeps its session across the restart, so it receives
    // what was published while it was reconnecting.
    const std::string persistence =
        "allow_anonymous true\npersistence true\npersistence_location " + dir.Path().string() + "/\n";
    Broker broker(dir, persistence);
    auto sub = Subscribe(broker, {"-c", "-i", "tirevo-test-subscriber"});
    // No count: the run lasts until the reconnection is seen, however long
    // the attempts take on a busy machine.
    CliProcess child(Cli({"log", "--mqtt", broker.Url(), "--client-id", kClientId, "--ha-discovery",
                          "--interval", "200", "--dir", dir.Path().string()}));
    ASSERT_TRUE(sub->WaitForOutput("|" + ph + "|", 3)) << sub->Out() << child.Err();
    broker.Stop();
    ASSERT_TRUE(child.WaitForError("is away")) << child.Err();
    // Readings go on into the log file and the queue meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::size_t before = sub->Out().size();
    broker.Start();
    ASSERT_TRUE(child.WaitForError("reconnected")) << child.Err();
    child.Signal(SIGINT);
    const Finished done = child.Wait();
    ASSERT_EQ(done.exitCode, 0) << done.err;
    // The gateway's offline may have come already, as the broker's last
    // will at its shutdown: the meter's own offline ends the run.
    ASSERT_TRUE(sub->WaitForOutput("|" + meterAvailability + "|offline")) << sub->Out();

    const std::vector<Message> after = Messages(sub->Out().substr(before));
    EXPECT_FALSE(Payloads(after, sensorConfig).empty());
    EXPECT_FALSE(Payloads(after, stableConfig).empty());
    const std::vector<std::string> gateway = Payloads(after, kGateway);
    // Whatever the broker said for it at its shutdown, the gateway is back.
    EXPECT_NE(std::find(gateway.begin(), gateway.end(), "online"), gateway.end());
    const std::vector<std::string> rows = LogReadings(dir.Path());
    ASSERT_GE(rows.size(), 3u);
    const std::vector<std::string> got = PhTexts(Payloads(Messages(sub->Out()), reading));
    EXPECT_TRUE(InOrderWithin(rows, got)) << "rows and published readings differ";
    // Resent at most what the broker had not acknowledged when it stopped.
    EXPECT_LE(got.size(), rows.size() + 20);
    // The retained state comes from readings of the log, in their order,
    // but the outage's backlog does not replay through it.
    const std::vector<std::string> states = Payloads(Messages(sub->Out()), ph);
    EXPECT_TRUE(InOrderWithin(states, rows)) << "states that are no readings of the log";
}

TEST_F(MqttBrokerTest, TlsWithACertificateMadeForTheTest)
{
    const std::string make = "cd '" + dir.Path().string() +
        "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key -out "
        "ca.crt"
        " -days 2 -subj '/CN=tirevo test CA' 2>/dev/null"
        " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout server.key"
        " -out server.csr -subj '/CN=127.0.0.1' 2>/dev/null"
        " && printf 'subjectAltName=IP:127.0.0.1\\n' > ext"
        " && openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days "
        "2"
        " -extfile ext 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::string d = dir.Path().string() + "/";
    // One plain listener for the test's subscriber, and the TLS one.
    const int tlsPort = FreePort();
    Broker broker(dir,
                  "allow_anonymous true\npersistence false\nlistener " + std::to_string(tlsPort) +
                      " 127.0.0.1\ncafile " + d + "ca.crt\ncertfile " + d + "server.crt\nkeyfile " + d +
                      "server.key\n");
    auto sub = Subscribe(broker);
    const std::string url = "mqtts://127.0.0.1:" + std::to_string(tlsPort);
    const Finished done = RunCli(Cli({"publish", url, "--cafile", d + "ca.crt", "--client-id", kClientId,
                                      "--count", "3", "--interval", "100"}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    ASSERT_TRUE(sub->WaitForOutput(std::string("|") + kGateway + "|offline")) << sub->Out();
    EXPECT_EQ(Payloads(Messages(sub->Out()), reading).size(), 3u);

    // A certificate the CA did not sign, or made for another name, is never
    // trusted and will not be by trying again: the run ends at once (it has
    // no count), exit 3, and says why.
    ASSERT_EQ(std::system(("cd '" + d +
                           "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
                           " -keyout other.key -out other.crt -days 2 -subj '/CN=other' 2>/dev/null")
                              .c_str()),
              0);
    const std::vector<std::pair<std::vector<std::string>, std::string>> untrustedCases = {
        {{"publish", url, "--cafile", d + "other.crt"}, "self-signed certificate in certificate chain"},
        {{"publish", "mqtts://localhost:" + std::to_string(tlsPort), "--cafile", d + "ca.crt"},
         "it is not made for the name localhost"},
        {{"log", "--mqtt", url, "--cafile", d + "other.crt", "--dir", d}, "self-signed certificate"}};
    for (const auto& [args, reason] : untrustedCases) {
        std::vector<std::string> all = args;
        all.insert(all.end(), {"--interval", "100"});
        const Finished untrusted = RunCli(Cli(all));
        EXPECT_EQ(untrusted.exitCode, 3) << untrusted.err;
        EXPECT_NE(untrusted.err.find("is not trusted: its certificate failed the check"), std::string::npos)
            << untrusted.err;
        EXPECT_NE(untrusted.err.find(reason), std::string::npos) << untrusted.err;
        EXPECT_EQ(untrusted.err.find("is away"), std::string::npos) << untrusted.err;
    }
}

TEST_F(MqttBrokerTest, AWrongPasswordEndsTheRunWithExitThree)
{
    ASSERT_EQ(
        std::system(("mosquitto_passwd -b -c '" + (dir / "passwords").string() + "' lab s3cret").c_str()), 0);
    Broker broker(dir,
                  "allow_anonymous false\npersistence false\npassword_file " + (dir / "passwords").string() +
                      "\n");
    WriteFile(dir / "good", "s3cret\n");
    WriteFile(dir / "bad", "guess\n");
    const Finished right = RunCli(Cli({"publish", broker.Url(), "--username", "lab", "--password-file",
                                       (dir / "good").string(), "--count", "2", "--interval", "100"}));
    EXPECT_EQ(right.exitCode, 0) << right.err;
    EXPECT_NE(right.err.find("connected to the broker"), std::string::npos) << right.err;

    const Finished wrong = RunCli(Cli({"publish", broker.Url(), "--username", "lab", "--password-file",
                                       (dir / "bad").string(), "--interval", "100"}));
    EXPECT_EQ(wrong.exitCode, 3) << wrong.err;
    EXPECT_NE(wrong.err.find("refused the login"), std::string::npos) << wrong.err;
}

// publish --all: both meters through one connection, each with its own
// readings, discovery and availability, and the alarm topic from the alarm
// rule: the second meter reads above the high limit.
TEST_F(MqttBrokerTest, PublishAllServesEveryMeterWithItsAlarmTopic)
{
    Broker broker(dir, "allow_anonymous true\npersistence false\n");
    auto sub = Subscribe(broker);
    CliProcess::Setup setup =
        Cli({"publish", broker.Url(), "--all", "--client-id", kClientId, "--ha-discovery", "--count", "4",
             "--interval", "100", "--high", "7.5", "--alarm-delay", "0"});
    setup.env = {{"TIREVO_SIM_METERS", "2"}, {"TIREVO_SIM_METER_READINGS", "7.01,8.02"}};
    const Finished done = RunCli(setup);
    ASSERT_EQ(done.exitCode, 0) << done.err;
    ASSERT_TRUE(sub->WaitForOutput(std::string("|") + kGateway + "|offline")) << sub->Out();
    EXPECT_NE(done.err.find("ALARM high"), std::string::npos) << done.err;

    const std::vector<Message> live = Messages(sub->Out());
    EXPECT_EQ(Payloads(live, kGateway), (std::vector<std::string>{"online", "offline"}));
    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"QP000001", {"7.01", "none"}}, {"QP000002", {"8.02", "high"}}};
    for (const auto& [serial, values] : expected) {
        const std::string prefix = "tirevo/" + serial + "/";
        EXPECT_EQ(PhTexts(Payloads(live, prefix + "reading")), std::vector<std::string>(4, values.first))
            << serial;
        const std::vector<std::string> states = Payloads(live, prefix + "ph");
        ASSERT_FALSE(states.empty()) << serial;
        EXPECT_EQ(states, std::vector<std::string>(states.size(), values.first)) << serial;
        EXPECT_EQ(Payloads(live, prefix + "availability"), (std::vector<std::string>{"online", "offline"}))
            << serial;
        const std::vector<std::string> alarms = Payloads(live, prefix + "alarm");
        ASSERT_FALSE(alarms.empty()) << serial;
        EXPECT_EQ(alarms.back(), values.second) << serial;
    }
    const std::string lastConfig = "homeassistant/binary_sensor/tirevo_QP000002_stable/config";
    const std::vector<Message> kept = Retained(broker, lastConfig);
    for (const auto& [serial, values] : expected) {
        for (const std::string& topic : {"homeassistant/sensor/tirevo_" + serial + "_ph/config",
                                         "tirevo/" + serial + "/alarm", "tirevo/" + serial + "/ph"}) {
            const std::optional<Message> m = Find(kept, topic);
            ASSERT_TRUE(m) << topic;
            EXPECT_TRUE(m->retained) << topic;
        }
        EXPECT_EQ(Find(kept, "tirevo/" + serial + "/alarm")->payload, values.second);
    }
}

// A broker whose name takes long to look up (a name server that does not
// answer) holds up no poll of the meter: the lookup happens beside the loop.
TEST_F(MqttBrokerTest, ALookupThatHangsHoldsUpNoRowOfTheLog)
{
    CliProcess::Setup setup = Cli({"log", "--mqtt", "mqtt://broker.example", "--interval", "500", "--count",
                                   "4", "--dir", dir.Path().string()});
    setup.env = {{"LD_PRELOAD", TIREVO_SLOW_LOOKUP},
                 {"TIREVO_TEST_LOOKUP_HOLD", (dir / "release").string()},
                 {"TIREVO_TEST_LOOKUP_LOG", (dir / "lookups").string()}};
    CliProcess child(setup);
    // All four rows are written while the first lookup still hangs.
    const auto until = std::chrono::steady_clock::now() + kSafetyNet;
    while (RowsLogged() < 4 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(RowsLogged(), 4u);
    EXPECT_EQ(Lines(ReadFile(dir / "lookups")).size(), 1u);
    // The run waits for the lookup to end before it ends itself.
    WriteFile(dir / "release", "");
    const Finished done = child.Wait();
    // The log was written: the broker's failure is said, not the exit
    // status; the readings wait in the spool for the next run.
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.err.find("4 readings of QP000001 kept in the spool for the next run"), std::string::npos)
        << done.err;
}

TEST_F(MqttBrokerTest, LookupsOfThreeSecondsThatFailEveryTimeLeaveTheMeterResponding)
{
    CliProcess::Setup setup = Cli({"log", "--mqtt", "mqtt://broker.example", "--interval", "500", "--count",
                                   "12", "--dir", dir.Path().string()});
    setup.env = {{"LD_PRELOAD", TIREVO_SLOW_LOOKUP},
                 {"TIREVO_TEST_LOOKUP_MS", "3000"},
                 {"TIREVO_TEST_LOOKUP_LOG", (dir / "lookups").string()}};
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(RowsLogged(), 12u);
    EXPECT_FALSE(Lines(ReadFile(dir / "lookups")).empty());
    EXPECT_EQ(done.err.find("not responding"), std::string::npos) << done.err;
    EXPECT_EQ(done.err.find("connected to the broker"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("is away (the name broker.example cannot be looked up)"), std::string::npos)
        << done.err;
}

// The service runs a process per meter on one broker: each has its own
// availability, so one that ends (here killed: its last will) leaves the
// other's meter available. The default client ids differ by serial number.
TEST_F(MqttBrokerTest, TwoProcessesOnOneBrokerKeepTheirOwnAvailability)
{
    Broker broker(dir, "allow_anonymous true\npersistence false\n");
    auto sub = Subscribe(broker);
    std::map<std::string, std::unique_ptr<CliProcess>> children;
    for (const std::string serial : {"QP000001", "QP000002"}) {
        CliProcess::Setup setup =
            Cli({"publish", broker.Url(), "--serial", serial, "--ha-discovery", "--interval", "100"});
        setup.env = {{"TIREVO_SIM_METERS", "2"}};
        children[serial] = std::make_unique<CliProcess>(setup);
        ASSERT_TRUE(sub->WaitForOutput("|tirevo/" + serial + "/ph|", 2)) << sub->Out();
    }
    // Each meter's discovery names its own process's topic first.
    std::map<std::string, std::string> gatewayOf;
    for (const std::string serial : {"QP000001", "QP000002"}) {
        const std::string config = "homeassistant/sensor/tirevo_" + serial + "_ph/config";
        const std::optional<Message> m = Find(Messages(sub->Out()), config);
        ASSERT_TRUE(m) << config;
        const QJsonArray availability =
            QJsonDocument::fromJson(QByteArray::fromStdString(m->payload)).object()["availability"].toArray();
        ASSERT_EQ(availability.size(), 2);
        gatewayOf[serial] = availability[0].toObject()["topic"].toString().toStdString();
        EXPECT_EQ(availability[1].toObject()["topic"].toString().toStdString(),
                  "tirevo/" + serial + "/availability");
        EXPECT_EQ(gatewayOf[serial].rfind("tirevo/gateway/tirevo-", 0), 0u) << gatewayOf[serial];
        EXPECT_NE(gatewayOf[serial].find(serial + "/availability"), std::string::npos) << gatewayOf[serial];
    }
    ASSERT_NE(gatewayOf["QP000001"], gatewayOf["QP000002"]);

    children["QP000001"]->Signal(SIGKILL);
    children["QP000001"]->Wait();
    ASSERT_TRUE(sub->WaitForOutput("|" + gatewayOf["QP000001"] + "|offline")) << sub->Out();
    // A reading of the other process after the will: the broker has
    // handled the will by then.
    const int before = CliProcess::Occurrences(sub->Out(), "|tirevo/QP000002/ph|");
    ASSERT_TRUE(sub->WaitForOutput("|tirevo/QP000002/ph|", before + 1)) << sub->Out();
    EXPECT_EQ(RetainedPayload(broker, gatewayOf["QP000001"]), "offline");
    EXPECT_EQ(RetainedPayload(broker, gatewayOf["QP000002"]), "online");
    EXPECT_EQ(RetainedPayload(broker, "tirevo/QP000002/availability"), "online");
    children["QP000002"]->Signal(SIGINT);
    EXPECT_EQ(children["QP000002"]->Wait().exitCode, 0);
}

// A serial number with the characters MQTT reserves and a space: readings
// and discovery reach the broker under its plain form, the device's name
// shows it as it is.
TEST_F(MqttBrokerTest, ASerialWithWildcardsAndASpaceIsPublishedUnderItsPlainForm)
{
    Broker broker(dir, "allow_anonymous true\npersistence false\n");
    auto sub = Subscribe(broker);
    CliProcess::Setup setup = Cli({"publish", broker.Url(), "--client-id", kClientId, "--ha-discovery",
                                   "--count", "3", "--interval", "100"});
    setup.env = {{"TIREVO_SIM_SERIALS", "QP/1+#2 x"}};
    const Finished done = RunCli(setup);
    ASSERT_EQ(done.exitCode, 0) << done.err;
    ASSERT_TRUE(sub->WaitForOutput(std::string("|") + kGateway + "|offline")) << sub->Out();
    const std::vector<Message> live = Messages(sub->Out());
    EXPECT_EQ(Payloads(live, "tirevo/QP_1__2_x/reading").size(), 3u);
    EXPECT_FALSE(Payloads(live, "tirevo/QP_1__2_x/ph").empty());
    EXPECT_EQ(Payloads(live, "tirevo/QP_1__2_x/availability"),
              (std::vector<std::string>{"online", "offline"}));
    const std::optional<Message> config = Find(live, "homeassistant/sensor/tirevo_QP_1__2_x_ph/config");
    ASSERT_TRUE(config) << sub->Out();
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(config->payload)).object();
    EXPECT_EQ(o["unique_id"].toString(), "tirevo_QP_1__2_x_ph");
    EXPECT_EQ(o["device"].toObject()["name"].toString(), "pH meter QP/1+#2 x");
    EXPECT_TRUE(Find(live, "homeassistant/binary_sensor/tirevo_QP_1__2_x_stable/config"));
}

// publish is for the broker: a run that got no reading there failed.
struct UndeliveredCase {
    const char* name;
    std::string url;  // PORT: a port nothing listens on
    std::string reason;
};

class PublishUndeliveredTest : public MqttBrokerTest,
                               public ::testing::WithParamInterface<UndeliveredCase> {};

TEST_P(PublishUndeliveredTest, ExitsThreeAndSaysSo)
{
    std::string url = GetParam().url;
    if (const std::size_t at = url.find("PORT"); at != std::string::npos)
        url.replace(at, 4, std::to_string(FreePort()));
    CliProcess::Setup setup = Cli({"publish", url, "--count", "3", "--interval", "100"});
    setup.env = {{"LD_PRELOAD", TIREVO_SLOW_LOOKUP}, {"TIREVO_TEST_LOOKUP_MS", "0"}};
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find(GetParam().reason), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("no reading reached the broker at "), std::string::npos) << done.err;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PublishUndeliveredTest,
    ::testing::Values(UndeliveredCase{"NothingListening", "mqtt://127.0.0.1:PORT", "Connection refused"},
                      UndeliveredCase{"UnknownName", "mqtt://broker.example", "cannot be looked up"}),
    [](const auto& info) { return std::string(info.param.name); });

// Files the broker options name are read before the meter is opened; one
// that cannot be read, or a CA file with a plain connection, is a usage
// error.
struct RefusedFileCase {
    const char* name;
    std::vector<std::string> args;  // DIR: the test's folder
    std::string said;
};

class MqttFileRefusalTest : public MqttBrokerTest, public ::testing::WithParamInterface<RefusedFileCase> {};

TEST_P(MqttFileRefusalTest, IsAUsageErrorBeforeTheMeterIsOpened)
{
    WriteFile(dir / "ca.crt", "-----BEGIN CERTIFICATE-----\n");
    fs::create_directory(dir / "folder");
    const auto inDir = [this](std::string text) {
        if (const std::size_t at = text.find("DIR"); at != std::string::npos)
            text.replace(at, 3, dir.Path().string());
        return text;
    };
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args)
        args.push_back(inDir(arg));
    CliProcess::Setup setup = Cli(args);
    setup.env = {{"TIREVO_SIM_EVENTS", (dir / "events").string()}};
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 2) << done.err;
    EXPECT_NE(done.err.find(inDir(GetParam().said)), std::string::npos) << done.err;
    EXPECT_FALSE(fs::exists(dir / "events")) << ReadFile(dir / "events");
}

INSTANTIATE_TEST_SUITE_P(
    Files, MqttFileRefusalTest,
    ::testing::Values(
        RefusedFileCase{"CaFileWithPlainMqtt",
                        {"publish", "mqtt://127.0.0.1", "--cafile", "DIR/ca.crt"},
                        "--cafile needs an mqtts:// URL"},
        RefusedFileCase{"MissingCaFile",
                        {"log", "--mqtt", "mqtts://127.0.0.1", "--cafile", "DIR/none.crt", "--dir", "DIR"},
                        "cannot read the CA file DIR/none.crt: No such file or directory"},
        RefusedFileCase{"CaFileAFolder",
                        {"publish", "mqtts://127.0.0.1", "--cafile", "DIR/folder"},
                        "cannot read the CA file DIR/folder: Is a directory"},
        RefusedFileCase{"MissingPasswordFile",
                        {"publish", "mqtt://127.0.0.1", "--username", "lab", "--password-file", "DIR/none"},
                        "cannot read the password file DIR/none: No such file or directory"},
        RefusedFileCase{"PasswordFileAFolder",
                        {"publish", "mqtt://127.0.0.1", "--username", "lab", "--password-file", "DIR/folder"},
                        "cannot read the password file DIR/folder: Is a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
