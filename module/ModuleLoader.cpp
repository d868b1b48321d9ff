#include "ModuleLoader.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace tirevo {

namespace {

// UTF-8 text and paths: std::filesystem reads a plain std::string in the
// system's narrow code page on Windows, which is not UTF-8.
std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string TextOf(const std::filesystem::path& path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::vector<std::string> ModuleCandidates(const std::string& programDir, const std::string& libDir,
                                          const std::string& fileName)
{
    const std::filesystem::path folder = PathOf(programDir);
    return {TextOf(folder / PathOf(fileName)),
            TextOf((folder / ".." / PathOf(libDir) / PathOf(fileName)).lexically_normal())};
}

ModuleSearch::ModuleSearch(std::string fileName, std::string libDir)
    : fileName_(std::move(fileName)), libDir_(std::move(libDir))
{
}

std::vector<std::string> ModuleSearch::Places(const std::string& programDir) const
{
    if (!file_.empty())
        return {file_};
    return ModuleCandidates(programDir, libDir_, fileName_);
}

ModuleLoad LoadModule(const std::vector<std::string>& candidates, const ModuleFitCheck& fits)
{
    ModuleLoad load;
    for (const std::string& candidate : candidates) {
        std::error_code ignored;
        if (!std::filesystem::exists(PathOf(candidate), ignored)) {
            load.passedOver.push_back({candidate, ModuleMiss::NotThere, {}});
            continue;
        }
        std::string reason;
        void* module = OpenModule(candidate, reason);
        if (!module) {
            load.passedOver.push_back({candidate, ModuleMiss::NotLoadable, reason});
            continue;
        }
        switch (fits(module)) {
        case ModuleFit::Fits:
            load.loaded = true;
            return load;
        case ModuleFit::NotTheModule:
            load.passedOver.push_back({candidate, ModuleMiss::NotTheModule, {}});
            break;
        case ModuleFit::OtherVersion:
            load.passedOver.push_back({candidate, ModuleMiss::OtherVersion, {}});
            break;
        }
    }
    return load;
}

std::string ModuleMissText(const ModuleAttempt& attempt, const ModuleMissWords& words)
{
    switch (attempt.miss) {
    case ModuleMiss::NotThere:
        return words.notThere;
    case ModuleMiss::NotLoadable:
        return attempt.reason;
    case ModuleMiss::NotTheModule:
        return words.notTheModule;
    case ModuleMiss::OtherVersion:
        return words.otherVersion;
    }
    return attempt.reason;
}

std::string ModuleMissLines(const std::vector<ModuleAttempt>& passedOver, const ModuleMissWords& words)
{
    std::string lines;
    for (const ModuleAttempt& attempt : passedOver)
        lines += (lines.empty() ? "" : "\n") + attempt.path + " (" + ModuleMissText(attempt, words) + ")";
    return lines;
}

}  // namespace tirevo
