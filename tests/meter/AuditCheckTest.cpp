// The check of a records folder against its audit trail: an intact folder,
// and for each kind of tampering the problem with its file and line.
#include "AuditCheck.h"
#include "AuditLine.h"
#include "AuditSampleTrail.h"
#include "AuditTrail.h"
#include "CaseName.h"
#include "FileBytes.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <chrono>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kStampUtcMs = 1796720565125;
constexpr int kOneHourS = 3600;

QDateTime FixedNow() { return QDateTime::fromMSecsSinceEpoch(kStampUtcMs, QTimeZone(kOneHourS)); }

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t lf = text.find('\n', at);
        lines.push_back(text.substr(at, lf == std::string::npos ? std::string::npos : lf + 1 - at));
        at = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

// Lines of a file, each with its line end, changed by edit.
void EditLines(const fs::path& path, const std::function<void(std::vector<std::string>&)>& edit)
{
    std::vector<std::string> lines = Lines(ReadFile(path));
    edit(lines);
    ASSERT_TRUE(WriteFile(path, Joined(lines)));
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from << " in " << text;
    text.replace(at, from.size(), to);
}

// A line of the trail changed as someone would who knows the hash rule: the
// member replaced and the hash made anew.
std::string Rehashed(std::string line, const std::string& from, const std::string& to)
{
    line.pop_back();  // the LF
    const std::optional<AuditHashed> hashed = SplitAuditHash(line);
    EXPECT_TRUE(hashed);
    std::string body = hashed ? hashed->Body() : line;
    Replace(body, from, to);
    const std::string hash = Sha256Hex(body);
    body.pop_back();
    return body + ",\"hash\":\"" + hash + "\"}\n";
}

std::string Member(const std::string& line, const char* name)
{
    std::string json = line;
    return QJsonDocument::fromJson(QByteArray::fromStdString(json))
        .object()
        .value(name)
        .toString()
        .toStdString();
}

class AuditCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-audit-check-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "logs");
        logPath = folder / "logs" / "USB_PH_261208_100245.txt";
    }
    void TearDown() override { fs::remove_all(folder); }

    AuditTrail Trail() const
    {
        return AuditTrail(folder.string(), {"lab", "bench-3", "tirevo 1.4.0"}, false, &FixedNow);
    }

    void Record(const RecordFile& records, const std::vector<std::string>& fields, const AuditEvent& event)
    {
        const AuditTrail trail = Trail();
        AuditFile locked;
        ASSERT_EQ(trail.Lock(locked), 0);
        ASSERT_TRUE(trail.AdoptIfUncovered(locked, records).Ok());
        ASSERT_TRUE(records.Append(fields).Ok());
        ASSERT_TRUE(trail.Append(locked, event).written);
    }

    void Sample(const std::string& name, const std::string& ph)
    {
        const SampleRow row{"2026-12-08T10:02:45.125+01:00", name, ph, true, "QP000001"};
        Record(SamplesFile(folder.string(), false), SampleFields(row), SampleEvent(row, kSamplesFileName));
    }

    void Calibration(int point, const std::string& buffer)
    {
        CalibrationRow row;
        row.time = "2026-12-08T09:00:12.480+01:00";
        row.serial = "QP000001";
        row.point = point;
        row.buffer = buffer;
        row.command = "P1" + buffer;
        row.asFound = buffer;
        row.asFoundStable = true;
        row.asLeft = buffer;
        row.error = "+0.00";
        row.result = CalibrationResult::Pass;
        Record(CalibrationsFile(folder.string(), false), CalibrationFields(row),
               CalibrationEvent(row, kCalibrationsFileName));
    }

    // Lines of audit.jsonl: 1 meter, 2 log started, 3-5 samples, 6-7
    // calibrations, 8 alarm, 9 settings, 10 log closed, 11 meter closed.
    // samples.csv: lines 2-4, one with a line break in its name.
    void MakeIntactFolder()
    {
        const AuditTrail trail = Trail();
        ASSERT_TRUE(trail.Append(MeterEvent(kMeterConnected, "QP000001")).written);
        ASSERT_TRUE(trail.Append(LogStartedEvent(logPath.string(), "QP000001")).written);
        Sample("S-1", "7.00");
        Sample("S-2", "4.01");
        Sample("S-3", "9.21");
        Calibration(1, "4.01");
        Calibration(2, "7.00");
        ASSERT_TRUE(trail.Append(AlarmAuditEvent(kAlarmHigh, "8.50", "9.21", "QP000001")).written);
        ASSERT_TRUE(trail.Append(SettingsEvent("Alarm", "High", "8.50", "9.00")).written);
        const std::string log = "USB PH Logger\r\n08.12.2026\t10:02:45\t7,00\r\n";
        ASSERT_TRUE(WriteFile(logPath, log));
        ASSERT_TRUE(trail.Append(LogClosedEvent(logPath.string(), 1, Sha256Hex(log))).written);
        ASSERT_TRUE(trail.Append(MeterEvent(kMeterClosed, "QP000001")).written);
    }

    fs::path folder;
    fs::path logPath;
};

