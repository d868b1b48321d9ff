// The user's name on Windows.
#include "AuditOrigin.h"

#include "WideText.h"

#include <cstdlib>
#include <windows.h>

namespace tirevo {

namespace {

constexpr DWORD kLongestUserName = 257;  // UNLEN + 1

}  // namespace

std::string LoginName()
{
    wchar_t name[kLongestUserName] = {};
    DWORD length = kLongestUserName;
    if (GetUserNameW(name, &length) && length > 1)
        return Utf8(std::wstring(name, length - 1));
    if (const wchar_t* value = _wgetenv(L"USERNAME"); value != nullptr && value[0] != L'\0')
        return Utf8(value);
    return "unknown";
}

}  // namespace tirevo
