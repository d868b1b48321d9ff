// tirevo-cli and its MQTT module, as child processes on the simulated meter:
// copies of the program in folders of their own, with the module beside
// them, in the installed layout, missing, or something else at its name.
// No broker is needed: one that is away leaves the run going (exit 0), a
// module that cannot be loaded ends it before any meter is opened (exit 1).
#include "CliProcess.h"

#include <gtest/gtest.h>

using namespace clitest;

namespace {

constexpr const char* kModuleName = "libtirevo_mqtt.so";
// Nothing listens there: the broker is away for the whole run.
constexpr const char* kNoBroker = "mqtt://127.0.0.1:1";

enum class Put { Nothing, Module, NotAModule, OtherLibrary };

struct Layout {
    const char* name;
    Put beside;     // in the program's own folder
    Put installed;  // in <prefix>/<libdir>/tirevo, the program in <prefix>/bin
    bool loads;
    const char* reason;  // what stderr says about the first place, when it does not load
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

void Place(Put what, const fs::path& folder)
{
    if (what == Put::Nothing)
        return;
    fs::create_directories(folder);
    const fs::path target = folder / kModuleName;
    switch (what) {
    case Put::Module:
        fs::copy_file(TIREVO_MQTT_MODULE, target);
        break;
    case Put::NotAModule:
        WriteFile(target, std::string(256, 'x'));
        break;
    case Put::OtherLibrary:
        // A shared object, but not the module: the simulated driver.
        fs::copy_file(fs::path(TIREVO_SIM_DIR) / "libftd2xx.so", target);
        break;
    case Put::Nothing:
        break;
    }
}

// A copy of tirevo-cli in prefix/bin, with the module where the layout says.
fs::path Install(const TempDir& dir, const Layout& layout)
{
    const fs::path bin = dir / "prefix/bin";
    fs::create_directories(bin);
    fs::copy_file(TIREVO_CLI_PROGRAM, bin / "tirevo-cli");
    Place(layout.beside, bin);
    Place(layout.installed, dir / "prefix" / TIREVO_MQTT_LIBDIR / "tirevo");
    return bin / "tirevo-cli";
}

CliProcess::Setup Copy(const fs::path& program, const TempDir& dir, std::vector<std::string> args)
{
    CliProcess::Setup setup;
    setup.program = program.string();
    setup.args = std::move(args);
    setup.cwd = dir.Path();
    return setup;
}

class ModuleLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(ModuleLayout, PublishRunsOrSaysWhyNot)
{
    const Layout& layout = GetParam();
    TempDir dir;
    const fs::path program = Install(dir, layout);
    const Finished done =
        RunCli(Copy(program, dir, {"publish", kNoBroker, "--count", "2", "--interval", "100"}));
    EXPECT_EQ(done.signal, 0) << done.err;
    if (layout.loads) {
        // Loaded and run: with nothing listening, no reading was delivered.
        EXPECT_EQ(done.exitCode, 3) << done.err;
        EXPECT_NE(done.err.find("the broker at 127.0.0.1:1 is away"), std::string::npos) << done.err;
        EXPECT_EQ(done.err.find("MQTT module"), std::string::npos) << done.err;
        return;
    }
    EXPECT_EQ(done.exitCode, 1) << done.err;
    const std::vector<std::string> lines = Lines(done.err);
    ASSERT_EQ(lines.size(), 3u) << done.err;
    EXPECT_EQ(lines[0],
              "tirevo-cli: cannot publish: the MQTT module libtirevo_mqtt.so could not be loaded "
              "(is tirevo installed completely?)");
    const std::string beside = (program.parent_path() / kModuleName).string();
    EXPECT_EQ(lines[1], "tirevo-cli:   " + beside + ": " + layout.reason);
    const std::string installed = (dir / "prefix" / TIREVO_MQTT_LIBDIR / "tirevo" / kModuleName).string();
    EXPECT_EQ(lines[2], "tirevo-cli:   " + installed + ": not there");
    // Nothing was connected or opened: no broker line, no meter line.
    EXPECT_EQ(done.err.find("broker at"), std::string::npos) << done.err;
    EXPECT_EQ(done.err.find("connected"), std::string::npos) << done.err;
}

INSTANTIATE_TEST_SUITE_P(
    Places, ModuleLayout,
    ::testing::Values(Layout{"BesideTheProgram", Put::Module, Put::Nothing, true, ""},
                      Layout{"InTheInstalledLibraryFolder", Put::Nothing, Put::Module, true, ""},
                      Layout{"BrokenBesideButInstalled", Put::NotAModule, Put::Module, true, ""},
                      Layout{"Missing", Put::Nothing, Put::Nothing, false, "not there"},
                      Layout{"NotASharedObject", Put::NotAModule, Put::Nothing, false, "invalid ELF header"},
                      Layout{"AnotherLibrary", Put::OtherLibrary, Put::Nothing, false,
                             "not tirevo's MQTT module"}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

// log --mqtt without the module: refused before the log file is made, so no
// empty log is left behind for a run that never took a reading.
TEST(ModuleMissing, LogWithMqttMakesNoLogFile)
{
    TempDir dir;
    const fs::path program = Install(dir, Layout{"", Put::Nothing, Put::Nothing, false, ""});
    const fs::path logs = dir / "logs";
    fs::create_directories(logs);
    const Finished done = RunCli(
        Copy(program, dir,
             {"log", "--mqtt", kNoBroker, "--dir", logs.string(), "--count", "2", "--interval", "100"}));
    EXPECT_EQ(done.exitCode, 1) << done.err;
    EXPECT_NE(done.err.find("cannot publish: the MQTT module"), std::string::npos) << done.err;
    EXPECT_TRUE(fs::is_empty(logs));
}

// read and log without --mqtt never need the module, and never map the MQTT
// client or OpenSSL; publish maps them once it runs.
bool Maps(pid_t pid, const std::string& part)
{
    return ReadFile("/proc/" + std::to_string(pid) + "/maps").find(part) != std::string::npos;
}

TEST(ModuleMapping, ReadRunsWithoutTheModuleAndMapsNoMqttClient)
{
    TempDir dir;
    const fs::path program = Install(dir, Layout{"", Put::Nothing, Put::Nothing, false, ""});
    CliProcess child(Copy(program, dir, {"read", "--interval", "100", "--format", "csv"}));
    ASSERT_TRUE(child.WaitForOutput("\n", 2)) << child.Err();
    for (const char* library : {"libmosquitto", "libssl", "libcrypto", kModuleName})
        EXPECT_FALSE(Maps(child.Pid(), library)) << library;
    child.Signal(SIGINT);
    EXPECT_EQ(child.Wait().exitCode, 0) << child.Err();
}

TEST(ModuleMapping, PublishMapsTheModuleAndTheMqttClient)
{
    TempDir dir;
    const fs::path program = Install(dir, Layout{"", Put::Module, Put::Nothing, true, ""});
    CliProcess child(Copy(program, dir, {"publish", kNoBroker, "--interval", "100"}));
    ASSERT_TRUE(child.WaitForError("is away")) << child.Err();
    EXPECT_TRUE(Maps(child.Pid(), (program.parent_path() / kModuleName).string()));
    EXPECT_TRUE(Maps(child.Pid(), "libmosquitto"));
    child.Signal(SIGINT);
    // Nothing listens there: nothing was delivered.
    EXPECT_EQ(child.Wait().exitCode, 3) << child.Err();
}

}  // namespace
