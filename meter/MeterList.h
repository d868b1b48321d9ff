// The converters attached now: which of them are meters, by description and
// serial number, in the driver's order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

// A converter is a meter when its USB description holds this text (exact case).
inline constexpr std::string_view kMeterMarker = "QUVA USB pH";

struct ListedDevice {
    std::string description;  // the driver's bytes, as they are
    std::string serial;
    bool meter = false;  // the description holds the marker
};

// Converters whose description or serial number cannot be read are left out.
// With includeOthers false only meters are returned.
std::vector<ListedDevice> ListDevices(bool includeOthers = false);

}  // namespace tirevo
