// The peer's side of the conformance protocol for the simulated meter: the
// simulator answers "PH" and "V" itself; this adds the burst and the unplug
// that the host peer performs in the test VM.
#include "BurstPattern.h"
#include "SimControl.h"

#include <algorithm>
#include <string>

#define PEER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int gDevice = -1;
}

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
            const size_t n = std::min(usbvm::kBurstChunks[i % usbvm::kBurstChunks.size()],
                                      pattern.size() - sent);
            sim::InjectRx(pattern.substr(sent, n), at);
            sent += n;
            at += usbvm::kBurstPauseMs;
        }
    } else if (command == "BYE" && gDevice >= 0) {
        sim::Unplug(gDevice);
    }
}
