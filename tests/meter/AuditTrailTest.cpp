// The audit trail's lines and appends on real files in a temporary folder:
// JSON escaping, a hash that sha256sum computes alike, the chain read from
// the end, adopting older rows, and child processes appending at once.
#include "AuditTrail.h"
#include "AuditCheck.h"
#include "AuditLine.h"
#include "CaseName.h"
#include "FileBytes.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimeZone>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kStampUtcMs = 1796720565125;  // 2026-12-08T09:02:45.125Z
constexpr int kOneHourS = 3600;

QDateTime FixedNow() { return QDateTime::fromMSecsSinceEpoch(kStampUtcMs, QTimeZone(kOneHourS)); }

AuditOrigin Origin() { return {"lab", "bench-3", "tirevo-cli 1.4.0"}; }

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t lf = text.find('\n', at);
        lines.push_back(text.substr(at, lf - at));
        at = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

QJsonObject Parsed(const std::string& line)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

SampleRow Sample(std::string name, std::string ph = "7.00")
{
    return {"2026-12-08T10:02:45.125+01:00", std::move(name), std::move(ph), true, "QP000001"};
}

class AuditTrailTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-audit-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    AuditTrail Trail() const { return AuditTrail(folder.string(), Origin(), false, &FixedNow); }

    // A sample row and its event under one lock, as the writers do it.
    void RecordSample(const SampleRow& row) const
    {
        const AuditTrail trail = Trail();
        AuditFile locked;
        ASSERT_EQ(trail.Lock(locked), 0);
        const RecordFile samples = SamplesFile(folder.string(), false);
        ASSERT_TRUE(trail.AdoptIfUncovered(locked, samples).Ok());
        ASSERT_TRUE(samples.Append(SampleFields(row)).Ok());
        ASSERT_TRUE(trail.Append(locked, SampleEvent(row, kSamplesFileName)).written);
    }

    std::string Trailed() const { return ReadFile(folder / kAuditFileName); }

    fs::path folder;
};

TEST_F(AuditTrailTest, FirstLineHasItsMembersInOrder)
{
    ASSERT_TRUE(Trail().Append(MeterEvent(kMeterConnected, "QP000001")).written);
    const std::string line = "{\"seq\":1,\"time\":\"2026-12-08T10:02:45.125+01:00\",\"user\":\"lab\","
                             "\"host\":\"bench-3\",\"program\":\"tirevo-cli 1.4.0\",\"event\":\"meter\","
                             "\"what\":\"connected\",\"serial\":\"QP000001\",\"prev\":\"" +
        std::string(kAuditGenesis) + "\"}";
    EXPECT_EQ(Trailed(), line.substr(0, line.size() - 1) + ",\"hash\":\"" + Sha256Hex(line) + "\"}\n");
}

TEST_F(AuditTrailTest, EachLineFollowsTheOneBefore)
{
    const AuditTrail trail = Trail();
    const AuditWrite first = trail.Append(MeterEvent(kMeterConnected, "QP000001"));
    const AuditWrite second = trail.Append(AlarmAuditEvent(kAlarmHigh, "8.50", "8.51", "QP000001"));
    ASSERT_TRUE(first.written && second.written);
    EXPECT_EQ(second.seq, 2);
    const std::vector<std::string> lines = Lines(Trailed());
    ASSERT_EQ(lines.size(), 2u);
    const QJsonObject object = Parsed(lines[1]);
    EXPECT_EQ(object.value("prev").toString().toStdString(), first.hash);
    EXPECT_EQ(object.value("hash").toString().toStdString(), second.hash);
    EXPECT_NE(lines[1].find("\"what\":\"high\",\"limit\":8.50,\"ph\":8.51,"), std::string::npos) << lines[1];
}

// The chain checked by a tool that knows nothing of tirevo: each line's hash
// is sha256sum of the line without its hash member.
TEST_F(AuditTrailTest, HashIsSha256sumOfTheLineWithoutItsHash)
{
    RecordSample(Sample("tap \"A\", \\ 7\x01 Brühe"));
    ASSERT_TRUE(Trail().Append(SettingsEvent("Alarm", "High", "8.5", "9")).written);
    for (const std::string& line : Lines(Trailed())) {
        const std::size_t at = line.rfind(",\"hash\":\"");
        ASSERT_NE(at, std::string::npos);
        const std::string body = line.substr(0, at) + "}";
        QProcess sum;
        sum.start("sha256sum", {"-"});
        ASSERT_TRUE(sum.waitForStarted());
        sum.write(QByteArray::fromStdString(body));
        sum.closeWriteChannel();
        ASSERT_TRUE(sum.waitForFinished(60000));
        const std::string printed = sum.readAllStandardOutput().left(64).toStdString();
        EXPECT_EQ(line.substr(at + 9, 64), printed) << line;
    }
}

