// The twelve driver entry points implemented over libftdi1 and libusb, for
// systems without the vendor's D2XX library.
#pragma once

#include "FtApi.h"

namespace tirevo {

const FTDriverTable& FtdiDriverTable();

}  // namespace tirevo
