#pragma once

#include "startup/startup_list.h"

#include <windows.h>

#include <cstddef>
#include <map>
#include <string>

// Files of a Startup folder larger than this are no items.
constexpr size_t kLargestFileItem = 1024 * 1024;

// The startup list of a Startup folder: each shortcut file in the folder is an
// enabled item (name = file name without extension, command = the shortcut's
// target path), each value of the disabled key a disabled item. Every other
// file Windows opens at logon is an enabled file item (name = whole file name,
// command = its path); sub-folders, hidden system files (desktop.ini) and
// files over kLargestFileItem are no items.
//
// Every reload walks the whole folder, but a shortcut file is loaded through
// the shell only when it is new to the list or when its size, last-write time
// or creation time differ from those it had when the list last parsed it; the
// target read then is used otherwise. Other files are listed from the walk
// alone, never opened. The list's own writes forget the file they write, so
// that a change the list made itself never depends on a time stamp.
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
    // The file a file item of that name is.
    std::string FilePath(const std::string& name) const { return folder + name; }
    // Makes `bytes` the whole shortcut file of the enabled item `name`,
    // without reading the list again; a failure leaves the old file or none.
    bool WriteShortcutFile(const std::string& name, const std::string& bytes);
    // The same for the file item `name`. A file item has no other way in:
    // WriteItem cannot make it from the item alone. False for a name that is
    // no plain file name, and for a path of 260 characters or more.
    bool WriteWholeFile(const std::string& name, const std::string& bytes);
    // True when the folder holds under that file name something that is no
    // item (a sub-folder, a hidden system file, a file over kLargestFileItem).
    bool LeavesOut(const std::string& name) const;

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

    bool EnumerateFolder(const std::string& folderPath);
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
