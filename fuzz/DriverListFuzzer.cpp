// The device layer's list strings from a driver that fills the description and
// serial buffers with arbitrary bytes, often all the way without a NUL, and
// the serial text going back to the driver to open by. The driver here is an
// in-process table whose listing plays back the fuzz input.
#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace tirevo;

namespace {

// The device layer's state for these checks, as a session keeps its own.
TFTDeviceState FTDeviceState;

FuzzedDataProvider* gInput = nullptr;

// What the fake driver did on its last listing call, to check against.
struct LastListing {
    DWORD flags = 0;
    std::vector<char> bufferAfter;  // the whole buffer as the driver left it
};
LastListing gLast;
std::string gOpenedName;

FT_STATUS FakeListDevices(void* arg1, void* arg2, DWORD flags)
{
    gLast = LastListing{flags, {}};
    const FT_STATUS status = gInput->ConsumeBool() ? FT_OK : FT_DEVICE_NOT_FOUND;
    if (flags & FT_LIST_NUMBER_ONLY) {
        *static_cast<DWORD*>(arg1) = gInput->ConsumeIntegral<DWORD>();
        return status;
    }
    const std::size_t size = (flags & FT_OPEN_BY_DESCRIPTION) ? FT_DESCRIPTION_SIZE : FT_SERIAL_SIZE;
    char* buffer = static_cast<char*>(arg2);
    // A driver may fill any part of the buffer, with or without a NUL; the
    // rest keeps whatever an earlier call left there.
    const std::size_t count = gInput->ConsumeIntegralInRange<std::size_t>(0, size);
    const bool noNul = gInput->ConsumeBool();
    for (std::size_t i = 0; i < count; ++i) {
        char c = gInput->ConsumeIntegral<char>();
        if (noNul && c == '\0')
            c = '#';
        buffer[i] = c;
    }
    gLast.bufferAfter.assign(buffer, buffer + size);
    return status;
}

FT_STATUS FakeOpenEx(void* name, DWORD flags, FT_HANDLE* handle)
{
    FUZZ_CHECK(flags == FT_OPEN_BY_SERIAL_NUMBER);
    const char* text = static_cast<const char*>(name);
    // The name must end within the layer's buffer.
    FUZZ_CHECK(std::memchr(text, '\0', FT_OPEN_NAME_SIZE) != nullptr);
    gOpenedName = text;
    *handle = nullptr;
    return FT_DEVICE_NOT_FOUND;
}

void Bind()
{
    UnbindFTDriver();
    FTDriverTable table = FTDriver();
    table.ListDevices = FakeListDevices;
    table.OpenEx = FakeOpenEx;
    BindFTDriverTable(table);
}

std::string ExpectedText(const std::vector<char>& buffer)
{
    const auto nul = std::find(buffer.begin(), buffer.end(), '\0');
    return std::string(buffer.begin(), nul);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const bool bound = (Bind(), true);
    (void)bound;
    FuzzedDataProvider input(data, size);
    gInput = &input;
    // Each run starts from a layer state no earlier input shaped.
    FTDeviceState.resultText.clear();
    std::memset(FTDeviceState.descriptionBuffer, 0, sizeof FTDeviceState.descriptionBuffer);
    std::memset(FTDeviceState.serialBuffer, 0, sizeof FTDeviceState.serialBuffer);

    while (input.remaining_bytes() > 0) {
        const std::string before = FTDeviceState.resultText;
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            const FT_STATUS status = GetFTDeviceCount(FTDeviceState);
            FUZZ_CHECK(FTDeviceState.resultText == before);
            (void)status;
            break;
        }
        case 1:
        case 2: {
            const bool description = input.ConsumeBool();
            const DWORD index = input.ConsumeIntegral<DWORD>();
            const FT_STATUS status = description ? GetFTDeviceDescription(FTDeviceState, index)
                                                 : GetFTDeviceSerialNo(FTDeviceState, index);
            FUZZ_CHECK(gLast.bufferAfter.size() ==
                       static_cast<std::size_t>(description ? FT_DESCRIPTION_SIZE : FT_SERIAL_SIZE));
            if (status != FT_OK) {
                FUZZ_CHECK(FTDeviceState.resultText == before);
                break;
            }
            FUZZ_CHECK(FTDeviceState.resultText == ExpectedText(gLast.bufferAfter));
            FUZZ_CHECK(FTDeviceState.resultText.size() <= gLast.bufferAfter.size());
            break;
        }
        case 3: {
            // Open by the serial just listed, or by any text at all.
            const std::string serial =
                input.ConsumeBool() ? FTDeviceState.resultText : input.ConsumeRandomLengthString(200);
            gOpenedName.clear();
            Open_USB_Device_By_Serial_Number(FTDeviceState, serial);
            const std::string cut = serial.substr(0, FT_OPEN_NAME_SIZE - 1);
            FUZZ_CHECK(gOpenedName == cut.substr(0, cut.find('\0')));
            break;
        }
        }
    }
    gInput = nullptr;
    return 0;
}
