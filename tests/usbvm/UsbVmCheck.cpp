// Conformance check of a bound converter driver through the program's own
// device layer: listing, opening by serial number, the meter's line setup,
// the command and reply round trip, a 10,000-byte burst, close and reopen,
// an unplug that must fail calls instead of hanging them, and opening the
// converter again once it is plugged back in.
//
// It runs against a real or emulated converter with a peer playing the meter
// on its serial side (the test VM), or against the simulated meter library,
// where a small helper library plays the peer. The peer's protocol:
//   "PH\r"    -> "pH: 7.02\r"
//   "BURST\r" -> the 10,000 bytes of BurstPattern.h in chunks with pauses
//   "BYE\r"   -> the peer hangs up, which unplugs the converter; a moment
//               later it comes back, which plugs the converter in again
//
// usage: tirevo-usbvm-check --driver builtin|auto|LIBRARY --product TEXT --serial TEXT
//                           [--sim-peer LIBRARY] [--tty NAME]
//   --driver    builtin: the libftdi1 layer; auto: as the program binds;
//               otherwise the driver library to load (the simulated meter)
//   --sim-peer  helper library that plays the peer inside the simulator
//   --tty       kernel serial device (ttyUSB0) bound to the converter before
//               the open: listing must leave it, opening takes it over
// Prints PASS or FAIL per check and exits 1 if any failed, 2 on bad usage.
#include "BurstPattern.h"
#include "D2XXUnit.h"
#include "DriverBinding.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

using namespace tirevo;

