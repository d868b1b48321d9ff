// Windows: the --on-alarm command runs as `cmd.exe /d /s /c COMMAND`
// (%ComSpec%), without a console window of its own and away from ours, so
// Ctrl+C on the program does not reach it. Its input is NUL, its output and
// errors go to the program's stderr, and it inherits no other handle (the
// meter's driver, the log file). The process handles stand where POSIX keeps
// the process ids.
#include "AlarmHook.h"

#include "WideText.h"

#include <io.h>
#include <windows.h>

namespace tirevo {

namespace {

static_assert(sizeof(pid_t) >= sizeof(HANDLE), "a process handle must fit where the id is kept");

pid_t Kept(HANDLE process) { return static_cast<pid_t>(reinterpret_cast<intptr_t>(process)); }
HANDLE Process(pid_t kept) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(kept)); }

bool SameName(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The program's environment without the names given (names are matched
// without regard to case, as Windows does), then the names given: a block of
// NUL-ended entries ended by one more NUL.
std::wstring EnvironmentBlock(const HookVariables& variables)
{
    std::wstring block;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) {
            const std::wstring_view text(entry);
            // Entries such as "=C:=C:\\" keep a drive's folder: their name
            // starts after the first '='.
            const std::wstring_view name = text.substr(0, text.find(L'=', 1));
            bool replaced = false;
            for (const auto& [key, value] : variables)
                replaced = replaced || SameName(name, Wide(key));
            if (!replaced)
                block.append(text).push_back(L'\0');
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [key, value] : variables)
        block.append(Wide(key + "=" + value)).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

std::string SystemText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = n > 0 && text ? std::wstring(text, n) : L"error " + std::to_wstring(error);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
        wide.pop_back();
    return Utf8(wide);
}

HANDLE Inheritable(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

}  // namespace

AlarmHook::AlarmHook(std::string command, std::function<void(const std::string&)> say)
    : command_(std::move(command)), say_(std::move(say))
{
}

AlarmHook::~AlarmHook()
{
    Reap();
    // Those still running go on by themselves; only our hold on them ends.
    for (const pid_t kept : running_)
        CloseHandle(Process(kept));
}

void AlarmHook::Run(const HookVariables& variables)
{
    wchar_t shell[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ComSpec", shell, MAX_PATH);
    std::wstring interpreter = length > 0 && length < MAX_PATH ? std::wstring(shell, length) : L"cmd.exe";
    // /s: cmd takes everything between the first and the last quote as the
    // command, as typed.
    std::wstring line = L"\"" + interpreter + L"\" /d /s /c \"" + Wide(command_) + L"\"";
    std::wstring environment = EnvironmentBlock(variables);

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE output = Inheritable(reinterpret_cast<HANDLE>(_get_osfhandle(2)));
    if (!output)
        output = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    // Only these two handles are handed down, whatever else is inheritable.
    HANDLE handed[2] = {input, output};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    const bool listed = InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
        UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed, sizeof handed,
                                  nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = listed ? attributes : nullptr;
    PROCESS_INFORMATION started{};
    const BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT |
                                       (listed ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                   environment.data(), nullptr, &startup.StartupInfo, &started);
    const DWORD error = GetLastError();
    if (listed)
        DeleteProcThreadAttributeList(attributes);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (output && output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (!ok) {
        say_("cannot run the --on-alarm command: " + SystemText(error));
        return;
    }
    CloseHandle(started.hThread);
    running_.push_back(Kept(started.hProcess));
}

void AlarmHook::Reap()
{
    for (auto it = running_.begin(); it != running_.end();) {
        const HANDLE process = Process(*it);
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            ++it;
            continue;
        }
        DWORD code = 0;
        if (GetExitCodeProcess(process, &code) && code != 0)
            say_("the --on-alarm command ended with status " + std::to_string(code));
        CloseHandle(process);
        it = running_.erase(it);
    }
}

}  // namespace tirevo
