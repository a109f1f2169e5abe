#pragma once

#include "startup/startup_list.h"

#include <windows.h>

#include <string>

// The startup list of a Startup folder: each shortcut file in the folder is an
// enabled item (name = file name without extension, command = the shortcut's
// target path), each value of the disabled key a disabled item.
class ShortcutFolderStartupList : public StartupList {
public:
    // `folder` ends in a backslash.
    ShortcutFolderStartupList(int locationIndex, std::string folder, HKEY disabledRoot, std::string disabledPath);
    ~ShortcutFolderStartupList() override;

    bool Reload() override;
    bool Store() override;
    bool Add(const StartupItem& item) override;
    bool Remove(const StartupItem& item) override;
    HANDLE StartWatch() override;
    HANDLE RearmWatch(HANDLE handle) override;
    void StopWatch(HANDLE handle) override;

    // The file an enabled item of that name lives in.
    std::string ShortcutPath(const std::string& name) const { return folder + name + ".lnk"; }

private:
    bool EnumerateShortcuts(const std::string& folderPath);
    bool WriteShortcuts(const std::string& folderPath, int selector);

    std::string folder;
    HKEY disabledRoot;
    std::string disabledPath;
};