struct EscapeCase {
    const char* what;
    std::string name;
    std::string json;  // the member's value as written
};

class AuditEscaping : public AuditTrailTest, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(AuditEscaping, NameIsWrittenAndReadBack)
{
    RecordSample(Sample(GetParam().name));
    const std::string line = Lines(Trailed()).back();
    EXPECT_NE(line.find("\"name\":" + GetParam().json + ",\"ph\":7.00,\"stable\":true,"), std::string::npos)
        << line;
    const QJsonObject object = Parsed(line);
    ASSERT_FALSE(object.isEmpty()) << line;
    const std::string valid = QString::fromUtf8(GetParam().name).toUtf8().toStdString();
    EXPECT_EQ(object.value("name").toString().toStdString(), valid);
    EXPECT_TRUE(CheckAuditFolder(folder.string()).Intact());
}

INSTANTIATE_TEST_SUITE_P(
    Names, AuditEscaping,
    ::testing::Values(EscapeCase{"Plain", "S-7", "\"S-7\""}, EscapeCase{"Empty", "", "\"\""},
                      EscapeCase{"Quotes", "the \"blue\" one", "\"the \\\"blue\\\" one\""},
                      EscapeCase{"Backslash", "C:\\lab\\", "\"C:\\\\lab\\\\\""},
                      EscapeCase{"Controls", std::string("a\x01\tb\x1f", 5) + '\0' + "z",
                                 "\"a\\u0001\\u0009b\\u001f\\u0000z\""},
                      EscapeCase{"Delete", "a\x7f", "\"a\x7f\""},
                      EscapeCase{"NonAscii", "Brühe 7 °C – 水", "\"Brühe 7 °C – 水\""},
                      EscapeCase{"NotUtf8",
                                 "S\xFF"
                                 "7",
                                 "\"S\xEF\xBF\xBD"
                                 "7\""},
                      EscapeCase{"CsvLike", "=1+2,\"x\"", "\"=1+2,\\\"x\\\"\""}),
    CaseName());

TEST_F(AuditTrailTest, PhThatIsNoNumberIsKeptAsText)
{
    ASSERT_TRUE(Trail().Append(AlarmAuditEvent(kAlarmLost, "", "---", "QP000001")).written);
    EXPECT_NE(Trailed().find("\"limit\":null,\"ph\":\"---\""), std::string::npos) << Trailed();
}

TEST_F(AuditTrailTest, LastLineIsFoundFromTheEndOfALargeTrail)
{
    const AuditTrail trail = Trail();
    // Lines longer than any read from the end, and more of them.
    const std::string longName(100000, 'x');
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(trail.Append(SettingsEvent("Records", "Folder", longName, longName)).written);
    AuditFile file;
    ASSERT_EQ(trail.Lock(file), 0);
    const AuditTail tail = AuditTrail::ReadTail(file);
    EXPECT_EQ(tail.seq, 3);
    EXPECT_EQ(tail.hash, Parsed(Lines(Trailed()).back()).value("hash").toString().toStdString());
}

// A line cut short by a power cut: the next line goes on from the last whole
// line, on a line of its own, and the check names the cut line.
TEST_F(AuditTrailTest, ALineCutShortIsPassedOver)
{
    const AuditTrail trail = Trail();
    const AuditWrite first = trail.Append(MeterEvent(kMeterConnected, "QP000001"));
    ASSERT_TRUE(first.written);
    const std::string whole = Trailed();
    ASSERT_TRUE(WriteFile(folder / kAuditFileName, whole + "{\"seq\":2,\"time\":\"2026-"));
    const AuditWrite next = trail.Append(MeterEvent(kMeterLost, "QP000001"));
    EXPECT_EQ(next.seq, 2);
    const std::vector<std::string> lines = Lines(Trailed());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Parsed(lines[2]).value("prev").toString().toStdString(), first.hash);
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    ASSERT_EQ(result.problems.size(), 1u) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.problems[0].line, 2);
}

// The trail meets a samples file written before it, after events of its own.
TEST_F(AuditTrailTest, OlderRowsAreAdoptedOnceAsTheyAre)
{
    ASSERT_TRUE(Trail().Append(MeterEvent(kMeterConnected, "QP000001")).written);
    const RecordFile samples = SamplesFile(folder.string(), false);
    ASSERT_TRUE(samples.Append(SampleFields(Sample("S-1"))).Ok());
    ASSERT_TRUE(samples.Append(SampleFields(Sample("S-2"))).Ok());
    const std::string before = ReadFile(folder / kSamplesFileName);
    RecordSample(Sample("S-3"));
    RecordSample(Sample("S-4"));
    const std::vector<std::string> lines = Lines(Trailed());
    ASSERT_EQ(lines.size(), 4u);
    const QJsonObject adopt = Parsed(lines[1]);
    EXPECT_EQ(adopt.value("event").toString(), "adopt");
    EXPECT_EQ(adopt.value("file").toString(), "samples.csv");
    EXPECT_EQ(adopt.value("rows").toInt(), 2);
    EXPECT_EQ(adopt.value("sha256").toString().toStdString(), Sha256Hex(before));
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    EXPECT_TRUE(result.Intact()) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.samples, 4);
}

