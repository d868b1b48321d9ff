#include "DriverLoader.h"

#include "DriverBinding.h"
#include "LibftdiDriver.h"

#include <dlfcn.h>

namespace tirevo {

#if defined(__APPLE__)
const char* const kVendorDriverLibrary = "libftd2xx.dylib";
#else
const char* const kVendorDriverLibrary = "libftd2xx.so";
#endif

void* OpenSharedLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* SharedLibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseSharedLibrary(void* library) { dlclose(library); }

const FTDriverTable* BuiltinDriverTable() { return &FtdiDriverTable(); }

PFN_Tirevo_GetRefusedDevices BuiltinRefusedDevices() { return FtdiRefusedDevices; }

}  // namespace tirevo
