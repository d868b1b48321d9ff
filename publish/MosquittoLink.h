// MqttLink over libmosquitto. Each connection is a fresh client with a
// network thread of its own: the name lookup, the TCP connect, the TLS
// handshake and all reading and writing happen there, never on the loop
// that polls the meters. The thread hands what happens to the loop through
// the inbox (Socket() is its descriptor, Service() delivers), so the
// gateway is only ever called on the loop. What an old connection had queued
// never goes out twice; the gateway resends what the broker had not
// acknowledged. It is built into the MQTT module only (MqttModule.h).
#pragma once

#include "LinkInbox.h"
#include "MqttModule.h"

#include <cstdint>
#include <memory>

namespace tirevo {

class MosquittoLink final : public MqttSocketLink {
public:
    MosquittoLink();
    // Waits for the network thread; one still looking up the broker's name
    // ends when the lookup does.
    ~MosquittoLink() override;
    MosquittoLink(const MosquittoLink&) = delete;
    MosquittoLink& operator=(const MosquittoLink&) = delete;

    void SetEvents(MqttLinkEvents* events) override { events_ = events; }
    bool Connect(const MqttConnectSettings& settings) override;
    std::optional<int> Publish(const MqttMessage& message) override;
    void Subscribe(const std::string& topic) override;
    void Disconnect() override;

    int Socket() const override { return inbox_.Fd(); }
    bool WantsWrite() const override { return false; }
    void Service() override;

    class Connection;

private:
    enum class State { None, Connecting, Connected, Over };

    void Deliver(const LinkEvent& event);
    void Lost(const std::string& reason);
    void Drop();

    LinkInbox inbox_;
    std::unique_ptr<Connection> connection_;
    uint64_t connectionNumber_ = 0;
    MqttLinkEvents* events_ = nullptr;
    State state_ = State::None;
};

}  // namespace tirevo
