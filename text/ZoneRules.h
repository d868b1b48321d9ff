// The local time zone's rules, asked afresh on each call: TZ or the system's
// zone on POSIX systems, the zone set in Windows on Windows (whose C library
// knows no zone names). Local time minus UTC is the offset, in seconds, east
// positive.
#pragma once

#include <vector>

namespace tirevo {

// The offset in force at that moment (seconds since the epoch, UTC).
long long LocalOffsetAt(long long utcSeconds);

// The offsets under which the wall clock showed `civil` (a local date and
// time counted in seconds since 1970-01-01 00:00 as if it were UTC), largest
// (earliest instant) first: one as a rule, two in the hour that repeats at
// the end of summer time. A time the clocks skipped gets one, the offset the
// system makes of it.
std::vector<long long> LocalOffsetsOf(long long civil);

}  // namespace tirevo
