// The broker's address as the user types it: mqtt://host[:port] or
// mqtts://host[:port] (TLS).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

inline constexpr uint16_t kMqttPort = 1883;
inline constexpr uint16_t kMqttTlsPort = 8883;

struct MqttUrl {
    bool tls = false;
    std::string host;
    uint16_t port = kMqttPort;
};

struct MqttUrlResult {
    std::optional<MqttUrl> url;
    std::string error;  // why the text is no broker address, when url is empty
};

MqttUrlResult ParseMqttUrl(const std::string& text);

}  // namespace tirevo
