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

// The whole path: LOAD_WITH_ALTERED_SEARCH_PATH is undefined for a relative
// one (a test or a driver may name the file so).
std::wstring FullPath(const std::wstring& path)
{
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n)
        return path;
    full.resize(written);
    return full;
}

// The system's wide text back to UTF-8, the program's own (the narrow code
// page is not UTF-8, so FormatMessageA would mangle a path or a word in
// another language).
std::string Utf8Text(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                            nullptr);
    return utf8;
}

// The system's message for an error code in the given language; empty when
// it has none in that language.
std::wstring SystemText(DWORD code, DWORD language)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

// The system's message for an error code, in English like the lines around
// it where the system has English, else in its own language (an explicit
// language does not fall back by itself: FormatMessage fails instead),
// without the line end it comes with.
std::string SystemMessage(DWORD code)
{
    std::wstring message = SystemText(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (message.empty())
        message = SystemText(code, 0);
    return message.empty() ? "cannot be loaded (Windows error " + std::to_string(code) + ")"
                           : Utf8Text(message);
}

}  // namespace

void* OpenModule(const std::string& path, std::string& reason)
{
    // The DLLs a module needs itself (the MQTT client and OpenSSL, Qt's) are
    // looked for in its own folder first, and no "cannot find the DLL" box
    // pops up: the caller says what is missing in its own words.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(FullPath(WidePath(path)).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
