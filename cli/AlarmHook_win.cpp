// Windows: the --on-alarm command runs as `cmd.exe /d /s /c COMMAND`
// (%ComSpec%), without a console window of its own and away from ours, so
// Ctrl+C on the program does not reach it. Its input is NUL, its output and
// errors go into an anonymous pipe the program reads when PeekNamedPipe()
// says there is something (such a pipe cannot be read without blocking
// otherwise), and it inherits no other handle (the meter's driver, the log
// file, the program's own stdout and stderr). The process and pipe handles
// stand where POSIX keeps the process ids and descriptors.
#include "AlarmHook.h"

#include "WideText.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <vector>
#include <windows.h>

namespace tirevo {

namespace {

static_assert(sizeof(intptr_t) >= sizeof(HANDLE), "a handle must fit where it is kept");

intptr_t Kept(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }
HANDLE Handle(intptr_t kept) { return reinterpret_cast<HANDLE>(kept); }

constexpr DWORD kPipeBytes = 64 * 1024;
constexpr DWORD kReadChunk = 4096;
// What cmd.exe's exit status says when it could not find the command.
constexpr DWORD kCmdNotFound = 9009;

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

}  // namespace

void AlarmHook::Run(const HookVariables& variables)
{
    wchar_t shell[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ComSpec", shell, MAX_PATH);
    std::wstring interpreter = length > 0 && length < MAX_PATH ? std::wstring(shell, length) : L"cmd.exe";
    // /s: cmd takes everything between the first and the last quote as the
    // command, as typed.
    std::wstring line = L"\"" + interpreter + L"\" /d /s /c \"" + Wide(command_) + L"\"";
    std::wstring environment = EnvironmentBlock(variables);

    // Only the command's ends are inheritable; the program's end of the pipe
    // is not, so no other process it starts can hold the pipe open.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    if (input == INVALID_HANDLE_VALUE || !CreatePipe(&reading, &writing, &inherit, kPipeBytes) ||
        !SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0)) {
        const DWORD error = GetLastError();
        for (HANDLE handle : {input, reading, writing})
            if (handle && handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
        say_("cannot run the --on-alarm command: " + SystemText(error));
        return;
    }

    // Only these two handles are handed down, whatever else is inheritable.
    HANDLE handed[2] = {input, writing};
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
    startup.StartupInfo.hStdOutput = writing;
    startup.StartupInfo.hStdError = writing;
    startup.lpAttributeList = listed ? attributes : nullptr;
    PROCESS_INFORMATION started{};
    const BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT |
                                       (listed ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                   environment.data(), nullptr, &startup.StartupInfo, &started);
    const DWORD error = GetLastError();
    if (listed)
        DeleteProcThreadAttributeList(attributes);
    // The command holds its own copies now: the pipe ends when it (and
    // whatever it started) has closed them.
    CloseHandle(input);
    CloseHandle(writing);
    if (!ok) {
        CloseHandle(reading);
        say_("cannot run the --on-alarm command: " + SystemText(error));
        return;
    }
    CloseHandle(started.hThread);
    Command command;
    command.process = Kept(started.hProcess);
    command.output = Kept(reading);
    running_.push_back(std::move(command));
}

bool AlarmHook::ReadAvailable(Command& command, std::string& bytes)
{
    const HANDLE reading = Handle(command.output);
    char buffer[kReadChunk];
    while (bytes.size() < kMostPerLook) {
        DWORD waiting = 0;
        // Fails once every writer has closed its end (ERROR_BROKEN_PIPE) and
        // nothing is left to read.
        if (!PeekNamedPipe(reading, nullptr, 0, nullptr, &waiting, nullptr))
            break;
        if (waiting == 0)
            return true;
        DWORD got = 0;
        if (!ReadFile(reading, buffer, std::min<DWORD>(waiting, kReadChunk), &got, nullptr) || got == 0)
            break;
        bytes.append(buffer, got);
    }
    if (bytes.size() >= kMostPerLook)
        return true;
    CloseHandle(reading);
    command.output = -1;
    return false;
}

bool AlarmHook::Collect(Command& command, std::string& failure)
{
    const HANDLE process = Handle(command.process);
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
        return false;
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code) && code != 0)
        failure = HookStatusText(static_cast<long>(code), code == kCmdNotFound ? "command not found" : "");
    CloseHandle(process);
    command.process = 0;
    command.ended = true;
    return true;
}

void AlarmHook::WaitForAny(long timeoutMs)
{
    // An anonymous pipe cannot be waited on; the processes can.
    std::vector<HANDLE> processes;
    for (const Command& command : running_)
        if (!command.ended && processes.size() < MAXIMUM_WAIT_OBJECTS)
            processes.push_back(Handle(command.process));
    if (processes.empty()) {
        Sleep(static_cast<DWORD>(timeoutMs));
        return;
    }
    WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), FALSE,
                           static_cast<DWORD>(timeoutMs));
}

void AlarmHook::Leave(Command& command)
{
    std::optional<long> id;
    if (!command.ended) {
        id = static_cast<long>(GetProcessId(Handle(command.process)));
        // Those still running go on by themselves; only our hold on them ends.
        CloseHandle(Handle(command.process));
        command.process = 0;
    }
    say_(HookLeftText(id, kEndWaitMs));
    // Its later writes fail once the program has gone (a pipe without a
    // reader); unlike POSIX, no signal ends it for that.
    if (command.output >= 0)
        CloseHandle(Handle(command.output));
    command.output = -1;
}

}  // namespace tirevo
