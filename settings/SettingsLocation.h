// Where the settings file of a program lives. A copy that is not installed
// keeps it beside the program whenever it can be kept there (a portable copy
// on a stick or in a user folder), else in the user's own configuration
// folder. An installed copy (the package, a system-wide `cmake --install`)
// always uses the user's own file, whoever runs it: root must not leave a
// file in /usr/bin that no package owns and that would seed everyone's.
#pragma once

#include <string>

namespace tirevo {

// Decided when the programs are built (TIREVO_INSTALLED), never by probing
// the program's folder.
enum class SettingsRule {
    BesideProgram,  // a copy that is not installed
    PerUser,        // an installed copy
};

struct SettingsLocation {
    std::string path;
    bool perUser = false;  // the file in the user's configuration folder
};

// ${XDG_CONFIG_HOME:-$HOME/.config}/tirevo/tirevo.INI; XDG_CONFIG_HOME and
// HOME count only when absolute, the account's home folder stands in for a
// missing HOME. Empty when no home folder is known at all.
std::string PerUserSettingsFile();

// The file beside the program when that file exists and can be read and
// written, or does not exist and its folder can be written; otherwise the
// per-user file. prepare = true (the window) creates the per-user folder and
// starts a missing per-user file as a copy of a readable file beside the
// program; prepare = false (a program that never writes) changes nothing on
// disk and, while there is no per-user file yet, names the readable file
// beside the program instead.
SettingsLocation ChooseSettingsFile(const std::string& programPath, bool prepare);

// The first readable tirevo/tirevo.INI in the folders of $XDG_CONFIG_DIRS
// (absolute ones only; /etc/xdg when none is set): a lab's shared defaults
// for an installed copy. Empty when there is none.
std::string SharedDefaultsFile();

// The installed copy's file: always the per-user file. prepare = true (the
// window) creates its folder and starts a missing one as a copy of the
// shared defaults; prepare = false changes nothing on disk and, while there
// is no per-user file yet, names the shared defaults instead. Empty when no
// home folder is known and (prepare = false) there are no shared defaults.
SettingsLocation ChooseInstalledSettingsFile(bool prepare);

// The file by the given rule: ChooseSettingsFile or ChooseInstalledSettingsFile.
SettingsLocation ChooseSettingsFile(const std::string& programPath, bool prepare, SettingsRule rule);

}  // namespace tirevo
