// Control of the simulated meter library, for tests: which converters are
// attached, how they fail, what the meter answers, and a record of every
// driver call with its arguments and a monotonic time.
#pragma once

#include "FtApi.h"

#include <cstdint>
#include <string>
#include <vector>

#define SIM_EXPORT __attribute__((visibility("default")))

namespace sim {

struct Call {
    double tMs = 0;              // monotonic time of the call, milliseconds
    std::string fn;              // "FT_Write", "FT_OpenEx", ...
    std::vector<uint64_t> args;  // numeric arguments in order (index, baud, codes, counts)
    std::string data;            // bytes written or read, or the open name
    FT_STATUS status = FT_OK;
    int device = -1;  // the converter it worked on (its AddDevice number), -1 for none
};

// Back to the default: one meter "QUVA USB pH Meter" / "QP000001" that answers
// "PH" after 20 ms and "V" at once, no failures, empty record.
SIM_EXPORT void Reset();

// The meter's clock: real time by default; a manual clock starts at the
// current time and moves only by AdvanceClockMs (Reset goes back to real time).
SIM_EXPORT void SetManualClock(bool on);
SIM_EXPORT void AdvanceClockMs(double ms);

SIM_EXPORT void ClearDevices();
// Adds a converter; description and serial are taken as raw bytes, so one of
// 64 (or 16) bytes fills the driver's buffer without a NUL. Returns its number.
SIM_EXPORT int AddDevice(const std::string& description, const std::string& serial);
SIM_EXPORT void SetOpenFails(int device, bool fails);
SIM_EXPORT void SetDescriptionFails(int device, bool fails);
SIM_EXPORT void SetSerialFails(int device, bool fails);
// The system refuses this user the converter, as without the udev rule: it
// is counted, its strings and the open fail with FT_DEVICE_NOT_OPENED, and
// Tirevo_GetRefusedDevices names it (0403:6001, bus 1, device 2 + its number)
// once a listing has met it.
SIM_EXPORT void SetNoPermission(int device, bool refused);
// Unplugged: no longer listed; calls on its open handle fail with FT_IO_ERROR.
SIM_EXPORT void Unplug(int device);
// Plugged back in; the old handle stays dead, a new open works.
SIM_EXPORT void Plug(int device);
// A meter that takes every byte but never answers.
SIM_EXPORT void SetSilent(int device, bool silent);
// What this converter's meter answers to "PH" (empty: the common reading),
// and after how long (< 0: the common delay). Each converter has its own
// line, so several can be open at once.
SIM_EXPORT void SetDeviceReadingText(int device, const std::string& text);
SIM_EXPORT void SetDeviceReplyDelayMs(int device, double ms);

SIM_EXPORT void SetAutoReply(bool on);
SIM_EXPORT void SetReplyDelayMs(double ms);
// Fixes the reading value of the replies (default: a slow drift around 7.00).
SIM_EXPORT void SetReadingText(const std::string& text);
// Readings that settle from `from` towards `to` exponentially (time constant
// tauMs), from now when a meter is open, else from the next open; tauMs <= 0
// goes back to the drift. Also TIREVO_SIM_SETTLE=FROM,TO,TAU_MS.
SIM_EXPORT void SetSettling(double from, double to, double tauMs);
// Each read delivers at most this many bytes (0: no limit).
SIM_EXPORT void SetReadChunkLimit(uint32_t bytes);
// Bytes the meter sends, arriving delayMs from now: of the converter opened
// last, or of the one named.
SIM_EXPORT void InjectRx(const std::string& bytes, double delayMs = 0);
SIM_EXPORT void InjectRx(int device, const std::string& bytes, double delayMs = 0);

// From now on, the named call ("FT_Read", ...; "" for every call on an open
// handle) fails with status, after letting `after` more such calls succeed.
SIM_EXPORT void FailCalls(const std::string& fn, FT_STATUS status, int after = 0);
SIM_EXPORT void ClearFailures();

SIM_EXPORT std::vector<Call> Calls();
SIM_EXPORT std::vector<Call> CallsNamed(const std::string& fn);
SIM_EXPORT void ClearCalls();
// Every byte that reached the line through FT_Write since the last ClearCalls.
SIM_EXPORT std::string WrittenBytes();
// Bytes queued (arrived or still on their way) for the converter opened last.
SIM_EXPORT std::size_t QueuedRx();
// Whether any converter is open, or this one.
SIM_EXPORT bool IsOpen();
SIM_EXPORT bool IsOpen(int device);
SIM_EXPORT double NowMs();

}  // namespace sim
