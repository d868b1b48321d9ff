// MqttLink over libmosquitto, driven from the program's own loop: nothing
// here blocks on the network (the name lookup aside), so no meter poll
// waits for the broker. Each connection is a fresh client, so what an old
// one had queued never goes out twice; the gateway resends what the broker
// had not acknowledged. It is built into the MQTT module only (MqttModule.h).
#pragma once

#include "MqttModule.h"

struct mosquitto;
struct mosquitto_message;

namespace tirevo {

class MosquittoLink final : public MqttSocketLink {
public:
    MosquittoLink();
    ~MosquittoLink() override;
    MosquittoLink(const MosquittoLink&) = delete;
    MosquittoLink& operator=(const MosquittoLink&) = delete;

    void SetEvents(MqttLinkEvents* events) override { events_ = events; }
    bool Connect(const MqttConnectSettings& settings) override;
    std::optional<int> Publish(const MqttMessage& message) override;
    void Subscribe(const std::string& topic) override;
    void Disconnect() override;

    int Socket() const override;
    bool WantsWrite() const override;
    void Service() override;

private:
    enum class State { None, Connecting, Connected, Over };

    static void OnConnect(mosquitto* client, void* self, int rc);
    static void OnDisconnect(mosquitto* client, void* self, int rc);
    static void OnPublish(mosquitto* client, void* self, int mid);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);

    void Lost(const std::string& reason);
    void Drop();

    mosquitto* client_ = nullptr;
    MqttLinkEvents* events_ = nullptr;
    State state_ = State::None;
};

}  // namespace tirevo
