// What tirevo-cli's exit status tells a script.
#pragma once

namespace tirevo {

enum ExitCode : int {
    kExitDone = 0,
    kExitNoMeter = 1,  // no meter, not the one asked for, or it cannot be opened
    // publish, log --mqtt: the MQTT module is missing or cannot be loaded (an
    // incomplete installation, as with a missing converter driver).
    kExitNoModule = 1,
    kExitUsage = 2,    // usage or an invalid value
    kExitLogFile = 3,  // the log file cannot be created or written
    kExitOutput = 3,   // stdout cannot be written (other than a reader gone away)
    // The broker refuses the login: as with a log file, the readings have
    // nowhere to go.
    kExitBroker = 3,
    kExitGaveUp = 4,       // a lost meter did not come back in time
    kExitNotStable = 5,    // measure, calibrate: no stable reading in time
    kExitCheckFailed = 6,  // calibrate: the as-left reading is outside the tolerance
    // verify: the audit trail, a records row or a log file is not as the
    // trail recorded it.
    kExitRecordsAltered = 7,
};

}  // namespace tirevo
