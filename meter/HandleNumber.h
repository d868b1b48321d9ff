// A Windows handle as the int that the program's waits carry where POSIX has
// a descriptor (SignalWatch::Fd, MqttSocketLink::Socket), so one interface
// serves both systems. Windows keeps every handle within 32 bits, so that 32-
// and 64-bit processes can share them, and documents that truncating one and
// sign-extending it back gives the same handle. Windows side only.
#pragma once

#include <cstdint>

namespace tirevo {

inline int HandleNumber(void* handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)); }

inline void* NumberHandle(int number) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(number)); }

}  // namespace tirevo
