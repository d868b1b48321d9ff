// The ends of a report's period as typed: a local date or date and time,
// ISO 8601, read through the program's zone rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

enum class PeriodEnd { From, To };

// "2026-12-08", "2026-12-08T14:30", "2026-12-08T14:30:15" (or a space for
// the T) as UTC ms; nothing when the text is not such a date or time. Both
// ends are included: a date alone is its first moment for From and its last
// millisecond for To, and a time the clocks showed twice (the hour that
// repeats at the end of summer time) is its earlier instant for From and its
// later one for To, so that the period holds the whole of what was typed.
std::optional<int64_t> ReportTimeUtcMs(const std::string& text, PeriodEnd end);

}  // namespace tirevo
