#include "LogReader.h"

#include "ReadingText.h"
#include "ZoneRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>

namespace tirevo {

namespace {

constexpr std::string_view kLogTitle = "QUVA USB pH METER LOG FILE";
// Lines after the title up to and including the empty one before the rows.
constexpr int kHeaderLinesAfterTitle = 5;
// "dd.mm.yyyy" S "hh" T "nn" T "ss" S: the reading starts after these bytes.
constexpr std::size_t kStampLength = 20;
constexpr std::size_t kFirstSeparator = 10;
constexpr std::size_t kSecondSeparator = 19;
constexpr long long kSecondsPerDay = 86400;
constexpr double kMillisPerSecond = 1000.0;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

long long FloorDivide(long long a, long long b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

// The civil seconds of a row's time stamp, or nothing when the stamp is not
// one the log writes (a real date, a time of day, equal time separators).
std::optional<long long> StampSeconds(std::string_view row, char separator)
{
    if (row.size() < kStampLength || row[kFirstSeparator] != separator || row[kSecondSeparator] != separator)
        return std::nullopt;
    if (row[2] != '.' || row[5] != '.' || row[13] != row[16] || IsDigit(row[13]))
        return std::nullopt;
    const auto day = Digits(row, 0, 2);
    const auto month = Digits(row, 3, 2);
    const auto year = Digits(row, 6, 4);
    const auto hour = Digits(row, 11, 2);
    const auto minute = Digits(row, 14, 2);
    const auto second = Digits(row, 17, 2);
    if (!day || !month || !year || !hour || !minute || !second)
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59)
        return std::nullopt;
    const long long days = DaysFromCivil(*year, *month, *day);
    return days * kSecondsPerDay + *hour * 3600LL + *minute * 60LL + *second;
}

// A reading as the log writes it: the number form the meter sends, with the
// decimal separator of the locale the log was written in, "." or ",".
std::optional<double> LogReadingValue(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return ParseReadingField(text);
    std::string point(text);
    point[comma] = '.';
    return ParseReadingField(point);
}

// The local time zone's rules (TZ, or the system's zone), as the C library
// knows them: the instants at which the wall clock showed a civil time.
class LocalZone {
public:
    // Seconds since the epoch, earliest first: one as a rule, two in the hour
    // that repeats at the end of summer time. A time the clocks skipped gets
    // the instant the C library makes of it.
    const std::vector<long long>& Instants(long long civil)
    {
        // Zones change their offset on whole minutes: the offsets found for
        // one second hold for the whole minute, and rows a second apart ask
        // the C library once a minute.
        const long long minute = FloorDivide(civil, 60);
        if (!cached_ || minute != minute_) {
            offsets_ = Offsets(civil);
            minute_ = minute;
            cached_ = true;
        }
        instants_.clear();
        for (const long long offset : offsets_)
            instants_.push_back(civil - offset);
        return instants_;
    }

private:
    // Civil minus UTC seconds, largest (earliest instant) first.
    static std::vector<long long> Offsets(long long civil) { return LocalOffsetsOf(civil); }

    std::vector<long long> offsets_;
    std::vector<long long> instants_;
    long long minute_ = 0;
    bool cached_ = false;
};

// "DATE" S "TIME" S "pH"; gives the separator S.
std::optional<char> ColumnLineSeparator(std::string_view line)
{
    if (line.size() != 12 || line.substr(0, 4) != "DATE" || line.substr(5, 4) != "TIME" ||
        line.substr(10, 2) != "pH" || line[4] != line[9])
        return std::nullopt;
    return line[4];
}

class Reader {
public:
    explicit Reader(LogSeries& out) : out_(out) {}

    void Line(std::string_view line)
    {
        ++lineNumber_;
        if (lineNumber_ == 1 && line == kLogTitle) {
            headerLeft_ = kHeaderLinesAfterTitle;
            return;
        }
        if (headerLeft_ > 0) {
            --headerLeft_;
            return;
        }
        if (!modeKnown_) {
            if (const auto separator = ColumnLineSeparator(line)) {
                Decide(true, *separator);
                return;
            }
        }
        if (line.empty())
            return;
        if (!modeKnown_) {
            const bool stamped = line.size() > kStampLength && StampSeconds(line, line[kFirstSeparator]);
            Decide(stamped, stamped ? line[kFirstSeparator] : '\0');
        }
        Row(line);
    }

    // What follows the last line end: a row not yet complete.
    void Tail(std::string_view tail)
    {
        if (tail.empty() || headerLeft_ > 0 || (lineNumber_ == 0 && kLogTitle.starts_with(tail)))
            return;
        ++rowNumber_;
        ++out_.skipped;
    }

private:
    void Decide(bool stamped, char separator)
    {
        modeKnown_ = true;
        out_.timeStamped = stamped;
        separator_ = separator;
    }

