// The peer's side of the conformance protocol for the simulated meter: the
// simulator answers "PH" and "V" itself; this adds the burst, the unplug and
// the plugging back in that the host peer performs in the test VM.
#include "BurstPattern.h"
#include "SimControl.h"

#include <algorithm>
#include <string>

#define PEER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int gDevice = -1;
double gUnpluggedAt = -1;
// As long as the host peer in the VM stays away before it connects again.
constexpr double kReplugAfterMs = 1500;
}  // namespace

PEER_EXPORT void usbvm_sim_setup(const char* product, const char* serial)
{
    sim::Reset();
    sim::ClearDevices();
    gDevice = sim::AddDevice(product, serial);
    // The VM's peer always answers 7.02; so does this one, for one set of
    // expectations.
    sim::SetReadingText("7.02");
}

PEER_EXPORT void usbvm_sim_command(const char* line)
{
    const std::string command(line);
    if (command == "BURST") {
        const std::string pattern = usbvm::BurstPattern();
        double at = 0;
        size_t sent = 0;
        for (size_t i = 0; sent < pattern.size(); ++i) {
            const size_t n =
                std::min(usbvm::kBurstChunks[i % usbvm::kBurstChunks.size()], pattern.size() - sent);
            sim::InjectRx(pattern.substr(sent, n), at);
            sent += n;
            at += usbvm::kBurstPauseMs;
        }
    } else if (command == "BYE" && gDevice >= 0) {
        sim::Unplug(gDevice);
        gUnpluggedAt = sim::NowMs();
    }
}

// Called between the checker's steps: plugs the meter back in once it has
// been away long enough.
PEER_EXPORT void usbvm_sim_poll()
{
    if (gUnpluggedAt >= 0 && sim::NowMs() - gUnpluggedAt >= kReplugAfterMs) {
        sim::Plug(gDevice);
        gUnpluggedAt = -1;
    }
}