TEST_F(AuditCheckTest, AnIntactFolderHasNoProblem)
{
    MakeIntactFolder();
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_TRUE(result.Intact()) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.events, 11);
    EXPECT_EQ(result.headSeq, 11);
    EXPECT_EQ(result.samples, 3);
    EXPECT_EQ(result.calibrations, 2);
    EXPECT_EQ(result.logsChecked, 1);
    const std::string head = Member(Lines(ReadFile(folder / kAuditFileName)).back(), "hash");
    EXPECT_EQ(result.headHash, head);
    EXPECT_EQ(AuditSummaryText(result),
              "intact: 11 events (head 11 " + head.substr(0, 4) + "\u2026" + head.substr(62) +
                  "), 3 samples, 2 calibrations, 1 logs checked, 0 not found");
}

TEST_F(AuditCheckTest, AnEmptyFolderIsIntact)
{
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    EXPECT_TRUE(result.Intact());
    EXPECT_EQ(result.events, 0);
}

TEST_F(AuditCheckTest, RowsWithoutATrailAreAProblem)
{
    ASSERT_TRUE(SamplesFile(folder.string(), false).Append({"t", "S-1", "7.00", "yes", "QP"}).Ok());
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(AuditProblemText(result.problems[0]),
              (folder / kAuditFileName).string() + ": not found, but the records hold rows");
}

TEST_F(AuditCheckTest, AMovedLogIsNotFoundButNoProblem)
{
    MakeIntactFolder();
    fs::rename(logPath, folder / "elsewhere.txt");
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    EXPECT_TRUE(result.Intact());
    EXPECT_EQ(result.logsChecked, 0);
    ASSERT_EQ(result.logsNotFound.size(), 1u);
    EXPECT_EQ(result.logsNotFound[0].path, logPath.string());
    EXPECT_EQ(result.logsNotFound[0].auditLine, 10);
    EXPECT_NE(AuditSummaryText(result).find("0 logs checked, 1 not found"), std::string::npos);
}

TEST_F(AuditCheckTest, AdoptedRowsChangedLaterAreFound)
{
    ASSERT_TRUE(SamplesFile(folder.string(), false).Append({"t", "S-1", "7.00", "yes", "QP"}).Ok());
    Sample("S-2", "7.01");
    ASSERT_TRUE(CheckAuditFolder(folder.string()).Intact());
    EditLines(folder / kSamplesFileName,
              [](std::vector<std::string>& lines) { Replace(lines[1], "7.00", "6.00"); });
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].line, 2);
    EXPECT_NE(result.problems[0].text.find("adopted at audit.jsonl line 1 were changed"), std::string::npos);
}

struct Tampering {
    const char* what;
    std::function<void(const fs::path& folder, const fs::path& log)> tamper;
    const char* file;  // relative to the folder
    int64_t line;
    const char* text;  // a part of the first problem's text
};

class AuditTampering : public AuditCheckTest, public ::testing::WithParamInterface<Tampering> {};

TEST_P(AuditTampering, IsFoundAtItsFileAndLine)
{
    MakeIntactFolder();
    GetParam().tamper(folder, logPath);
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_FALSE(result.Intact());
    const AuditProblem& first = result.problems.front();
    std::string all;
    for (const AuditProblem& problem : result.problems)
        all += AuditProblemText(problem) + "\n";
    EXPECT_EQ(first.file, (folder / GetParam().file).string()) << all;
    EXPECT_EQ(first.line, GetParam().line) << all;
    EXPECT_NE(first.text.find(GetParam().text), std::string::npos) << all;
    for (const AuditProblem& problem : result.problems)
        EXPECT_EQ(problem.file, first.file) << all;
}

void Samples(const fs::path& folder, const std::function<void(std::vector<std::string>&)>& edit)
{
    EditLines(folder / kSamplesFileName, edit);
}

void Trailed(const fs::path& folder, const std::function<void(std::vector<std::string>&)>& edit)
{
    EditLines(folder / kAuditFileName, edit);
}

