#include "CliHelpFormatter.h"

#include <algorithm>

namespace tirevo {

namespace {

bool IsFlag(const CLI::Option* option) { return option->nonpositional() && option->get_expected_max() == 0; }

std::string Written(const CLI::Option* option)
{
    if (!option->nonpositional())
        return option->get_name(true, false);
    return option->get_name() + (IsFlag(option) ? std::string() : " " + option->get_type_name());
}

std::string Names(const std::set<CLI::Option*>& options, const char* joiner)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : options)
        names.push_back(option->get_name());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : joiner) + name;
    return out;
}

}  // namespace

CliHelpFormatter::CliHelpFormatter()
{
    column_width(kColumn);
    label("Positionals", "Arguments");
}

std::vector<std::string> CliHelpFormatter::Synopsis(const CLI::App& command)
{
    std::vector<std::string> tokens;
    const std::vector<const CLI::Option*> options = command.get_options(
        [&command](const CLI::Option* option) { return option != command.get_help_ptr(); });
    for (std::size_t i = 0; i < options.size(); ++i) {
        const CLI::Option* option = options[i];
        if (option->get_required()) {
            tokens.push_back(Written(option));
            continue;
        }
        std::string token = "[" + Written(option);
        // Two options that exclude each other, declared one after the
        // other, share a pair of brackets.
        while (i + 1 < options.size() &&
               option->get_excludes().count(const_cast<CLI::Option*>(options[i + 1]))) {
            option = options[++i];
            token += " | " + Written(option);
        }
        tokens.push_back(token + "]");
    }
    return tokens;
}

std::string CliHelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const
{
    std::string usage = "Usage:\n  " + name;
    std::size_t column = usage.size() - usage.rfind('\n') - 1;
    const std::size_t indent = column + 1;
    for (const std::string& token : Synopsis(*app)) {
        if (column + 1 + token.size() > kWidth) {
            usage += "\n" + std::string(indent, ' ') + token;
            column = indent + token.size();
        } else {
            usage += " " + token;
            column += 1 + token.size();
        }
    }
    return usage + "\n\n" + app->get_description() + "\n" + make_positionals(app) + make_groups(app, mode) +
        "\nA fraction takes a point or the locale's decimal separator (0.05, or 0,05 where that is the "
        "locale's).\n";
}

std::string CliHelpFormatter::make_option(const CLI::Option* option, bool positional) const
{
    std::string names = make_option_name(option, positional);
    for (std::size_t comma = names.find(','); comma != std::string::npos; comma = names.find(',', comma + 2))
        names.replace(comma, 1, ", ");
    std::string line = "  " + names;
    if (!positional)
        line += make_option_opts(option);
    // One line each, however long the name.
    line.resize(std::max(line.size() + 2, kColumn), ' ');
    return line + make_option_desc(option) + "\n";
}

std::string CliHelpFormatter::make_option_opts(const CLI::Option* option) const
{
    return IsFlag(option) ? std::string() : " " + option->get_type_name();
}

std::string CliHelpFormatter::make_option_desc(const CLI::Option* option) const
{
    std::string text = option->get_description();
    if (option->get_required())
        text += "; required";
    if (!option->get_excludes().empty())
        text += "; not with " + Names(option->get_excludes(), " or ");
    if (!option->get_needs().empty())
        text += "; needs " + Names(option->get_needs(), " and ");
    return text;
}

}  // namespace tirevo
