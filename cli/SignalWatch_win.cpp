// Windows: Ctrl+C, Ctrl+Break and the closing of the console window (or the
// end of the session) as events of the main loop, through the console's
// control handler. The loop sees them between two ticks, so a run ends with
// its last row complete and the device closed.
#include "SignalWatch.h"

#include "HandleNumber.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <windows.h>

namespace tirevo {

namespace {

// The handler runs on a thread of its own that the system starts; one watch
// per process, as with signals.
HANDLE gArrived = nullptr;
std::atomic<int> gSignal{0};
// The console's width when last asked; -1 before.
int gColumns = -1;

// The numbers a POSIX run reports for the same endings.
constexpr int kSigBreak = 21;
constexpr int kSigHup = 1;

BOOL WINAPI OnControl(DWORD type)
{
    int signal = 0;
    switch (type) {
    case CTRL_C_EVENT:
        signal = SIGINT;
        break;
    case CTRL_BREAK_EVENT:
        signal = kSigBreak;
        break;
    case CTRL_CLOSE_EVENT:
        signal = kSigHup;
        break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        signal = SIGTERM;
        break;
    default:
        return FALSE;
    }
    int none = 0;
    gSignal.compare_exchange_strong(none, signal);
    SetEvent(gArrived);
    // The system ends the process as soon as the handler of a closing console
    // returns; this thread waits instead, and the main loop ends the process
    // itself with its last row written (the system's grace period allows it).
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

}  // namespace

SignalWatch::SignalWatch()
{
    if (!gArrived)
        gArrived = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A run over the broker waits on the event together with its link.
    if (gArrived)
        fd_ = HandleNumber(gArrived);
    SetConsoleCtrlHandler(OnControl, TRUE);
}

SignalWatch::~SignalWatch() { SetConsoleCtrlHandler(OnControl, FALSE); }

bool SignalWatch::Wait(int64_t timeoutMs)
{
    if (received_ != 0)
        return true;
    const DWORD timeout = static_cast<DWORD>(std::clamp<int64_t>(timeoutMs, 0, INFINITE - 1));
    if (WaitForSingleObject(gArrived, timeout) != WAIT_OBJECT_0)
        return false;
    received_ = gSignal.load();
    return received_ != 0;
}

bool SignalWatch::TakeResized()
{
    // Consoles report a new size only to a program that reads console input;
    // the width is asked instead, as often as the loop comes by.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return false;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    const bool changed = gColumns >= 0 && columns != gColumns;
    gColumns = columns;
    return changed;
}

}  // namespace tirevo
