#include "SettingsLocation.h"

#include "SettingsFile.h"
#include "SettingsFolders.h"

namespace tirevo {

using namespace settingsfolders;

SettingsLocation ChooseSettingsFile(const std::string& programPath, bool prepare)
{
    const std::string beside = IniPathForProgram(programPath);
    if (CanKeepBeside(beside))
        return {beside, false};
    const std::string perUser = PerUserSettingsFile();
    // Without a home folder the file beside the program is all there is; a
    // save then reports that it cannot be written.
    if (perUser.empty())
        return {beside, false};

    const bool besideReadable = CanRead(beside);
    if (!prepare) {
        if (!Exists(perUser) && besideReadable)
            return {beside, false};
        return {perUser, true};
    }
    if (MakeFolders(FolderOf(perUser)) && besideReadable && !Exists(perUser))
        CopyIntoNewFile(beside, perUser);
    return {perUser, true};
}

SettingsLocation ChooseInstalledSettingsFile(bool prepare)
{
    const std::string perUser = PerUserSettingsFile();
    const std::string shared = SharedDefaultsFile();
    if (!prepare) {
        if ((perUser.empty() || !Exists(perUser)) && !shared.empty())
            return {shared, false};
        return {perUser, true};
    }
    // Without a home folder there is nowhere to keep anything; the shared
    // file is never written, not even by root.
    if (perUser.empty())
        return {perUser, true};
    if (MakeFolders(FolderOf(perUser)) && !shared.empty() && !Exists(perUser))
        CopyIntoNewFile(shared, perUser);
    return {perUser, true};
}

SettingsLocation ChooseSettingsFile(const std::string& programPath, bool prepare, SettingsRule rule)
{
    return rule == SettingsRule::PerUser ? ChooseInstalledSettingsFile(prepare)
                                         : ChooseSettingsFile(programPath, prepare);
}

RecordsLocation ChooseRecordsFolder(const std::string& programPath, SettingsRule rule)
{
    if (rule == SettingsRule::BesideProgram && CanKeepBeside(IniPathForProgram(programPath)))
        return {FolderOf(programPath), false};
    const std::string perUser = PerUserRecordsFolder();
    if (perUser.empty())
        return {FolderOf(programPath), false};
    return {perUser, true};
}

}  // namespace tirevo
