#include "DriverBinding.h"

#include "LibftdiDriver.h"

#include <dlfcn.h>

namespace tirevo {

namespace {

// Stand-in entry points for "no driver at all": every call fails, and the
// number-only listing reports zero devices so that nothing is listed.
FT_STATUS NoneListDevices(void* pArg1, void* pArg2, DWORD flags)
{
    if ((flags & FT_LIST_NUMBER_ONLY) && pArg1 && !pArg2)
        *static_cast<DWORD*>(pArg1) = 0;
    return FT_DEVICE_NOT_FOUND;
}
FT_STATUS NoneOpenEx(void*, DWORD, FT_HANDLE*) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS NoneHandle(FT_HANDLE) { return FT_INVALID_HANDLE; }
FT_STATUS NoneIo(FT_HANDLE, void*, DWORD, DWORD* moved)
{
    if (moved)
        *moved = 0;
    return FT_INVALID_HANDLE;
}
FT_STATUS NoneBaud(FT_HANDLE, ULONG) { return FT_INVALID_HANDLE; }
FT_STATUS NoneData(FT_HANDLE, UCHAR, UCHAR, UCHAR) { return FT_INVALID_HANDLE; }
FT_STATUS NoneFlow(FT_HANDLE, USHORT, UCHAR, UCHAR) { return FT_INVALID_HANDLE; }
FT_STATUS NoneTimeouts(FT_HANDLE, ULONG, ULONG) { return FT_INVALID_HANDLE; }
FT_STATUS NoneStatus(FT_HANDLE, DWORD*, DWORD*, DWORD*) { return FT_INVALID_HANDLE; }

const FTDriverTable kNoDriver = {NoneListDevices, NoneOpenEx, NoneHandle,   NoneIo,
                                 NoneIo,          NoneBaud,   NoneData,     NoneFlow,
                                 NoneHandle,      NoneHandle, NoneTimeouts, NoneStatus};

DWORD NoneRefused(TIREVO_REFUSED_DEVICE*, DWORD) { return 0; }

FTDriverTable gTable = kNoDriver;
PFN_Tirevo_GetRefusedDevices gRefused = NoneRefused;
FTDriverKind gKind = FTDriverKind::None;
void* gLibrary = nullptr;

#if defined(__APPLE__)
constexpr const char* kVendorLibrary = "libftd2xx.dylib";
#elif defined(_WIN32)
constexpr const char* kVendorLibrary = "FTD2XX.DLL";
#else
constexpr const char* kVendorLibrary = "libftd2xx.so";
#endif

template <typename Fn> bool Resolve(void* lib, const char* name, Fn& out)
{
    out = reinterpret_cast<Fn>(dlsym(lib, name));
    return out != nullptr;
}

}  // namespace

bool BindFTDriverLibrary(const std::string& libraryPath)
{
    void* lib = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return false;
    FTDriverTable t;
    const bool complete = Resolve(lib, "FT_ListDevices", t.ListDevices) &&
        Resolve(lib, "FT_OpenEx", t.OpenEx) && Resolve(lib, "FT_Close", t.Close) &&
        Resolve(lib, "FT_Read", t.Read) && Resolve(lib, "FT_Write", t.Write) &&
        Resolve(lib, "FT_SetBaudRate", t.SetBaudRate) &&
        Resolve(lib, "FT_SetDataCharacteristics", t.SetDataCharacteristics) &&
        Resolve(lib, "FT_SetFlowControl", t.SetFlowControl) && Resolve(lib, "FT_SetDtr", t.SetDtr) &&
        Resolve(lib, "FT_SetRts", t.SetRts) && Resolve(lib, "FT_SetTimeouts", t.SetTimeouts) &&
        Resolve(lib, "FT_GetStatus", t.GetStatus);
    if (!complete) {
        dlclose(lib);
        return false;
    }
    // Optional: only drivers of our own say why a converter was refused.
    PFN_Tirevo_GetRefusedDevices refused = nullptr;
    if (!Resolve(lib, "Tirevo_GetRefusedDevices", refused))
        refused = NoneRefused;
    // The previous library stays loaded: a handle it gave out may still be
    // closed through it by code that kept the old table.
    gLibrary = lib;
    gTable = t;
    gRefused = refused;
    gKind = FTDriverKind::Library;
    return true;
}

void BindBuiltinFTDriver()
{
    gTable = FtdiDriverTable();
    gRefused = FtdiRefusedDevices;
    gKind = FTDriverKind::Builtin;
}

void UnbindFTDriver()
{
    gTable = kNoDriver;
    gRefused = NoneRefused;
    gKind = FTDriverKind::None;
}

void BindFTDriverTable(const FTDriverTable& table)
{
    gTable = table;
    gKind = FTDriverKind::Library;
}

FTDriverKind BindFTDriver()
{
    if (BindFTDriverLibrary(kVendorLibrary))
        return gKind;
    BindBuiltinFTDriver();
    return gKind;
}

FTDriverKind BoundFTDriverKind() { return gKind; }

const FTDriverTable& FTDriver() { return gTable; }

PFN_Tirevo_GetRefusedDevices FTRefusedDevicesCall() { return gRefused; }

}  // namespace tirevo
