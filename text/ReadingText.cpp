#include "ReadingText.h"