// Spreadsheets save a byte order mark before the header.
TEST_F(AuditTrailTest, AFileWithAByteOrderMarkIsAdopted)
{
    ASSERT_TRUE(WriteFile(folder / kSamplesFileName,
                          "\xEF\xBB\xBFtime,sample,ph,stable,serial\r\n"
                          "2026-12-08T10:02:45.125+01:00,S-1,7.00,yes,QP000001\r\n"));
    const AuditTrail trail = Trail();
    AuditFile locked;
    ASSERT_EQ(trail.Lock(locked), 0);
    EXPECT_TRUE(trail.AdoptIfUncovered(locked, SamplesFile(folder.string(), false)).written);
    locked.Close();
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    EXPECT_TRUE(result.Intact()) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.samples, 1);
}

// A file edited by hand may have lost its last line end, which the next row
// brings back: the adopted rows are still the same.
TEST_F(AuditTrailTest, AFileWithoutItsLastLineEndIsAdopted)
{
    ASSERT_TRUE(WriteFile(folder / kSamplesFileName,
                          "time,sample,ph,stable,serial\r\n"
                          "2026-12-08T10:02:45.125+01:00,S-1,7.00,yes,QP000001"));
    RecordSample(Sample("S-2"));
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    EXPECT_TRUE(result.Intact()) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.samples, 2);
    EXPECT_EQ(Parsed(Lines(Trailed())[0]).value("rows").toInt(), 1);
}

TEST_F(AuditTrailTest, NothingIsAdoptedForAFileWithoutRowsOrWithAnotherHeader)
{
    const AuditTrail trail = Trail();
    AuditFile locked;
    ASSERT_EQ(trail.Lock(locked), 0);
    const RecordFile samples = SamplesFile(folder.string(), false);
    EXPECT_FALSE(trail.AdoptIfUncovered(locked, samples).written);  // missing
    ASSERT_TRUE(WriteFile(folder / kSamplesFileName, "time,sample,ph,stable,serial\r\n"));
    EXPECT_FALSE(trail.AdoptIfUncovered(locked, samples).written);  // header only
    ASSERT_TRUE(WriteFile(folder / kSamplesFileName, "when,what\r\n1,2\r\n"));
    EXPECT_FALSE(trail.AdoptIfUncovered(locked, samples).written);  // foreign
    EXPECT_EQ(Trailed(), "");
}

// Processes that hold the lock for a row and its event keep one chain, and
// the rows in the order of their events.
TEST_F(AuditTrailTest, ChildProcessesAppendingAtOnceKeepOneChain)
{
    constexpr int kChildren = 4;
    constexpr int kEach = 25;
    std::vector<pid_t> children;
    for (int child = 0; child < kChildren; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kEach && ok; ++i) {
                std::string name = std::to_string(child);
                name.append(1, '-').append(std::to_string(i));
                const SampleRow row = Sample(name);
                const AuditTrail trail = Trail();
                AuditFile locked;
                ok = trail.Lock(locked) == 0;
                const RecordFile samples = SamplesFile(folder.string(), false);
                ok = ok && samples.Append(SampleFields(row)).Ok() &&
                    trail.Append(locked, SampleEvent(row, kSamplesFileName)).written &&
                    trail.Append(locked, MeterEvent(kMeterFound, std::to_string(child))).written;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const AuditCheckResult result = CheckAuditFolder(folder.string());
    EXPECT_TRUE(result.Intact()) << AuditProblemText(result.problems.front());
    EXPECT_EQ(result.events, 2 * kChildren * kEach);
    EXPECT_EQ(result.headSeq, 2 * kChildren * kEach);
    EXPECT_EQ(result.samples, kChildren * kEach);
}

TEST_F(AuditTrailTest, AFailedOpenIsReportedWithItsReason)
{
    fs::create_directory(folder / kAuditFileName);
    const AuditTrail trail = Trail();
    const AuditWrite write = trail.Append(MeterEvent(kMeterConnected, "QP000001"));
    EXPECT_FALSE(write.Ok());
    EXPECT_FALSE(write.written);
    EXPECT_EQ(trail.ErrorText(write).rfind("Cannot write to " + (folder / kAuditFileName).string() + ": ", 0),
              0u);
}

}  // namespace
