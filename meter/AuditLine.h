// One line of audit.jsonl: a JSON object with the members seq, time, user,
// host, program, event, the event's own members, prev and hash, in this
// order, ended by LF. hash is the lowercase hex SHA-256 of the line without
// its line end and with its ,"hash":"..." member taken out, so the chain can
// be checked by any tool that hashes bytes.
#pragma once

#include "AuditEvent.h"
#include "AuditOrigin.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tirevo {

// The prev of the first line.
inline constexpr const char* kAuditGenesis =
    "0000000000000000000000000000000000000000000000000000000000000000";
inline constexpr std::size_t kSha256HexLength = 64;

struct AuditLine {
    int64_t seq = 1;
    std::string time;  // ISO 8601 with milliseconds and UTC offset
    AuditOrigin origin;
    AuditEvent event;
    std::string prev = kAuditGenesis;
};

// The line as written (without its LF) and its hash.
struct AuditLineText {
    std::string text;
    std::string hash;
};
AuditLineText WriteAuditLine(const AuditLine& line);

// A written line (without its line end) split into the bytes its hash covers
// (head and a closing brace) and the hash it names; nothing when it does not
// end in a hash member. Views into the line.
struct AuditHashed {
    std::string_view head;
    std::string_view hash;

    std::string Body() const { return std::string(head) + '}'; }
};
std::optional<AuditHashed> SplitAuditHash(std::string_view line);

}  // namespace tirevo
