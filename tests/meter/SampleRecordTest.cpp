// samples.csv on real files in a temporary folder: quoting, the header, a
// foreign file left alone, and a full disk that leaves nothing half-written.
#include "SampleRecord.h"
#include "CaseName.h"
#include "FileBytes.h"
#include "FileFaults.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

SampleRow Row(std::string name, std::string reading = "7.00", bool stable = true)
{
    return {"2026-12-08T10:02:45.125+01:00", std::move(name), std::move(reading), stable, "QP000001"};
}

class SampleRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-samples-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
};

struct QuoteCase {
    const char* what;
    std::string name;
    std::string field;
};

class SampleQuoting : public SampleRecordTest, public ::testing::WithParamInterface<QuoteCase> {};

TEST_P(SampleQuoting, RowAsInTheFile)
{
    const RecordFile file = SamplesFile(folder.string(), false);
    ASSERT_TRUE(file.Append(SampleFields(Row(GetParam().name))).Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv"),
              "time,sample,ph,stable,serial\r\n"
              "2026-12-08T10:02:45.125+01:00," +
                  GetParam().field + ",7.00,yes,QP000001\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Names, SampleQuoting,
    ::testing::Values(QuoteCase{"Plain", "S-7", "S-7"}, QuoteCase{"Empty", "", ""},
                      QuoteCase{"Comma", "tap, kitchen", "\"tap, kitchen\""},
                      QuoteCase{"Quote", "the \"blue\" one", "\"the \"\"blue\"\" one\""},
                      QuoteCase{"OnlyAQuote", "\"", "\"\"\"\""}, QuoteCase{"Blanks", " S 7 ", " S 7 "},
                      QuoteCase{"Utf8", "Brühe 7 °C", "Brühe 7 °C"},
                      // What a spreadsheet would run as a formula.
                      QuoteCase{"Formula", "=1+2", "'=1+2"},
                      QuoteCase{"Hyperlink", "=HYPERLINK(\"http://x\",\"y\")",
                                "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
                      QuoteCase{"Plus", "+5", "'+5"}, QuoteCase{"Minus", "-5", "'-5"},
                      QuoteCase{"At", "@SUM(A1)", "'@SUM(A1)"}, QuoteCase{"Tab", "\tx", "'\tx"},
                      QuoteCase{"FormulaInside", "S=1", "S=1"}, QuoteCase{"Apostrophe", "'s", "'s"},
                      QuoteCase{"ApostropheFormula", "'=1", "''=1"}),
    CaseName());

TEST_F(SampleRecordTest, HeaderOnceThenRowsAppended)
{
    const RecordFile file = SamplesFile(folder.string(), false);
    ASSERT_TRUE(file.Append(SampleFields(Row("S-1"))).Ok());
    ASSERT_TRUE(file.Append(SampleFields(Row("S-2", "6.98", false))).Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv"),
              "time,sample,ph,stable,serial\r\n"
              "2026-12-08T10:02:45.125+01:00,S-1,7.00,yes,QP000001\r\n"
              "2026-12-08T10:02:45.125+01:00,S-2,6.98,no,QP000001\r\n");
}

TEST_F(SampleRecordTest, ASerialWithHighBytesIsWrittenAsUtf8)
{
    SampleRow row = Row("S-1");
    row.serial = "QP\xE9";
    ASSERT_TRUE(SamplesFile(folder.string(), false).Append(SampleFields(row)).Ok());
    EXPECT_NE(ReadFile(folder / "samples.csv").find(",QP\xC3\xA9\r\n"), std::string::npos);
}

TEST_F(SampleRecordTest, ASerialThatLooksLikeAFormulaIsGuardedToo)
{
    SampleRow row = Row("S-1");
    row.serial = "=cmd";
    const std::vector<std::string> fields = SampleFields(row);
    EXPECT_EQ(fields[1], "S-1");
    EXPECT_EQ(fields[4], "'=cmd");
}

struct GuardCase {
    const char* what;
    std::string text;
    std::string field;
};

class GuardedText : public ::testing::TestWithParam<GuardCase> {};

// Every text comes back as it was given, apostrophes of its own included.
TEST_P(GuardedText, ComesBackAsGiven)
{
    EXPECT_EQ(RecordFile::GuardedText(GetParam().text), GetParam().field);
    EXPECT_EQ(RecordFile::UnguardedText(GetParam().field), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, GuardedText,
                         ::testing::Values(GuardCase{"Empty", "", ""}, GuardCase{"Plain", "S-7", "S-7"},
                                           GuardCase{"Equals", "=1+2", "'=1+2"},
                                           GuardCase{"Plus", "+1", "'+1"}, GuardCase{"Minus", "-1", "'-1"},
                                           GuardCase{"At", "@x", "'@x"}, GuardCase{"Tab", "\t=1", "'\t=1"},
                                           GuardCase{"CarriageReturn", "\r=1", "'\r=1"},
                                           GuardCase{"ApostropheOnly", "'", "'"},
                                           GuardCase{"Apostrophes", "''", "''"},
                                           GuardCase{"ApostropheWord", "'tis", "'tis"},
                                           GuardCase{"ApostropheEquals", "'=1", "''=1"},
                                           GuardCase{"TwoApostrophes", "''-1", "'''-1"}),
                         CaseName());

// A spreadsheet may save the file with a byte order mark in front of the
// header; the file is still the program's own.
TEST_F(SampleRecordTest, AHeaderAfterAByteOrderMarkIsTaken)
{
    const std::string saved = "\xEF\xBB\xBFtime,sample,ph,stable,serial\r\nx,y,1.00,no,z\r\n";
    WriteFile(folder / "samples.csv", saved);
    ASSERT_TRUE(SamplesFile(folder.string(), false).Append(SampleFields(Row("S-1"))).Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv"),
              saved + "2026-12-08T10:02:45.125+01:00,S-1,7.00,yes,QP000001\r\n");
    // Only once, and only in front of the whole header.
    WriteFile(folder / "samples.csv", "\xEF\xBB\xBF\xEF\xBB\xBFtime,sample,ph,stable,serial\r\n");
    EXPECT_EQ(SamplesFile(folder.string(), false).Append(SampleFields(Row("S-1"))).status,
              RecordStatus::ForeignHeader);
    WriteFile(folder / "samples.csv", "\xEF\xBB\xBFtime,sample");
    EXPECT_EQ(SamplesFile(folder.string(), false).Append(SampleFields(Row("S-1"))).status,
              RecordStatus::ForeignHeader);
}

// A writer that holds the lock (as one does that writes another file's line
// with its row) keeps every other writer of the file waiting until it lets
// go; the other's row then follows its own, after the one header.
TEST_F(SampleRecordTest, AnotherWriterWaitsForTheLockHolder)
{
    const RecordFile file = SamplesFile(folder.string(), false);
    auto held = std::make_unique<RecordLock>(file.Path());
    ASSERT_EQ(held->Error(), 0);
    ASSERT_TRUE(file.AppendLocked(*held, SampleFields(Row("S-1"))).Ok());
    RecordResult other;
    std::thread writer([&] { other = file.Append(SampleFields(Row("S-2"))); });
    EXPECT_TRUE(filefaults::Eventually([] { return filefaults::WaitsForALock(::getpid()); }));
    const std::string mine = "time,sample,ph,stable,serial\r\n"
                             "2026-12-08T10:02:45.125+01:00,S-1,7.00,yes,QP000001\r\n";
    EXPECT_EQ(ReadFile(folder / "samples.csv"), mine);
    EXPECT_EQ(held->Release(), 0);
    writer.join();
    EXPECT_TRUE(other.Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv"),
              mine + "2026-12-08T10:02:45.125+01:00,S-2,7.00,yes,QP000001\r\n");
}

TEST_F(SampleRecordTest, AForeignHeaderIsLeftAlone)
{
    const std::string foreign = "date;name;value\r\n2026-01-01;x;1\r\n";
    WriteFile(folder / "samples.csv", foreign);
    const RecordFile file = SamplesFile(folder.string(), false);
    const RecordResult result = file.Append(SampleFields(Row("S-1")));
    EXPECT_EQ(result.status, RecordStatus::ForeignHeader);
    EXPECT_EQ(ReadFile(folder / "samples.csv"), foreign);
    EXPECT_NE(file.ErrorText(result).find("time,sample,ph,stable,serial"), std::string::npos);
    EXPECT_NE(file.ErrorText(result).find("nothing was recorded"), std::string::npos);
}

TEST_F(SampleRecordTest, AHeaderThatOnlyBeginsAlikeIsForeign)
{
    WriteFile(folder / "samples.csv", "time,sample,ph,stable,serial,extra\n");
    EXPECT_EQ(SamplesFile(folder.string(), false).Append(SampleFields(Row("S-1"))).status,
              RecordStatus::ForeignHeader);
}

TEST_F(SampleRecordTest, AFileEditedByHandGetsItsLineEndBack)
{
    WriteFile(folder / "samples.csv", "time,sample,ph,stable,serial\nx,y,1.00,no,z");
    ASSERT_TRUE(SamplesFile(folder.string(), false).Append(SampleFields(Row("S-1"))).Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv"),
              "time,sample,ph,stable,serial\nx,y,1.00,no,z\r\n"
              "2026-12-08T10:02:45.125+01:00,S-1,7.00,yes,QP000001\r\n");
}

TEST_F(SampleRecordTest, AnEmptyFileGetsTheHeader)
{
    WriteFile(folder / "samples.csv", "");
    ASSERT_TRUE(SamplesFile(folder.string(), false).Append(SampleFields(Row("S-1"))).Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv").rfind("time,sample,ph,stable,serial\r\n", 0), 0u);
}

TEST_F(SampleRecordTest, TheFolderIsMadeOnlyWhenAsked)
{
    const fs::path deep = folder / "share" / "tirevo";
    EXPECT_EQ(SamplesFile(deep.string(), false).Append(SampleFields(Row("S-1"))).status,
              RecordStatus::Failed);
    EXPECT_FALSE(fs::exists(deep));
    ASSERT_TRUE(SamplesFile(deep.string(), true).Append(SampleFields(Row("S-1"))).Ok());
    EXPECT_TRUE(fs::exists(deep / "samples.csv"));
}

TEST_F(SampleRecordTest, AFullDiskLeavesNothingHalfWritten)
{
    const RecordFile file = SamplesFile(folder.string(), false);
    ASSERT_TRUE(file.Append(SampleFields(Row("S-1"))).Ok());
    const std::string before = ReadFile(folder / "samples.csv");

    // The size limit makes the write stop part way through the row, as a
    // full disk does.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const RecordResult result = file.Append(SampleFields(Row("S-2")));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result.status, RecordStatus::Failed);
    EXPECT_EQ(result.systemError, EFBIG);
    EXPECT_EQ(ReadFile(folder / "samples.csv"), before);
    EXPECT_NE(file.ErrorText(result).find("Cannot write to"), std::string::npos);
    // And the next row, with room again, is whole.
    ASSERT_TRUE(file.Append(SampleFields(Row("S-3"))).Ok());
    EXPECT_EQ(ReadFile(folder / "samples.csv"),
              before + "2026-12-08T10:02:45.125+01:00,S-3,7.00,yes,QP000001\r\n");
}

TEST(SampleName, ALineBreakIsRefused)
{
    EXPECT_TRUE(SampleNameRefusal("S-1\nS-2"));
    EXPECT_TRUE(SampleNameRefusal("S-1\r"));
    EXPECT_FALSE(SampleNameRefusal("S-1, \"x\""));
    EXPECT_FALSE(SampleNameRefusal(""));
}

struct EncodingCase {
    const char* what;
    std::string name;
    bool refused;
};

class SampleNameEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(SampleNameEncoding, OnlyUtf8IsTaken)
{
    EXPECT_EQ(SampleNameEncodingRefusal(GetParam().name).has_value(), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(Names, SampleNameEncoding,
                         ::testing::Values(EncodingCase{"Empty", "", false},
                                           EncodingCase{"Ascii", "S-7", false},
                                           EncodingCase{"Umlaut", "Br\xC3\xBChe", false},
                                           EncodingCase{"FourBytes", "\xF0\x9F\xA7\xAA", false},
                                           EncodingCase{"Latin1", "Br\xFChe", true},
                                           EncodingCase{"StrayByte", "bad\xFF", true},
                                           EncodingCase{"CutOffAtTheEnd", "S-\xC3", true},
                                           EncodingCase{"ContinuationAlone", "\x80S", true},
                                           EncodingCase{"Overlong", "\xC0\xAF", true},
                                           EncodingCase{"Surrogate", "\xED\xA0\x80", true},
                                           EncodingCase{"BeyondUnicode", "\xF4\x90\x80\x80", true}),
                         CaseName());

struct NextCase {
    const char* what;
    const char* last;
    const char* next;
};

class NextName : public ::testing::TestWithParam<NextCase> {};

TEST_P(NextName, FromTheLast) { EXPECT_EQ(NextSampleName(GetParam().last), GetParam().next); }

INSTANTIATE_TEST_SUITE_P(
    Names, NextName,
    ::testing::Values(NextCase{"Empty", "", ""}, NextCase{"ZeroPadded", "S-007", "S-008"},
                      NextCase{"MoreDigits", "S-9", "S-10"}, NextCase{"PaddingCarries", "S-099", "S-100"},
                      NextCase{"PaddingFull", "S-999", "S-1000"}, NextCase{"OnlyDigits", "41", "42"},
                      NextCase{"Zero", "0", "1"}, NextCase{"NoNumber", "tap water", "tap water"},
                      NextCase{"NumberInside", "S7b", "S7b"},
                      NextCase{"LongNumber", "B-99999999999999999999", "B-100000000000000000000"}),
    CaseName());

}  // namespace
