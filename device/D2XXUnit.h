// The program's only door to the converter driver: one small operation per
// driver call over a device state (handle and fixed buffers) that its caller
// owns, so that each meter session has its own and several meters can be
// open in one process. Operations return the driver's status unchanged (read
// and write return the bytes moved instead) and never show anything to the
// user.
#pragma once

#include "FtApi.h"

#include <string>
#include <vector>

namespace tirevo {

inline constexpr DWORD FT_IN_BUFFER_SIZE = 65536;
inline constexpr DWORD FT_OUT_BUFFER_SIZE = 65536;
inline constexpr int FT_OPEN_NAME_SIZE = 50;

struct TFTDeviceState {
    FT_HANDLE handle = nullptr;
    DWORD deviceCount = 0;
    char descriptionBuffer[FT_DESCRIPTION_SIZE] = {};
    char serialBuffer[FT_SERIAL_SIZE] = {};
    char openNameBuffer[FT_OPEN_NAME_SIZE] = {};
    unsigned char inputBuffer[FT_IN_BUFFER_SIZE] = {};
    unsigned char outputBuffer[FT_OUT_BUFFER_SIZE] = {};
    // Text of the last description or serial number read successfully.
    std::string resultText;
    FT_STATUS lastIoStatus = FT_OK;
    DWORD RxBytes = 0;
    DWORD TxBytes = 0;
    DWORD EventStatus = 0;
};

struct TFTPortSettings {
    DWORD BaudRate = 9600;
    UCHAR WordLength = FT_BITS_8;
    UCHAR StopBits = FT_STOP_BITS_1_5;
    UCHAR Parity = FT_PARITY_NONE;
    USHORT FlowControl = FT_FLOW_NONE;
    UCHAR XonChar = 0x11;
    UCHAR XoffChar = 0x13;
};

// The state is large (its two buffers); callers keep it on the heap or as a
// member, not on a small stack.
FT_STATUS GetFTDeviceCount(TFTDeviceState& state);
FT_STATUS GetFTDeviceDescription(TFTDeviceState& state, DWORD index);
FT_STATUS GetFTDeviceSerialNo(TFTDeviceState& state, DWORD index);
FT_STATUS Open_USB_Device_By_Serial_Number(TFTDeviceState& state, const std::string& serial);
FT_STATUS CloseFTDevice(TFTDeviceState& state);
DWORD ReadFTBuffer(TFTDeviceState& state, DWORD count);
DWORD WriteFTBuffer(TFTDeviceState& state, DWORD count);
FT_STATUS SetFTBaudRate(TFTDeviceState& state, const TFTPortSettings& port);
FT_STATUS SetFTDataCharacteristics(TFTDeviceState& state, const TFTPortSettings& port);
FT_STATUS SetFTFlowControl(TFTDeviceState& state, const TFTPortSettings& port);
FT_STATUS SetFTRts(TFTDeviceState& state);
FT_STATUS SetFTDtr(TFTDeviceState& state);
FT_STATUS SetFTTimeouts(TFTDeviceState& state, DWORD readTimeoutMs, DWORD writeTimeoutMs);
FT_STATUS GetFTQueueStatus(TFTDeviceState& state);

// The converters the last listing found but could not open, and why (see
// Tirevo_GetRefusedDevices in FtApi.h); none with the vendor's library.
std::vector<TIREVO_REFUSED_DEVICE> GetFTRefusedDevices();

// Text of a driver-filled string buffer: up to its first NUL, never past its
// end (a full buffer without a NUL yields all of it).
std::string BufferText(const char* buffer, size_t size);

}  // namespace tirevo
