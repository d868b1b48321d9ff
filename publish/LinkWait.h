// The wait of a run over the broker: for the end of the run (a signal, or on
// Windows Ctrl+C) and for the MQTT link, whichever comes first. Each is what
// SignalWatch::Fd and MqttSocketLink::Socket give: a descriptor on POSIX, an
// event's handle number on Windows (HandleNumber.h); -1 for none.
#pragma once

#include <cstdint>

namespace tirevo {

// Waits up to timeoutMs (0: only looks) for either; true when the ending is
// ready. linkWrite: the link waits to write rather than to read.
bool WaitForEndingOrLink(int ending, int link, bool linkWrite, int64_t timeoutMs);

}  // namespace tirevo
