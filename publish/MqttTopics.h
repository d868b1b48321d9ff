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

// A serial number or a client id stands in a topic level and in the ids
// Home Assistant takes only as letters, digits, "_" and "-" (PlainName):
// "+", "#" and "/" would make every publish fail, a space or a "." an id
// Home Assistant refuses, a Latin-1 byte discovery JSON that is not UTF-8.
class MqttTopics {
public:
    MqttTopics(std::string prefix, const std::string& clientId);

    // This process's own availability (and last will): each process on the
    // broker has its own, so one that ends marks none of the others' meters
    // unavailable.
    std::string Gateway() const { return gateway_; }
    std::string Availability(const std::string& serial) const { return Level(serial) + "/availability"; }
    std::string Ph(const std::string& serial) const { return Level(serial) + "/ph"; }
    std::string Stable(const std::string& serial) const { return Level(serial) + "/stable"; }
    std::string Alarm(const std::string& serial) const { return Level(serial) + "/alarm"; }
    // Every reading with its own time (JSON), at QoS 1 and not retained:
    // the backlog of an outage arrives here, the retained ph only ever
    // holds the live reading.
    std::string Reading(const std::string& serial) const { return Level(serial) + "/reading"; }

    static std::string SensorConfig(const std::string& serial);
    static std::string StableConfig(const std::string& serial);

    // The discovery payloads (compact JSON).
    std::string SensorDiscovery(const MeterIdentity& meter, const std::string& appVersion) const;
    std::string StableDiscovery(const MeterIdentity& meter, const std::string& appVersion) const;

private:
    std::string Level(const std::string& serial) const;

    std::string prefix_;
    std::string gateway_;
};

// A reading as published: "." and two decimals, whatever the locale.
std::string PhPayload(double value);

// A prefix that can stand before "/SERIAL/ph": not empty, no wildcards, no
// leading or trailing "/".
bool ValidTopicPrefix(const std::string& prefix);

}  // namespace tirevo
