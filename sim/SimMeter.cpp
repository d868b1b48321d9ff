// A converter with a pH meter behind it, behind the same twelve entry points
// as the vendor's driver library. The program runs on it for the demo, and
// the tests script it through SimControl.h.
#include "SimControl.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

namespace {

struct Handle;

// Bytes on their way from the meter, arriving together at one time.
struct Pending {
    double at = 0;
    std::string bytes;
    size_t taken = 0;
};

struct Device {
    std::string description;
    std::string serial;
    bool plugged = true;
    bool openFails = false;
    bool descriptionFails = false;
    bool serialFails = false;
    bool silent = false;
    // The system would not let this user open it: counted, never read.
    bool noPermission = false;
    // Each converter is a line of its own: its open handle, the bytes on
    // their way from its meter, the command it is receiving, and what its
    // meter answers.
    Handle* holder = nullptr;
    std::deque<Pending> rx = {};
    std::string lineIn = {};
    double replyDelayMs = -1;       // < 0: the common delay
    std::string fixedReading = {};  // empty: the common reading
};

// Where a simulated converter sits: all on bus 1, device numbers from 2 up
// (1 is the root hub), in the order they were added.
constexpr int kSimBus = 1;
constexpr int kFirstAddress = 2;
constexpr uint16_t kSimVendor = 0x0403;
constexpr uint16_t kSimProduct = 0x6001;

struct Handle {
    int device = -1;
    bool open = false;
};

struct Failure {
    FT_STATUS status = FT_OK;
    int after = 0;
};

struct State {
    std::vector<Device> devices;
    std::vector<std::unique_ptr<Handle>> handles;
    // The converter opened last: the one the calls without a device number
    // (InjectRx, QueuedRx) work on.
    int lastOpened = -1;
    std::string written;
    std::vector<sim::Call> calls;
    std::map<std::string, Failure> failures;
    // Devices refused for lack of permission since the last count.
    std::vector<int> refused;
    bool autoReply = true;
    double replyDelayMs = 20;
    uint32_t readChunkLimit = 0;
    std::string fixedReading;
    std::vector<std::string> readingScript;  // one reading per reply, the last one kept
    std::size_t readingsGiven = 0;
    double drift = 7.00;
    uint32_t rng = 12345;
    // An electrode put into a new solution when the meter is first opened:
    // the reading approaches settleTo exponentially with settleTauMs.
    bool settling = false;
    double settleFrom = 0;
    double settleTo = 0;
    double settleTauMs = 0;
    double settleStartMs = -1;  // the first open; < 0 until then
    // After a calibration command the reading moves to the buffer's value
    // with this time constant, as a meter that took the point reads the
    // buffer it sits in. TIREVO_SIM_CAL_TAU_MS.
    double calibrationTauMs = 2000;
    double lastReading = 7.00;
    // Knobs for a program run as a child process, set from its environment.
    std::string wireLogPath;    // every byte written, appended to this file
    std::string eventLogPath;   // "open SERIAL" and "close", a line each
    int unplugAfterPolls = -1;  // "PH" answered before the converter goes
    std::string unplugOnWrite;  // the converter goes once a line so begins
    double replugAfterMs = -1;  // and how long it stays away (< 0: for good)
    int pollsAnswered = 0;
    int unpluggedDevice = -1;
    double unpluggedAtMs = 0;
    int lateDevice = -1;  // a meter plugged in only at lateAtMs
    double lateAtMs = 0;
};

void Defaults(State& s);
State& S();
double Now();

int EnvInt(const char* name, int fallback)
{
    const char* env = std::getenv(name);
    return env && *env ? std::atoi(env) : fallback;
}

// "a,b,,c" as {"a", "b", "c"}.
std::vector<std::string> SplitCommas(const char* text)
{
    std::vector<std::string> items;
    std::string item;
    for (const char* c = text;; ++c) {
        if (*c == ',' || *c == '\0') {
            if (!item.empty())
                items.push_back(item);
            item.clear();
            if (*c == '\0')
                break;
        } else {
            item += *c;
        }
    }
    return items;
}

// A program under test runs as a child process and cannot be scripted
// through SimControl.h; these variables give it the few situations the tests
// of a whole program need.
void EnvironmentKnobs(State& s)
{
    // TIREVO_SIM_OTHERS: converters that are not meters, listed first.
    const int others = std::clamp(EnvInt("TIREVO_SIM_OTHERS", 0), 0, 9);
    for (int i = others; i >= 1; --i)
        s.devices.insert(s.devices.begin(), {"FT232R USB UART", "FTOTHER" + std::to_string(i)});
    // TIREVO_SIM_READING: every reply carries this reading.
    if (const char* env = std::getenv("TIREVO_SIM_READING"))
        s.fixedReading = env;
    // TIREVO_SIM_SETTLE=FROM,TO,TAU_MS: the readings settle from FROM to TO
    // from the first open on, as an electrode does in a new solution (the
    // demo shows "Settling" turn to "Stable" with it).
    if (const char* env = std::getenv("TIREVO_SIM_SETTLE")) {
        double from = 0;
        double to = 0;
        double tau = 0;
        if (std::sscanf(env, "%lf,%lf,%lf", &from, &to, &tau) == 3 && tau > 0) {
            s.settling = true;
            s.settleFrom = from;
            s.settleTo = to;
            s.settleTauMs = tau;
        }
    }
    if (const int tau = EnvInt("TIREVO_SIM_CAL_TAU_MS", 0); tau > 0)
        s.calibrationTauMs = tau;
    // TIREVO_SIM_READINGS: the readings of the replies in order, separated by
    // commas ("7.00,7.80,7.30"); the last one is kept from then on.
    if (const char* env = std::getenv("TIREVO_SIM_READINGS"))
        s.readingScript = SplitCommas(env);
    // TIREVO_SIM_UNPLUG_AFTER_POLLS: the meter answers that many "PH", and
    // its converter is unplugged at the next one; TIREVO_SIM_REPLUG_AFTER_MS
    // plugs it back that long afterwards (never when unset).
    s.unplugAfterPolls = EnvInt("TIREVO_SIM_UNPLUG_AFTER_POLLS", -1);
    s.replugAfterMs = EnvInt("TIREVO_SIM_REPLUG_AFTER_MS", -1);
    // TIREVO_SIM_UNPLUG_ON_WRITE=P1: the converter is unplugged as soon as
    // the line being written begins so, with the rest of it still to go
    // (once; TIREVO_SIM_REPLUG_AFTER_MS brings it back as above).
    if (const char* env = std::getenv("TIREVO_SIM_UNPLUG_ON_WRITE"))
        s.unplugOnWrite = env;
    // TIREVO_SIM_NO_PERMISSION: that many of the converters, from the first,
    // are counted but cannot be opened by this user.
    const int refused = std::clamp(EnvInt("TIREVO_SIM_NO_PERMISSION", 0), 0, 99);
    for (int i = 0; i < refused && i < static_cast<int>(s.devices.size()); ++i)
        s.devices[i].noPermission = true;
    // TIREVO_SIM_SERIALS=A,B: the meters' serial numbers in turn (instead of
    // QP000001 upwards), taken as raw bytes like a converter's.
    if (const char* env = std::getenv("TIREVO_SIM_SERIALS")) {
        const std::vector<std::string> serials = SplitCommas(env);
        std::size_t meter = 0;
        for (Device& d : s.devices) {
            if (d.serial.rfind("FTOTHER", 0) == 0)
                continue;
            if (meter < serials.size())
                d.serial = serials[meter];
            ++meter;
        }
    }
    // TIREVO_SIM_METER_READINGS=7.01,8.02: each meter in turn (QP000001
    // first) answers its own reading, for runs over several meters.
    // TIREVO_SIM_SILENT=QP000002,...: meters that take every byte but never
    // answer. TIREVO_SIM_LATE_MS: the last meter is plugged in only that
    // long after the program started.
    {
        std::vector<std::string> readings;
        if (const char* env = std::getenv("TIREVO_SIM_METER_READINGS"))
            readings = SplitCommas(env);
        std::vector<std::string> silent;
        if (const char* env = std::getenv("TIREVO_SIM_SILENT"))
            silent = SplitCommas(env);
        std::size_t meter = 0;
        for (Device& d : s.devices) {
            if (d.serial.rfind("FTOTHER", 0) == 0)
                continue;
            if (meter < readings.size())
                d.fixedReading = readings[meter];
            ++meter;
            d.silent = std::find(silent.begin(), silent.end(), d.serial) != silent.end();
        }
        // TIREVO_SIM_HELD=QP000001,...: meters listed but held by another
        // program, which the driver refuses to open.
        std::vector<std::string> held;
        if (const char* env = std::getenv("TIREVO_SIM_HELD"))
            held = SplitCommas(env);
        for (Device& d : s.devices)
            d.openFails = d.openFails || std::find(held.begin(), held.end(), d.serial) != held.end();
        const int late = EnvInt("TIREVO_SIM_LATE_MS", -1);
        if (late >= 0 && !s.devices.empty()) {
            s.lateDevice = static_cast<int>(s.devices.size()) - 1;
            s.lateAtMs = Now() + late;
            s.devices.back().plugged = false;
        }
    }
    // TIREVO_SIM_WIRE_LOG: a file that receives every byte that reaches the
    // line, in order.
    if (const char* env = std::getenv("TIREVO_SIM_WIRE_LOG"))
        s.wireLogPath = env;
    // TIREVO_SIM_EVENTS: a file that receives a line for every successful
    // open and close, so a test sees the device released.
    if (const char* env = std::getenv("TIREVO_SIM_EVENTS"))
        s.eventLogPath = env;
}

void AppendTo(const std::string& path, const std::string& bytes)
{
    if (path.empty())
        return;
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

void LogWire(const std::string& bytes) { AppendTo(S().wireLogPath, bytes); }

// The converter unplugged through TIREVO_SIM_UNPLUG_AFTER_POLLS comes back
// once its time is up; looked at where a program looks for it.
void ReplugWhenDue()
{
    State& s = S();
    if (s.lateDevice >= 0 && s.lateDevice < static_cast<int>(s.devices.size()) && Now() >= s.lateAtMs) {
        s.devices[s.lateDevice].plugged = true;
        s.lateDevice = -1;
    }
    if (s.unpluggedDevice < 0 || s.replugAfterMs < 0 || Now() - s.unpluggedAtMs < s.replugAfterMs)
        return;
    s.devices[s.unpluggedDevice].plugged = true;
    s.devices[s.unpluggedDevice].holder = nullptr;
    s.unpluggedDevice = -1;
    s.unplugAfterPolls = -1;
}

State& S()
{
    static State state = [] {
        State s;
        Defaults(s);
        return s;
    }();
    return state;
}

const auto kStart = std::chrono::steady_clock::now();

// Tests may run the meter on a clock of their own, advanced by hand.
bool manualClock = false;
double manualNowMs = 0;

double Now()
{
    if (manualClock)
        return manualNowMs;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - kStart).count();
}

void Defaults(State& s)
{
    s = State{};
    // TIREVO_SIM_METERS lets the demo show the selection page: that many
    // meters, QP000001 upwards.
    int meters = 1;
    if (const char* env = std::getenv("TIREVO_SIM_METERS"))
        meters = std::clamp(std::atoi(env), 0, 99);
    for (int i = 1; i <= meters; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QP%06d", i);
        s.devices.push_back({"QUVA USB pH Meter", serial});
    }
    EnvironmentKnobs(s);
}

// The record is for tests; a long demo run must not grow it without bound.
constexpr size_t kMaxCalls = 20000;
constexpr size_t kMaxWritten = 1 << 20;

// The converter the driver call being made works on, for its record.
int callDevice = -1;

int DeviceOf(FT_HANDLE h)
{
    const auto& handles = S().handles;
    const auto found =
        std::find_if(handles.begin(), handles.end(), [&](const auto& p) { return p.get() == h; });
    return found == handles.end() ? -1 : (*found)->device;
}

// Sets the converter of the calls recorded while it lives.
struct CallOn {
    explicit CallOn(int device) { callDevice = device; }
    ~CallOn() { callDevice = -1; }
    CallOn(const CallOn&) = delete;
    CallOn& operator=(const CallOn&) = delete;
};

FT_STATUS Record(const char* fn, std::vector<uint64_t> args, std::string data, FT_STATUS status)
{
    auto& calls = S().calls;
    if (calls.size() >= kMaxCalls)
        calls.erase(calls.begin(), calls.begin() + kMaxCalls / 2);
    calls.push_back({Now(), fn, std::move(args), std::move(data), status, callDevice});
    return status;
}

// A scripted failure for this call, if one is due.
bool Injected(const std::string& fn, FT_STATUS& status)
{
    auto& f = S().failures;
    for (const auto& key : {fn, std::string()}) {
        auto it = f.find(key);
        if (it == f.end())
            continue;
        if (it->second.after > 0) {
            --it->second.after;
            continue;
        }
        status = it->second.status;
        return true;
    }
    return false;
}

std::vector<int> Listed()
{
    std::vector<int> out;
    for (int i = 0; i < static_cast<int>(S().devices.size()); ++i)
        if (S().devices[i].plugged)
            out.push_back(i);
    return out;
}

// Checks a handle for an I/O call: FT_OK, or the status the call fails with.
FT_STATUS Usable(FT_HANDLE h, const std::string& fn)
{
    auto* handle = static_cast<Handle*>(h);
    const bool known =
        std::any_of(S().handles.begin(), S().handles.end(), [&](const auto& p) { return p.get() == handle; });
    if (!known || !handle->open || handle->device >= static_cast<int>(S().devices.size()))
        return FT_INVALID_HANDLE;
    if (!S().devices[handle->device].plugged)
        return FT_IO_ERROR;
    FT_STATUS status = FT_OK;
    if (Injected(fn, status))
        return status;
    return FT_OK;
}

void Queue(Device& device, const std::string& bytes, double at)
{
    if (!bytes.empty())
        device.rx.push_back({at, bytes, 0});
}

std::string NextReadingText(const Device& device);

// The meter's own form: two decimals and a point, whatever the locale of the
// program under test.
std::string ReadingText(double value)
{
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, ec == std::errc() ? end : text);
}

