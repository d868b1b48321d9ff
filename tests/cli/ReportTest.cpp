// tirevo-cli report as a child process: a folder of logs and records made by
// the program itself on the simulated meter, the PDF read back by pdftotext,
// and the exit statuses of what cannot be done.
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using clitest::CliProcess;
using clitest::Finished;
using clitest::RunCli;
using clitest::TempDir;
namespace fs = std::filesystem;

constexpr const char* kMeter = "QP000001";
constexpr const char* kOtherMeter = "QP000007";
constexpr const char* kSample = "Brine A";
// Both ends hold any day the test runs on.
constexpr const char* kFrom = "2000-01-01";
constexpr const char* kTo = "2099-12-31T23:59";
constexpr const char* kPeriodText = "Period: 2000-01-01 00:00:00 to 2099-12-31 23:59:59";

class Report : public testing::Test {
protected:
    // One folder of logs and records for every case: two meters' logs, a
    // sample and a calibration of the first.
    static void SetUpTestSuite()
    {
        folder_ = std::make_unique<TempDir>();
        fs::create_directory(Logs());
        fs::create_directory(Records());
        Make({"log", "--interval", "100", "--count", "5", "--dir", Logs().string()}, kMeter);
        Make({"log", "--interval", "100", "--count", "5", "--dir", Logs().string()}, kOtherMeter);
        Make({"measure", "--now", "--sample", kSample, "--records", Records().string()}, kMeter);
        Make({"calibrate", "--now", "--point", "1", "7.00", "--records", Records().string()}, kMeter);
    }
    static void TearDownTestSuite() { folder_.reset(); }

    static fs::path Logs() { return *folder_ / "logs"; }
    static fs::path Records() { return *folder_ / "records"; }

    static void Make(std::vector<std::string> args, const char* serial)
    {
        CliProcess::Setup setup;
        setup.args = std::move(args);
        setup.cwd = folder_->Path();
        setup.env = {{"TIREVO_SIM_READING", ""}, {"TIREVO_SIM_SERIALS", serial}};
        const Finished made = RunCli(setup);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    Finished RunReport(std::vector<std::string> args, const std::string& program = TIREVO_CLI_PROGRAM)
    {
        CliProcess::Setup setup;
        setup.program = program;
        setup.args = {"report", "--logs", Logs().string(), "--records", Records().string()};
        setup.args.insert(setup.args.end(), args.begin(), args.end());
        setup.cwd = out_.Path();
        return RunCli(setup);
    }

    static std::string PdfText(const fs::path& pdf)
    {
        CliProcess::Setup setup;
        setup.program = "/usr/bin/pdftotext";
        setup.args = {"-layout", pdf.string(), "-"};
        const Finished read = RunCli(setup);
        EXPECT_EQ(read.exitCode, 0) << read.err;
        return read.out;
    }

    fs::path Pdf() const { return out_ / "report.pdf"; }

    static std::unique_ptr<TempDir> folder_;
    TempDir out_;
};

std::unique_ptr<TempDir> Report::folder_;

struct WrittenCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
};

class ReportWritten : public Report, public testing::WithParamInterface<WrittenCase> {};

TEST_P(ReportWritten, ShowsTheMetersSamplesAndPeriod)
{
    std::vector<std::string> args = {"--out", Pdf().string()};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const Finished run = RunReport(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("report.pdf"), std::string::npos) << run.out;
    const std::string text = PdfText(Pdf());
    for (const std::string& shown : GetParam().shown)
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " not in\n" << text;
    for (const std::string& notShown : GetParam().notShown)
        EXPECT_EQ(text.find(notShown), std::string::npos) << notShown << " in\n" << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportWritten,
    testing::Values(WrittenCase{"EveryMeter", {}, {kMeter, kOtherMeter, kSample}, {}},
                    WrittenCase{"OneMeter", {"--serial", kMeter}, {kMeter, kSample}, {kOtherMeter}},
                    WrittenCase{"TheOtherMeter", {"--serial", kOtherMeter}, {kOtherMeter}, {kMeter, kSample}},
                    WrittenCase{
                        "ThePeriodAsTyped", {"--from", kFrom, "--to", kTo}, {kPeriodText, kSample}, {}},
                    // A date alone for --to takes in the whole of that day.
                    WrittenCase{"ToADate",
                                {"--from", "2000-01-01T00:00", "--to", "2099-12-31"},
                                {"Period: 2000-01-01 00:00:00 to 2099-12-31 23:59:59"},
                                {}}),
    [](const testing::TestParamInfo<WrittenCase>& info) { return std::string(info.param.name); });

struct FailedCase {
    const char* name;
    std::vector<std::string> args;  // "OUT" stands for the PDF's path
    int exitCode;
    const char* said;
};

class ReportFailed : public Report, public testing::WithParamInterface<FailedCase> {};

TEST_P(ReportFailed, ExitsWithItsStatusAndWritesNothing)
{
    std::vector<std::string> args;
    for (const std::string& arg : GetParam().args)
        args.push_back(arg == "OUT" ? Pdf().string() : arg);
    const Finished run = RunReport(args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_NE(run.err.find(GetParam().said), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Pdf()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportFailed,
    testing::Values(
        FailedCase{"NoOut", {}, 2, "report needs --out FILE.pdf"},
        FailedCase{"BadFrom", {"--out", "OUT", "--from", "2026-02-30"}, 2, "invalid --from '2026-02-30'"},
        FailedCase{"BadTo", {"--out", "OUT", "--to", "08.12.2026"}, 2, "invalid --to '08.12.2026'"},
        FailedCase{"FromAfterTo",
                   {"--out", "OUT", "--from", "2026-12-09", "--to", "2026-12-08"},
                   2,
                   "--from is after --to"},
        FailedCase{"OutInNoFolder",
                   {"--out", "/nonexistent-folder/report.pdf"},
                   3,
                   "/nonexistent-folder/report.pdf"}),
    [](const testing::TestParamInfo<FailedCase>& info) { return std::string(info.param.name); });

// A copy of the program with no module beside it, nor in its prefix's
// library folder, says where it looked.
TEST_F(Report, WithoutTheModuleExitsOne)
{
    const fs::path copy = out_ / "bin" / "tirevo-cli";
    fs::create_directory(out_ / "bin");
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    const Finished run = RunReport({"--out", Pdf().string()}, copy.string());
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find((out_ / "bin" / "libtirevo_report.so").string()), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Pdf()));
}

}  // namespace
