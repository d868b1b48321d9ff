// Our own declarations of the twelve converter-driver entry points, as the
// chip maker's D2XX library exports them (C linkage, 32-bit status codes).
// Every implementation the program can bind to (the vendor library, the
// libftdi1 layer, the simulated meter) follows exactly these signatures.
#pragma once

#include <cstdint>

extern "C" {

typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;
#if defined(_WIN32)
// The same 32-bit types as <windows.h> spells them, so that both may meet in
// one file.
typedef unsigned long DWORD;
typedef unsigned long ULONG;
#else
typedef uint32_t DWORD;
typedef uint32_t ULONG;
#endif
typedef uint8_t UCHAR;
typedef uint16_t USHORT;

typedef FT_STATUS (*PFN_FT_ListDevices)(void* pArg1, void* pArg2, DWORD Flags);
typedef FT_STATUS (*PFN_FT_OpenEx)(void* pArg1, DWORD Flags, FT_HANDLE* pHandle);
typedef FT_STATUS (*PFN_FT_Close)(FT_HANDLE ftHandle);
typedef FT_STATUS (*PFN_FT_Read)(FT_HANDLE ftHandle, void* lpBuffer, DWORD dwBytesToRead,
                                 DWORD* lpdwBytesReturned);
typedef FT_STATUS (*PFN_FT_Write)(FT_HANDLE ftHandle, void* lpBuffer, DWORD dwBytesToWrite,
                                  DWORD* lpdwBytesWritten);
typedef FT_STATUS (*PFN_FT_SetBaudRate)(FT_HANDLE ftHandle, ULONG BaudRate);
typedef FT_STATUS (*PFN_FT_SetDataCharacteristics)(FT_HANDLE ftHandle, UCHAR WordLength, UCHAR StopBits,
                                                   UCHAR Parity);
typedef FT_STATUS (*PFN_FT_SetFlowControl)(FT_HANDLE ftHandle, USHORT FlowControl, UCHAR XonChar,
                                           UCHAR XoffChar);
typedef FT_STATUS (*PFN_FT_SetDtr)(FT_HANDLE ftHandle);
typedef FT_STATUS (*PFN_FT_SetRts)(FT_HANDLE ftHandle);
typedef FT_STATUS (*PFN_FT_SetTimeouts)(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout);
typedef FT_STATUS (*PFN_FT_GetStatus)(FT_HANDLE ftHandle, DWORD* lpdwAmountInRxQueue,
                                      DWORD* lpdwAmountInTxQueue, DWORD* lpdwEventStatus);

// Beside the twelve: the drivers of our own (the libftdi1 layer, the
// simulated meter) also export Tirevo_GetRefusedDevices, which names the
// converters that the last listing (the number-only call and the index calls
// after it) found but could not open, and why. The statuses of the twelve
// stay those of the vendor library (FT_DEVICE_NOT_OPENED); this only says
// more. The vendor's library has no such entry point: nothing is named.
typedef struct {
    USHORT VendorId;
    USHORT ProductId;
    UCHAR Bus;
    UCHAR Address;  // the device number on its bus
    DWORD Cause;    // TIREVO_REFUSED_*
} TIREVO_REFUSED_DEVICE;

// Fills up to max entries; returns how many converters were refused.
typedef DWORD (*PFN_Tirevo_GetRefusedDevices)(TIREVO_REFUSED_DEVICE* devices, DWORD max);

}  // extern "C"

// Why a converter was refused: the system would not let this user open it.
inline constexpr DWORD TIREVO_REFUSED_NO_PERMISSION = 1;

// Status codes, in the vendor library's order.
enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
    FT_DEVICE_LIST_NOT_READY = 19,
};

// FT_ListDevices flags.
inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000u;
inline constexpr DWORD FT_LIST_BY_INDEX = 0x40000000u;
inline constexpr DWORD FT_LIST_ALL = 0x20000000u;
// FT_OpenEx flags; also the "what to list" part of FT_ListDevices flags.
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;

// Line parameter codes.
inline constexpr UCHAR FT_BITS_8 = 8;
inline constexpr UCHAR FT_BITS_7 = 7;
inline constexpr UCHAR FT_STOP_BITS_1 = 0;
inline constexpr UCHAR FT_STOP_BITS_1_5 = 1;
inline constexpr UCHAR FT_STOP_BITS_2 = 2;
inline constexpr UCHAR FT_PARITY_NONE = 0;
inline constexpr UCHAR FT_PARITY_ODD = 1;
inline constexpr UCHAR FT_PARITY_EVEN = 2;
inline constexpr UCHAR FT_PARITY_MARK = 3;
inline constexpr UCHAR FT_PARITY_SPACE = 4;
inline constexpr USHORT FT_FLOW_NONE = 0x0000;
inline constexpr USHORT FT_FLOW_RTS_CTS = 0x0100;
inline constexpr USHORT FT_FLOW_DTR_DSR = 0x0200;
inline constexpr USHORT FT_FLOW_XON_XOFF = 0x0400;

// The description and serial-number buffers the driver fills when listing.
inline constexpr int FT_DESCRIPTION_SIZE = 64;
inline constexpr int FT_SERIAL_SIZE = 16;

// One set of the twelve entry points, from whichever implementation is bound.
struct FTDriverTable {
    PFN_FT_ListDevices ListDevices = nullptr;
    PFN_FT_OpenEx OpenEx = nullptr;
    PFN_FT_Close Close = nullptr;
    PFN_FT_Read Read = nullptr;
    PFN_FT_Write Write = nullptr;
    PFN_FT_SetBaudRate SetBaudRate = nullptr;
    PFN_FT_SetDataCharacteristics SetDataCharacteristics = nullptr;
    PFN_FT_SetFlowControl SetFlowControl = nullptr;
    PFN_FT_SetDtr SetDtr = nullptr;
    PFN_FT_SetRts SetRts = nullptr;
    PFN_FT_SetTimeouts SetTimeouts = nullptr;
    PFN_FT_GetStatus GetStatus = nullptr;
};
