#include "AuditLine.h"

#include "AuditJson.h"

namespace tirevo {

namespace {

constexpr std::string_view kHashMember = ",\"hash\":\"";
constexpr std::string_view kLineClose = "\"}";

void AppendName(std::string& out, std::string_view name)
{
    out += ',';
    AppendJsonString(out, name);
    out += ':';
}

void AppendValue(std::string& out, const AuditValue& value)
{
    switch (value.kind) {
    case AuditValue::Kind::Text:
        AppendJsonString(out, value.text);
        return;
    case AuditValue::Kind::Number:
        out += value.text;
        return;
    case AuditValue::Kind::Bool:
        out += value.flag ? "true" : "false";
        return;
    case AuditValue::Kind::Null:
        break;
    }
    out += "null";
}

bool IsLowerHex(std::string_view text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

}  // namespace

AuditLineText WriteAuditLine(const AuditLine& line)
{
    std::string text = "{\"seq\":" + std::to_string(line.seq);
    const auto text_member = [&text](std::string_view name, std::string_view value) {
        AppendName(text, name);
        AppendJsonString(text, value);
    };
    text_member("time", line.time);
    text_member("user", line.origin.user);
    text_member("host", line.origin.host);
    text_member("program", line.origin.program);
    text_member("event", line.event.name);
    for (const AuditMember& member : line.event.members) {
        AppendName(text, member.name);
        AppendValue(text, member.value);
    }
    text_member("prev", line.prev);
    text += '}';
    std::string hash = Sha256Hex(text);
    text.pop_back();
    text.append(kHashMember).append(hash).append(kLineClose);
    return {std::move(text), std::move(hash)};
}

std::optional<AuditHashed> SplitAuditHash(std::string_view line)
{
    const std::size_t tail = kHashMember.size() + kSha256HexLength + kLineClose.size();
    if (line.size() < tail + 1 || line.substr(line.size() - kLineClose.size()) != kLineClose)
        return std::nullopt;
    const std::size_t at = line.size() - tail;
    if (line.substr(at, kHashMember.size()) != kHashMember)
        return std::nullopt;
    const std::string_view hash = line.substr(at + kHashMember.size(), kSha256HexLength);
    if (!IsLowerHex(hash))
        return std::nullopt;
    return AuditHashed{line.substr(0, at), hash};
}

}  // namespace tirevo
