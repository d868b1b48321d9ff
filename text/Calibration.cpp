#include "Calibration.h"
