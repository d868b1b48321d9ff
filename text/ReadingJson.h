// One reading as a JSON object: the line `read --format json` prints and the
// payload the broker's `reading` topic carries are the same bytes, so a
// consumer parses both alike.
#pragma once

#include <string>
#include <string_view>

namespace tirevo {

// The text as a JSON string literal, quotes included; bytes from 0x80 up are
// taken as Latin-1, as the window shows the driver's bytes, or passed on as
// they are when the text is UTF-8 already.
std::string JsonString(std::string_view text, bool latin1 = true);

// {"time":"2026-12-08T10:02:45.120+01:00","ph":7.02,"stable":true,"serial":"A1B2C3"}
// without a line end. isoTime: the moment the reading was taken, ISO 8601
// local time with its offset; readingText: the reading as the window shows
// it, with "." as its decimal separator.
std::string ReadingJson(std::string_view isoTime, std::string_view readingText, bool stable,
                        std::string_view serial);

}  // namespace tirevo
