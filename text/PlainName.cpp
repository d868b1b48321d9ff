#include "PlainName.h"

namespace tirevo {

std::string PlainName(std::string_view text, std::string_view alsoKept)
{
    std::string name;
    name.reserve(text.size());
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || alsoKept.find(c) != std::string_view::npos;
        name += plain ? c : '_';
    }
    return name;
}

}  // namespace tirevo
