// Finding and loading the MQTT module: beside the program (a build tree, a
// copy of its own), then in the library folder of its installation prefix
// (lib/<multiarch>/tirevo under /usr). Loaded when a run needs the broker,
// and never unloaded.
#pragma once

#include "MqttModule.h"

#include <memory>
#include <string>
#include <vector>

namespace tirevo {

struct MqttLinkLoad {
    std::unique_ptr<MqttSocketLink> link;
    // Why there is none: a line that says so, then a line for each place
    // looked at and what was wrong there.
    std::string error;
};

// The places looked at, in order, for the program at programPath.
std::vector<std::string> MqttModuleCandidates(const std::string& programPath);

MqttLinkLoad LoadMqttLink(const std::string& programPath);

// The system's side (dynamic loader; a Windows build would use LoadLibrary).
// Null, with the loader's reason, when the file cannot be loaded.
void* OpenMqttModule(const std::string& path, std::string& reason);
void* MqttModuleSymbol(void* module, const char* name);

}  // namespace tirevo
