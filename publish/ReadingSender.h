// What a spool's delivery needs of the connection to the broker: publishing
// at QoS 1, not retained, with the message id that the broker's
// acknowledgement (PUBACK) will carry. The link reports those ids from the
// gateway's own loop, as MqttLinkEvents::LinkAcknowledged does.
#pragma once

#include <optional>
#include <string>

namespace tirevo {

class ReadingSender {
public:
    virtual ~ReadingSender() = default;
    // The message id, or nothing when the connection cannot take it now.
    virtual std::optional<int> SendReading(const std::string& topic, const std::string& payload) = 0;
};

}  // namespace tirevo
