// The log's text byte for byte: file names, header, rows and error texts.
#include "LogText.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

using namespace std::string_literals;
using tirevo::LogClockTime;

namespace {

// ---------------------------------------------------------------- file name

struct NameCase {
    const char* what;
    LogClockTime start;
    int attempt;
    std::string name;
};

class FileName : public testing::TestWithParam<NameCase> {};

TEST_P(FileName, StampsTheStartTime)
{
    EXPECT_EQ(tirevo::LogFileName(GetParam().start, GetParam().attempt), GetParam().name);
}

// Several meters logging into one folder at once: the serial number in the
// name, anything that does not belong in a file name as "_".
struct SerialNameCase {
    const char* what;
    int attempt;
    std::string serial;
    std::string name;
};

class SerialFileName : public testing::TestWithParam<SerialNameCase> {};

TEST_P(SerialFileName, CarriesTheSerialNumber)
{
    const SerialNameCase& c = GetParam();
    EXPECT_EQ(tirevo::LogFileName({2026, 12, 6, 9, 5, 3}, c.attempt, c.serial), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Serials, SerialFileName,
    testing::Values(SerialNameCase{"plain", 1, "QP000001", "USB_PH_261206_090503_QP000001.txt"},
                    SerialNameCase{"taken", 2, "QP000001", "USB_PH_261206_090503_QP000001_2.txt"},
                    SerialNameCase{"path", 1, "../A/B", "USB_PH_261206_090503_.._A_B.txt"},
                    SerialNameCase{"odd_bytes", 1, "A B\t\xe9\0Z"s, "USB_PH_261206_090503_A_B___Z.txt"}),
    [](const testing::TestParamInfo<SerialNameCase>& info) { return std::string(info.param.what); });

INSTANTIATE_TEST_SUITE_P(
    Stamps, FileName,
    testing::Values(NameCase{"single digits padded", {2026, 12, 6, 9, 5, 3}, 1, "USB_PH_261206_090503.txt"},
                    NameCase{
                        "last second of a year", {2026, 12, 31, 23, 59, 59}, 1, "USB_PH_261231_235959.txt"},
                    NameCase{"midnight", {2027, 1, 1, 0, 0, 0}, 1, "USB_PH_270101_000000.txt"},
                    NameCase{"year 2000", {2000, 2, 29, 12, 0, 0}, 1, "USB_PH_000229_120000.txt"},
                    NameCase{"year 1999", {1999, 7, 4, 1, 2, 3}, 1, "USB_PH_990704_010203.txt"},
                    NameCase{"taken once", {2026, 12, 6, 9, 5, 3}, 2, "USB_PH_261206_090503_2.txt"},
                    NameCase{"taken twice", {2026, 12, 6, 9, 5, 3}, 3, "USB_PH_261206_090503_3.txt"},
                    NameCase{"many times", {2026, 12, 6, 9, 5, 3}, 10, "USB_PH_261206_090503_10.txt"},
                    NameCase{"last attempt", {2026, 12, 6, 9, 5, 3}, 9999, "USB_PH_261206_090503_9999.txt"}),
    CaseName());

// ------------------------------------------------------------------- header

struct HeaderCase {
    const char* what;
    std::string serial;
    bool useTimeStamp;
    char separator;
    std::string header;
};

const std::string kTop = "QUVA USB pH METER LOG FILE\r\n"
                         "-------------------------------\r\n"
                         "Application Version   : 1.0.2.7\r\n";
const std::string kRuleAndEmpty = "-------------------------------\r\n\r\n";

class Header : public testing::TestWithParam<HeaderCase> {};

TEST_P(Header, IsExactlyTheLinesOfTheFormat)
{
    const auto& c = GetParam();
    EXPECT_EQ(tirevo::LogHeaderText("1.0.2.7", c.serial, c.useTimeStamp, c.separator), c.header);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Header,
    testing::Values(
        HeaderCase{"Tab", "QP000001", true, '\t',
                   kTop + "Meter Serial Number   : QP000001\r\n" + kRuleAndEmpty + "DATE\tTIME\tpH\r\n"},
        HeaderCase{"Semicolon", "QP000001", true, ';',
                   kTop + "Meter Serial Number   : QP000001\r\n" + kRuleAndEmpty + "DATE;TIME;pH\r\n"},
        HeaderCase{"Nul", "QP000001", true, '\0',
                   kTop + "Meter Serial Number   : QP000001\r\n" + kRuleAndEmpty + "DATE\0TIME\0pH\r\n"s},
        HeaderCase{"HighByte", "QP000001", true, '\xA7',
                   kTop + "Meter Serial Number   : QP000001\r\n" + kRuleAndEmpty + "DATE\xA7TIME\xA7pH\r\n"},
        HeaderCase{"NoTimeStampSixLines", "QP000001", false, '\t',
                   kTop + "Meter Serial Number   : QP000001\r\n" + kRuleAndEmpty},
        HeaderCase{"SerialBytesAsTheyAre", "Q\xB5\x01P\0 9"s, true, '\t',
                   kTop + "Meter Serial Number   : Q\xB5\x01P\0 9\r\n"s + kRuleAndEmpty +
                       "DATE\tTIME\tpH\r\n"},
        HeaderCase{"EmptySerial", "", false, '\t', kTop + "Meter Serial Number   : \r\n" + kRuleAndEmpty}));

TEST(HeaderShape, WithoutTimeStampsHasSixLinesTheSixthEmpty)
{
    const std::string header = tirevo::LogHeaderText("1.0.2.7", "QP000001", false, '\t');
    std::vector<std::string> lines;
    for (std::size_t from = 0, at; (at = header.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(header.substr(from, at - from));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[1].size(), 31u);
    EXPECT_EQ(lines[1].find_first_not_of('-'), std::string::npos);
    EXPECT_EQ(lines[4], lines[1]);
}

// --------------------------------------------------------------------- rows

struct RowCase {
    const char* what;
    LogClockTime now;
    char timeSeparator;
    bool useTimeStamp;
    char separator;
    std::string reading;
    std::string row;
};

class Row : public testing::TestWithParam<RowCase> {};

TEST_P(Row, IsDateTimeAndReading)
{
    const auto& c = GetParam();
    EXPECT_EQ(tirevo::LogRowText(c.now, c.timeSeparator, c.useTimeStamp, c.separator, c.reading), c.row);
}

constexpr LogClockTime kMorning{2026, 12, 6, 9, 5, 3};

INSTANTIATE_TEST_SUITE_P(
    Rows, Row,
    testing::Values(
        RowCase{"Tab", kMorning, ':', true, '\t', "7.02", "06.12.2026\t09:05:03\t7.02\r\n"},
        RowCase{"Semicolon", kMorning, ':', true, ';', "7.02", "06.12.2026;09:05:03;7.02\r\n"},
        RowCase{"Nul", kMorning, ':', true, '\0', "7.02", "06.12.2026\00009:05:03\0007.02\r\n"s},
        RowCase{"CommaReading", kMorning, ':', true, '\t', "7,02", "06.12.2026\t09:05:03\t7,02\r\n"},
        RowCase{"DotTimeSeparator", kMorning, '.', true, ';', "7.02", "06.12.2026;09.05.03;7.02\r\n"},
        RowCase{"Evening",
                {2026, 1, 31, 23, 59, 59},
                ':',
                true,
                '\t',
                "14.00",
                "31.01.2026\t23:59:59\t14.00\r\n"},
        RowCase{
            "Midnight", {2027, 1, 1, 0, 0, 0}, ':', true, '\t', "-0.50", "01.01.2027\t00:00:00\t-0.50\r\n"},
        RowCase{"EarlyYear", {987, 3, 4, 5, 6, 7}, ':', true, '\t', "7.00", "04.03.0987\t05:06:07\t7.00\r\n"},
        RowCase{"GeneralNotation", kMorning, ':', true, '\t', "1E5", "06.12.2026\t09:05:03\t1E5\r\n"},
        RowCase{"NoTimeStamp", kMorning, ':', false, ';', "7.02", "7.02\r\n"},
        RowCase{"NoTimeStampNul", kMorning, ':', false, '\0', "7,02", "7,02\r\n"}));

// ------------------------------------------------------------------- errors

struct ErrorCase {
    const char* what;
    int systemError;
    int code;
    std::string text;
};

class IoError : public testing::TestWithParam<ErrorCase> {};

TEST_P(IoError, MapsTheSystemErrorToTheUsersText)
{
    const auto& c = GetParam();
    EXPECT_EQ(tirevo::IoErrorCode(c.systemError), c.code);
    EXPECT_EQ(tirevo::IoErrorText(tirevo::IoErrorCode(c.systemError)), c.text);
}

INSTANTIATE_TEST_SUITE_P(Mapping, IoError,
                         testing::Values(ErrorCase{"NoSuchFolder", ENOENT, 2, "File not found"},
                                         ErrorCase{"ParentIsAFile", ENOTDIR, 3, "Invalid filename"},
                                         ErrorCase{"NameTooLong", ENAMETOOLONG, 3, "Invalid filename"},
                                         ErrorCase{"LinkLoop", ELOOP, 3, "Invalid filename"},
                                         ErrorCase{"ProcessOutOfFiles", EMFILE, 4, "Too many open files"},
                                         ErrorCase{"SystemOutOfFiles", ENFILE, 4, "Too many open files"},
                                         ErrorCase{"NoPermission", EACCES, 5, "File access denied"},
                                         ErrorCase{"NotPermitted", EPERM, 5, "File access denied"},
                                         ErrorCase{"ReadOnlyFileSystem", EROFS, 5, "File access denied"},
                                         ErrorCase{"NoSpace", ENOSPC, 101, "Disk full"},
                                         ErrorCase{"Quota", EDQUOT, 101, "Disk full"},
                                         ErrorCase{"SizeLimit", EFBIG, 101, "Disk full"},
                                         ErrorCase{"NotOpen", EBADF, 103, "I/O error 103"},
                                         ErrorCase{"DeviceFault", EIO, 29, "I/O error 29"},
                                         ErrorCase{"AllNamesTaken", EEXIST, 80, "I/O error 80"},
                                         ErrorCase{"OtherKeepsItsNumber", EXDEV, EXDEV,
                                                   "I/O error " + std::to_string(EXDEV)},
                                         // Unknown errors whose numbers are codes with a text of their own
                                         // must not show that text.
                                         ErrorCase{"NumberOfTooManyFiles", EINTR, 31, "I/O error 31"},
                                         ErrorCase{"NumberOfDiskFull", 101, 31, "I/O error 31"}));

TEST(IoErrorText, CodesWithoutASystemErrorOfTheirOwn)
{
    EXPECT_EQ(tirevo::IoErrorText(100), "Read beyond end of file");
    EXPECT_EQ(tirevo::IoErrorText(106), "Invalid numeric input");
    EXPECT_EQ(tirevo::IoErrorText(1784), "I/O error 1784");
}

}  // namespace
