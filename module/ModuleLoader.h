// Finding and loading one of the program's run-time modules (the report, the
// pH trend, the bench view, the MQTT client): the places looked at, and the
// loop that takes the first place whose module fits. What a module must
// export and what each caller says about a place passed over stay the
// caller's. The system's loader is in ModuleLoader_posix.cpp and
// ModuleLoader_win.cpp.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tirevo {

// The places a module is looked for, in order: beside the program, then in
// the library folder of its installation prefix (the folder above the
// program's), libDir below it ("lib/x86_64-linux-gnu/tirevo"). Paths are
// UTF-8 with forward slashes.
std::vector<std::string> ModuleCandidates(const std::string& programDir, const std::string& libDir,
                                          const std::string& fileName);

// Where one module is looked for: its places beside the program and in the
// installation, or the one file a test or a driver names instead (a build
// tree's).
class ModuleSearch {
public:
    ModuleSearch(std::string fileName, std::string libDir);
    // The named file alone when there is one, else ModuleCandidates.
    std::vector<std::string> Places(const std::string& programDir) const;
    // Empty: the usual places again.
    void SetFile(std::string path) { file_ = std::move(path); }

private:
    std::string fileName_;
    std::string libDir_;
    std::string file_;
};

// Why a place was passed over.
enum class ModuleMiss {
    NotThere,      // no such file
    NotLoadable,   // the system's loader refused it (reason says why)
    NotTheModule,  // loaded, but without the entry points asked for
    OtherVersion   // the entry points are there, for another version
};

struct ModuleAttempt {
    std::string path;
    ModuleMiss miss = ModuleMiss::NotThere;
    std::string reason;  // the loader's words, for NotLoadable
};

// What the caller's look at an opened module found. On Fits the caller has
// kept the entry points it needs.
enum class ModuleFit { Fits, NotTheModule, OtherVersion };
using ModuleFitCheck = std::function<ModuleFit(void* module)>;

struct ModuleLoad {
    bool loaded = false;
    // Every place passed over before the one taken (all of them when none was).
    std::vector<ModuleAttempt> passedOver;
};

// Tries each place in turn until fits accepts the module there. The module
// taken is never unloaded (what it makes may live until the program ends);
// one passed over stays mapped, unused, as one loaded twice would.
ModuleLoad LoadModule(const std::vector<std::string>& candidates, const ModuleFitCheck& fits);

// What a caller says about a place passed over, in its own words for each
// miss but the loader's.
struct ModuleMissWords {
    const char* notThere;
    const char* notTheModule;
    const char* otherVersion;
};
std::string ModuleMissText(const ModuleAttempt& attempt, const ModuleMissWords& words);
// Every place passed over as "PATH (why)", a line each, without a last line end.
std::string ModuleMissLines(const std::vector<ModuleAttempt>& passedOver, const ModuleMissWords& words);

// The system's side. OpenModule: null, with the loader's reason (without the
// path the caller names already), when the file cannot be loaded; the
// module's own symbols stay its own, and all of them are bound at once, so
// that a module missing one fails here and not in the middle of a run.
void* OpenModule(const std::string& path, std::string& reason);
void* ModuleSymbol(void* module, const char* name);

}  // namespace tirevo
