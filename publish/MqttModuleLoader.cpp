#include "MqttModuleLoader.h"

#include "ModuleLoader.h"

#include <filesystem>

namespace tirevo {

namespace {

constexpr const char* kModuleFileName = TIREVO_MQTT_MODULE_NAME;

// What a place passed over was, in the lines tirevo-cli has always printed.
const ModuleMissWords kMissWords{"not there", "not tirevo's MQTT module",
                                 "made for another version of tirevo-cli"};

struct LoadedModule {
    TirevoMqttCreateLinkFn create = nullptr;
    std::string error;
};

LoadedModule LoadMqttModule(const std::string& programPath)
{
    LoadedModule out;
    const ModuleLoad load = LoadModule(MqttModuleCandidates(programPath), [&out](void* module) {
        const auto version = reinterpret_cast<TirevoMqttVersionFn>(ModuleSymbol(module, "TirevoMqttVersion"));
        const auto create =
            reinterpret_cast<TirevoMqttCreateLinkFn>(ModuleSymbol(module, "TirevoMqttCreateLink"));
        if (!version || !create)
            return ModuleFit::NotTheModule;
        if (version() != kMqttModuleVersion)
            return ModuleFit::OtherVersion;
        out.create = create;
        return ModuleFit::Fits;
    });
    if (load.loaded)
        return out;
    std::string tried;
    for (const ModuleAttempt& attempt : load.passedOver)
        tried += "\n  " + attempt.path + ": " + ModuleMissText(attempt, kMissWords);
    out.error = std::string("cannot publish: the MQTT module ") + kModuleFileName +
        " could not be loaded (is tirevo installed completely?)" + tried;
    return out;
}

}  // namespace

std::vector<std::string> MqttModuleCandidates(const std::string& programPath)
{
    // UTF-8 both ways: a plain std::string is the narrow code page to
    // std::filesystem on Windows.
    const std::u8string folder =
        std::filesystem::path(std::u8string(programPath.begin(), programPath.end())).parent_path().u8string();
    return ModuleCandidates(std::string(folder.begin(), folder.end()), TIREVO_MQTT_LIBDIR "/tirevo",
                            kModuleFileName);
}

MqttLinkLoad LoadMqttLink(const std::string& programPath)
{
    // Never unloaded: the links it makes may live until the program ends.
    const LoadedModule module = LoadMqttModule(programPath);
    MqttLinkLoad out;
    if (module.create)
        out.link.reset(module.create());
    else
        out.error = module.error;
    return out;
}

}  // namespace tirevo