std::string NextReading(const Device& device)
{
    std::string text = NextReadingText(device);
    // Whatever the locale of the program under test: the text has a point.
    double value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc())
        S().lastReading = value;
    return text;
}

// "P1" or "P2" and the buffer in hundredths: the reading goes there, unless
// the test fixed the readings.
void TakeCalibration(const std::string& line)
{
    State& s = S();
    if (line.size() < 3 || line[0] != 'P' || (line[1] != '1' && line[1] != '2'))
        return;
    char* end = nullptr;
    const long hundredths = std::strtol(line.c_str() + 2, &end, 10);
    if (*end != '\0')
        return;
    s.settling = true;
    s.settleFrom = s.lastReading;
    s.settleTo = static_cast<double>(hundredths) / 100.0;
    s.settleTauMs = s.calibrationTauMs;
    s.settleStartMs = Now();
}

std::string NextReadingText(const Device& device)
{
    State& s = S();
    if (!device.fixedReading.empty())
        return device.fixedReading;
    if (!s.readingScript.empty())
        return s.readingScript[std::min(s.readingsGiven++, s.readingScript.size() - 1)];
    if (!s.fixedReading.empty())
        return s.fixedReading;
    if (s.settling) {
        const double t = s.settleStartMs < 0 ? 0 : std::max(0.0, Now() - s.settleStartMs);
        const double value = s.settleTo + (s.settleFrom - s.settleTo) * std::exp(-t / s.settleTauMs);
        return ReadingText(value);
    }
    s.rng = s.rng * 1103515245u + 12345u;
    const double step = (static_cast<double>((s.rng >> 16) & 0x7fff) / 32767.0 - 0.5) * 0.02;
    s.drift = std::clamp(s.drift + step - (s.drift - 7.0) * 0.05, 6.80, 7.20);
    return ReadingText(s.drift);
}

