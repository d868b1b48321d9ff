#include "DriverLoader.h"

#include <string>

#include <windows.h>

namespace tirevo {

// What the maker's driver package installs into the system folder.
const char* const kVendorDriverLibrary = "FTD2XX.DLL";

namespace {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

}  // namespace

void* OpenSharedLibrary(const std::string& path)
{
    // No "cannot find the DLL" box from the system: a missing driver is
    // reported by the program in its own words.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryW(Wide(path).c_str());
    SetErrorMode(previous);
    return reinterpret_cast<void*>(library);
}

void* SharedLibrarySymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseSharedLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

// The converter is the maker's driver's alone on Windows: without it there is
// nothing the program could open.
const FTDriverTable* BuiltinDriverTable() { return nullptr; }

}  // namespace tirevo
