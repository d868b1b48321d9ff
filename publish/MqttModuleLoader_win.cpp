#include "MqttModuleLoader.h"

#include "WideText.h"

#include <windows.h>

namespace tirevo {

namespace {

// The system's sentence for a failed load, without its final line break.
std::string LoadFailure(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = n > 0 && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '))
        wide.pop_back();
    return wide.empty() ? "cannot be loaded (Windows error " + std::to_string(error) + ")" : Utf8(wide);
}

}  // namespace

void* OpenMqttModule(const std::string& path, std::string& reason)
{
    // The module's own DLLs (the MQTT client, OpenSSL) are looked for in its
    // folder first, and no "cannot find the DLL" box pops up: a missing one
    // is said in the program's words.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    SetErrorMode(previous);
    if (!module)
        reason = LoadFailure(error);
    return reinterpret_cast<void*>(module);
}

void* MqttModuleSymbol(void* module, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace tirevo
