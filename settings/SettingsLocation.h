// Where the settings file of a program lives: beside the program whenever it
// can be kept there (a portable copy on a stick or in a user folder), else in
// the user's own configuration folder (a program installed system-wide).
#pragma once

#include <string>

namespace tirevo {

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

// Where the program keeps its records (samples.csv and the like): beside the
// program when its settings file is kept there, otherwise the user's own
// ${XDG_DATA_HOME:-$HOME/.local/share}/tirevo, which is made when first
// needed (perUser). Empty folder when no home folder is known at all.
struct RecordsLocation {
    std::string folder;
    bool perUser = false;
};
RecordsLocation ChooseRecordsFolder(const std::string& programPath);

}  // namespace tirevo