void Command(int index, const std::string& line)
{
    State& s = S();
    Device& device = s.devices[index];
    if (!s.autoReply || device.silent)
        return;
    if (line == "PH" && s.unplugAfterPolls >= 0 && s.pollsAnswered >= s.unplugAfterPolls &&
        s.unpluggedDevice < 0) {
        s.unpluggedDevice = index;
        s.unpluggedAtMs = Now();
        device.plugged = false;
        device.rx.clear();
        return;
    }
    if (line == "PH")
        ++s.pollsAnswered;
    const double delay = device.replyDelayMs >= 0 ? device.replyDelayMs : s.replyDelayMs;
    if (line == "PH")
        Queue(device, "pH: " + NextReading(device) + "\r", Now() + delay);
    else if (line == "V")
        Queue(device, "QUVA pH meter firmware 2.10\r", Now());
    else
        TakeCalibration(line);
}

uint32_t Arrived(const Device& device)
{
    const double t = Now();
    uint64_t n = 0;
    for (const auto& p : device.rx) {
        if (p.at > t)
            break;
        n += p.bytes.size() - p.taken;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX));
}

}  // namespace

extern "C" {

#define FT_EXPORT __attribute__((visibility("default")))

FT_EXPORT FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, DWORD Flags)
{
    ReplugWhenDue();
    const auto devices = Listed();
    if (Flags & FT_LIST_NUMBER_ONLY) {
        if (!pArg1)
            return Record("FT_ListDevices", {Flags}, "", FT_INVALID_PARAMETER);
        *static_cast<DWORD*>(pArg1) = static_cast<DWORD>(devices.size());
        S().refused.clear();
        return Record("FT_ListDevices", {Flags, devices.size()}, "", FT_OK);
    }
    if (Flags & FT_LIST_BY_INDEX) {
        const auto index = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pArg1));
        if (!pArg2)
            return Record("FT_ListDevices", {Flags, index}, "", FT_INVALID_PARAMETER);
        if (index >= devices.size())
            return Record("FT_ListDevices", {Flags, index}, "", FT_DEVICE_NOT_FOUND);
        const Device& d = S().devices[devices[index]];
        if (d.noPermission) {
            auto& refused = S().refused;
            if (std::find(refused.begin(), refused.end(), devices[index]) == refused.end())
                refused.push_back(devices[index]);
            return Record("FT_ListDevices", {Flags, index}, "", FT_DEVICE_NOT_OPENED);
        }
        const bool bySerial = (Flags & 0xff) == FT_OPEN_BY_SERIAL_NUMBER;
        if (bySerial ? d.serialFails : d.descriptionFails)
            return Record("FT_ListDevices", {Flags, index}, "", FT_DEVICE_NOT_FOUND);
        const std::string& text = bySerial ? d.serial : d.description;
        const size_t size = bySerial ? FT_SERIAL_SIZE : FT_DESCRIPTION_SIZE;
        const size_t n = std::min(text.size(), size);
        std::memcpy(pArg2, text.data(), n);
        if (n < size)
            static_cast<char*>(pArg2)[n] = '\0';
        return Record("FT_ListDevices", {Flags, index}, text.substr(0, n), FT_OK);
    }
    return Record("FT_ListDevices", {Flags}, "", FT_NOT_SUPPORTED);
}

