// What tirevo-cli prints and decides without a meter: the choice of the
// meter, the list lines, the three output formats, the status line, the
// settings of a run and the calibration command.
#include "CalibrationCommand.h"
#include "MeterChoice.h"
#include "ReadingOutput.h"
#include "RunSettings.h"
#include "StatusLine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using tirevo::ListedDevice;
using tirevo::MeterChoiceStatus;
using tirevo::OutputFormat;

const ListedDevice kMeterA{"QUVA USB pH Meter", "QP000001", true};
const ListedDevice kMeterB{"QUVA USB pH Meter rev B", "QP000002", true};
const ListedDevice kOther{"FT232R USB UART", "FTOTHER1", false};

struct ChoiceCase {
    const char* name;
    std::vector<ListedDevice> listed;
    std::optional<std::string> serial;
    MeterChoiceStatus status;
    std::string serialOrMessagePart;
};

class MeterChoiceTable : public testing::TestWithParam<ChoiceCase> {};

TEST_P(MeterChoiceTable, OpensOnlyWhatIsMeant)
{
    const ChoiceCase& c = GetParam();
    const tirevo::MeterChoice choice = tirevo::ChooseMeter(c.listed, c.serial);
    EXPECT_EQ(choice.status, c.status);
    if (c.status == MeterChoiceStatus::Chosen) {
        EXPECT_EQ(choice.serial, c.serialOrMessagePart);
    } else {
        EXPECT_TRUE(choice.serial.empty()) << "nothing may be opened";
        EXPECT_NE(choice.message.find(c.serialOrMessagePart), std::string::npos) << choice.message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, MeterChoiceTable,
    testing::Values(
        ChoiceCase{"OnlyOne", {kOther, kMeterA}, std::nullopt, MeterChoiceStatus::Chosen, "QP000001"},
        ChoiceCase{"None", {}, std::nullopt, MeterChoiceStatus::NoMeter, "no pH meter attached"},
        ChoiceCase{"OnlyOtherConverters", {kOther}, std::nullopt, MeterChoiceStatus::NoMeter, "no pH meter"},
        ChoiceCase{"SeveralNamesThem",
                   {kMeterA, kMeterB},
                   std::nullopt,
                   MeterChoiceStatus::Several,
                   "--serial:\n  QP000001\n  QP000002"},
        ChoiceCase{
            "SerialAmongSeveral", {kMeterA, kMeterB}, "QP000002", MeterChoiceStatus::Chosen, "QP000002"},
        ChoiceCase{"SerialNotAttached",
                   {kMeterA},
                   "QP000009",
                   MeterChoiceStatus::NotListed,
                   "no meter with serial number QP000009 is attached; attached: QP000001"},
        ChoiceCase{"SerialOfAnotherConverter",
                   {kOther, kMeterA},
                   "FTOTHER1",
                   MeterChoiceStatus::NotListed,
                   "FTOTHER1"},
        ChoiceCase{"SerialIsExact", {kMeterA}, "QP00000", MeterChoiceStatus::NotListed, "QP00000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListLine, SerialTabDescriptionAndOthersMarked)
{
    EXPECT_EQ(tirevo::ListLine(kMeterB), "QP000002\tQUVA USB pH Meter rev B\n");
    EXPECT_EQ(tirevo::ListLine(kOther), "FTOTHER1\tFT232R USB UART\t(not a meter)\n");
}

tirevo::WallTime At(int offsetSeconds, int millisecond = 250)
{
    return {2026, 12, 8, 14, 3, 1, millisecond, offsetSeconds};
}

struct LineCase {
    OutputFormat format;
    tirevo::WallTime time;
    const char* reading;
    const char* serial;
    const char* line;
    bool stable = false;
};

class OutputLines : public testing::TestWithParam<LineCase> {};

TEST_P(OutputLines, OneReadingOneLine)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(tirevo::OutputLine(c.format, c.time, c.reading, c.serial, c.stable), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, OutputLines,
    testing::Values(
        LineCase{OutputFormat::Text, At(3600), "7.02", "A1B2C3", "14:03:01  7.02\n"},
        LineCase{OutputFormat::Csv, At(3600), "7.02", "A1B2C3", "2026-12-08T14:03:01.250+01:00,7.02\n"},
        LineCase{OutputFormat::Csv, At(0, 5), "-0.50", "A1B2C3", "2026-12-08T14:03:01.005+00:00,-0.50\n"},
        LineCase{OutputFormat::Csv, At(-(3 * 3600 + 1800), 999), "14.00", "A1B2C3",
                 "2026-12-08T14:03:01.999-03:30,14.00\n"},
        LineCase{OutputFormat::Csv, At(5 * 3600 + 2700), "7.02", "A1B2C3",
                 "2026-12-08T14:03:01.250+05:45,7.02\n"},
        LineCase{OutputFormat::Json, At(3600), "7.02", "A1B2C3",
                 "{\"time\":\"2026-12-08T14:03:01.250+01:00\",\"ph\":7.02,\"stable\":true,\"serial\":"
                 "\"A1B2C3\"}\n",
                 true},
        LineCase{OutputFormat::Text, At(3600), "7.02", "A1B2C3", "14:03:01  7.02\n", true},
        // Readings beyond five digits come in general notation; still a
        // JSON number.
        LineCase{OutputFormat::Json, At(0), "-1.2346E5", "Q\"1\\",
                 "{\"time\":\"2026-12-08T14:03:01.250+00:00\",\"ph\":-1.2346E5,\"stable\":false,\"serial\":"
                 "\"Q\\\"1\\\\\"}\n"}));

// A run over several meters names the meter in every line.
struct SerialLineCase {
    const char* what;
    OutputFormat format;
    const char* serial;
    const char* line;
};

class SerialLines : public testing::TestWithParam<SerialLineCase> {};

TEST_P(SerialLines, NameTheMeter)
{
    const SerialLineCase& c = GetParam();
    EXPECT_EQ(tirevo::OutputLine(c.format, At(3600), "7.02", c.serial, false, true), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, SerialLines,
    testing::Values(SerialLineCase{"text", OutputFormat::Text, "QP000001", "14:03:01  QP000001  7.02\n"},
                    SerialLineCase{"csv", OutputFormat::Csv, "QP000001",
                                   "2026-12-08T14:03:01.250+01:00,QP000001,7.02\n"},
                    // A serial number is the driver's bytes: a comma or a
                    // quote in it must not add a column.
                    SerialLineCase{"csv_quoted", OutputFormat::Csv, "Q,\"1",
                                   "2026-12-08T14:03:01.250+01:00,\"Q,\"\"1\",7.02\n"},
                    SerialLineCase{"json", OutputFormat::Json, "QP000001",
                                   "{\"time\":\"2026-12-08T14:03:01.250+01:00\",\"ph\":7.02,\"stable\":false,"
                                   "\"serial\":\"QP000001\"}\n"}),
    [](const testing::TestParamInfo<SerialLineCase>& info) { return std::string(info.param.what); });

struct MeasureCase {
    const char* what;
    OutputFormat format;
    tirevo::SampleRow row;
    const char* out;
};

class MeasureLines : public testing::TestWithParam<MeasureCase> {};

TEST_P(MeasureLines, AsTheUserAsked)
{
    EXPECT_EQ(tirevo::MeasureOutput(GetParam().format, GetParam().row, "10:02:45"), GetParam().out);
}

const tirevo::SampleRow kSample{"2026-12-08T10:02:45.125+01:00", "S-7", "7.00", true, "QP1"};
const tirevo::SampleRow kUnnamedUnstable{"2026-12-08T10:02:45.125+01:00", "", "6.91", false, "QP1"};
const tirevo::SampleRow kQuoted{"2026-12-08T10:02:45.125+01:00", "tap, \"blue\" \xC2\xB5", "7.00", true,
                                "Q\xB5"};

INSTANTIATE_TEST_SUITE_P(
    Cli, MeasureLines,
    testing::Values(
        MeasureCase{"Text", OutputFormat::Text, kSample, "S-7  10:02:45  7.00  stable\n"},
        MeasureCase{"TextUnnamedUnstable", OutputFormat::Text, kUnnamedUnstable,
                    "10:02:45  6.91  unstable\n"},
        MeasureCase{"Csv", OutputFormat::Csv, kSample,
                    "time,sample,ph,stable,serial\r\n2026-12-08T10:02:45.125+01:00,S-7,7.00,yes,QP1\r\n"},
        MeasureCase{"CsvQuoted", OutputFormat::Csv, kQuoted,
                    "time,sample,ph,stable,serial\r\n"
                    "2026-12-08T10:02:45.125+01:00,\"tap, \"\"blue\"\" \xC2\xB5\",7.00,yes,Q\xC2\xB5\r\n"},
        MeasureCase{"Json", OutputFormat::Json, kSample,
                    "{\"time\":\"2026-12-08T10:02:45.125+01:00\",\"sample\":\"S-7\",\"ph\":7.00,"
                    "\"stable\":true,\"serial\":\"QP1\"}\n"},
        MeasureCase{"JsonUtf8NameLatin1Serial", OutputFormat::Json, kQuoted,
                    "{\"time\":\"2026-12-08T10:02:45.125+01:00\",\"sample\":\"tap, \\\"blue\\\" \xC2\xB5\","
                    "\"ph\":7.00,\"stable\":true,\"serial\":\"Q\xC2\xB5\"}\n"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(OutputHeader, OnlyCsvHasOne)
{
    EXPECT_EQ(tirevo::OutputHeader(OutputFormat::Csv), "time,ph\n");
    EXPECT_EQ(tirevo::OutputHeader(OutputFormat::Text), "");
    EXPECT_EQ(tirevo::OutputHeader(OutputFormat::Json), "");
    EXPECT_EQ(tirevo::OutputHeader(OutputFormat::Csv, true), "time,serial,ph\n");
    EXPECT_EQ(tirevo::OutputHeader(OutputFormat::Text, true), "");
}

TEST(JsonString, ControlAndEightBitBytesStayValidUtf8)
{
    EXPECT_EQ(tirevo::JsonString(std::string("a\tb\x01", 4)), "\"a\\u0009b\\u0001\"");
    EXPECT_EQ(tirevo::JsonString(std::string("\0", 1)), "\"\\u0000\"");
    EXPECT_EQ(tirevo::JsonString("\xB5S"), "\"\xC2\xB5S\"");
    EXPECT_EQ(tirevo::JsonString("\xFF"), "\"\xC3\xBF\"");
}

struct StampLineCase {
    const char* name;
    int64_t utcMs;
    int32_t utcOffsetS;
    const char* csvTime;
};

class StampedLines : public testing::TestWithParam<StampLineCase> {};

// The printed time is the reading's stamp in the offset it was taken with,
// to the millisecond, also across midnight and the end of summer time.
TEST_P(StampedLines, ThePrintedTimeIsTheReadingsStamp)
{
    const StampLineCase& c = GetParam();
    tirevo::Reading reading;
    reading.value = 7.02;
    reading.utcMs = c.utcMs;
    reading.utcOffsetS = c.utcOffsetS;
    const tirevo::WallTime time = tirevo::ReadingWallTime(reading);
    EXPECT_EQ(tirevo::OutputLine(OutputFormat::Csv, time, "7.02", "Q"), std::string(c.csvTime) + ",7.02\n");
    EXPECT_EQ(tirevo::OutputLine(OutputFormat::Text, time, "7.02", "Q"),
              std::string(c.csvTime).substr(11, 8) + "  7.02\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cli, StampedLines,
    testing::Values(
        StampLineCase{"Utc", 1796711999999, 0, "2026-12-08T06:39:59.999+00:00"},
        StampLineCase{"EastOverMidnight", 1798761599999, 3600, "2027-01-01T00:59:59.999+01:00"},
        StampLineCase{"HalfHourWest", 1798761599999, -12600, "2026-12-31T20:29:59.999-03:30"},
        StampLineCase{"SummerTimeFirstTwoThirty", 1792888200000, 7200, "2026-10-25T02:30:00.000+02:00"},
        StampLineCase{"WinterTimeSecondTwoThirty", 1792891800000, 3600, "2026-10-25T02:30:00.000+01:00"},
        StampLineCase{"BeforeTheEpoch", -500, 0, "1969-12-31T23:59:59.500+00:00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatusText, SaysWhatAUserWatchesFor)
{
    tirevo::RunProgress progress;
    progress.serial = "QP000001";
    EXPECT_EQ(tirevo::StatusText(progress), "QP000001  pH ---  0 readings  0:00:00");
    progress.lastReading = "7.02";
    progress.readings = 1;
    progress.elapsedMs = 65999;
    progress.fileName = "logs/USB_PH_261208_140301.txt";
    EXPECT_EQ(tirevo::StatusText(progress),
              "QP000001  pH 7.02  1 reading  0:01:05  logs/USB_PH_261208_140301.txt");
    progress.responding = false;
    progress.readings = 12;
    EXPECT_EQ(tirevo::StatusText(progress),
              "QP000001  not responding  12 readings  0:01:05  logs/USB_PH_261208_140301.txt");
}

std::string Drain(int fd)
{
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    return out;
}

TEST(StatusLine, RewritesInPlaceOnlyWhatChanged)
{
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
    tirevo::StatusLine line(ends[1], true);
    line.Show("a 1");
    line.Show("a 1");
    line.Show("b");
    line.Clear();
    line.Clear();
    line.Show("b");
    EXPECT_EQ(Drain(ends[0]), "\r\x1b[Ka 1\r\x1b[Kb\r\x1b[K\r\x1b[Kb");
    tirevo::StatusLine off(ends[1], false);
    off.Show("c");
    off.Clear();
    EXPECT_EQ(Drain(ends[0]), "") << "nothing of it where stderr is not a terminal";
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST(ElapsedText, HoursGoOnPastADay)
{
    EXPECT_EQ(tirevo::ElapsedText(0), "0:00:00");
    EXPECT_EQ(tirevo::ElapsedText(3599999), "0:59:59");
    EXPECT_EQ(tirevo::ElapsedText(90061000), "25:01:01");
    EXPECT_EQ(tirevo::ElapsedText(-5), "0:00:00");
}

TEST(CliSettingsFile, TheWindowsFileBesideTheProgram)
{
    char pattern[] = "/tmp/tirevo-cli-settings.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    EXPECT_EQ(tirevo::CliSettingsFile(folder + "/tirevo-cli"), folder + "/tirevo.INI");
    ::rmdir(pattern);
}

tirevo::CliOptions Options(tirevo::CliCommand command)
{
    tirevo::CliOptions options;
    options.command = command;
    return options;
}

TEST(ResolveRunSettings, OptionsWinOverTheFile)
{
    tirevo::SettingsLoadResult loaded;
    loaded.settings.interval = 500;
    loaded.settings.UseTimeStamp = true;
    loaded.settings.Separator = ';';
    tirevo::CliOptions options = Options(tirevo::CliCommand::Log);
    const tirevo::RunSettings fromFile = tirevo::ResolveRunSettings(options, loaded, "/x/tirevo.INI");
    EXPECT_EQ(fromFile.intervalMs, 500u);
    EXPECT_TRUE(fromFile.useTimeStamp);
    EXPECT_EQ(fromFile.separator, ';');
    EXPECT_FALSE(fromFile.warning);

    options.intervalMs = 2000;
    options.noTimestamp = true;
    options.separator = ',';
    const tirevo::RunSettings given = tirevo::ResolveRunSettings(options, loaded, "/x/tirevo.INI");
    EXPECT_EQ(given.intervalMs, 2000u);
    EXPECT_FALSE(given.useTimeStamp);
    EXPECT_EQ(given.separator, ',');
}

TEST(ResolveRunSettings, AFileErrorIsOneWarningAndTheValuesReadStay)
{
    tirevo::SettingsLoadResult loaded;
    loaded.settings.interval = 250;
    loaded.settings.Separator = '\0';
    loaded.error = "'x' is not a valid integer value";
    const tirevo::RunSettings log =
        tirevo::ResolveRunSettings(Options(tirevo::CliCommand::Log), loaded, "/x/tirevo.INI");
    EXPECT_EQ(log.intervalMs, 250u);
    EXPECT_EQ(log.separator, '\0');
    ASSERT_TRUE(log.warning);
    EXPECT_EQ(log.warning->find('\n'), std::string::npos);
    EXPECT_NE(log.warning->find("/x/tirevo.INI: 'x' is not a valid integer value"), std::string::npos);
    EXPECT_NE(log.warning->find("--separator"), std::string::npos);

    tirevo::CliOptions overridden = Options(tirevo::CliCommand::Log);
    overridden.separator = '\t';
    const tirevo::RunSettings fixed = tirevo::ResolveRunSettings(overridden, loaded, "/x/tirevo.INI");
    EXPECT_EQ(fixed.separator, '\t');
    ASSERT_TRUE(fixed.warning);
    EXPECT_EQ(fixed.warning->find("--separator"), std::string::npos);
}

struct RefusedSettingsCase {
    const char* name;
    tirevo::CliCommand command;
    uint32_t interval;  // in the file
    char separator;     // in the file
    std::optional<uint32_t> intervalOption;
    std::optional<char> separatorOption;
    const char* refusal;  // a part of it; "" when the run goes on
};

class RefusedSettings : public testing::TestWithParam<RefusedSettingsCase> {};

TEST_P(RefusedSettings, NameTheSettingAndTheOption)
{
    const RefusedSettingsCase& c = GetParam();
    tirevo::SettingsLoadResult loaded;
    loaded.settings.interval = c.interval;
    loaded.settings.Separator = c.separator;
    tirevo::CliOptions options = Options(c.command);
    options.intervalMs = c.intervalOption;
    options.separator = c.separatorOption;
    const tirevo::RunSettings run = tirevo::ResolveRunSettings(options, loaded, "/x/tirevo.INI");
    if (!*c.refusal) {
        EXPECT_FALSE(run.refusal) << *run.refusal;
        return;
    }
    ASSERT_TRUE(run.refusal);
    EXPECT_NE(run.refusal->find(std::string("/x/tirevo.INI: ") + c.refusal), std::string::npos)
        << *run.refusal;
    EXPECT_EQ(run.refusal->find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedSettings,
    testing::Values(
        RefusedSettingsCase{"ReadNeverPolled", tirevo::CliCommand::Read, 0, '\t', {}, {}, "Interval=0"},
        RefusedSettingsCase{"LogNeverPolled", tirevo::CliCommand::Log, 0, '\t', {}, {}, "Interval=0"},
        RefusedSettingsCase{"IntervalGiven", tirevo::CliCommand::Read, 0, '\t', 500u, {}, ""},
        RefusedSettingsCase{
            "LineFeedSeparator", tirevo::CliCommand::Log, 1000, '\n', {}, {}, "Separator=#10"},
        RefusedSettingsCase{
            "CarriageReturnSeparator", tirevo::CliCommand::Log, 1000, '\r', {}, {}, "Separator=#13"},
        RefusedSettingsCase{"SeparatorGiven", tirevo::CliCommand::Log, 1000, '\n', {}, ';', ""},
        RefusedSettingsCase{"ReadHasNoColumns", tirevo::CliCommand::Read, 1000, '\n', {}, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResolveRunSettings, AnIntervalOptionNamesBothInTheRefusal)
{
    tirevo::SettingsLoadResult loaded;
    loaded.settings.interval = 0;
    const tirevo::RunSettings run =
        tirevo::ResolveRunSettings(Options(tirevo::CliCommand::Read), loaded, "/x/tirevo.INI");
    ASSERT_TRUE(run.refusal);
    EXPECT_NE(run.refusal->find("--interval"), std::string::npos) << *run.refusal;
}

struct PollIntervalCase {
    const char* name;
    tirevo::CliCommand command;
    bool now;
    int windowS;
    uint32_t intervalMs;
    const char* refusal;  // "" when the run goes on
    const char* note;     // "" when nothing is said
};

class PollIntervalChecks : public testing::TestWithParam<PollIntervalCase> {};

TEST_P(PollIntervalChecks, WaitingRunsRefuseOthersSayItOnce)
{
    const PollIntervalCase& c = GetParam();
    tirevo::CliOptions options = Options(c.command);
    options.now = c.now;
    tirevo::StabilityParams stability;
    stability.windowS = c.windowS;
    const tirevo::StabilityIntervalCheck check = tirevo::ApplyPollInterval(options, c.intervalMs, stability);
    EXPECT_EQ(stability.pollIntervalMs, c.intervalMs);
    EXPECT_EQ(check.refusal.value_or(""), c.refusal);
    EXPECT_EQ(check.note.value_or(""), c.note);
}

const char* const kThreeSecondRefusal =
    "the stability window (2 s) must be at least twice the poll interval (3 s)";
const char* const kMinuteNote =
    "stability is not judged: the 10 s window is shorter than twice the 60 s poll interval";

INSTANTIATE_TEST_SUITE_P(
    Cli, PollIntervalChecks,
    testing::Values(
        PollIntervalCase{"MeasureRefused", tirevo::CliCommand::Measure, false, 2, 3000, kThreeSecondRefusal,
                         ""},
        PollIntervalCase{"CalibrateRefused", tirevo::CliCommand::Calibrate, false, 2, 3000,
                         kThreeSecondRefusal, ""},
        PollIntervalCase{"MeasureWithJitterRefused", tirevo::CliCommand::Measure, false, 1, 1000,
                         "the stability window (1 s) must be at least twice the poll interval (1 s)", ""},
        PollIntervalCase{"MeasureAtTwiceGoesOn", tirevo::CliCommand::Measure, false, 2, 1000, "", ""},
        PollIntervalCase{"MeasureNowWaitsForNothing", tirevo::CliCommand::Measure, true, 2, 3000, "", ""},
        PollIntervalCase{"CalibrateNowWaitsForNothing", tirevo::CliCommand::Calibrate, true, 2, 3000, "", ""},
        PollIntervalCase{"ReadSaysIt", tirevo::CliCommand::Read, false, 10, 60000, "", kMinuteNote},
        PollIntervalCase{"LogSaysIt", tirevo::CliCommand::Log, false, 10, 60000, "", kMinuteNote},
        PollIntervalCase{"PublishSaysIt", tirevo::CliCommand::Publish, false, 10, 60000, "", kMinuteNote},
        PollIntervalCase{"LogAtTheDefaultsIsQuiet", tirevo::CliCommand::Log, false, 10, 1000, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct FitCase {
    const char* name;
    int columns;
    const char* fileName;
    const char* shown;
};

class StatusFit : public testing::TestWithParam<FitCase> {};

TEST_P(StatusFit, CutToTheTerminalsWidth)
{
    tirevo::RunProgress progress;
    progress.serial = "QP000001";
    progress.lastReading = "7.02";
    progress.readings = 12;
    progress.elapsedMs = 65000;
    progress.fileName = GetParam().fileName;
    EXPECT_EQ(tirevo::StatusText(progress, GetParam().columns), GetParam().shown);
}

// "QP000001  pH 7.02  12 readings  0:01:05" is 39 characters.
INSTANTIATE_TEST_SUITE_P(
    Cli, StatusFit,
    testing::Values(
        FitCase{"UnknownWidth", 0, "logs/USB_PH_261208_140301.txt",
                "QP000001  pH 7.02  12 readings  0:01:05  logs/USB_PH_261208_140301.txt"},
        FitCase{"Fits", 71, "logs/USB_PH_261208_140301.txt",
                "QP000001  pH 7.02  12 readings  0:01:05  logs/USB_PH_261208_140301.txt"},
        FitCase{"OneTooMany", 70, "logs/USB_PH_261208_140301.txt",
                "QP000001  pH 7.02  12 readings  0:01:05  logs/USB_PH_...08_140301.txt"},
        FitCase{"ShortestPath", 54, "logs/USB_PH_261208_140301.txt",
                "QP000001  pH 7.02  12 readings  0:01:05  logs...1.txt"},
        FitCase{"NoRoomForAPath", 53, "logs/USB_PH_261208_140301.txt",
                "QP000001  pH 7.02  12 readings  0:01:05"},
        FitCase{"LineCut", 20, "", "QP000001  pH 7.02  "},
        FitCase{
            "WholeCharacters", 56,
            "d/\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC.txt",
            "QP000001  pH 7.02  12 readings  0:01:05  d/\xC3\xA4\xC3\xB6\xC3\xBC...\xC3\xB6\xC3\xBC.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CalibrationCase {
    int point;
    const char* value;
    char decimal;
    const char* command;  // empty: refused
    const char* refusal;
};

class CalibrationCommands : public testing::TestWithParam<CalibrationCase> {};

TEST_P(CalibrationCommands, AsTheCalibrationPageSends)
{
    const CalibrationCase& c = GetParam();
    const tirevo::CalibrationCommand out = tirevo::CalibrationCommandFor(c.point, c.value, c.decimal);
    EXPECT_EQ(out.command, c.command) << c.value;
    if (*c.refusal) {
        ASSERT_TRUE(out.refusal) << c.value;
        EXPECT_EQ(*out.refusal, c.refusal);
    } else {
        EXPECT_FALSE(out.refusal) << *out.refusal;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CalibrationCommands,
    testing::Values(
        CalibrationCase{2, "7.00", '.', "P20700", ""}, CalibrationCase{1, "4.01", '.', "P10401", ""},
        CalibrationCase{1, "9.18", '.', "P10918", ""}, CalibrationCase{1, "0.03", '.', "P10003", ""},
        CalibrationCase{2, "12.5", '.', "P21250", ""}, CalibrationCase{1, "0.01", '.', "P10001", ""},
        CalibrationCase{2, "14.00", '.', "P21400", ""}, CalibrationCase{2, "14.009", '.', "P21400", ""},
        CalibrationCase{1, "0.001", '.', "", "Calibration value must be from 0.01 to 14.00 pH"},
        CalibrationCase{1, "14.01", '.', "", "Calibration value must be from 0.01 to 14.00 pH"},
        CalibrationCase{1, "100", '.', "", "Calibration value must be from 0.01 to 14.00 pH"},
        CalibrationCase{1, "99999", ',', "", "Calibration value must be from 0,01 to 14,00 pH"},
        CalibrationCase{1, "4,01", ',', "P10401", ""}, CalibrationCase{1, "4.01", ',', "P10401", ""},
        CalibrationCase{1, " 6.865 ", '.', "P10686", ""},
        CalibrationCase{1, "4,01", '.', "", "'4,01' is not a valid floating point value"},
        CalibrationCase{1, "seven", '.', "", "'seven' is not a valid floating point value"},
        CalibrationCase{1, "", '.', "", "'' is not a valid floating point value"},
        CalibrationCase{1, "1E400", '.', "", "Floating point overflow"},
        CalibrationCase{1, "-0.05", '.', "", "Calibration value must not be negative"},
        CalibrationCase{2, "0.00", '.', "", "Calibration value must not be 0"},
        CalibrationCase{2, "21474836.48", '.', "", "Calibration value too large"}));

}  // namespace
