#include "LogText.h"

#include "PlainName.h"

#include <cerrno>

namespace tirevo {

namespace {

constexpr std::string_view kRule = "-------------------------------";

// Decimal digits of a non-negative number, zero-padded to width. Written by
// hand so that no C locale setting can slip a grouping character in.
void AppendPadded(std::string& out, int value, int width)
{
    if (value < 0)
        value = 0;
    char digits[16];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && count < 16);
    for (int i = count; i < width; ++i)
        out += '0';
    while (count > 0)
        out += digits[--count];
}

void AppendLine(std::string& out, std::string_view line)
{
    out += line;
    out += kLogLineEnd;
}

// Codes with a text of their own, which an unknown system error must not
// borrow by accident of its number.
bool HasOwnText(int code)
{
    switch (code) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 100:
    case 101:
    case 103:
    case 106:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::string LogFileName(const LogClockTime& start, int attempt)
{
    std::string name = "USB_PH_";
    AppendPadded(name, start.year % 100, 2);
    AppendPadded(name, start.month, 2);
    AppendPadded(name, start.day, 2);
    name += '_';
    AppendPadded(name, start.hour, 2);
    AppendPadded(name, start.minute, 2);
    AppendPadded(name, start.second, 2);
    if (attempt > 1) {
        name += '_';
        AppendPadded(name, attempt, 1);
    }
    name += ".txt";
    return name;
}

std::string LogFileName(const LogClockTime& start, int attempt, std::string_view serial)
{
    std::string name = LogFileName(start, 1);
    name.resize(name.size() - 4);
    name += '_';
    // A "." is kept: names written before keep their form.
    name += PlainName(serial, ".");
    if (attempt > 1) {
        name += '_';
        AppendPadded(name, attempt, 1);
    }
    name += ".txt";
    return name;
}

std::string LogHeaderText(std::string_view appVersion, std::string_view meterSerial, bool useTimeStamp,
                          char separator)
{
    std::string out;
    AppendLine(out, "QUVA USB pH METER LOG FILE");
    AppendLine(out, kRule);
    AppendLine(out, std::string("Application Version   : ").append(appVersion));
    AppendLine(out, std::string("Meter Serial Number   : ").append(meterSerial));
    AppendLine(out, kRule);
    AppendLine(out, "");
    if (useTimeStamp) {
        std::string columns = "DATE";
        columns += separator;
        columns += "TIME";
        columns += separator;
        columns += "pH";
        AppendLine(out, columns);
    }
    return out;
}

std::string LogRowText(const LogClockTime& now, char timeSeparator, bool useTimeStamp, char separator,
                       std::string_view readingText)
{
    std::string row;
    if (useTimeStamp) {
        AppendPadded(row, now.day, 2);
        row += '.';
        AppendPadded(row, now.month, 2);
        row += '.';
        AppendPadded(row, now.year, 4);
        row += separator;
        AppendPadded(row, now.hour, 2);
        row += timeSeparator;
        AppendPadded(row, now.minute, 2);
        row += timeSeparator;
        AppendPadded(row, now.second, 2);
        row += separator;
    }
    AppendLine(row, readingText);
    return row;
}

int IoErrorCode(int systemError)
{
    switch (systemError) {
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return 5;
    case ENOSPC:
#ifdef EDQUOT  // no disk quotas in the Windows C runtime
    case EDQUOT:
#endif
    case EFBIG:
        return 101;
    case EBADF:
        return 103;
    case EIO:
        return 29;  // write fault
    case EEXIST:
        return 80;  // file exists
    default:
        return HasOwnText(systemError) ? 31 : systemError;  // 31: general failure
    }
}

std::string IoErrorText(int code)
{
    switch (code) {
    case 2:
        return "File not found";
    case 3:
        return "Invalid filename";
    case 4:
        return "Too many open files";
    case 5:
        return "File access denied";
    case 100:
        return "Read beyond end of file";
    case 101:
        return "Disk full";
    case 106:
        return "Invalid numeric input";
    default:
        return "I/O error " + std::to_string(code);
    }
}

}  // namespace tirevo
