#include "CliCompletion.h"

#include <CLI/CLI.hpp>

#include <map>
#include <vector>

namespace tirevo {

namespace {

// The shell's words for the bash function.
constexpr const char* kHead = R"sh(# bash completion for tirevo-cli, written by the program from its own
# declarations of its commands and options.

_tirevo_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev="" before=""
    (( COMP_CWORD > 0 )) && prev=${COMP_WORDS[COMP_CWORD-1]}
    (( COMP_CWORD > 1 )) && before=${COMP_WORDS[COMP_CWORD-2]}
    # bash cuts "--format=csv" into "--format", "=" and "csv".
    if [[ $cur == "=" ]]; then
        cur=""
    elif [[ $prev == "=" ]]; then
        prev=$before
        before=""
        (( COMP_CWORD > 2 )) && before=${COMP_WORDS[COMP_CWORD-3]}
    fi
    COMPREPLY=()
)sh";

constexpr const char* kSerials = R"sh(        local program=${COMP_WORDS[0]}
        [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
        mapfile -t COMPREPLY < <(compgen -W "$("$program" list 2>/dev/null | cut -f1)" -- "$cur")
        return
        ;;
)sh";

enum class ValueKind { Serial, Folder, File, Command, Words, Own };

struct Value {
    ValueKind kind = ValueKind::Own;
    std::string words;
};

// What a value name asks for.
Value ValueOf(const std::string& name)
{
    if (name == "S")
        return {ValueKind::Serial, {}};
    if (name == "DIR")
        return {ValueKind::Folder, {}};
    // "FILE.pdf": a file, with the kind it should be named for the user.
    if (name == "FILE" || name.rfind("FILE.", 0) == 0)
        return {ValueKind::File, {}};
    if (name == "COMMAND")
        return {ValueKind::Command, {}};
    std::string words;
    std::string word;
    const auto take = [&words, &word] {
        bool literal = !word.empty();
        for (char c : word)
            literal = literal && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
        if (literal)
            words += (words.empty() ? "" : " ") + word;
        word.clear();
    };
    for (char c : name) {
        if (c == '|' || c == ' ')
            take();
        else
            word += c;
    }
    take();
    return words.empty() ? Value{} : Value{ValueKind::Words, words};
}

std::string LongNames(const CLI::App& app)
{
    std::string names;
    for (const CLI::Option* option : app.get_options())
        for (const std::string& name : option->get_lnames())
            names += (names.empty() ? "--" : " --") + name;
    return names;
}

std::string Reply(const std::string& compgen)
{
    return "        mapfile -t COMPREPLY < <(compgen " + compgen +
        " -- \"$cur\")\n        return\n        ;;\n";
}

// The branch of the shell's case for an option's value.
std::string Body(const Value& value)
{
    switch (value.kind) {
    case ValueKind::Serial:
        return kSerials;
    case ValueKind::Folder:
        return "        compopt -o filenames 2>/dev/null\n" + Reply("-d");
    case ValueKind::File:
        return "        compopt -o filenames 2>/dev/null\n" + Reply("-f");
    case ValueKind::Command:
        return Reply("-c");
    case ValueKind::Words:
        return Reply("-W \"" + value.words + "\"");
    case ValueKind::Own:
        break;
    }
    // A value of its own, such as a number: nothing to offer.
    return "        return\n        ;;\n";
}

}  // namespace

std::string BashCompletionScript(const CLI::App& program)
{
    std::vector<const CLI::App*> commands;
    for (const CLI::App* command : program.get_subcommands({}))
        if (!command->get_group().empty())
            commands.push_back(command);

    std::string commandWords;
    for (const CLI::App* command : commands)
        commandWords += command->get_name() + " ";
    std::string script = kHead;
    script += "    if (( COMP_CWORD == 1 )); then\n";
    script += "        mapfile -t COMPREPLY < <(compgen -W \"" + commandWords + LongNames(program) +
        "\" -- \"$cur\")\n        return\n    fi\n";

    // The values, by option: the same option takes the same value in every
    // command.
    std::map<std::string, Value> values;
    std::map<std::string, int> words;
    for (const CLI::App* command : commands) {
        for (const CLI::Option* option : command->get_options()) {
            if (!option->nonpositional() || option->get_expected_max() == 0)
                continue;
            for (const std::string& name : option->get_lnames()) {
                values.emplace("--" + name, ValueOf(option->get_type_name()));
                words.emplace("--" + name, option->get_type_size_max());
            }
        }
    }
    // One branch for the options that take the same kind of value.
    std::map<std::string, std::string> branches;  // body -> "--a|--b"
    for (const auto& [name, value] : values) {
        std::string& patterns = branches[Body(value)];
        patterns += (patterns.empty() ? "" : "|") + name;
    }
    script += "    case $prev in\n";
    for (const auto& [body, patterns] : branches)
        script += "    " + patterns + ")\n" + body;
    script += "    esac\n";
    // The second word of an option that takes two (--point 1 VALUE).
    std::string second;
    for (const auto& [name, count] : words)
        if (count > 1)
            second += (second.empty() ? "" : "|") + name;
    if (!second.empty())
        script += "    case $before in\n    " + second + ")\n        return\n        ;;\n    esac\n";

    script += "    case ${COMP_WORDS[1]} in\n";
    for (const CLI::App* command : commands)
        script += "    " + command->get_name() + ")\n" + Reply("-W \"" + LongNames(*command) + "\"");
    script += "    esac\n}\n\ncomplete -F _tirevo_cli tirevo-cli\n";
    return script;
}

}  // namespace tirevo
