#include "SettingsFile.h"
#include "NumberText.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <clocale>
#include <functional>
#include <string>
#include <unistd.h>

using namespace tirevo;

namespace {

const bool kUserLocale = std::setlocale(LC_ALL, "") != nullptr;

class TempFolder : public testing::Test {
public:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    std::string PathOf(const char* name) const { return QDir(dir_.path()).filePath(name).toStdString(); }
    std::string WriteFile(const std::string& text) const
    {
        const std::string path = PathOf("tirevo.INI");
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }
    static std::string ReadFile(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }

private:
    QTemporaryDir dir_;
};

void ExpectSettings(const TSettings& actual, const TSettings& expected)
{
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.ph1, expected.ph1);
    EXPECT_EQ(actual.ph2, expected.ph2);
    EXPECT_EQ(actual.interval, expected.interval);
    EXPECT_EQ(actual.UseTimeStamp, expected.UseTimeStamp);
    EXPECT_EQ(static_cast<int>(static_cast<unsigned char>(actual.Separator)),
              static_cast<int>(static_cast<unsigned char>(expected.Separator)));
}

struct LoadCase {
    const char* name;
    std::string text;
    char decimalSeparator;
    TSettings expected;
    std::optional<std::string> error;
};

class Load : public TempFolder, public testing::WithParamInterface<LoadCase> {};

TEST_P(Load, ReadsInOrder)
{
    const LoadCase& c = GetParam();
    const SettingsLoadResult result = LoadSettings(WriteFile(c.text), c.decimalSeparator);
    ExpectSettings(result.settings, c.expected);
    EXPECT_EQ(result.error, c.error);
}

std::string System(const std::string& lines) { return "[System]\n" + lines + "\n"; }

