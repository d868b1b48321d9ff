#include "Calibrate.h"

#include "ExitCode.h"
#include "FdOutput.h"
#include "MeterSession.h"

namespace tirevo {

int SendCalibration(MeterClock& clock, const std::string& serial, const std::string& command, int errFd)
{
    MeterSession session(clock);
    if (session.Connect(serial) != ConnectResult::Connected) {
        WriteAll(errFd,
                 "tirevo-cli: the meter " + serial + " cannot be opened (is another program using it?)\n");
        return kExitNoMeter;
    }
    session.SendCommand(command);
    // A converter gone during the command has not passed it on: no success
    // may be claimed for it.
    const bool delivered = session.Status() == LinkStatus::Connected;
    session.Close();
    if (!delivered) {
        WriteAll(errFd,
                 "tirevo-cli: USB pH meter S/N " + serial + " not responding; " + command + " not sent\n");
        return kExitNoMeter;
    }
    WriteAll(errFd, "tirevo-cli: sent " + command + " to USB pH meter S/N " + serial + "\n");
    return kExitDone;
}

}  // namespace tirevo
