// The twelve driver entry points implemented over libftdi1 and libusb, for
// systems without the vendor's D2XX library.
#pragma once

#include "FtApi.h"

namespace tirevo {

const FTDriverTable& FtdiDriverTable();

// Tirevo_GetRefusedDevices of this layer: the converters of the last listing
// whose strings libusb would not let us read (LIBUSB_ERROR_ACCESS).
DWORD FtdiRefusedDevices(TIREVO_REFUSED_DEVICE* devices, DWORD max);

}  // namespace tirevo
