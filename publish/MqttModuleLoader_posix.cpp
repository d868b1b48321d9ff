#include "MqttModuleLoader.h"

#include <dlfcn.h>

namespace tirevo {

void* OpenMqttModule(const std::string& path, std::string& reason)
{
    // Local: its symbols (the client library's included) stay its own.
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

void* MqttModuleSymbol(void* module, const char* name) { return ::dlsym(module, name); }

}  // namespace tirevo
