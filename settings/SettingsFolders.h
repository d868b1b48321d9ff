// What the choice of the settings file and the records folder needs to know
// of the file system, one implementation per platform (SettingsFolders_posix,
// SettingsFolders_win); the choice itself is the same everywhere.
#pragma once

#include <string>

namespace tirevo::settingsfolders {

// The folder part of a path ("." without one).
std::string FolderOf(const std::string& path);
bool Exists(const std::string& path);
// Whether this process can open the file for reading.
bool CanRead(const std::string& path);
// A file beside the program can be kept there when it can be read (its other
// lines survive a save) and written, or when it can be created.
bool CanKeepBeside(const std::string& iniPath);
// Creates each missing folder of the path; the ones that exist stay as they
// are. False when one cannot be made.
bool MakeFolders(const std::string& folder);
// A new file with the bytes of source. A file that appeared meanwhile is left
// alone; a copy that fails half-way is removed, so that the next start tries
// again.
void CopyIntoNewFile(const std::string& source, const std::string& target);
// The user's own records folder, or empty when no such folder is known.
std::string PerUserRecordsFolder();

}  // namespace tirevo::settingsfolders
