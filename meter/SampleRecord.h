// samples.csv: one row per sample the user records, with its settled (or
// not) reading. The window and tirevo-cli write it alike.
#pragma once

#include "RecordFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

inline constexpr const char* kSamplesFileName = "samples.csv";
inline constexpr const char* kSamplesHeader = "time,sample,ph,stable,serial";

struct SampleRow {
    std::string time;         // ISO 8601 local time with milliseconds and offset
    std::string name;         // UTF-8; may be empty
    std::string readingText;  // two decimals, "." as decimal point
    bool stable = false;
    std::string serial;  // the driver's bytes, taken as Latin-1
};

// The fields of the row in the file's column order, all UTF-8; the name and
// the serial number guarded against spreadsheets (RecordFile::GuardedText).
std::vector<std::string> SampleFields(const SampleRow& row);

// Why a sample name cannot be recorded (a line break would split the row
// for every reader of the file), or nothing when it can.
std::optional<std::string> SampleNameRefusal(std::string_view name);
// Why bytes given as a sample name (a command line's) cannot be recorded in
// the UTF-8 file: they are not UTF-8. Nothing when they can.
std::optional<std::string> SampleNameEncodingRefusal(std::string_view name);

// The name after last: its trailing number plus one with its zero padding
// kept ("S-007" gives "S-008", "S-9" gives "S-10", "S-99" gives "S-100");
// a name without a trailing number is offered again as it is.
std::string NextSampleName(std::string_view last);

// The samples file in folder.
RecordFile SamplesFile(const std::string& folder, bool createFolder);

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace tirevo