FT_EXPORT FT_STATUS FT_OpenEx(void* pArg1, DWORD Flags, FT_HANDLE* pHandle)
{
    State& s = S();
    const std::string name = pArg1 ? static_cast<const char*>(pArg1) : "";
    ReplugWhenDue();
    if (!pHandle || Flags != FT_OPEN_BY_SERIAL_NUMBER)
        return Record("FT_OpenEx", {Flags}, name, FT_INVALID_PARAMETER);
    FT_STATUS status = FT_OK;
    if (Injected("FT_OpenEx", status))
        return Record("FT_OpenEx", {Flags}, name, status);
    bool unreadable = false;
    for (int i : Listed()) {
        const Device& d = s.devices[i];
        // Its serial number cannot even be read: it may be the one asked for.
        unreadable = unreadable || d.noPermission;
        if (d.noPermission || d.serial != name)
            continue;
        if (d.openFails || d.holder)
            return Record("FT_OpenEx", {Flags}, name, FT_DEVICE_NOT_OPENED);
        s.handles.push_back(std::make_unique<Handle>(Handle{i, true}));
        Device& opened = s.devices[i];
        opened.holder = s.handles.back().get();
        opened.rx.clear();
        opened.lineIn.clear();
        s.lastOpened = i;
        if (s.settling && s.settleStartMs < 0)
            s.settleStartMs = Now();
        *pHandle = opened.holder;
        AppendTo(s.eventLogPath, "open " + name + "\n");
        const CallOn on(i);
        return Record("FT_OpenEx", {Flags}, name, FT_OK);
    }
    return Record("FT_OpenEx", {Flags}, name, unreadable ? FT_DEVICE_NOT_OPENED : FT_DEVICE_NOT_FOUND);
}

