// tirevo-cli verify on a records folder that real runs wrote: the summary
// line and 0 while everything is as the trail recorded it, each problem as
// FILE:LINE and exit 7 once a row, a line of the trail or a log is changed.
#include "AuditEvent.h"
#include "AuditTrail.h"
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <regex>

namespace {

using clitest::CliProcess;
using clitest::Finished;
using clitest::Lines;
using clitest::ReadFile;
using clitest::RunCli;
using clitest::TempDir;
using clitest::WriteFile;
namespace fs = std::filesystem;

constexpr int kRecordsAltered = 7;
const std::string kLog = "USB PH Logger\r\n08.12.2026\t10:02:45\t7.00\r\n";

// The lines of a file, edited and written back with their line ends.
void EditLines(const fs::path& path, const std::function<void(std::vector<std::string>&)>& edit)
{
    const std::string text = ReadFile(path);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    edit(lines);
    std::string out;
    for (const std::string& line : lines)
        out += line;
    WriteFile(path, out);
}

struct VerifyCase {
    const char* what;
    std::function<void(const fs::path& folder)> change;
    const char* file;  // relative to the folder; empty: nothing changed
    const char* at;    // what follows the file's name: ":3: ", ": "
};

class Verify : public testing::TestWithParam<VerifyCase> {
protected:
    CliProcess::Setup InFolder(std::vector<std::string> args) const
    {
        CliProcess::Setup setup;
        setup.args = std::move(args);
        for (const char* option : {"--interval", "100", "--records"})
            setup.args.push_back(option);
        setup.args.push_back(dir_.Path().string());
        setup.cwd = dir_.Path();
        setup.env = {{"TIREVO_SIM_READING", "7.00"}};
        return setup;
    }
    // Two samples and a calibration point recorded by tirevo-cli, and a log
    // closed with its digest.
    void Record() const
    {
        for (const char* name : {"S-1", "S-2"})
            ASSERT_EQ(RunCli(InFolder({"measure", "--now", "--sample", name})).exitCode, 0);
        ASSERT_EQ(RunCli(InFolder({"calibrate", "--point", "1", "4.01", "--now"})).exitCode, 0);
        WriteFile(dir_ / "lab.txt", kLog);
        const tirevo::AuditTrail trail(dir_.Path().string(), tirevo::CurrentAuditOrigin("tirevo-cli test"),
                                       false);
        ASSERT_TRUE(
            trail.Append(tirevo::LogClosedEvent((dir_ / "lab.txt").string(), 1, tirevo::Sha256Hex(kLog)))
                .written);
    }
    Finished RunVerify() const { return clitest::RunVerify(dir_.Path()); }

    TempDir dir_;
};

TEST_P(Verify, SaysIntactOrWhereTheRecordsWereAltered)
{
    Record();
    GetParam().change(dir_.Path());
    const Finished done = RunVerify();
    if (std::string(GetParam().file).empty()) {
        EXPECT_EQ(done.exitCode, 0) << done.out << done.err;
        const std::string head = Lines(ReadFile(dir_ / "audit.jsonl")).back();
        const std::string hash = head.substr(head.size() - 66, 64);
        // Each run's meter connected and closed around its row.
        EXPECT_EQ(done.out,
                  "intact: 10 events (head 10 " + hash.substr(0, 4) + "\u2026" + hash.substr(62) +
                      "), 2 samples, 1 calibrations, 1 logs checked, 0 not found\n");
        return;
    }
    EXPECT_EQ(done.exitCode, kRecordsAltered) << done.out << done.err;
    const std::string where = (dir_ / GetParam().file).string() + GetParam().at;
    EXPECT_EQ(done.out.rfind(where, 0), 0u) << done.out;
    EXPECT_EQ(done.out.find("intact"), std::string::npos) << done.out;
}

INSTANTIATE_TEST_SUITE_P(Records, Verify,
                         testing::Values(VerifyCase{"Intact", [](const fs::path&) {}, "", ""},
                                         VerifyCase{"RowChanged",
                                                    [](const fs::path& f) {
                                                        EditLines(f / "samples.csv", [](auto& l) {
                                                            l[2].replace(l[2].find("S-2"), 3, "S-3");
                                                        });
                                                    },
                                                    "samples.csv", ":3: "},
                                         VerifyCase{"AuditLineRemoved",
                                                    [](const fs::path& f) {
                                                        EditLines(f / "audit.jsonl",
                                                                  [](auto& l) { l.erase(l.begin() + 1); });
                                                    },
                                                    "audit.jsonl", ":2: "},
                                         VerifyCase{"LogChanged",
                                                    [](const fs::path& f) {
                                                        EditLines(f / "lab.txt", [](auto& l) {
                                                            l[1].replace(l[1].find("7.00"), 4, "7.10");
                                                        });
                                                    },
                                                    "lab.txt", ": "}),
                         [](const auto& info) { return std::string(info.param.what); });

// A moved log is no failure: it is counted as not found.
TEST(VerifyLog, AMovedLogIsNotFound)
{
    TempDir dir;
    const std::string log = (dir / "lab.txt").string();
    const tirevo::AuditTrail trail(dir.Path().string(), tirevo::CurrentAuditOrigin("tirevo-cli test"), false);
    ASSERT_TRUE(trail.Append(tirevo::LogClosedEvent(log, 1, tirevo::Sha256Hex(kLog))).written);
    CliProcess::Setup setup;
    setup.args = {"verify", "--records", dir.Path().string()};
    setup.cwd = dir.Path();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.out << done.err;
    EXPECT_NE(done.out.find(", 0 logs checked, 1 not found\n"), std::string::npos) << done.out;
}

// The Python lines the records page gives for checking the chain by hand
// agree with verify: intact, and broken once a line is edited.
TEST(VerifyByHand, ThePythonOfTheRecordsPageChecksTheChain)
{
    const std::string page = ReadFile(TIREVO_RECORDS_DOC);
    const std::string open = "```python\n";
    const std::size_t start = page.find(open);
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = page.find("```", start + open.size());
    ASSERT_NE(end, std::string::npos);
    TempDir dir;
    WriteFile(dir / "check.py", page.substr(start + open.size(), end - start - open.size()));
    const tirevo::AuditTrail trail(dir.Path().string(), tirevo::CurrentAuditOrigin("tirevo-cli test"), false);
    for (const char* what : {tirevo::kMeterConnected, tirevo::kMeterClosed})
        ASSERT_TRUE(trail.Append(tirevo::MeterEvent(what, "QP000001")).written);
    const std::string run = "cd '" + dir.Path().string() + "' && python3 check.py audit.jsonl >out 2>&1";
    ASSERT_EQ(std::system(run.c_str()), 0) << ReadFile(dir / "out");
    const std::string head = Lines(ReadFile(dir / "audit.jsonl")).back();
    EXPECT_EQ(ReadFile(dir / "out"),
              "chain intact: 2 lines, head 2 " + head.substr(head.size() - 66, 64) + "\n");
    EditLines(dir / "audit.jsonl", [](auto& l) { l[1].replace(l[1].find("closed"), 6, "lost"); });
    EXPECT_NE(std::system(run.c_str()), 0);
    EXPECT_EQ(ReadFile(dir / "out"), "audit.jsonl:2: broken\n");
}

}  // namespace
