// The converters attached now: which of them are meters, by description and
// serial number, in the driver's order.
#pragma once

#include <cstdint>
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

// The converters that the last ListDevices found but could not open for
// lack of permission, a line each for the user, such as
// "USB converter 0403:6001 at bus 1 device 5: no permission (install the
// package, or see README: USB permissions)".
std::vector<std::string> RefusedConverters();

// One such line.
std::string RefusedConverterText(uint16_t vendorId, uint16_t productId, int bus, int address);

}  // namespace tirevo
