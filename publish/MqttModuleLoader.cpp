#include "MqttModuleLoader.h"

#include <filesystem>
#include <system_error>

namespace tirevo {

namespace {

constexpr const char* kModuleFileName = TIREVO_MQTT_MODULE_NAME;

struct LoadedModule {
    TirevoMqttCreateLinkFn create = nullptr;
    std::string error;
};

LoadedModule LoadModule(const std::string& programPath)
{
    LoadedModule out;
    std::string tried;
    for (const std::string& candidate : MqttModuleCandidates(programPath)) {
        std::error_code ignored;
        if (!std::filesystem::exists(candidate, ignored)) {
            tried += "\n  " + candidate + ": not there";
            continue;
        }
        std::string reason;
        void* module = OpenMqttModule(candidate, reason);
        if (!module) {
            tried += "\n  " + candidate + ": " + reason;
            continue;
        }
        const auto version =
            reinterpret_cast<TirevoMqttVersionFn>(MqttModuleSymbol(module, "TirevoMqttVersion"));
        const auto create =
            reinterpret_cast<TirevoMqttCreateLinkFn>(MqttModuleSymbol(module, "TirevoMqttCreateLink"));
        if (!version || !create) {
            tried += "\n  " + candidate + ": not tirevo's MQTT module";
            continue;
        }
        if (version() != kMqttModuleVersion) {
            tried += "\n  " + candidate + ": made for another version of tirevo-cli";
            continue;
        }
        out.create = create;
        return out;
    }
    out.error = std::string("cannot publish: the MQTT module ") + kModuleFileName +
        " could not be loaded (is tirevo installed completely?)" + tried;
    return out;
}

}  // namespace

std::vector<std::string> MqttModuleCandidates(const std::string& programPath)
{
    const std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    return {(folder / kModuleFileName).string(),
            (folder / ".." / TIREVO_MQTT_LIBDIR / "tirevo" / kModuleFileName).lexically_normal().string()};
}

MqttLinkLoad LoadMqttLink(const std::string& programPath)
{
    // Never unloaded: the links it makes may live until the program ends.
    const LoadedModule module = LoadModule(programPath);
    MqttLinkLoad out;
    if (module.create)
        out.link.reset(module.create());
    else
        out.error = module.error;
    return out;
}

}  // namespace tirevo