namespace {

// The device layer's state for these checks, as a session keeps its own.
TFTDeviceState FTDeviceState;
TFTPortSettings FTPortSettings;

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

int gPassed = 0;
int gFailed = 0;

bool Check(bool ok, const std::string& name, const std::string& detail)
{
    std::printf("%s %s: %s\n", ok ? "PASS" : "FAIL", name.c_str(), detail.c_str());
    std::fflush(stdout);
    (ok ? gPassed : gFailed)++;
    return ok;
}

std::string Visible(const std::string& s, size_t limit = 64)
{
    std::string out;
    for (size_t i = 0; i < s.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out.push_back(static_cast<char>(c));
    }
    if (s.size() > limit)
        out += "...";
    return out;
}

double MsSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// The peer's side for the simulated meter; nothing to do in the VM, where a
// program on the host reacts to the bytes themselves.
struct Peer {
    void (*setup)(const char*, const char*) = nullptr;
    void (*command)(const char*) = nullptr;
    void (*poll)() = nullptr;
    void Sent(const std::string& line) const
    {
        if (command)
            command(line.c_str());
    }
    void Tick() const
    {
        if (poll)
            poll();
    }
};

// As the program writes a command: one byte per call, 2 ms after each
// character, none after the carriage return.
bool WriteCommand(const std::string& line, const Peer& peer, FT_STATUS& status)
{
    const std::string bytes = line + "\r";
    bool ok = true;
    for (size_t i = 0; i < bytes.size(); ++i) {
        FTDeviceState.outputBuffer[0] = static_cast<unsigned char>(bytes[i]);
        if (WriteFTBuffer(FTDeviceState, 1) != 1) {
            ok = false;
            status = FTDeviceState.lastIoStatus;
        }
        if (i + 1 < bytes.size())
            std::this_thread::sleep_for(milliseconds(2));
    }
    peer.Sent(line);
    return ok;
}

struct Collected {
    std::string bytes;
    FT_STATUS status = FT_OK;  // first failing queue-status call, if any
    int polls = 0;
    DWORD largestQueue = 0;
    double maxCallMs = 0;
};

// Polls the queue status every 10 ms and reads what is there, at most
// `readLimit` bytes per read, until `done` says so or the deadline passes.
Collected Collect(const std::function<bool(const std::string&)>& done, milliseconds deadline,
                  DWORD readLimit = FT_IN_BUFFER_SIZE)
{
    Collected c;
    const auto end = Clock::now() + deadline;
    while (Clock::now() < end) {
        const auto t = Clock::now();
        const FT_STATUS s = GetFTQueueStatus(FTDeviceState);
        c.maxCallMs = std::max(c.maxCallMs, MsSince(t));
        ++c.polls;
        if (s != FT_OK) {
            c.status = s;
            break;
        }
        if (FTDeviceState.RxBytes > 0) {
            c.largestQueue = std::max(c.largestQueue, FTDeviceState.RxBytes);
            const auto r = Clock::now();
            const DWORD n = ReadFTBuffer(FTDeviceState, std::min(FTDeviceState.RxBytes, readLimit));
            c.maxCallMs = std::max(c.maxCallMs, MsSince(r));
            c.bytes.append(reinterpret_cast<const char*>(FTDeviceState.inputBuffer), n);
        }
        if (done(c.bytes))
            break;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return c;
}

bool Listed(const std::string& product, const std::string& serial, std::string& detail)
{
    const FT_STATUS s = GetFTDeviceCount(FTDeviceState);
    detail = "count status " + std::to_string(s) + ", " + std::to_string(FTDeviceState.deviceCount) +
        " converter(s)";
    bool found = false;
    for (DWORD i = 0; i < FTDeviceState.deviceCount; ++i) {
        std::string description = "?", number = "?";
        if (GetFTDeviceDescription(FTDeviceState, i) == FT_OK)
            description = FTDeviceState.resultText;
        if (GetFTDeviceSerialNo(FTDeviceState, i) == FT_OK)
            number = FTDeviceState.resultText;
        detail += "; #" + std::to_string(i) + " '" + description + "' '" + number + "'";
        found = found || (description == product && number == serial);
    }
    return found;
}

bool Configure(std::string& detail)
{
    FTPortSettings = TFTPortSettings{};
    const FT_STATUS s[] = {SetFTBaudRate(FTDeviceState, FTPortSettings),
                           SetFTDataCharacteristics(FTDeviceState, FTPortSettings),
                           SetFTFlowControl(FTDeviceState, FTPortSettings),
                           SetFTDtr(FTDeviceState),
                           SetFTRts(FTDeviceState),
                           SetFTTimeouts(FTDeviceState, 1, 100)};
    char text[160];
    std::snprintf(text, sizeof text,
                  "%u baud, %u bits, stop code %u, parity %u, flow %u with 0x%02x/0x%02x, DTR, RTS, "
                  "timeouts 1/100; statuses",
                  FTPortSettings.BaudRate, FTPortSettings.WordLength, FTPortSettings.StopBits,
                  FTPortSettings.Parity, FTPortSettings.FlowControl, FTPortSettings.XonChar,
                  FTPortSettings.XoffChar);
    detail = text;
    bool ok = true;
    for (FT_STATUS v : s) {
        detail += ' ';
        detail += std::to_string(v);
        ok = ok && v == FT_OK;
    }
    return ok;
}

void RoundTrip(const Peer& peer, const std::string& name)
{
    FT_STATUS ws = FT_OK;
    const auto t0 = Clock::now();
    const bool written = WriteCommand("PH", peer, ws);
    const auto c =
        Collect([](const std::string& b) { return b.find('\r') != std::string::npos; }, milliseconds(3000));
    const std::string expected = "pH: 7.02\r";
    char timing[96];
    std::snprintf(timing, sizeof timing, ", %.1f ms from first byte, %d polls", MsSince(t0), c.polls);
    Check(written && c.status == FT_OK && c.bytes == expected, name,
          "wrote PH\\r byte by byte" +
              std::string(written ? "" : " (write failed " + std::to_string(ws) + ")") + ", got '" +
              Visible(c.bytes) + "'" + timing +
              (c.status != FT_OK ? ", queue status " + std::to_string(c.status) : ""));
}

bool TtyPresent(const std::string& tty)
{
    struct stat st {};
    return stat(("/sys/class/tty/" + tty).c_str(), &st) == 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: tirevo-usbvm-check --driver builtin|auto|LIBRARY --product TEXT --serial TEXT\n"
                 "                          [--sim-peer LIBRARY] [--tty NAME]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string driver, product, serial, simPeer, tty;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string v = argv[++i];
        if (a == "--driver")
            driver = v;
        else if (a == "--product")
            product = v;
        else if (a == "--serial")
            serial = v;
        else if (a == "--sim-peer")
            simPeer = v;
        else if (a == "--tty")
            tty = v;
        else
            return Usage();
    }
    if (driver.empty() || product.empty() || serial.empty())
        return Usage();

    // Binding
    if (driver == "builtin")
        BindBuiltinFTDriver();
    else if (driver == "auto")
        BindFTDriver();
    else if (!BindFTDriverLibrary(driver)) {
        Check(false, "bind", "cannot load " + driver);
        return 1;
    }
    const char* kinds[] = {"none", "library", "builtin libftdi1"};
    std::printf("driver: %s\n", kinds[static_cast<int>(BoundFTDriverKind())]);

    Peer peer;
    if (!simPeer.empty()) {
        void* lib = dlopen(simPeer.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (lib) {
            peer.setup = reinterpret_cast<void (*)(const char*, const char*)>(dlsym(lib, "usbvm_sim_setup"));
            peer.command = reinterpret_cast<void (*)(const char*)>(dlsym(lib, "usbvm_sim_command"));
            peer.poll = reinterpret_cast<void (*)()>(dlsym(lib, "usbvm_sim_poll"));
        }
        if (!peer.setup || !peer.command || !peer.poll) {
            Check(false, "sim peer", "cannot load " + simPeer + ": " + (dlerror() ? dlerror() : "?"));
            return 1;
        }
        peer.setup(product.c_str(), serial.c_str());
    }

    // 1. Listing, which must leave the kernel's serial driver where it is.
    // A gateway lists every 2 s, each time asking every converter for its
    // strings over the bus: how long that takes is said, not judged.
    std::string detail;
    bool isListed = true;
    double slowestListMs = 0;
    constexpr int kListings = 5;
    for (int i = 0; i < kListings; ++i) {
        const auto t0 = Clock::now();
        isListed = Listed(product, serial, detail) && isListed;
        slowestListMs = std::max(slowestListMs, MsSince(t0));
    }
    char listed[80];
    std::snprintf(listed, sizeof listed, " (a listing took %.1f ms at most, of %d)", slowestListMs,
                  kListings);
    Check(isListed, "listed", "'" + product + "' / '" + serial + "' among: " + detail + listed);
    if (!tty.empty())
        Check(TtyPresent(tty), "listing leaves the kernel driver",
              "/sys/class/tty/" + tty + (TtyPresent(tty) ? " still there" : " gone"));

    // 2. Open by serial number.
    FT_STATUS s = Open_USB_Device_By_Serial_Number(FTDeviceState, serial);
    if (!Check(s == FT_OK, "open by serial", "status " + std::to_string(s))) {
        std::printf("%d passed, %d failed\n", gPassed, gFailed);
        return 1;
    }
    if (!tty.empty())
        Check(!TtyPresent(tty), "open takes the converter over",
              "/sys/class/tty/" + tty + (TtyPresent(tty) ? " still bound" : " detached"));

    // 3. The meter's line setup.
    Check(Configure(detail), "line setup", detail);

    // 4. Command and reply.
    RoundTrip(peer, "PH round trip");

    // 5. A burst larger than any buffer on the way, read in pieces smaller
    //    than what is queued so that the rest must stay queued in order.
    {
        FT_STATUS ws = FT_OK;
        const auto t0 = Clock::now();
        WriteCommand("BURST", peer, ws);
        const std::string expected = usbvm::BurstPattern();
        auto c = Collect([&](const std::string& b) { return b.size() >= expected.size(); },
                         milliseconds(20000), 700);
        const double ms = MsSince(t0);
        // Anything beyond the burst would be bytes made up or doubled.
        const auto extra = Collect([](const std::string&) { return false; }, milliseconds(150));
        c.bytes += extra.bytes;
        size_t firstBad = 0;
        while (firstBad < std::min(c.bytes.size(), expected.size()) &&
               c.bytes[firstBad] == expected[firstBad])
            ++firstBad;
        char info[200];
        std::snprintf(info, sizeof info,
                      "%zu of %zu bytes, first difference at %zu, %.0f ms, largest queue %u, "
                      "slowest call %.1f ms",
                      c.bytes.size(), expected.size(), firstBad, ms, c.largestQueue,
                      std::max(c.maxCallMs, extra.maxCallMs));
        Check(c.status == FT_OK && c.bytes == expected, "burst of 10000 bytes", info);
    }

    // 6. Close and reopen.
    {
        const FT_STATUS closed = CloseFTDevice(FTDeviceState);
        const FT_STATUS stale = GetFTQueueStatus(FTDeviceState);
        const FT_STATUS again = CloseFTDevice(FTDeviceState);
        Check(closed == FT_OK && stale == FT_INVALID_HANDLE && again == FT_INVALID_HANDLE, "close",
              "close " + std::to_string(closed) + ", closed handle's queue status " + std::to_string(stale) +
                  ", second close " + std::to_string(again));
        s = Open_USB_Device_By_Serial_Number(FTDeviceState, serial);
        const bool reopened = Check(s == FT_OK, "reopen by serial", "status " + std::to_string(s));
        if (reopened) {
            Check(Configure(detail), "line setup after reopen", detail);
            RoundTrip(peer, "PH round trip after reopen");
        }
    }

    // 7. Unplug: the peer hangs up. Calls must fail, promptly.
    {
        FT_STATUS ws = FT_OK;
        WriteCommand("BYE", peer, ws);
        const auto t0 = Clock::now();
        const auto c = Collect([](const std::string&) { return false; }, milliseconds(10000));
        char info[160];
        std::snprintf(info, sizeof info, "queue status %u after %.0f ms (%d polls, slowest call %.1f ms)",
                      c.status, MsSince(t0), c.polls, c.maxCallMs);
        Check(c.status == FT_IO_ERROR, "unplug fails queue status", info);

        auto timed = [](const std::function<FT_STATUS()>& f, double& ms) {
            const auto t = Clock::now();
            const FT_STATUS r = f();
            ms = MsSince(t);
            return r;
        };
        double readMs = 0, writeMs = 0, setMs = 0, closeMs = 0;
        const FT_STATUS rs = timed(
            [] {
                ReadFTBuffer(FTDeviceState, 1);
                return FTDeviceState.lastIoStatus;
            },
            readMs);
        const FT_STATUS wr = timed(
            [] {
                FTDeviceState.outputBuffer[0] = 'P';
                WriteFTBuffer(FTDeviceState, 1);
                return FTDeviceState.lastIoStatus;
            },
            writeMs);
        const FT_STATUS bs = timed([] { return SetFTBaudRate(FTDeviceState, FTPortSettings); }, setMs);
        std::snprintf(info, sizeof info, "read %u (%.1f ms), write %u (%.1f ms), set baud rate %u (%.1f ms)",
                      rs, readMs, wr, writeMs, bs, setMs);
        Check(rs == FT_IO_ERROR && wr == FT_IO_ERROR && bs == FT_IO_ERROR &&
                  std::max({readMs, writeMs, setMs}) < 1000,
              "unplugged calls fail without hanging", info);
        const FT_STATUS cs = timed([] { return CloseFTDevice(FTDeviceState); }, closeMs);
        std::snprintf(info, sizeof info, "close %u (%.1f ms)", cs, closeMs);
        Check(cs == FT_OK && closeMs < 3000, "close after unplug", info);

        // The converter leaves the list (the system may take a moment to
        // notice), and opening it again finds nothing.
        bool gone = false;
        const auto t1 = Clock::now();
        while (!gone && MsSince(t1) < 5000) {
            gone = !Listed(product, serial, detail);
            if (!gone)
                std::this_thread::sleep_for(milliseconds(100));
        }
        Check(gone, "unplugged converter not listed", detail);
        s = Open_USB_Device_By_Serial_Number(FTDeviceState, serial);
        Check(s == FT_DEVICE_NOT_FOUND, "open after unplug", "status " + std::to_string(s));
        if (s == FT_OK)
            CloseFTDevice(FTDeviceState);
    }

    // 8. Plugged back in: listed again, and it opens and answers as before.
    {
        bool back = false;
        const auto t0 = Clock::now();
        while (!back && MsSince(t0) < 15000) {
            peer.Tick();
            back = Listed(product, serial, detail);
            if (!back)
                std::this_thread::sleep_for(milliseconds(200));
        }
        char info[64];
        std::snprintf(info, sizeof info, " (after %.0f ms)", MsSince(t0));
        Check(back, "replugged converter listed", detail + info);
        s = Open_USB_Device_By_Serial_Number(FTDeviceState, serial);
        if (Check(s == FT_OK, "open after replug", "status " + std::to_string(s))) {
            Check(Configure(detail), "line setup after replug", detail);
            RoundTrip(peer, "PH round trip after replug");
            s = CloseFTDevice(FTDeviceState);
            Check(s == FT_OK, "final close", "status " + std::to_string(s));
        }
    }

    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