FT_EXPORT DWORD Tirevo_GetRefusedDevices(TIREVO_REFUSED_DEVICE* devices, DWORD max)
{
    const auto& refused = S().refused;
    for (DWORD i = 0; devices && i < max && i < refused.size(); ++i) {
        devices[i].VendorId = kSimVendor;
        devices[i].ProductId = kSimProduct;
        devices[i].Bus = kSimBus;
        devices[i].Address = static_cast<UCHAR>(kFirstAddress + refused[i]);
        devices[i].Cause = TIREVO_REFUSED_NO_PERMISSION;
    }
    return static_cast<DWORD>(refused.size());
}

FT_EXPORT FT_STATUS FT_Close(FT_HANDLE h)
{
    const CallOn on(DeviceOf(h));
    State& s = S();
    auto* handle = static_cast<Handle*>(h);
    const bool known =
        std::any_of(s.handles.begin(), s.handles.end(), [&](const auto& p) { return p.get() == handle; });
    if (!known || !handle->open)
        return Record("FT_Close", {}, "", FT_INVALID_HANDLE);
    handle->open = false;
    AppendTo(s.eventLogPath, "close\n");
    if (handle->device < static_cast<int>(s.devices.size()) && s.devices[handle->device].holder == handle) {
        s.devices[handle->device].holder = nullptr;
        s.devices[handle->device].rx.clear();
    }
    return Record("FT_Close", {}, "", FT_OK);
}

