// Apart from DriverLoader_win.cpp: <windows.h> and the driver header each
// have their own DWORD.
#include "DriverBinding.h"

namespace tirevo {

PFN_Tirevo_GetRefusedDevices BuiltinRefusedDevices() { return nullptr; }

}  // namespace tirevo
