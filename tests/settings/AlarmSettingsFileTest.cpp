// The [Alarm] section and a meter's own [Alarm SERIAL] as the file holds
// them: what each value becomes, which section it comes from, what is
// reported and left off, and saves that keep every other line.
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

struct MeterCase {
    const char* what;
    const char* serial;
    const char* text;
    std::optional<double> high;
    std::optional<double> low;
    int delayS;
    double hysteresis;
    const char* meterKeys;  // joined with ","
    const char* problem;    // "" for none
};

class MeterAlarmLoadTable : public testing::TestWithParam<MeterCase> {
protected:
    TempIni ini_;
};

std::string Joined(const std::vector<std::string>& keys)
{
    std::string text;
    for (const std::string& key : keys)
        text += (text.empty() ? "" : ",") + key;
    return text;
}

TEST_P(MeterAlarmLoadTable, MeterSectionOverAlarmKeyByKey)
{
    const MeterCase& c = GetParam();
    const AlarmSettingsLoad loaded = LoadAlarmSettings(ini_.Write(c.text), '.', c.serial);
    EXPECT_EQ(loaded.settings.high, c.high);
    EXPECT_EQ(loaded.settings.low, c.low);
    EXPECT_EQ(loaded.settings.delayS, c.delayS);
    EXPECT_DOUBLE_EQ(loaded.settings.hysteresis, c.hysteresis);
    EXPECT_EQ(Joined(loaded.meterKeys), c.meterKeys);
    EXPECT_EQ(loaded.problem.value_or(""), c.problem);
}

constexpr const char* kBench = "[Alarm]\nHigh=8\nLow=6\nDelay=10\n"
                               "[Alarm FT01]\nHigh=7.5\nHysteresis=0.2\n"
                               "[Alarm FT02]\nLow=\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, MeterAlarmLoadTable,
    testing::Values(
        MeterCase{"no serial: [Alarm] alone", "", kBench, 8.0, 6.0, 10, 0.05, "", ""},
        MeterCase{"a meter without a section", "FT03", kBench, 8.0, 6.0, 10, 0.05, "", ""},
        MeterCase{"its keys over [Alarm]", "FT01", kBench, 7.5, 6.0, 10, 0.2, "High,Hysteresis", ""},
        MeterCase{"an empty limit turns it off", "FT02", kBench, 8.0, {}, 10, 0.05, "Low", ""},
        MeterCase{"the section's name in any case", "ft01", kBench, 7.5, 6.0, 10, 0.2, "High,Hysteresis", ""},
        MeterCase{
            "a serial with a space inside", "FT 9", "[Alarm FT 9]\nHigh=9\n", 9.0, {}, 5, 0.05, "High", ""},
        MeterCase{
            "a serial that cannot name a section", "FT]1", "[Alarm FT]\nHigh=9\n", {}, {}, 5, 0.05, "", ""},
        MeterCase{"a control character", "FT\x01", "[Alarm FT\x01]\nHigh=9\n", {}, {}, 5, 0.05, "", ""},
        MeterCase{
            "a byte beyond ASCII", "FT\xc3\xa9", "[Alarm FT\xc3\xa9]\nHigh=9\n", {}, {}, 5, 0.05, "", ""},
        MeterCase{"a blank at the end", "FT1 ", "[Alarm FT1]\nHigh=9\n", {}, {}, 5, 0.05, "", ""},
        MeterCase{"a bad key in the meter's section is named there",
                  "FT01",
                  "[Alarm]\nHigh=8\nDelay=x\n[Alarm FT01]\nHigh=abc\nLow=6\n",
                  {},
                  6.0,
                  5,
                  0.05,
                  "High,Low",
                  "[Alarm FT01] High: 'abc' is not a valid floating point value\n"
                  "[Alarm] Delay: 'x' is not a valid integer value"},
        MeterCase{"the wrong way round across sections",
                  "FT01",
                  "[Alarm]\nHigh=7\n[Alarm FT01]\nLow=7.5\n",
                  {},
                  {},
                  5,
                  0.05,
                  "Low",
                  "[Alarm FT01] High: High must be above Low"}),
    CaseName());

TEST(MeterAlarmSettingsSave, WritesItsOwnSectionOnlyAndReadsBack)
{
    const TempIni ini;
    const std::string path = ini.Write("; lab 3\r\n[Alarm]\r\nHigh=8\r\n[alarm FT01]\r\n; tank 2\r\n"
                                       "HIGH=7\r\n[System]\r\nInterval=500");
    AlarmSettings settings;
    settings.low = 6.25;
    settings.delayS = 0;
    EXPECT_FALSE(SaveMeterAlarmSettings(path, "FT01", settings, ','));
    EXPECT_FALSE(SaveMeterAlarmSettings(path, "FT02", settings, ','));
    EXPECT_EQ(ReadFile(path),
              "; lab 3\r\n[Alarm]\r\nHigh=8\r\n[alarm FT01]\r\n; tank 2\r\nHIGH=\r\nLow=6,25\r\n"
              "Delay=0\r\nHysteresis=0,05\r\n[System]\r\nInterval=500\r\n[Alarm FT02]\r\nHigh=\r\n"
              "Low=6,25\r\nDelay=0\r\nHysteresis=0,05\r\n");
    for (const char* serial : {"FT01", "FT02"}) {
        const AlarmSettingsLoad loaded = LoadAlarmSettings(path, ',', serial);
        EXPECT_FALSE(loaded.problem) << serial;
        EXPECT_EQ(loaded.settings, settings) << serial;
    }
    EXPECT_EQ(LoadAlarmSettings(path, ',').settings.high, 8.0);
}

TEST(MeterAlarmSettingsSave, RefusesASerialThatCannotNameASectionAndLeavesTheFile)
{
    const TempIni ini;
    const std::string text = "[Alarm]\nHigh=8\n";
    const std::string path = ini.Write(text);
    for (const char* serial : {"", "A]B", "A\nB", " A"}) {
        EXPECT_EQ(SaveMeterAlarmSettings(path, serial, AlarmSettings(), '.').value_or(""),
                  "This meter's serial number cannot name a section in " + path)
            << serial;
    }
    EXPECT_EQ(ReadFile(path), text);
}

}  // namespace
