#include "MosquittoLink.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tirevo {

namespace {

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
std::string ErrorText(int rc)
{
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

MosquittoLink::MosquittoLink() { InitLibrary(); }

MosquittoLink::~MosquittoLink() { Drop(); }

void MosquittoLink::Drop()
{
    if (client_)
        mosquitto_destroy(client_);
    client_ = nullptr;
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
    client_ = mosquitto_new(s.clientId.empty() ? nullptr : s.clientId.c_str(), true, this);
    if (!client_) {
        state_ = State::Connecting;
        Lost("cannot create an MQTT client");
        return false;
    }
    state_ = State::Connecting;
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client_, &MosquittoLink::OnConnect);
    mosquitto_disconnect_callback_set(client_, &MosquittoLink::OnDisconnect);
    mosquitto_publish_callback_set(client_, &MosquittoLink::OnPublish);
    mosquitto_message_callback_set(client_, &MosquittoLink::OnMessage);
    int rc = MOSQ_ERR_SUCCESS;
    if (!s.username.empty())
        rc = mosquitto_username_pw_set(client_, s.username.c_str(), s.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && !s.will.topic.empty())
        rc = mosquitto_will_set(client_, s.will.topic.c_str(), static_cast<int>(s.will.payload.size()),
                                s.will.payload.data(), s.will.qos, s.will.retain);
    if (rc == MOSQ_ERR_SUCCESS && s.tls) {
        if (s.caFile.empty())
            rc = mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            rc = mosquitto_tls_set(client_, s.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_async(client_, s.host.c_str(), s.port, s.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
        Lost(ErrorText(rc));
        return false;
    }
    return true;
}

std::optional<int> MosquittoLink::Publish(const MqttMessage& message)
{
    if (state_ != State::Connected)
        return std::nullopt;
    int mid = 0;
    const int rc =
        mosquitto_publish(client_, &mid, message.topic.c_str(), static_cast<int>(message.payload.size()),
                          message.payload.data(), message.qos, message.retain);
    if (rc != MOSQ_ERR_SUCCESS)
        return std::nullopt;
    return mid;
}

void MosquittoLink::Subscribe(const std::string& topic)
{
    if (state_ == State::Connected)
        mosquitto_subscribe(client_, nullptr, topic.c_str(), 1);
}

void MosquittoLink::Disconnect()
{
    if (state_ != State::Connected)
        return;
    state_ = State::Over;
    mosquitto_disconnect(client_);
    // Sends the goodbye now; the loop has no more turns for this client.
    mosquitto_loop(client_, 0, 1);
}

int MosquittoLink::Socket() const
{
    return client_ && state_ != State::Over ? mosquitto_socket(client_) : -1;
}

bool MosquittoLink::WantsWrite() const { return client_ && mosquitto_want_write(client_); }

void MosquittoLink::Service()
{
    if (!client_ || state_ == State::Over || state_ == State::None)
        return;
    const int rc = mosquitto_loop(client_, 0, 1);
    if (rc != MOSQ_ERR_SUCCESS)
        Lost(ErrorText(rc));
}

void MosquittoLink::OnConnect(mosquitto* /*client*/, void* self, int rc)
{
    auto* link = static_cast<MosquittoLink*>(self);
    if (rc == 0) {
        link->state_ = State::Connected;
        if (link->events_)
            link->events_->LinkConnected();
        return;
    }
    link->state_ = State::Over;
    if (link->events_)
        link->events_->LinkRefused(RefusalOf(rc));
}

void MosquittoLink::OnDisconnect(mosquitto* /*client*/, void* self, int rc)
{
    auto* link = static_cast<MosquittoLink*>(self);
    link->Lost(rc == 0 ? "disconnected" : ErrorText(rc));
}

void MosquittoLink::OnPublish(mosquitto* /*client*/, void* self, int mid)
{
    auto* link = static_cast<MosquittoLink*>(self);
    if (link->events_)
        link->events_->LinkAcknowledged(mid);
}

void MosquittoLink::OnMessage(mosquitto* /*client*/, void* self, const mosquitto_message* message)
{
    auto* link = static_cast<MosquittoLink*>(self);
    if (!link->events_ || !message->topic)
        return;
    link->events_->LinkMessage(message->topic,
                               std::string(static_cast<const char*>(message->payload),
                                           static_cast<std::size_t>(std::max(message->payloadlen, 0))));
}

}  // namespace tirevo
