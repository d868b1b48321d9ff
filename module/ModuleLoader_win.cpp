#include "ModuleLoader.h"

#include <windows.h>

namespace tirevo {

namespace {

// UTF-8 to the system's wide text, with the backslashes LoadLibrary wants
// (forward slashes are not path separators to it).
std::wstring WidePath(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

// The system's message for an error code, in English where the system has
// it, without the line end it comes with.
std::string SystemMessage(DWORD code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "cannot be loaded (error " + std::to_string(code) + ")" : message;
}

}  // namespace

void* OpenModule(const std::string& path, std::string& reason)
{
    // No box from the system about a missing DLL: the caller says it in its
    // own words.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(WidePath(path).c_str());
    const DWORD error = GetLastError();
    SetErrorMode(previous);
    if (!module)
        reason = SystemMessage(error);
    return reinterpret_cast<void*>(module);
}

void* ModuleSymbol(void* module, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace tirevo
