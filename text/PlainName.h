// A meter's serial number where only plain characters may stand: a file
// name, an MQTT topic level, an id Home Assistant takes. The meter may hold
// any bytes there (a "/", a space, a Latin-1 letter).
#pragma once

#include <string>
#include <string_view>

namespace tirevo {

// Letters A-Z and a-z, digits, "_" and "-" stay, and so does each character
// of alsoKept; every other byte is written as "_".
std::string PlainName(std::string_view text, std::string_view alsoKept = {});

}  // namespace tirevo
