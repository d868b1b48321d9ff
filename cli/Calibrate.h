// `calibrate`: one calibration point sent to the meter as the calibration
// page sends it, then the meter closed again.
#pragma once

#include "MeterClock.h"

#include <string>

namespace tirevo {

// Connects to serial, sends the command and closes. Returns the exit code;
// messages go to errFd.
int SendCalibration(MeterClock& clock, const std::string& serial, const std::string& command, int errFd);

}  // namespace tirevo
