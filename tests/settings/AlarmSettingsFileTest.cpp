// The [Alarm] section as the file holds it: what each value becomes, what is
// reported and left off, and a save that keeps every other line.
#include "AlarmSettingsFile.h"
#include "CaseName.h"
#include "TempIni.h"

#include <gtest/gtest.h>

using namespace tirevo;

namespace {

struct LoadCase {
    const char* what;
    char decimal;
    const char* text;
    std::optional<double> high;
    std::optional<double> low;
    int delayS;
    double hysteresis;
    const char* problem;  // "" for none
};

class AlarmSettingsLoadTable : public testing::TestWithParam<LoadCase> {
protected:
    TempIni ini_;
};

TEST_P(AlarmSettingsLoadTable, ValuesAndWhatIsReported)
{
    const LoadCase& c = GetParam();
    const AlarmSettingsLoad loaded = LoadAlarmSettings(ini_.Write(c.text), c.decimal);
    EXPECT_EQ(loaded.settings.high, c.high);
    EXPECT_EQ(loaded.settings.low, c.low);
    EXPECT_EQ(loaded.settings.delayS, c.delayS);
    EXPECT_DOUBLE_EQ(loaded.settings.hysteresis, c.hysteresis);
    EXPECT_EQ(loaded.problem.value_or(""), c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlarmSettingsLoadTable,
    testing::Values(
        LoadCase{"missing section", '.', "[Window]\nMFTop=1\n", {}, {}, 5, 0.05, ""},
        LoadCase{"empty keys", '.', "[Alarm]\nHigh=\nLow=\nDelay=\nHysteresis=\n", {}, {}, 5, 0.05, ""},
        LoadCase{"all four", '.', "[alarm]\nhigh=7.5\nLOW=6\nDelay=30\nHysteresis=0.1\n", 7.5, 6.0, 30, 0.1,
                 ""},
        LoadCase{"comma locale", ',', "[Alarm]\nHigh=7,5\nHysteresis=0,2\n", 7.5, {}, 5, 0.2, ""},
        LoadCase{"a point in a comma locale",
                 ',',
                 "[Alarm]\nHigh=7.5\nLow=6\n",
                 {},
                 6.0,
                 5,
                 0.05,
                 "[Alarm] High: '7.5' is not a valid floating point value"},
        LoadCase{"delay as integer text", '.', "[Alarm]\nDelay=$10\n", {}, {}, 16, 0.05, ""},
        LoadCase{"delay not an integer",
                 '.',
                 "[Alarm]\nDelay=5s\n",
                 {},
                 {},
                 5,
                 0.05,
                 "[Alarm] Delay: '5s' is not a valid integer value"},
        LoadCase{"delay too long",
                 '.',
                 "[Alarm]\nDelay=3601\n",
                 {},
                 {},
                 5,
                 0.05,
                 "[Alarm] Delay: Delay must be from 0 to 3600 seconds"},
        LoadCase{"limit out of range, the rest read",
                 '.',
                 "[Alarm]\nHigh=20\nLow=6\nDelay=0\n",
                 {},
                 6.0,
                 0,
                 0.05,
                 "[Alarm] High: High must be from -2.00 to 16.00"},
        LoadCase{"overflow",
                 '.',
                 "[Alarm]\nHysteresis=1E400\n",
                 {},
                 {},
                 5,
                 0.05,
                 "[Alarm] Hysteresis: Floating point overflow"},
        LoadCase{"the wrong way round: neither used",
                 '.',
                 "[Alarm]\nHigh=6\nLow=7\n",
                 {},
                 {},
                 5,
                 0.05,
                 "[Alarm] High: High must be above Low"},
        LoadCase{"two problems, a line each",
                 '.',
                 "[Alarm]\nHigh=x\nHysteresis=2\n",
                 {},
                 {},
                 5,
                 0.05,
                 "[Alarm] High: 'x' is not a valid floating point value\n"
                 "[Alarm] Hysteresis: Hysteresis must be from 0.00 to 1.00"}),
    CaseName());

TEST(AlarmSettingsSave, KeepsEveryOtherLineAndReadsBack)
{
    const TempIni ini;
    const std::string path =
        ini.Write("; lab 3\r\n[Alarm]\r\nHigh=1\r\n; why 1\r\n[System]\r\nInterval=500\r\n");
    AlarmSettings settings;
    settings.low = 6.25;
    settings.delayS = 0;
    settings.hysteresis = 0.1;
    EXPECT_FALSE(SaveAlarmSettings(path, settings, ','));
    EXPECT_EQ(
        ReadFile(path),
        "; lab 3\r\n[Alarm]\r\nHigh=\r\nLow=6,25\r\nDelay=0\r\nHysteresis=0,1\r\n; why 1\r\n[System]\r\n"
        "Interval=500\r\n");
    const AlarmSettingsLoad loaded = LoadAlarmSettings(path, ',');
    EXPECT_FALSE(loaded.problem);
    EXPECT_EQ(loaded.settings, settings);
}

}  // namespace
