// How tirevo-cli COMMAND --help shows a command: its usage, what it does,
// and each option on one line with the value it takes, its range and its
// default, and the options it does not go with or needs.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tirevo {

class CliHelpFormatter : public CLI::Formatter {
public:
    // The usage lines are wrapped to this many columns.
    static constexpr std::size_t kWidth = 100;
    // Where an option's description starts.
    static constexpr std::size_t kColumn = 27;

    CliHelpFormatter();

    // The command's options as a usage line writes them, one token each:
    // "URL", "--point 1|2 VALUE", "[--serial S | --all]", "[--now]".
    static std::vector<std::string> Synopsis(const CLI::App& command);

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_option(const CLI::Option* option, bool positional) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
};

}  // namespace tirevo
