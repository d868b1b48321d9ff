#include "MeterChoice.h"

namespace tirevo {

namespace {

constexpr const char* kOtherMark = "\t(not a meter)";

}  // namespace

MeterChoice ChooseMeter(const std::vector<ListedDevice>& listed, const std::optional<std::string>& serial)
{
    std::vector<const ListedDevice*> meters;
    for (const ListedDevice& device : listed)
        if (device.meter)
            meters.push_back(&device);

    MeterChoice choice;
    if (serial) {
        // Only a listed meter is opened: the commands of the connection must
        // not reach some other converter that happens to carry this number.
        for (const ListedDevice* meter : meters) {
            if (meter->serial == *serial) {
                choice.status = MeterChoiceStatus::Chosen;
                choice.serial = *serial;
                return choice;
            }
        }
        choice.status = MeterChoiceStatus::NotListed;
        choice.message = "no meter with serial number " + *serial + " is attached";
        if (!meters.empty()) {
            choice.message += "; attached:";
            for (const ListedDevice* meter : meters)
                choice.message += " " + meter->serial;
        }
        return choice;
    }
    if (meters.empty()) {
        choice.status = MeterChoiceStatus::NoMeter;
        choice.message = "no pH meter attached";
        return choice;
    }
    if (meters.size() > 1) {
        choice.status = MeterChoiceStatus::Several;
        choice.message = "several pH meters attached; choose one with --serial:";
        for (const ListedDevice* meter : meters)
            choice.message += "\n  " + meter->serial;
        return choice;
    }
    choice.status = MeterChoiceStatus::Chosen;
    choice.serial = meters.front()->serial;
    return choice;
}

std::string ListLine(const ListedDevice& device)
{
    std::string line = device.serial + "\t" + device.description;
    if (!device.meter)
        line += kOtherMark;
    return line + "\n";
}

}  // namespace tirevo
