// The options the program reads from its settings file, with their defaults.
#pragma once

#include <cstdint>

namespace tirevo {

struct TSettings {
    int32_t top = 50;
    int32_t left = 50;
    double ph1 = 4.01;
    double ph2 = 7.0;
    uint32_t interval = 1000;  // poll interval, ms; 0 = never poll
    bool UseTimeStamp = true;
    char Separator = '\t';
};

}  // namespace tirevo
