#include "BenchSettings.h"

#include "IniFile.h"
#include "NumberText.h"

#include <vector>

namespace tirevo {

namespace {

struct Key {
    const char* name;
    std::optional<int32_t> BenchPlace::*value;
};

const Key kPlaceKeys[] = {
    {"Left", &BenchPlace::left},
    {"Top", &BenchPlace::top},
    {"Width", &BenchPlace::width},
    {"Height", &BenchPlace::height},
};
constexpr const char* kColumnsKey = "Columns";

std::optional<int32_t> ReadInteger(const IniFile& file, const char* key)
{
    const std::optional<std::string> text = file.ReadString(kBenchSection, key);
    if (!text)
        return std::nullopt;
    return ParseIntegerText(*text);
}

}  // namespace

BenchPlace LoadBenchPlace(const std::string& iniPath)
{
    BenchPlace place;
    IniFile file;
    if (iniPath.empty() || !file.Load(iniPath))
        return place;
    for (const Key& key : kPlaceKeys)
        place.*key.value = ReadInteger(file, key.name);
    const std::optional<int32_t> columns = ReadInteger(file, kColumnsKey);
    if (columns && *columns >= 0 && *columns <= kBenchColumnsMax)
        place.columns = *columns;
    return place;
}

std::optional<std::string> SaveBenchPlace(const std::string& iniPath, const BenchPlace& loaded,
                                          const BenchPlace& now)
{
    std::vector<std::pair<const char*, int32_t>> changed;
    for (const Key& key : kPlaceKeys)
        if (now.*key.value && now.*key.value != loaded.*key.value)
            changed.emplace_back(key.name, *(now.*key.value));
    if (now.columns != loaded.columns)
        changed.emplace_back(kColumnsKey, now.columns);
    if (changed.empty() || iniPath.empty())
        return std::nullopt;
    // Read at the moment of writing: what another copy wrote since this one
    // started is kept.
    IniFile file;
    bool ok = file.Load(iniPath);
    for (const auto& [key, value] : changed)
        ok = ok && file.WriteString(kBenchSection, key, std::to_string(value));
    if (!ok || !file.Save(iniPath))
        return "Unable to write to " + iniPath;
    return std::nullopt;
}

}  // namespace tirevo
