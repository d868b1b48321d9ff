// The shared module loader: the places it looks at, and the loop over them
// with real modules, a file that is no module and a place with nothing.
#include "ModuleLoader.h"

#include "FileBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace tirevo {
namespace {

namespace fs = std::filesystem;

struct PlacesCase {
    const char* name;
    const char* programDir;
    const char* beside;
    const char* installed;
};

class ModulePlaces : public testing::TestWithParam<PlacesCase> {};

TEST_P(ModulePlaces, AreBesideTheProgramThenInThePrefixLibraryFolder)
{
    const std::vector<std::string> places =
        ModuleCandidates(GetParam().programDir, "lib/x86_64-linux-gnu/tirevo", "libtirevo_x.so");
    EXPECT_EQ(places, (std::vector<std::string>{GetParam().beside, GetParam().installed}));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ModulePlaces,
    testing::Values(
        PlacesCase{"Installed", "/usr/bin", "/usr/bin/libtirevo_x.so",
                   "/usr/lib/x86_64-linux-gnu/tirevo/libtirevo_x.so"},
        PlacesCase{"TrailingSlash", "/opt/tirevo/bin/", "/opt/tirevo/bin/libtirevo_x.so",
                   "/opt/tirevo/lib/x86_64-linux-gnu/tirevo/libtirevo_x.so"},
        PlacesCase{"Relative", "build", "build/libtirevo_x.so", "lib/x86_64-linux-gnu/tirevo/libtirevo_x.so"},
        PlacesCase{"NotAscii", "/home/j\xC3\xBCrgen/bin", "/home/j\xC3\xBCrgen/bin/libtirevo_x.so",
                   "/home/j\xC3\xBCrgen/lib/x86_64-linux-gnu/tirevo/libtirevo_x.so"}),
    [](const testing::TestParamInfo<PlacesCase>& info) { return std::string(info.param.name); });

TEST(ModuleSearchTest, ANamedFileStandsForThePlacesUntilItIsTakenBack)
{
    ModuleSearch search("libtirevo_x.so", "lib/tirevo");
    const std::vector<std::string> usual{"/usr/bin/libtirevo_x.so", "/usr/lib/tirevo/libtirevo_x.so"};
    EXPECT_EQ(search.Places("/usr/bin"), usual);
    search.SetFile("/build/libtirevo_x.so");
    EXPECT_EQ(search.Places("/usr/bin"), std::vector<std::string>{"/build/libtirevo_x.so"});
    search.SetFile({});
    EXPECT_EQ(search.Places("/usr/bin"), usual);
}

// Takes a module with both entry points, of version 1; counts its checks.
struct Check {
    int looks = 0;
    int answer = 0;

    ModuleFitCheck Fits()
    {
        return [this](void* module) {
            ++looks;
            const auto version = reinterpret_cast<int (*)()>(ModuleSymbol(module, "TirevoTestModuleVersion"));
            const auto answerFn = reinterpret_cast<int (*)()>(ModuleSymbol(module, "TirevoTestModuleAnswer"));
            if (!version || !answerFn)
                return ModuleFit::NotTheModule;
            if (version() != 1)
                return ModuleFit::OtherVersion;
            answer = answerFn();
            return ModuleFit::Fits;
        };
    }
};

class ModuleLoaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-module-loader-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        missing = (folder / "libtirevo_none.so").string();
        notAModule = (folder / "libtirevo_text.so").string();
        // Long enough to be read as far as its header.
        ASSERT_TRUE(WriteFile(notAModule, std::string(4096, 'x')));
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    std::string missing;
    std::string notAModule;
};

TEST_F(ModuleLoaderTest, TakesTheFirstPlaceWhoseModuleFitsAndSaysWhyEachBeforeItWasPassedOver)
{
    Check check;
    const ModuleLoad load = LoadModule(
        {missing, notAModule, TEST_MODULE_BARE, TEST_MODULE_OTHER, TEST_MODULE_FITS, missing}, check.Fits());
    ASSERT_TRUE(load.loaded);
    EXPECT_EQ(check.answer, 42);
    // Nothing is looked at after the module taken; nothing there is opened.
    EXPECT_EQ(check.looks, 3);
    ASSERT_EQ(load.passedOver.size(), 4u);
    EXPECT_EQ(load.passedOver[0].path, missing);
    EXPECT_EQ(load.passedOver[0].miss, ModuleMiss::NotThere);
    EXPECT_EQ(load.passedOver[1].path, notAModule);
    EXPECT_EQ(load.passedOver[1].miss, ModuleMiss::NotLoadable);
    EXPECT_EQ(load.passedOver[2].miss, ModuleMiss::NotTheModule);
    EXPECT_EQ(load.passedOver[3].miss, ModuleMiss::OtherVersion);
}

TEST_F(ModuleLoaderTest, NothingThatFitsIsEveryPlacePassedOver)
{
    Check check;
    const ModuleLoad load = LoadModule({TEST_MODULE_OTHER, missing}, check.Fits());
    EXPECT_FALSE(load.loaded);
    ASSERT_EQ(load.passedOver.size(), 2u);
    EXPECT_EQ(load.passedOver[0].miss, ModuleMiss::OtherVersion);
    EXPECT_EQ(load.passedOver[1].miss, ModuleMiss::NotThere);
    EXPECT_FALSE(LoadModule({}, check.Fits()).loaded);
}

TEST_F(ModuleLoaderTest, TheLoadersReasonDoesNotNameThePathAgain)
{
    std::string reason;
    EXPECT_EQ(OpenModule(notAModule, reason), nullptr);
    EXPECT_EQ(reason, "invalid ELF header");
}

TEST(ModuleMissLinesTest, AreALineForEachPlaceWithWhy)
{
    const ModuleMissWords words{"not found", "not the module", "another version"};
    EXPECT_EQ(ModuleMissLines({{"/a.so", ModuleMiss::NotThere, {}},
                               {"/b.so", ModuleMiss::NotLoadable, "invalid ELF header"}},
                              words),
              "/a.so (not found)\n/b.so (invalid ELF header)");
    EXPECT_EQ(ModuleMissLines({}, words), "");
}

struct MissCase {
    const char* name;
    ModuleMiss miss;
    const char* text;
};

class ModuleMissTexts : public testing::TestWithParam<MissCase> {};

TEST_P(ModuleMissTexts, AreTheCallersWordsButTheLoaders)
{
    const ModuleMissWords words{"not there", "not tirevo's module", "made for another version"};
    EXPECT_EQ(ModuleMissText({"/x.so", GetParam().miss, "invalid ELF header"}, words), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Misses, ModuleMissTexts,
    testing::Values(MissCase{"NotThere", ModuleMiss::NotThere, "not there"},
                    MissCase{"NotLoadable", ModuleMiss::NotLoadable, "invalid ELF header"},
                    MissCase{"NotTheModule", ModuleMiss::NotTheModule, "not tirevo's module"},
                    MissCase{"OtherVersion", ModuleMiss::OtherVersion, "made for another version"}),
    [](const testing::TestParamInfo<MissCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tirevo
