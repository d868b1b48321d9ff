#include "MosquittoLink.h"

#include <mosquitto.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace tirevo {

namespace {

// How long the network thread waits on the socket at most, and so how soon
// it sees that its connection is to end. A publish wakes it at once.
constexpr int kTurnMs = 100;
// How long a clean goodbye may take to go out.
constexpr auto kGoodbye = std::chrono::milliseconds(1000);

// Set on a connection's network thread: the library also logs from the
// loop's calls, where the handshake's state is not the loop's to read.
thread_local bool onNetworkThread = false;

// The library's global state, set up once for the whole process.
void InitLibrary()
{
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

// The library's text, or the system's when the library only says "errno".
// On the thread that saw the error: errno is that thread's.
std::string ErrorText(int rc, const std::string& host)
{
    if (rc == MOSQ_ERR_EAI)
        return "the name " + host + " cannot be looked up";
    std::string text = rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
    // It goes inside a sentence of ours.
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

MqttRefusal RefusalOf(int rc)
{
    switch (rc) {
    case 1:
        return MqttRefusal::Protocol;
    case 2:
        return MqttRefusal::ClientId;
    case 3:
        return MqttRefusal::Unavailable;
    case 4:
        return MqttRefusal::BadLogin;
    case 5:
        return MqttRefusal::NotAuthorised;
    default:
        return MqttRefusal::Unavailable;
    }
}

}  // namespace

// One client and the thread that runs it: from the name lookup to the end
// of the connection. Its callbacks run on that thread and only post to the
// inbox; the loop's side publishes through the library, which guards its own
// state for exactly this use.
class MosquittoLink::Connection {
public:
    Connection(mosquitto* client, const MqttConnectSettings& settings, LinkInbox& inbox, uint64_t number)
        : client_(client),
          host_(settings.host),
          port_(settings.port),
          keepAliveS_(settings.keepAliveS),
          inbox_(inbox),
          number_(number)
    {
        mosquitto_user_data_set(client_, this);
        mosquitto_connect_callback_set(client_, &Connection::OnConnect);
        mosquitto_disconnect_callback_set(client_, &Connection::OnDisconnect);
        mosquitto_publish_callback_set(client_, &Connection::OnPublish);
        mosquitto_message_callback_set(client_, &Connection::OnMessage);
        mosquitto_log_callback_set(client_, &Connection::OnLog);
        // Publishing from the loop only queues and wakes the thread.
        mosquitto_threaded_set(client_, true);
        thread_ = std::thread([this] { Run(); });
    }
    ~Connection()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        mosquitto_destroy(client_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    mosquitto* Client() const { return client_; }

    // A goodbye was queued: the thread ends once it is out, or after a
    // short limit when the network does not take it.
    void Leave()
    {
        leaveBy_ = (std::chrono::steady_clock::now() + kGoodbye).time_since_epoch().count();
        leaving_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    void Run()
    {
        onNetworkThread = true;
        // The lookup blocks here, on this thread only.
        int rc = mosquitto_connect_async(client_, host_.c_str(), port_, keepAliveS_);
        while (rc == MOSQ_ERR_SUCCESS && !stop_) {
            if (leaving_ && std::chrono::steady_clock::now().time_since_epoch().count() >= leaveBy_)
                return;
            rc = mosquitto_loop(client_, kTurnMs, 1);
        }
        if (rc != MOSQ_ERR_SUCCESS)
            Over(rc);
    }

    void Post(LinkEvent::Kind kind, int code = 0, std::string text = {}, std::string payload = {})
    {
        inbox_.Post({kind, number_, code, std::move(text), std::move(payload)});
    }

    // The connection has ended or could not be made: said once.
    void Over(int rc)
    {
        if (over_)
            return;
        over_ = true;
        const std::lock_guard<std::mutex> lock(untrustedMutex_);
        if (!untrusted_.empty())
            Post(LinkEvent::Kind::Untrusted, 0, untrusted_);
        else
            Post(LinkEvent::Kind::Lost, 0, rc == MOSQ_ERR_SUCCESS ? "disconnected" : ErrorText(rc, host_));
    }

    static Connection& Of(void* self) { return *static_cast<Connection*>(self); }

    static void OnConnect(mosquitto* /*client*/, void* self, int rc)
    {
        if (rc == 0)
            Of(self).Post(LinkEvent::Kind::Connected);
        else
            Of(self).Post(LinkEvent::Kind::Refused, rc);
    }
    static void OnDisconnect(mosquitto* /*client*/, void* self, int rc) { Of(self).Over(rc); }
    static void OnPublish(mosquitto* /*client*/, void* self, int mid)
    {
        Of(self).Post(LinkEvent::Kind::Acknowledged, mid);
    }
    static void OnMessage(mosquitto* /*client*/, void* self, const mosquitto_message* message)
    {
        if (!message->topic)
            return;
        Of(self).Post(LinkEvent::Kind::Message, 0, message->topic,
                      std::string(static_cast<const char*>(message->payload),
                                  static_cast<std::size_t>(std::max(message->payloadlen, 0))));
    }
    // The library says a TLS failure only in its log, while the handshake's
    // state is still there: a certificate that failed its check is kept as
    // the reason, since no later attempt can do better.
    static void OnLog(mosquitto* client, void* self, int level, const char* /*text*/)
    {
        if (level != MOSQ_LOG_ERR || !onNetworkThread)
            return;
        const auto* ssl = static_cast<const SSL*>(mosquitto_ssl_get(client));
        if (!ssl)
            return;
        const long verify = SSL_get_verify_result(ssl);
        if (verify == X509_V_OK)
            return;
        Connection& connection = Of(self);
        // OpenSSL names each of its own checks; the library's check of the
        // broker's name, the one it adds, leaves the result unspecified in
        // this version and may name it in another.
        const bool name = verify == X509_V_ERR_UNSPECIFIED || verify == X509_V_ERR_HOSTNAME_MISMATCH ||
            verify == X509_V_ERR_IP_ADDRESS_MISMATCH;
        const std::string why =
            name ? "it is not made for the name " + connection.host_ : X509_verify_cert_error_string(verify);
        const std::lock_guard<std::mutex> lock(connection.untrustedMutex_);
        if (connection.untrusted_.empty())
            connection.untrusted_ = "its certificate failed the check (" + why + ")";
    }

    mosquitto* client_;
    std::string host_;
    int port_;
    int keepAliveS_;
    LinkInbox& inbox_;
    uint64_t number_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> leaving_{false};
    std::atomic<std::chrono::steady_clock::rep> leaveBy_{0};
    bool over_ = false;  // the network thread's own
    std::mutex untrustedMutex_;
    std::string untrusted_;
    std::thread thread_;
};

MosquittoLink::MosquittoLink() { InitLibrary(); }

MosquittoLink::~MosquittoLink() { Drop(); }

void MosquittoLink::Drop()
{
    connection_.reset();
    state_ = State::None;
}

void MosquittoLink::Lost(const std::string& reason)
{
    if (state_ == State::Over || state_ == State::None)
        return;
    state_ = State::Over;
    if (events_)
        events_->LinkLost(reason);
}

bool MosquittoLink::Connect(const MqttConnectSettings& s)
{
    Drop();
    mosquitto* client = mosquitto_new(s.clientId.empty() ? nullptr : s.clientId.c_str(), true, nullptr);
    state_ = State::Connecting;
    ++connectionNumber_;
    if (!client) {
        Lost("cannot create an MQTT client");
        return false;
    }
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    int rc = MOSQ_ERR_SUCCESS;
    if (!s.username.empty())
        rc = mosquitto_username_pw_set(client, s.username.c_str(), s.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !s.will.topic.empty())
        rc = mosquitto_will_set(client, s.will.topic.c_str(), static_cast<int>(s.will.payload.size()),
                                s.will.payload.data(), s.will.qos, s.will.retain);
    if (rc == MOSQ_ERR_SUCCESS && s.tls) {
        if (s.caFile.empty())
            rc = mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            rc = mosquitto_tls_set(client, s.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(client);
        Lost(ErrorText(rc, s.host));
        return false;
    }
    connection_ = std::make_unique<Connection>(client, s, inbox_, connectionNumber_);
    return true;
}

std::optional<int> MosquittoLink::Publish(const MqttMessage& message)
{
    if (state_ != State::Connected)
        return std::nullopt;
    int mid = 0;
    const int rc = mosquitto_publish(connection_->Client(), &mid, message.topic.c_str(),
                                     static_cast<int>(message.payload.size()), message.payload.data(),
                                     message.qos, message.retain);
    if (rc != MOSQ_ERR_SUCCESS)
        return std::nullopt;
    return mid;
}

void MosquittoLink::Subscribe(const std::string& topic)
{
    if (state_ == State::Connected)
        mosquitto_subscribe(connection_->Client(), nullptr, topic.c_str(), 1);
}

void MosquittoLink::Disconnect()
{
    if (state_ != State::Connected)
        return;
    state_ = State::Over;
    mosquitto_disconnect(connection_->Client());
    connection_->Leave();
}

void MosquittoLink::Service()
{
    for (const LinkEvent& event : inbox_.Take()) {
        // What an earlier connection still said is over with it.
        if (event.connection == connectionNumber_)
            Deliver(event);
    }
}

void MosquittoLink::Deliver(const LinkEvent& event)
{
    switch (event.kind) {
    case LinkEvent::Kind::Connected:
        if (state_ != State::Connecting)
            return;
        state_ = State::Connected;
        if (events_)
            events_->LinkConnected();
        return;
    case LinkEvent::Kind::Refused:
        if (state_ == State::Over || state_ == State::None)
            return;
        state_ = State::Over;
        if (events_)
            events_->LinkRefused(RefusalOf(event.code));
        return;
    case LinkEvent::Kind::Untrusted:
        if (state_ == State::Over || state_ == State::None)
            return;
        state_ = State::Over;
        if (events_)
            events_->LinkUntrusted(event.text);
        return;
    case LinkEvent::Kind::Lost:
        Lost(event.text);
        return;
    case LinkEvent::Kind::Acknowledged:
        if (events_)
            events_->LinkAcknowledged(event.code);
        return;
    case LinkEvent::Kind::Message:
        if (events_)
            events_->LinkMessage(event.text, event.payload);
        return;
    }
}

}  // namespace tirevo
