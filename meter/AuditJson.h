// The few pieces of JSON the audit trail writes itself: it needs its members
// in a fixed order and its bytes exactly as hashed, which a general JSON
// library does not promise.
#pragma once

#include <string>
#include <string_view>

namespace tirevo {

// Appends text as a JSON string, quotes included: '"' and '\' escaped, every
// control character as \u00XX, all else (UTF-8 included) as it is. Bytes that
// are not UTF-8 become U+FFFD, so that every line stays readable JSON.
void AppendJsonString(std::string& out, std::string_view text);

// Whether text is a JSON number as it may be written ("7.00", "-0.05", "12").
bool IsJsonNumber(std::string_view text);

}  // namespace tirevo
