// Which meter a command works with: the one asked for by serial number, or
// the only one attached. Several meters and no --serial open nothing.
#pragma once

#include "MeterList.h"

#include <optional>
#include <string>
#include <vector>

namespace tirevo {

enum class MeterChoiceStatus { Chosen, NoMeter, NotListed, Several };

struct MeterChoice {
    MeterChoiceStatus status = MeterChoiceStatus::NoMeter;
    std::string serial;   // when Chosen
    std::string message;  // what stderr says when not Chosen (one or more lines)
};

// listed holds the meters as ListDevices() returns them.
MeterChoice ChooseMeter(const std::vector<ListedDevice>& listed, const std::optional<std::string>& serial);

// One line of `list`: "SERIAL<TAB>DESCRIPTION", other converters marked.
std::string ListLine(const ListedDevice& device);

}  // namespace tirevo
