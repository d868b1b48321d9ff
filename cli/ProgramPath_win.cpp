#include "RunSettings.h"

#include "WideText.h"

#include <windows.h>

namespace tirevo {

std::string OwnProgramPath()
{
    // Long paths need more than MAX_PATH; the buffer grows until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            // With forward slashes, as the window has its own path from Qt:
            // the folder beside it is then found the same way, and Windows
            // takes either.
            for (wchar_t& c : path) {
                if (c == L'\\')
                    c = L'/';
            }
            return Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace tirevo
