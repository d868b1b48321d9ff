#include "D2XXUnit.h"

#include "DriverBinding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tirevo {

namespace {

void* IndexArg(DWORD index) { return reinterpret_cast<void*>(static_cast<uintptr_t>(index)); }

// More refused converters than this on one machine are not believed.
constexpr DWORD kMaxRefused = 64;

}  // namespace

std::string BufferText(const char* buffer, size_t size)
{
    const void* nul = std::memchr(buffer, '\0', size);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : size;
    return std::string(buffer, length);
}

std::vector<TIREVO_REFUSED_DEVICE> GetFTRefusedDevices()
{
    std::vector<TIREVO_REFUSED_DEVICE> devices(kMaxRefused);
    const DWORD count = FTRefusedDevicesCall()(devices.data(), kMaxRefused);
    devices.resize(std::min(count, kMaxRefused));
    return devices;
}

FT_STATUS GetFTDeviceCount(TFTDeviceState& state)
{
    return FTDriver().ListDevices(&state.deviceCount, nullptr, FT_LIST_NUMBER_ONLY);
}

FT_STATUS GetFTDeviceDescription(TFTDeviceState& state, DWORD index)
{
    const FT_STATUS status = FTDriver().ListDevices(IndexArg(index), state.descriptionBuffer,
                                                    FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
    if (status == FT_OK)
        state.resultText = BufferText(state.descriptionBuffer, sizeof state.descriptionBuffer);
    return status;
}

FT_STATUS GetFTDeviceSerialNo(TFTDeviceState& state, DWORD index)
{
    const FT_STATUS status = FTDriver().ListDevices(IndexArg(index), state.serialBuffer,
                                                    FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
    if (status == FT_OK)
        state.resultText = BufferText(state.serialBuffer, sizeof state.serialBuffer);
    return status;
}

FT_STATUS Open_USB_Device_By_Serial_Number(TFTDeviceState& state, const std::string& serial)
{
    const size_t length = std::min<size_t>(serial.size(), FT_OPEN_NAME_SIZE - 1);
    std::memcpy(state.openNameBuffer, serial.data(), length);
    state.openNameBuffer[length] = '\0';
    return FTDriver().OpenEx(state.openNameBuffer, FT_OPEN_BY_SERIAL_NUMBER, &state.handle);
}

FT_STATUS CloseFTDevice(TFTDeviceState& state) { return FTDriver().Close(state.handle); }

DWORD ReadFTBuffer(TFTDeviceState& state, DWORD count)
{
    DWORD bytesRead = 0;
    state.lastIoStatus =
        FTDriver().Read(state.handle, state.inputBuffer, std::min(count, FT_IN_BUFFER_SIZE), &bytesRead);
    if (state.lastIoStatus != FT_OK)
        return 0;
    return std::min(bytesRead, FT_IN_BUFFER_SIZE);
}

DWORD WriteFTBuffer(TFTDeviceState& state, DWORD count)
{
    DWORD bytesWritten = 0;
    state.lastIoStatus = FTDriver().Write(state.handle, state.outputBuffer,
                                          std::min(count, FT_OUT_BUFFER_SIZE), &bytesWritten);
    if (state.lastIoStatus != FT_OK)
        return 0;
    return bytesWritten;
}

FT_STATUS SetFTBaudRate(TFTDeviceState& state, const TFTPortSettings& port)
{
    return FTDriver().SetBaudRate(state.handle, port.BaudRate);
}

FT_STATUS SetFTDataCharacteristics(TFTDeviceState& state, const TFTPortSettings& port)
{
    return FTDriver().SetDataCharacteristics(state.handle, port.WordLength, port.StopBits, port.Parity);
}

FT_STATUS SetFTFlowControl(TFTDeviceState& state, const TFTPortSettings& port)
{
    return FTDriver().SetFlowControl(state.handle, port.FlowControl, port.XonChar, port.XoffChar);
}

FT_STATUS SetFTRts(TFTDeviceState& state) { return FTDriver().SetRts(state.handle); }

FT_STATUS SetFTDtr(TFTDeviceState& state) { return FTDriver().SetDtr(state.handle); }

FT_STATUS SetFTTimeouts(TFTDeviceState& state, DWORD readTimeoutMs, DWORD writeTimeoutMs)
{
    return FTDriver().SetTimeouts(state.handle, readTimeoutMs, writeTimeoutMs);
}

FT_STATUS GetFTQueueStatus(TFTDeviceState& state)
{
    return FTDriver().GetStatus(state.handle, &state.RxBytes, &state.TxBytes, &state.EventStatus);
}

}  // namespace tirevo
