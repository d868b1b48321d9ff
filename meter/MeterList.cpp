#include "MeterList.h"

#include "D2XXUnit.h"

#include <algorithm>

namespace tirevo {

namespace {

// No real machine has more converters than this; a driver reporting more is
// not believed, so that listing always ends.
constexpr DWORD kMaxListed = 1024;

}  // namespace

std::vector<ListedDevice> ListDevices(bool includeOthers)
{
    std::vector<ListedDevice> out;
    GetFTDeviceCount();
    const DWORD count = std::min(FTDeviceState.deviceCount, kMaxListed);
    for (DWORD index = 0; index < count; ++index) {
        // A converter whose strings cannot be read is left out: the shared
        // result text would still hold another device's text.
        if (GetFTDeviceDescription(index) != FT_OK)
            continue;
        ListedDevice device;
        device.description = FTDeviceState.resultText;
        device.meter = device.description.find(kMeterMarker) != std::string::npos;
        if (!device.meter && !includeOthers)
            continue;
        if (GetFTDeviceSerialNo(index) != FT_OK)
            continue;
        device.serial = FTDeviceState.resultText;
        out.push_back(std::move(device));
    }
    return out;
}

}  // namespace tirevo
