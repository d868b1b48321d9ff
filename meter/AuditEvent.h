// One event of the audit trail (audit.jsonl in the records folder): its name
// and its own members, in the order they are written. The builders below fix
// each event's member names in one place for the window and tirevo-cli alike.
#pragma once

#include "CalibrationRecord.h"
#include "SampleRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

inline constexpr const char* kAuditFileName = "audit.jsonl";

// The event names.
inline constexpr const char* kAuditSample = "sample";
inline constexpr const char* kAuditCalibration = "calibration";
inline constexpr const char* kAuditAdopt = "adopt";
inline constexpr const char* kAuditSettings = "settings";
inline constexpr const char* kAuditAlarm = "alarm";
inline constexpr const char* kAuditMeter = "meter";
inline constexpr const char* kAuditLog = "log";

// The member that says which alarm, which change of the meter, and which end
// of a log an event is, with its values.
inline constexpr const char* kAuditWhat = "what";
inline constexpr const char* kAlarmHigh = "high";
inline constexpr const char* kAlarmLow = "low";
inline constexpr const char* kAlarmLost = "lost";
inline constexpr const char* kAlarmClear = "clear";
inline constexpr const char* kMeterConnected = "connected";
inline constexpr const char* kMeterLost = "lost";
inline constexpr const char* kMeterFound = "found";
inline constexpr const char* kMeterClosed = "closed";
inline constexpr const char* kLogStarted = "started";
inline constexpr const char* kLogClosed = "closed";

// The members by which the check finds rows and files again.
inline constexpr const char* kAuditFile = "file";      // a records file's name in the folder
inline constexpr const char* kAuditRow = "row";        // SHA-256 of the row's bytes
inline constexpr const char* kAuditRows = "rows";      // a row count
inline constexpr const char* kAuditSha256 = "sha256";  // SHA-256 of a whole file
inline constexpr const char* kAuditPath = "path";      // a log file's path

struct AuditValue {
    enum class Kind { Text, Number, Bool, Null };
    Kind kind = Kind::Null;
    std::string text;   // Text: UTF-8; Number: the digits as written
    bool flag = false;  // Bool

    static AuditValue Text(std::string text) { return {Kind::Text, std::move(text), false}; }
    // A decimal as the records write it ("7.00"); empty gives null, and text
    // that is no number is kept as a string.
    static AuditValue Decimal(std::string text);
    static AuditValue Integer(int64_t value) { return {Kind::Number, std::to_string(value), false}; }
    static AuditValue Bool(bool value) { return {Kind::Bool, {}, value}; }
    static AuditValue Null() { return {}; }
};

struct AuditMember {
    std::string name;
    AuditValue value;
};

struct AuditEvent {
    std::string name;
    std::vector<AuditMember> members;
};

// Lowercase hex SHA-256 of bytes.
std::string Sha256Hex(std::string_view bytes);
// The same of a whole file, read in pieces (a week's log need not fit in
// memory at once); nothing when it cannot be read. path: UTF-8.
std::optional<std::string> FileSha256Hex(const std::string& path);

// A row just appended with RecordFile::Append(SampleFields(row)) to the
// records file fileName: the row hash is of the bytes that call writes.
AuditEvent SampleEvent(const SampleRow& row, std::string_view fileName);
AuditEvent CalibrationEvent(const CalibrationRow& row, std::string_view fileName);

// A records file that held rows before the trail covered it.
AuditEvent AdoptEvent(std::string_view fileName, int64_t rows, std::string_view fileSha256);

// One value the window saved changed.
AuditEvent SettingsEvent(std::string_view section, std::string_view key, std::string_view oldValue,
                         std::string_view newValue);

// what: kAlarmHigh ...; limit and ph as written ("7.00"), empty when none.
// (Not named AlarmEvent: that is the alarm rule's own event, and a function
// of the same name would hide the type wherever both are seen.)
AuditEvent AlarmAuditEvent(std::string_view what, std::string limit, std::string ph, std::string_view serial);

// what: kMeterConnected ...
AuditEvent MeterEvent(std::string_view what, std::string_view serial);

// path: the log file's absolute path.
AuditEvent LogStartedEvent(std::string_view path, std::string_view serial);
// rows: null when not known (a file whose end was not seen).
AuditEvent LogClosedEvent(std::string_view path, std::optional<int64_t> rows, std::string_view fileSha256);

}  // namespace tirevo
