#include "MeterList.h"

#include "D2XXUnit.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tirevo {

namespace {

// No real machine has more converters than this; a driver reporting more is
// not believed, so that listing always ends.
constexpr DWORD kMaxListed = 1024;

}  // namespace

std::vector<ListedDevice> ListDevices(bool includeOthers)
{
    std::vector<ListedDevice> out;
    // A state of its own: listing never touches an open session's buffers.
    const auto FTDeviceState = std::make_unique<TFTDeviceState>();
    GetFTDeviceCount(*FTDeviceState);
    const DWORD count = std::min(FTDeviceState->deviceCount, kMaxListed);
    for (DWORD index = 0; index < count; ++index) {
        // A converter whose strings cannot be read is left out: the shared
        // result text would still hold another device's text.
        if (GetFTDeviceDescription(*FTDeviceState, index) != FT_OK)
            continue;
        ListedDevice device;
        device.description = FTDeviceState->resultText;
        device.meter = device.description.find(kMeterMarker) != std::string::npos;
        if (!device.meter && !includeOthers)
            continue;
        if (GetFTDeviceSerialNo(*FTDeviceState, index) != FT_OK)
            continue;
        device.serial = FTDeviceState->resultText;
        out.push_back(std::move(device));
    }
    return out;
}

std::vector<std::string> RefusedConverters()
{
    std::vector<std::string> out;
    for (const TIREVO_REFUSED_DEVICE& device : GetFTRefusedDevices())
        if (device.Cause == TIREVO_REFUSED_NO_PERMISSION)
            out.push_back(
                RefusedConverterText(device.VendorId, device.ProductId, device.Bus, device.Address));
    return out;
}

std::string RefusedConverterText(uint16_t vendorId, uint16_t productId, int bus, int address)
{
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", vendorId, productId);
    return "USB converter " + std::string(ids) + " at bus " + std::to_string(bus) + " device " +
        std::to_string(address) + ": no permission (install the package, or see README: USB permissions)";
}

}  // namespace tirevo