FT_EXPORT FT_STATUS FT_Read(FT_HANDLE h, void* lpBuffer, DWORD dwBytesToRead, DWORD* lpdwBytesReturned)
{
    const CallOn on(DeviceOf(h));
    if (lpdwBytesReturned)
        *lpdwBytesReturned = 0;
    const FT_STATUS status = Usable(h, "FT_Read");
    if (status != FT_OK)
        return Record("FT_Read", {dwBytesToRead, 0}, "", status);
    State& s = S();
    Device& device = s.devices[static_cast<Handle*>(h)->device];
    uint32_t n = std::min<uint32_t>(Arrived(device), dwBytesToRead);
    if (s.readChunkLimit)
        n = std::min(n, s.readChunkLimit);
    std::string data;
    data.reserve(n);
    while (data.size() < n) {
        Pending& p = device.rx.front();
        const size_t take = std::min<size_t>(n - data.size(), p.bytes.size() - p.taken);
        data.append(p.bytes, p.taken, take);
        p.taken += take;
        if (p.taken == p.bytes.size())
            device.rx.pop_front();
    }
    std::memcpy(lpBuffer, data.data(), n);
    *lpdwBytesReturned = n;
    return Record("FT_Read", {dwBytesToRead, n}, std::move(data), FT_OK);
}

