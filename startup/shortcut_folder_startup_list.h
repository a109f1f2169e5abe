#pragma once

#include "startup/startup_list.h"

#include <windows.h>

#include <map>
#include <string>

// The startup list of a Startup folder: each shortcut file in the folder is an
// enabled item (name = file name without extension, command = the shortcut's
// target path), each value of the disabled key a disabled item.
//
// Every reload walks the whole folder, but a shortcut file is loaded through
// the shell only when it is new to the list or when its size, last-write time
// or creation time differ from those it had when the list last parsed it; the
// target read then is used otherwise. The list's own writes forget the file
// they write, so that a change the list made itself never depends on a time
// stamp.
class ShortcutFolderStartupList : public StartupList {
public:
    // `folder` ends in a backslash.
    ShortcutFolderStartupList(int locationIndex, std::string folder, HKEY disabledRoot, std::string disabledPath);
    ~ShortcutFolderStartupList() override;

    bool Reload() override;
    bool Store() override;
    bool Add(const StartupItem& item) override;
    bool Remove(const StartupItem& item) override;
    bool WriteItem(const StartupItem& item) override;
    bool DeleteItem(const StartupItem& item) override;
    bool MayChange(unsigned char enabled) const override;
    HANDLE StartWatch() override;
    HANDLE RearmWatch(HANDLE handle) override;
    void StopWatch(HANDLE handle) override;

    // The file an enabled item of that name lives in.
    std::string ShortcutPath(const std::string& name) const { return folder + name + ".lnk"; }
    // Makes `bytes` the whole shortcut file of the enabled item `name`,
    // without reading the list again; a failure leaves the old file or none.
    bool WriteShortcutFile(const std::string& name, const std::string& bytes);

private:
    // What the folder walk returned for a shortcut file when the list last
    // parsed it, and the target it read.
    struct ParsedShortcut {
        bool Matches(const WIN32_FIND_DATAA& entry) const;

        DWORD sizeHigh;
        DWORD sizeLow;
        FILETIME creationTime;
        FILETIME lastWriteTime;
        std::string target;
    };

    bool EnumerateShortcuts(const std::string& folderPath);
    bool WriteShortcuts(const std::string& folderPath, int selector);
    // Drops what is kept of the file at `path`, under the name the file system
    // gives it (which may differ from the path's in case, or be the long name
    // of a short one).
    void ForgetShortcut(const std::string& path);

    std::string folder;
    HKEY disabledRoot;
    std::string disabledPath;
    // Keyed by the file name the folder walk returns; holds only files that
    // the last walk returned and that parsed.
    std::map<std::string, ParsedShortcut> parsed;
};
