// One connection to the broker at a time, as the gateway sees it: the
// library behind it (or a test's stand-in) reports back through
// MqttLinkEvents, from the gateway's own loop, never from another thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 1;
    bool retain = true;
};

struct MqttConnectSettings {
    std::string host;
    uint16_t port = 0;
    bool tls = false;
    std::string caFile;  // empty: the system's certificate authorities
    std::string clientId;
    std::string username;  // empty: no login
    std::string password;
    MqttMessage will;
    int keepAliveS = 30;
};

// The broker's answer to a connect that it refused, as the protocol numbers it.
enum class MqttRefusal { None, Protocol, ClientId, Unavailable, BadLogin, NotAuthorised };

class MqttLinkEvents {
public:
    virtual ~MqttLinkEvents() = default;
    virtual void LinkConnected() = 0;
    virtual void LinkRefused(MqttRefusal refusal) = 0;
    // The broker's certificate does not match its name or the certificate
    // authorities given: no later attempt can succeed. Reason for the user.
    virtual void LinkUntrusted(const std::string& reason) = 0;
    // The connection is gone or could not be made; reason for the user.
    virtual void LinkLost(const std::string& reason) = 0;
    virtual void LinkAcknowledged(int messageId) = 0;
    virtual void LinkMessage(const std::string& topic, const std::string& payload) = 0;
};

class MqttLink {
public:
    virtual ~MqttLink() = default;
    virtual void SetEvents(MqttLinkEvents* events) = 0;
    // Starts a new connection, dropping any earlier one and whatever it had
    // not sent. False (with LinkLost reported) when it cannot even start.
    virtual bool Connect(const MqttConnectSettings& settings) = 0;
    // The message id for QoS 1 (reported by LinkAcknowledged), or nothing
    // when the connection cannot take it.
    virtual std::optional<int> Publish(const MqttMessage& message) = 0;
    virtual void Subscribe(const std::string& topic) = 0;
    // A clean goodbye: the broker does not send the last will.
    virtual void Disconnect() = 0;
};

}  // namespace tirevo
