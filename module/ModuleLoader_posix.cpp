#include "ModuleLoader.h"

#include <dlfcn.h>

namespace tirevo {

void* OpenModule(const std::string& path, std::string& reason)
{
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* error = ::dlerror();
        reason = error ? error : "cannot be loaded";
        // The loader names the file first; the caller names it already.
        if (reason.rfind(path + ": ", 0) == 0)
            reason.erase(0, path.size() + 2);
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) { return ::dlsym(module, name); }

}  // namespace tirevo
