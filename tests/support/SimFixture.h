// The program's device layer bound to the simulated meter, with the meter's
// state and call record reset for each test.
#pragma once

#include "DriverBinding.h"
#include "SimControl.h"

#include <string>
#include <vector>

inline void BindSimulatedMeter()
{
    static const bool bound = tirevo::BindFTDriverLibrary(TIREVO_SIM_LIBRARY);
    (void)bound;
    sim::Reset();
}

// The bytes of each FT_Write call, in order.
inline std::vector<std::string> WriteCalls()
{
    std::vector<std::string> out;
    for (const auto& call : sim::CallsNamed("FT_Write"))
        out.push_back(call.data);
    return out;
}
