// State shared by the window's handlers, alive as long as the window.
#pragma once

#include "LogFile.h"

#include <string>

struct TLinkState {
    bool Connected = false;   // a meter was connected; stays set until exit
    bool DeviceOpen = false;  // the device handle is open and configured
    bool Logging = false;     // data collection to disk is on
    std::string MeterSerial;  // serial number of the meter chosen for connection
    std::string ReceiveText;  // received characters not yet taken as lines
    std::string IniPath;      // full path of the settings file
    std::string LogFileName;  // name of the current log file
    TLogFile LogFile;         // open from the start to the stop of collection
};
