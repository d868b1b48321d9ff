#include "AlarmText.h"

#include "ReadingText.h"

#include <cstdio>
#include <ctime>

namespace tirevo {

std::string AlarmClockText(const AlarmTime& time)
{
    // Local time is the UTC time moved by the offset of that moment.
    const time_t local =
        static_cast<time_t>((time.utcMs - (time.utcMs % 1000 + 1000) % 1000) / 1000) + time.utcOffsetS;
    tm fields{};
    gmtime_r(&local, &fields);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", fields.tm_hour, fields.tm_min, fields.tm_sec);
    return text;
}

std::string AlarmNumberText(double value, char decimalSeparator)
{
    return FormatReading(value, decimalSeparator);
}

std::string AlarmStateText(const RaisedAlarm& alarm, char decimalSeparator)
{
    const std::string since = " since " + AlarmClockText(alarm.since);
    switch (alarm.kind) {
    case AlarmKind::High:
        return "Above " + AlarmNumberText(alarm.limit, decimalSeparator) + since;
    case AlarmKind::Low:
        return "Below " + AlarmNumberText(alarm.limit, decimalSeparator) + since;
    case AlarmKind::Lost:
        break;
    }
    return "Not responding" + since;
}

std::string AlarmEventText(const AlarmEvent& event, std::string_view serial, char decimalSeparator)
{
    const std::string meter = "pH meter " + std::string(serial);
    if (event.kind == AlarmKind::Lost)
        return meter + (event.raised ? " not responding" : " responding again");
    const std::string value = AlarmNumberText(event.value, decimalSeparator);
    if (!event.raised)
        return "pH back in range: " + value;
    const char* side = event.kind == AlarmKind::High ? " above " : " below ";
    return "pH " + value + side + AlarmNumberText(event.limit, decimalSeparator);
}

const char* AlarmKindName(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::High:
        return "high";
    case AlarmKind::Low:
        return "low";
    case AlarmKind::Lost:
        break;
    }
    return "lost";
}

}  // namespace tirevo
