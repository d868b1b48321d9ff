// What the gateway publishes and where: the topics under the prefix, the
// payloads, and the Home Assistant discovery configuration of each meter.
#pragma once

#include <string>

namespace tirevo {

inline constexpr const char* kDefaultTopicPrefix = "tirevo";
inline constexpr const char* kOnline = "online";
inline constexpr const char* kOffline = "offline";
inline constexpr const char* kHomeAssistantStatus = "homeassistant/status";

struct MeterIdentity {
    std::string serial;
    std::string model;  // the converter's USB description
};

class MqttTopics {
public:
    explicit MqttTopics(std::string prefix) : prefix_(std::move(prefix)) {}

    std::string Gateway() const { return prefix_ + "/availability"; }
    std::string Availability(const std::string& serial) const
    {
        return prefix_ + "/" + serial + "/availability";
    }
    std::string Ph(const std::string& serial) const { return prefix_ + "/" + serial + "/ph"; }
    std::string Stable(const std::string& serial) const { return prefix_ + "/" + serial + "/stable"; }
    std::string Alarm(const std::string& serial) const { return prefix_ + "/" + serial + "/alarm"; }

    static std::string SensorConfig(const std::string& serial);
    static std::string StableConfig(const std::string& serial);

    // The discovery payloads (compact JSON).
    std::string SensorDiscovery(const MeterIdentity& meter, const std::string& appVersion) const;
    std::string StableDiscovery(const MeterIdentity& meter, const std::string& appVersion) const;

private:
    std::string prefix_;
};

// A reading as published: "." and two decimals, whatever the locale.
std::string PhPayload(double value);

// A prefix that can stand before "/SERIAL/ph": not empty, no wildcards, no
// leading or trailing "/".
bool ValidTopicPrefix(const std::string& prefix);

}  // namespace tirevo