FT_EXPORT FT_STATUS FT_Write(FT_HANDLE h, void* lpBuffer, DWORD dwBytesToWrite, DWORD* lpdwBytesWritten)
{
    const CallOn on(DeviceOf(h));
    if (lpdwBytesWritten)
        *lpdwBytesWritten = 0;
    const std::string data(static_cast<const char*>(lpBuffer), dwBytesToWrite);
    const FT_STATUS status = Usable(h, "FT_Write");
    if (status != FT_OK)
        return Record("FT_Write", {dwBytesToWrite, 0}, data, status);
    State& s = S();
    *lpdwBytesWritten = dwBytesToWrite;
    if (s.written.size() + data.size() > kMaxWritten)
        s.written.erase(0, std::min(s.written.size(), kMaxWritten / 2 + data.size()));
    s.written += data;
    LogWire(data);
    Record("FT_Write", {dwBytesToWrite, dwBytesToWrite}, data, FT_OK);
    const int index = static_cast<Handle*>(h)->device;
    for (char c : data) {
        std::string& lineIn = s.devices[index].lineIn;
        if (c == '\r') {
            const std::string line = std::move(lineIn);
            lineIn.clear();
            Command(index, line);
        } else if (lineIn.size() < 4096) {
            lineIn.push_back(c);
        }
        if (!s.unplugOnWrite.empty() && lineIn == s.unplugOnWrite && s.unpluggedDevice < 0) {
            s.unplugOnWrite.clear();
            s.unpluggedDevice = index;
            s.unpluggedAtMs = Now();
            s.devices[index].plugged = false;
            s.devices[index].rx.clear();
            lineIn.clear();
            break;
        }
    }
    return FT_OK;
}

FT_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE h, ULONG BaudRate)
{
    const CallOn on(DeviceOf(h));
    return Record("FT_SetBaudRate", {BaudRate}, "", Usable(h, "FT_SetBaudRate"));
}

FT_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, UCHAR WordLength, UCHAR StopBits, UCHAR Parity)
{
    const CallOn on(DeviceOf(h));
    return Record("FT_SetDataCharacteristics", {WordLength, StopBits, Parity}, "",
                  Usable(h, "FT_SetDataCharacteristics"));
}

FT_EXPORT FT_STATUS FT_SetFlowControl(FT_HANDLE h, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar)
{
    const CallOn on(DeviceOf(h));
    return Record("FT_SetFlowControl", {FlowControl, XonChar, XoffChar}, "", Usable(h, "FT_SetFlowControl"));
}

FT_EXPORT FT_STATUS FT_SetDtr(FT_HANDLE h)
{
    const CallOn on(DeviceOf(h));
    return Record("FT_SetDtr", {}, "", Usable(h, "FT_SetDtr"));
}

FT_EXPORT FT_STATUS FT_SetRts(FT_HANDLE h)
{
    const CallOn on(DeviceOf(h));
    return Record("FT_SetRts", {}, "", Usable(h, "FT_SetRts"));
}

FT_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE h, ULONG ReadTimeout, ULONG WriteTimeout)
{
    const CallOn on(DeviceOf(h));
    return Record("FT_SetTimeouts", {ReadTimeout, WriteTimeout}, "", Usable(h, "FT_SetTimeouts"));
}

FT_EXPORT FT_STATUS FT_GetStatus(FT_HANDLE h, DWORD* lpdwAmountInRxQueue, DWORD* lpdwAmountInTxQueue,
                                 DWORD* lpdwEventStatus)
{
    const CallOn on(DeviceOf(h));
    const FT_STATUS status = Usable(h, "FT_GetStatus");
    if (status != FT_OK)
        return Record("FT_GetStatus", {0}, "", status);
    const uint32_t n = Arrived(S().devices[static_cast<Handle*>(h)->device]);
    if (lpdwAmountInRxQueue)
        *lpdwAmountInRxQueue = n;
    if (lpdwAmountInTxQueue)
        *lpdwAmountInTxQueue = 0;
    if (lpdwEventStatus)
        *lpdwEventStatus = 0;
    // Queue polls are frequent; only those that find data are worth keeping.
    if (n > 0)
        Record("FT_GetStatus", {n}, "", FT_OK);
    return FT_OK;
}

}  // extern "C"