    void Row(std::string_view row)
    {
        ++rowNumber_;
        double key = static_cast<double>(rowNumber_);
        std::string_view reading = row;
        if (out_.timeStamped) {
            const std::optional<long long> civil = StampSeconds(row, separator_);
            if (!civil) {
                ++out_.skipped;
                return;
            }
            key = static_cast<double>(Instant(*civil)) * kMillisPerSecond;
            reading = row.substr(kStampLength);
        }
        const std::optional<double> value = LogReadingValue(reading);
        if (!value) {
            ++out_.skipped;
            return;
        }
        out_.keys.push_back(key);
        out_.values.push_back(*value);
    }

    // The instant of a row's local time. Of the two that a repeated hour
    // gives, the first that does not lie before the row above: the log was
    // written in time order, so the second pass through the hour is the
    // second instant. A clock set back while logging leaves no instant at or
    // after the row above; the latest is taken then.
    long long Instant(long long civil)
    {
        const std::vector<long long>& instants = zone_.Instants(civil);
        long long chosen = instants.back();
        if (!havePrevious_) {
            chosen = instants.front();
        } else {
            const auto later = std::find_if(instants.begin(), instants.end(),
                                            [this](long long instant) { return instant >= previous_; });
            if (later != instants.end())
                chosen = *later;
        }
        previous_ = chosen;
        havePrevious_ = true;
        return chosen;
    }

    LogSeries& out_;
    std::size_t lineNumber_ = 0;
    std::size_t rowNumber_ = 0;
    int headerLeft_ = 0;
    bool modeKnown_ = false;
    LocalZone zone_;
    // A plain pair, not an optional: GCC takes an optional read here, after
    // inlining, for an uninitialised one.
    bool havePrevious_ = false;
    long long previous_ = 0;
    char separator_ = '\t';
};

}  // namespace

LogSeries ReadLogSeries(std::string_view bytes)
{
    LogSeries out;
    Reader reader(out);
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos)
            break;
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        reader.Line(line);
        start = end + 1;
    }
    std::string_view tail = bytes.substr(std::min(start, bytes.size()));
    if (!tail.empty() && tail.back() == '\r') {
        // Ended by its carriage return; only the line feed is still to come.
        tail.remove_suffix(1);
        reader.Line(tail);
    } else {
        reader.Tail(tail);
    }
    return out;
}

// Howard Hinnant's days-from-civil algorithm over eras of 400 years.
long long DaysFromCivil(int year, int month, int day)
{
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::string CivilIsoText(double civilSeconds)
{
    const long long millis = std::llround(civilSeconds * 1000.0);
    long long seconds = millis / 1000;
    long long fraction = millis % 1000;
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    long long days = seconds / kSecondsPerDay;
    long long ofDay = seconds % kSecondsPerDay;
    if (ofDay < 0) {
        ofDay += kSecondsPerDay;
        --days;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    char text[48];
    auto put = [&](std::size_t at, long long number, int width) {
        for (int i = width - 1; i >= 0; --i) {
            text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + number % 10);
            number /= 10;
        }
    };
    put(0, year, 4);
    text[4] = '-';
    put(5, month, 2);
    text[7] = '-';
    put(8, day, 2);
    text[10] = 'T';
    put(11, ofDay / 3600, 2);
    text[13] = ':';
    put(14, ofDay / 60 % 60, 2);
    text[16] = ':';
    put(17, ofDay % 60, 2);
    std::size_t length = 19;
    if (fraction != 0) {
        text[19] = '.';
        put(20, fraction, 3);
        length = 23;
    }
    return std::string(text, length);
}

std::string LocalIsoText(double utcMillis)
{
    const long long millis = std::llround(utcMillis);
    const long long seconds = FloorDivide(millis, 1000);
    const long long fraction = millis - seconds * 1000;
    const std::time_t when = static_cast<std::time_t>(seconds);
    const long long offset = LocalOffsetAt(static_cast<long long>(when));
    std::string out =
        CivilIsoText(static_cast<double>(seconds + offset) + static_cast<double>(fraction) / 1000.0);
    const long long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[16];
    const int length = std::snprintf(zone, sizeof zone, "%c%02lld:%02lld", offset < 0 ? '-' : '+',
                                     minutes / 60, minutes % 60);
    out.append(zone, static_cast<std::size_t>(length));
    return out;
}

std::string LogHeaderSerial(std::string_view bytes)
{
    // The header's lines come first and are short: a row of readings ends the look.
    constexpr std::string_view kKey = "Meter Serial Number";
    constexpr std::size_t kHeaderScan = 1024;
    const std::string_view head = bytes.substr(0, kHeaderScan);
    for (std::size_t start = 0; start < head.size();) {
        const std::size_t end = std::min(head.find('\n', start), head.size());
        std::string_view line = head.substr(start, end - start);
        if (line.substr(0, kKey.size()) == kKey) {
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos)
                return {};
            line.remove_prefix(colon + 1);
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
                line.remove_suffix(1);
            return std::string(line);
        }
        start = end + 1;
    }
    return {};
}

}  // namespace tirevo
