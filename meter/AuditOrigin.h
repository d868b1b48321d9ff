// Who writes an audit event, on which machine and with which program.
#pragma once

#include <string>

class QDateTime;

namespace tirevo {

struct AuditOrigin {
    std::string user;
    std::string host;
    std::string program;  // "tirevo-cli 1.4.0"
};

// The process's user, the machine and program ("tirevo-cli 1.4.0").
AuditOrigin CurrentAuditOrigin(std::string program);

// The account the process runs as: its name in the user database (not the
// environment, which any caller sets as it likes), or the environment's
// when the database has none, or the number.
std::string LoginName();

// The machine's host name as the network knows it.
std::string HostName();

// Now, at the offset from UTC the program's zone rules give (as the
// readings' time stamps take it).
QDateTime AuditNow();

// 2026-12-08T14:03:01.250+01:00: the local time with milliseconds and the
// offset from UTC, as the records write times.
std::string AuditTimeText(const QDateTime& time);

}  // namespace tirevo