INSTANTIATE_TEST_SUITE_P(
    Folder, AuditTampering,
    ::testing::
        Values(
            Tampering{"RowValueChanged",
                      [](const fs::path& f, const fs::path&) {
                          Samples(f, [](auto& l) { Replace(l[2], "4.01", "4.02"); });
                      },
                      "samples.csv", 3, "row changed: not as audit.jsonl line 4 recorded it"},
            Tampering{"RowRemoved",
                      [](const fs::path& f, const fs::path&) {
                          Samples(f, [](auto& l) { l.erase(l.begin() + 2); });
                      },
                      "samples.csv", 3, "row missing: audit.jsonl line 4 recorded one here"},
            Tampering{"LastRowRemoved",
                      [](const fs::path& f, const fs::path&) { Samples(f, [](auto& l) { l.pop_back(); }); },
                      "samples.csv", 4, "row missing: audit.jsonl line 5"},
            Tampering{"RowAdded",
                      [](const fs::path& f, const fs::path&) {
                          Samples(f, [](auto& l) {
                              l.push_back("2026-12-08T11:00:00.000+01:00,S-9,7.00,yes,QP\r\n");
                          });
                      },
                      "samples.csv", 5, "row added: not in audit.jsonl"},
            Tampering{"RowInserted",
                      [](const fs::path& f, const fs::path&) {
                          Samples(f, [](auto& l) { l.insert(l.begin() + 1, l[3]); });
                      },
                      "samples.csv", 2, "row out of order"},
            Tampering{"RowsReordered",
                      [](const fs::path& f, const fs::path&) {
                          Samples(f, [](auto& l) { std::swap(l[1], l[2]); });
                      },
                      "samples.csv", 2, "row out of order: audit.jsonl line 4"},
            Tampering{"HeaderChanged",
                      [](const fs::path& f, const fs::path&) {
                          Samples(f, [](auto& l) { Replace(l[0], "ph", "pH"); });
                      },
                      "samples.csv", 1, "the header is not"},
            Tampering{"CalibrationResultChanged",
                      [](const fs::path& f, const fs::path&) {
                          EditLines(f / kCalibrationsFileName,
                                    [](auto& l) { Replace(l[1], "pass", "fail"); });
                      },
                      "calibrations.csv", 2, "row changed: not as audit.jsonl line 6"},
            Tampering{"SamplesRemoved",
                      [](const fs::path& f, const fs::path&) { fs::remove(f / kSamplesFileName); },
                      "samples.csv", 0, "not found"},
            Tampering{"AuditLineRemoved",
                      [](const fs::path& f, const fs::path&) {
                          Trailed(f, [](auto& l) { l.erase(l.begin() + 7); });
                      },
                      "audit.jsonl", 8, "seq 9 where 8 was due"},
            Tampering{"AuditLineEdited",
                      [](const fs::path& f, const fs::path&) {
                          Trailed(f, [](auto& l) { Replace(l[8], "\"new\":\"9.00\"", "\"new\":\"9.50\""); });
                      },
                      "audit.jsonl", 9, "hash does not match the line"},
            Tampering{
                "AuditLineCut",
                [](const fs::path& f, const fs::path&) { Trailed(f, [](auto& l) { l[10].resize(40); }); },
                "audit.jsonl", 11, "the last line has no line end"},
            Tampering{"PrevBroken",
                      [](const fs::path& f, const fs::path&) {
                          Trailed(f, [](auto& l) {
                              const std::string prev = Member(l[10], "prev");
                              l[10] = Rehashed(l[10], prev, std::string(64, 'a'));
                          });
                      },
                      "audit.jsonl", 11, "prev does not link to line 10"},
            Tampering{"SeqSkipped",
                      [](const fs::path& f, const fs::path&) {
                          Trailed(f,
                                  [](auto& l) { l[10] = Rehashed(l[10], "{\"seq\":11,", "{\"seq\":12,"); });
                      },
                      "audit.jsonl", 11, "seq 12 where 11 was due"},
            Tampering{
                "FirstLineNotGenesis",
                [](const fs::path& f, const fs::path&) {
                    Trailed(f, [](auto& l) { l[0] = Rehashed(l[0], kAuditGenesis, std::string(64, '1')); });
                },
                "audit.jsonl", 1, "prev is not the first line's"},
            Tampering{
                "LogChanged",
                [](const fs::path&,
                   const fs::path& log) { EditLines(log, [](auto& l) { Replace(l[1], "7,00", "7,10"); }); },
                "logs/USB_PH_261208_100245.txt", 0, "changed since audit.jsonl line 10 recorded it closed"}),
    CaseName());

// A row with a line break in a quoted field is one row: its hash covers both
// lines, and the line of a row after it counts both.
TEST_F(AuditCheckTest, ARowAcrossTwoLinesIsOneRow)
{
    Sample("S-1", "7.00");
    const SampleRow row{"t", "two\nlines", "7.00", true, "QP"};
    Record(SamplesFile(folder.string(), false), SampleFields(row), SampleEvent(row, kSamplesFileName));
    Sample("S-3", "7.00");
    ASSERT_TRUE(CheckAuditFolder(folder.string()).Intact());
    Samples(folder, [](auto& l) { Replace(l[4], "S-3", "S-4"); });
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].line, 5);
}

TEST_F(AuditCheckTest, AnEventNamingAFileOutsideTheFolderIsAProblem)
{
    const SampleRow row{"t", "S-1", "7.00", true, "QP"};
    ASSERT_TRUE(Trail().Append(SampleEvent(row, "../samples.csv")).written);
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(AuditProblemText(result.problems[0]),
              (folder / kAuditFileName).string() + ":1: names no file in the records folder");
}

// Speed is bench/run's to judge; this is the size it is judged at.
TEST_F(AuditCheckTest, AHundredThousandEventsAreChecked)
{
    constexpr int kEvents = 100000;
    ASSERT_TRUE(WriteAuditSampleTrail(folder, kEvents));
    const auto start = std::chrono::steady_clock::now();
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty("check_ms", static_cast<int>(ms.count()));
    EXPECT_TRUE(result.Intact()) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.events, kEvents);
    EXPECT_EQ(result.samples, kEvents);
}

}  // namespace
