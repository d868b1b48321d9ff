// The bench view's own keys in the settings file, section [Bench View]:
// Left=, Top=, Width=, Height= (pixels) and Columns= (0: as many as fit).
// Several copies of the program share the file, so the view writes only the
// keys whose values it changed since it read them, into the file as it is at
// that moment; every other key stays as the other copy left it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

inline constexpr const char* kBenchSection = "Bench View";
inline constexpr int32_t kBenchColumnsMax = 8;

struct BenchPlace {
    std::optional<int32_t> left;
    std::optional<int32_t> top;
    std::optional<int32_t> width;
    std::optional<int32_t> height;
    int32_t columns = 0;  // 0: as many as fit

    bool operator==(const BenchPlace&) const = default;
};

// A missing file, section or key, or a value that is not a number (or a
// column count out of 0 to kBenchColumnsMax), leaves that value unset or 0.
BenchPlace LoadBenchPlace(const std::string& iniPath);

// Writes the keys whose values differ between loaded and now. Returns the
// error text ("Unable to write to <path>") on failure; nothing is written
// when nothing changed.
std::optional<std::string> SaveBenchPlace(const std::string& iniPath, const BenchPlace& loaded,
                                          const BenchPlace& now);

}  // namespace tirevo
