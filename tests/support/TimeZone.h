// Runs a test program in a named time zone, whatever the machine's: set by a
// static initializer, before Qt or the C library first read the zone.
#pragma once

#include <cstdlib>
#include <ctime>

namespace tirevo::test {

inline bool UseTimeZone(const char* zone)
{
#ifdef _WIN32
    // Windows has its zone from the system, which no variable of the process
    // changes; under Wine it is the TZ that Wine started with, which the
    // Windows test list sets to the same zone. The C library (and Qt's local
    // time through it) would read that TZ in a form of its own and take a
    // zone name for UTC: without it, it asks the system too.
    (void)zone;
    ::_putenv_s("TZ", "");
    ::_tzset();
#else
    ::setenv("TZ", zone, 1);
    ::tzset();
#endif
    return true;
}

// Summer time ends in Berlin at 2026-10-25 03:00 CEST: 02:00 to 03:00 comes
// twice, first at UTC+2 from 00:00 UTC, then at UTC+1 from 01:00 UTC.
inline constexpr const char* kBerlin = "Europe/Berlin";
inline constexpr double kMillisAt20261025Utc = 20751.0 * 86400 * 1000;

}  // namespace tirevo::test
