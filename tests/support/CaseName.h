// Names the rows of a parameterised GoogleTest table after their "what"
// field, with every character a test name cannot hold made "_".
#pragma once

#include <cctype>
#include <string>

struct CaseName {
    template <typename Info> std::string operator()(const Info& info) const
    {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    }
};
