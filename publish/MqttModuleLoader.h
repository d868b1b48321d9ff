// Finding and loading the MQTT module: beside the program (a build tree, a
// copy of its own), then in the library folder of its installation prefix
// (lib/<multiarch>/tirevo under /usr). Loaded when a run needs the broker,
// and never unloaded. The places and the system's loader are the shared
// module loader's (module/ModuleLoader.h); what the module must export and
// the words for a place passed over are this one's.
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

// The places looked at, in order, for the program at programPath (UTF-8).
std::vector<std::string> MqttModuleCandidates(const std::string& programPath);

MqttLinkLoad LoadMqttLink(const std::string& programPath);

}  // namespace tirevo