INSTANTIATE_TEST_SUITE_P(
    Integers, Load,
    testing::Values(
        LoadCase{"emptyFile", "", '.', {}, {}},
        LoadCase{"position", "[window]\n mftop = 280\nMFLeft=-874\n", '.', {.top = 280, .left = -874}, {}},
        LoadCase{"positionNotInteger", "[Window]\nMFTop=12px\nMFLeft=\n", '.', {}, {}},
        LoadCase{"interval0x", System("Interval=0x1F4"), '.', {.interval = 500}, {}},
        LoadCase{"intervalDollar", System("Interval=$1F4"), '.', {.interval = 500}, {}},
        LoadCase{"intervalX", System("Interval=x1F4"), '.', {.interval = 500}, {}},
        LoadCase{"intervalAbc", System("Interval=abc"), '.', {.interval = 1000}, {}},
        LoadCase{"intervalZero", System("Interval=0"), '.', {.interval = 0}, {}},
        LoadCase{"intervalNegative", System("Interval=-1"), '.', {.interval = 4294967295u}, {}},
        LoadCase{"timeStampOff", System("UseTimeStamp=0"), '.', {.UseTimeStamp = false}, {}},
        LoadCase{"timeStampTwo", System("UseTimeStamp=2"), '.', {.UseTimeStamp = true}, {}},
        LoadCase{"timeStampFalse", System("UseTimeStamp=false"), '.', {.UseTimeStamp = true}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Separators, Load,
    testing::Values(LoadCase{"code9", System("Separator=#9"), '.', {.Separator = '\t'}, {}},
                    LoadCase{"code59", System("Separator=#59"), '.', {.Separator = ';'}, {}},
                    LoadCase{"semicolon", System("Separator=;"), '.', {.Separator = ';'}, {}},
                    LoadCase{"firstCharacter", System("Separator=,x"), '.', {.Separator = ','}, {}},
                    LoadCase{"quotedSpace", System("Separator=\" \""), '.', {.Separator = ' '}, {}},
                    LoadCase{"modulo", System("Separator=#300"), '.', {.Separator = ','}, {}},
                    LoadCase{"minusOne", System("Separator=#-1"), '.', {.Separator = '\xFF'}, {}},
                    LoadCase{"hexCode", System("Separator=#$3B"), '.', {.Separator = ';'}, {}},
                    LoadCase{"empty", System("Separator="), '.', {.Separator = '\t'}, {}},
                    LoadCase{"hashOnly",
                             System("Interval=7\nSeparator=#"),
                             '.',
                             {.interval = 7, .Separator = '\0'},
                             "'' is not a valid integer value"},
                    LoadCase{"hashAbc",
                             System("UseTimeStamp=0\nSeparator=#abc"),
                             '.',
                             {.UseTimeStamp = false, .Separator = '\0'},
                             "'abc' is not a valid integer value"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    CalibrationPoints, Load,
    testing::Values(
        LoadCase{"commaInPointLocale", "[Calibration]\nph1=4,01\nph2=6.86\n", '.', {.ph2 = 6.86}, {}},
        LoadCase{"commaInCommaLocale", "[Calibration]\nph1=4,5\nph2=6.86\n", ',', {.ph1 = 4.5}, {}},
        LoadCase{"emptyAndWrong", "[Calibration]\nph1=\nph2=pH7\n", '.', {}, {}},
        // Loading stops at the overflow: MFTop was read, ph2 and the rest keep
        // their defaults, the separator is code 0.
        LoadCase{"overflowPh1",
                 "[Window]\nMFTop=1\n[Calibration]\nph1=1E400\nph2=5\n" + System("Interval=5"),
                 '.',
                 {.top = 1, .Separator = '\0'},
                 "Floating point overflow"},
        LoadCase{"overflowPh2",
                 "[Calibration]\nph1=3\nph2=-1e400\n" + System("Separator=;"),
                 '.',
                 {.ph1 = 3, .Separator = '\0'},
                 "Floating point overflow"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TempFolder, MissingFileGivesDefaults)
{
    const SettingsLoadResult result = LoadSettings(PathOf("none.INI"), '.');
    ExpectSettings(result.settings, TSettings{});
    EXPECT_FALSE(result.error);
}

TEST_F(TempFolder, CalibrationPointInTheUserLocale)
{
    ASSERT_TRUE(kUserLocale);
    const char separator = *std::localeconv()->decimal_point;
    const std::string text = "[Calibration]\nph1=" + tirevo::NumberDisplayText(9.18, separator) + "\n";
    EXPECT_EQ(LoadSettings(WriteFile(text), separator).settings.ph1, 9.18);
}

struct SaveCase {
    const char* name;
    std::optional<std::string> before;  // no file when empty
    std::string after;
};

class Save : public TempFolder, public testing::WithParamInterface<SaveCase> {};

TEST_P(Save, WritesOnlyThePosition)
{
    const SaveCase& c = GetParam();
    const std::string path = c.before ? WriteFile(*c.before) : PathOf("tirevo.INI");
    EXPECT_EQ(SaveWindowPosition(path, 280, -874), std::nullopt);
    EXPECT_EQ(ReadFile(path), c.after);
    const TSettings loaded = LoadSettings(path, '.').settings;
    EXPECT_EQ(loaded.top, 280);
    EXPECT_EQ(loaded.left, -874);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Save,
    testing::Values(SaveCase{"noFile", std::nullopt, "[Window]\nMFTop=280\nMFLeft=-874\n"},
                    SaveCase{"emptyFile", "", "[Window]\nMFTop=280\nMFLeft=-874\n"},
                    SaveCase{"keepsEverythingElse",
                             "; tirevo\r\n[Calibration]\r\nph1 = 4.00 ; buffer\r\n\r\n[window]\r\n"
                             "MFLeft=10\r\nExtra=x\r\nmftop = 20\r\n\r\n[System]\r\nSeparator=#59\r\njunk",
                             "; tirevo\r\n[Calibration]\r\nph1 = 4.00 ; buffer\r\n\r\n[window]\r\n"
                             "MFLeft=-874\r\nExtra=x\r\nmftop=280\r\n\r\n[System]\r\nSeparator=#59\r\njunk"},
                    SaveCase{"addsToSection", "[Window]\r\nOther=1\r\n\r\n[System]\r\n",
                             "[Window]\r\nOther=1\r\nMFTop=280\r\nMFLeft=-874\r\n\r\n[System]\r\n"},
                    SaveCase{"addsSection", "[System]\nInterval=500",
                             "[System]\nInterval=500\n[Window]\nMFTop=280\nMFLeft=-874\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class SaveFails : public TempFolder,
                  public testing::WithParamInterface<std::function<std::string(TempFolder&)>> {};

TEST_P(SaveFails, ReportsThePath)
{
    const std::string path = GetParam()(*this);
    if (path.empty())
        GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_EQ(SaveWindowPosition(path, 1, 2), "Unable to write to " + path);
}

INSTANTIATE_TEST_SUITE_P(Folders, SaveFails,
                         testing::Values([](TempFolder& t) { return t.PathOf("missing/tirevo.INI"); },
                                         [](TempFolder& t) { return t.WriteFile("[S]\n") + "/tirevo.INI"; },
                                         [](TempFolder& t) {
                                             QDir().mkpath(QString::fromStdString(t.PathOf("dir.INI")));
                                             return t.PathOf("dir.INI");
                                         },
                                         [](TempFolder& t) {
                                             if (geteuid() == 0)
                                                 return std::string();
                                             const std::string folder = t.PathOf("readonly");
                                             QDir().mkpath(QString::fromStdString(folder));
                                             QFile::setPermissions(QString::fromStdString(folder),
                                                                   QFileDevice::ReadOwner |
                                                                       QFileDevice::ExeOwner);
                                             return folder + "/tirevo.INI";
                                         }));

struct PathCase {
    std::string program;
    std::string ini;
};

class IniPath : public testing::TestWithParam<PathCase> {};

TEST_P(IniPath, ReplacesTheExtension) { EXPECT_EQ(IniPathForProgram(GetParam().program), GetParam().ini); }

INSTANTIATE_TEST_SUITE_P(Names, IniPath,
                         testing::Values(PathCase{"/opt/q/x.exe", "/opt/q/x.INI"},
                                         PathCase{"tirevo", "tirevo.INI"},
                                         PathCase{"/usr/bin/tirevo", "/usr/bin/tirevo.INI"},
                                         PathCase{"/opt/app.d/tirevo", "/opt/app.d/tirevo.INI"},
                                         PathCase{"/opt/a.b/x.tar.gz", "/opt/a.b/x.tar.INI"},
                                         PathCase{"/opt/x.", "/opt/x.INI"},
                                         PathCase{"/opt/.hidden", "/opt/.hidden.INI"}));

}  // namespace
