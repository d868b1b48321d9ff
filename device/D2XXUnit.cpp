#include "D2XXUnit.h"

#include "DriverBinding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tirevo {

TFTDeviceState FTDeviceState;
TFTPortSettings FTPortSettings;

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

FT_STATUS GetFTDeviceCount()
{
    return FTDriver().ListDevices(&FTDeviceState.deviceCount, nullptr, FT_LIST_NUMBER_ONLY);
}

FT_STATUS GetFTDeviceDescription(DWORD index)
{
    const FT_STATUS status = FTDriver().ListDevices(IndexArg(index), FTDeviceState.descriptionBuffer,
                                                    FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
    if (status == FT_OK)
        FTDeviceState.resultText =
            BufferText(FTDeviceState.descriptionBuffer, sizeof FTDeviceState.descriptionBuffer);
    return status;
}

FT_STATUS GetFTDeviceSerialNo(DWORD index)
{
    const FT_STATUS status = FTDriver().ListDevices(IndexArg(index), FTDeviceState.serialBuffer,
                                                    FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
    if (status == FT_OK)
        FTDeviceState.resultText = BufferText(FTDeviceState.serialBuffer, sizeof FTDeviceState.serialBuffer);
    return status;
}

FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& serial)
{
    const size_t length = std::min<size_t>(serial.size(), FT_OPEN_NAME_SIZE - 1);
    std::memcpy(FTDeviceState.openNameBuffer, serial.data(), length);
    FTDeviceState.openNameBuffer[length] = '\0';
    return FTDriver().OpenEx(FTDeviceState.openNameBuffer, FT_OPEN_BY_SERIAL_NUMBER, &FTDeviceState.handle);
}

FT_STATUS CloseFTDevice() { return FTDriver().Close(FTDeviceState.handle); }

DWORD ReadFTBuffer(DWORD count)
{
    DWORD bytesRead = 0;
    FTDeviceState.lastIoStatus = FTDriver().Read(FTDeviceState.handle, FTDeviceState.inputBuffer,
                                                 std::min(count, FT_IN_BUFFER_SIZE), &bytesRead);
    if (FTDeviceState.lastIoStatus != FT_OK)
        return 0;
    return std::min(bytesRead, FT_IN_BUFFER_SIZE);
}

DWORD WriteFTBuffer(DWORD count)
{
    DWORD bytesWritten = 0;
    FTDeviceState.lastIoStatus = FTDriver().Write(FTDeviceState.handle, FTDeviceState.outputBuffer,
                                                  std::min(count, FT_OUT_BUFFER_SIZE), &bytesWritten);
    if (FTDeviceState.lastIoStatus != FT_OK)
        return 0;
    return bytesWritten;
}

FT_STATUS SetFTBaudRate() { return FTDriver().SetBaudRate(FTDeviceState.handle, FTPortSettings.BaudRate); }

FT_STATUS SetFTDataCharacteristics()
{
    return FTDriver().SetDataCharacteristics(FTDeviceState.handle, FTPortSettings.WordLength,
                                             FTPortSettings.StopBits, FTPortSettings.Parity);
}

FT_STATUS SetFTFlowControl()
{
    return FTDriver().SetFlowControl(FTDeviceState.handle, FTPortSettings.FlowControl, FTPortSettings.XonChar,
                                     FTPortSettings.XoffChar);
}

FT_STATUS SetFTRts() { return FTDriver().SetRts(FTDeviceState.handle); }

FT_STATUS SetFTDtr() { return FTDriver().SetDtr(FTDeviceState.handle); }

FT_STATUS SetFTTimeouts(DWORD readTimeoutMs, DWORD writeTimeoutMs)
{
    return FTDriver().SetTimeouts(FTDeviceState.handle, readTimeoutMs, writeTimeoutMs);
}

FT_STATUS GetFTQueueStatus()
{
    return FTDriver().GetStatus(FTDeviceState.handle, &FTDeviceState.RxBytes, &FTDeviceState.TxBytes,
                                &FTDeviceState.EventStatus);
}

}  // namespace tirevo
