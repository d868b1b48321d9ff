// What binding the converter driver needs from the system: loading a shared
// library at run time and finding its entry points (the dynamic loader, or
// LoadLibrary on Windows), the maker's library name there, and the driver the
// program brings itself where the maker's is missing.
#pragma once

#include <string>

// From FtApi.h; declared only, so that the Windows side can include
// <windows.h>, whose DWORD differs from the driver header's.
struct FTDriverTable;

namespace tirevo {

// The converter maker's driver library under this system's name.
extern const char* const kVendorDriverLibrary;

// A full path (UTF-8), or a name the system loader looks up in its usual
// places. Null when the library cannot be loaded.
void* OpenSharedLibrary(const std::string& path);
void* SharedLibrarySymbol(void* library, const char* name);
void CloseSharedLibrary(void* library);

// The built-in driver, or null on a system where the program has none.
const FTDriverTable* BuiltinDriverTable();

}  // namespace tirevo
