#include "FtdiDriver.h"

// Placeholder until the libftdi1 layer lands: lists nothing, opens nothing.
namespace {
FT_STATUS listDevices(void* pArg1, void* pArg2, DWORD flags)
{
    if ((flags & FT_LIST_NUMBER_ONLY) && pArg1 && !pArg2)
        *static_cast<DWORD*>(pArg1) = 0;
    return FT_DEVICE_NOT_FOUND;
}
FT_STATUS openEx(void*, DWORD, FT_HANDLE*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS handleOnly(FT_HANDLE) { return FT_INVALID_HANDLE; }
FT_STATUS io(FT_HANDLE, void*, DWORD, DWORD* moved)
{
    if (moved)
        *moved = 0;
    return FT_INVALID_HANDLE;
}
FT_STATUS baud(FT_HANDLE, ULONG) { return FT_INVALID_HANDLE; }
FT_STATUS data(FT_HANDLE, UCHAR, UCHAR, UCHAR) { return FT_INVALID_HANDLE; }
FT_STATUS flow(FT_HANDLE, USHORT, UCHAR, UCHAR) { return FT_INVALID_HANDLE; }
FT_STATUS timeouts(FT_HANDLE, ULONG, ULONG) { return FT_INVALID_HANDLE; }
FT_STATUS status(FT_HANDLE, DWORD*, DWORD*, DWORD*) { return FT_INVALID_HANDLE; }
}  // namespace

const FTDriverTable& FtdiDriverTable()
{
    static const FTDriverTable table = {listDevices, openEx, handleOnly, io, io, baud, data,
                                        flow, handleOnly, handleOnly, timeouts, status};
    return table;
}
