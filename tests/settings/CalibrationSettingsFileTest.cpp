// [Calibration] AsLeftWait=, Tolerance= and DueHours=: what each value
// becomes, what is reported, and that the window's save keeps them.
#include "CalibrationSettings.h"
#include "CaseName.h"
#include "SettingsFile.h"
#include "TempIni.h"

#include <gtest/gtest.h>

using namespace tirevo;

namespace {

struct CalibrationKeysCase {
    const char* what;
    char decimal;
    const char* text;
    int waitS;
    int toleranceHundredths;
    int dueHours;
    const char* problem;  // "" for none
};

class CalibrationKeysTable : public testing::TestWithParam<CalibrationKeysCase> {
protected:
    TempIni ini_;
};

TEST_P(CalibrationKeysTable, ValuesAndWhatIsReported)
{
    const CalibrationKeysCase& c = GetParam();
    const CalibrationSettingsLoad loaded = LoadCalibrationSettings(ini_.Write(c.text), c.decimal);
    EXPECT_EQ(loaded.settings.asLeftWaitS, c.waitS);
    EXPECT_EQ(loaded.settings.toleranceHundredths, c.toleranceHundredths);
    EXPECT_EQ(loaded.settings.dueHours, c.dueHours);
    EXPECT_EQ(loaded.problem.value_or(""), c.problem);
}

const CalibrationKeysCase kCases[] = {
    {"AbsentGivesDefaults", '.', "[Calibration]\r\nph1=4.01\r\n", 120, 5, 0, ""},
    {"EmptyGivesDefaults", '.', "[Calibration]\r\nAsLeftWait=\r\nTolerance=\r\nDueHours=\r\n", 120, 5, 0, ""},
    {"AllSet", '.', "[calibration]\r\nasleftwait=90\r\nTolerance=0.1\r\nDueHours=24\r\n", 90, 10, 24, ""},
    {"CommaLocale", ',', "[Calibration]\r\nTolerance=0,03\r\n", 120, 3, 0, ""},
    {"PointInACommaLocaleIsNoNumber", ',', "[Calibration]\r\nTolerance=0.03\r\n", 120, 5, 0,
     "[Calibration] Tolerance: '0.03' is not a valid floating point value"},
    {"HexAsTheOtherIntegers", '.', "[Calibration]\r\nDueHours=$18\r\n", 120, 5, 24, ""},
    {"ZeroToleranceTakesOnlyTheBuffer", '.', "[Calibration]\r\nTolerance=0\r\n", 120, 0, 0, ""},
    {"BadValuesKeepTheirDefaultsEachReported", '.',
     "[Calibration]\r\nAsLeftWait=0\r\nTolerance=2\r\nDueHours=-1\r\n", 120, 5, 0,
     "[Calibration] AsLeftWait: 0 is out of range (1 to 3600 seconds)\n"
     "[Calibration] Tolerance: 2 is out of range (0 to 1 pH)\n"
     "[Calibration] DueHours: -1 is out of range (0 to 87600 hours)"},
    {"NotAnInteger", '.', "[Calibration]\r\nDueHours=daily\r\nAsLeftWait=60\r\n", 60, 5, 0,
     "[Calibration] DueHours: 'daily' is not a valid integer value"},
};

INSTANTIATE_TEST_SUITE_P(Calibration, CalibrationKeysTable, testing::ValuesIn(kCases), CaseName());

TEST_F(CalibrationKeysTable, KeptWhenTheWindowSavesItsPosition)
{
    const std::string path =
        ini_.Write("[Calibration]\r\nph1=4.01\r\nAsLeftWait=60\r\nTolerance=0.1\r\nDueHours=168\r\n");
    ASSERT_FALSE(SaveWindowPosition(path, 10, 20));
    const CalibrationSettingsLoad loaded = LoadCalibrationSettings(path, '.');
    EXPECT_EQ(loaded.settings.asLeftWaitS, 60);
    EXPECT_EQ(loaded.settings.toleranceHundredths, 10);
    EXPECT_EQ(loaded.settings.dueHours, 168);
}

}  // namespace