namespace sim {

void Reset()
{
    Defaults(S());
    manualClock = false;
}

void SetManualClock(bool on)
{
    if (on && !manualClock)
        manualNowMs = Now();
    manualClock = on;
}

void AdvanceClockMs(double ms)
{
    if (manualClock && ms > 0)
        manualNowMs += ms;
}
void ClearDevices()
{
    S().devices.clear();
    S().lastOpened = -1;
}
int AddDevice(const std::string& description, const std::string& serial)
{
    S().devices.push_back({description, serial});
    return static_cast<int>(S().devices.size()) - 1;
}
void SetOpenFails(int device, bool fails) { S().devices.at(device).openFails = fails; }
void SetDescriptionFails(int device, bool fails) { S().devices.at(device).descriptionFails = fails; }
void SetSerialFails(int device, bool fails) { S().devices.at(device).serialFails = fails; }
void SetNoPermission(int device, bool refused) { S().devices.at(device).noPermission = refused; }
void Unplug(int device)
{
    S().devices.at(device).plugged = false;
    S().devices.at(device).rx.clear();
}
void Plug(int device)
{
    State& s = S();
    s.devices.at(device).plugged = true;
    // The dead handle no longer holds the device: it can be opened again.
    s.devices.at(device).holder = nullptr;
}
void SetSilent(int device, bool silent) { S().devices.at(device).silent = silent; }
void SetAutoReply(bool on) { S().autoReply = on; }
void SetReplyDelayMs(double ms) { S().replyDelayMs = ms; }
void SetReadingText(const std::string& text) { S().fixedReading = text; }

void SetSettling(double from, double to, double tauMs)
{
    State& s = S();
    s.fixedReading.clear();
    s.settling = tauMs > 0;
    s.settleFrom = from;
    s.settleTo = to;
    s.settleTauMs = tauMs;
    // From now when a meter is open, else from the next open.
    s.settleStartMs = IsOpen() ? Now() : -1;
}
void SetReadChunkLimit(uint32_t bytes) { S().readChunkLimit = bytes; }
void InjectRx(int device, const std::string& bytes, double delayMs)
{
    Device& d = S().devices.at(device);
    const double at = Now() + delayMs;
    // Bytes injected later never overtake earlier ones.
    const double last = d.rx.empty() ? at : std::max(at, d.rx.back().at);
    Queue(d, bytes, last);
}
void InjectRx(const std::string& bytes, double delayMs)
{
    if (!S().devices.empty())
        InjectRx(std::max(S().lastOpened, 0), bytes, delayMs);
}
void SetDeviceReadingText(int device, const std::string& text) { S().devices.at(device).fixedReading = text; }
void SetDeviceReplyDelayMs(int device, double ms) { S().devices.at(device).replyDelayMs = ms; }
void FailCalls(const std::string& fn, FT_STATUS status, int after) { S().failures[fn] = {status, after}; }
void ClearFailures() { S().failures.clear(); }
std::vector<Call> Calls() { return S().calls; }
std::vector<Call> CallsNamed(const std::string& fn)
{
    std::vector<Call> out;
    for (const auto& c : S().calls)
        if (c.fn == fn)
            out.push_back(c);
    return out;
}
void ClearCalls()
{
    S().calls.clear();
    S().written.clear();
}
std::string WrittenBytes() { return S().written; }
std::size_t QueuedRx()
{
    const State& s = S();
    if (s.lastOpened < 0 || s.lastOpened >= static_cast<int>(s.devices.size()))
        return 0;
    size_t n = 0;
    for (const auto& p : s.devices[s.lastOpened].rx)
        n += p.bytes.size() - p.taken;
    return n;
}
bool IsOpen()
{
    const auto& devices = S().devices;
    return std::any_of(devices.begin(), devices.end(), [](const Device& d) { return d.holder != nullptr; });
}
bool IsOpen(int device) { return S().devices.at(device).holder != nullptr; }
double NowMs() { return Now(); }

}  // namespace sim
