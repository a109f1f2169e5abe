#pragma once

#include "startup/startup_list.h"

#include <windows.h>

#include <cstddef>
#include <map>
#include <set>
#include <string>

// Files of a Startup folder larger than this are no items.
constexpr size_t kLargestFileItem = 1024 * 1024;
// Shortcut files larger than this are not kept whole, only by their target.
constexpr size_t kLargestShortcut = 64 * 1024;

// True when a file of that name is a file of the folder itself, named exactly
// so. Refused are the empty name, names holding a backslash, slash, colon or
// control character (another folder, a drive, a stream), names ending in a
// dot or a space (which the file system drops, "." and ".." among them) and
// device names (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any case,
// with or without an extension).
bool IsFolderFileName(const std::string& fileName);

// The name of the file an item of a Startup folder is, or, switched off,
// becomes when it is switched on: a shortcut's item name with ".lnk" added,
// another file's own name.
std::string FolderFileName(const StartupItem& item);

// The startup list of a Startup folder: each shortcut file in the folder is an
// enabled item (name = file name without extension, command = the shortcut's
// target path), each value of the disabled key a disabled item. Every other
// file Windows opens at logon is an enabled file item (name = whole file name,
// command = its path); sub-folders, hidden system files (desktop.ini) and
// files over kLargestFileItem are no items.
//
// Every reload walks the whole folder, but a shortcut file is read (its bytes,
// and its target through the shell) only when it is new to the list or when
// its size, last-write time or creation time differ from those it had when
// the list last read it; what was read then is used otherwise. Other files
// are listed from the walk alone, never opened. A file the list writes itself
// is read again by the next walk whatever its time stamps say.
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
    // True when the last walk met a shortcut file it could not open (held
    // open by another program without sharing, or not readable for the
    // user): the list lacks it.
    bool MissedEntries() const override { return missedShortcut; }

    // The file an enabled item of that name lives in.
    std::string ShortcutPath(const std::string& name) const { return folder + name + ".lnk"; }
    // The file a file item of that name is.
    std::string FilePath(const std::string& name) const { return folder + name; }
    // Makes `bytes` the whole shortcut file of the enabled item `name`,
    // without reading the list again; a failure leaves the old file or none.
    // Every write of a shortcut is false for a name IsFolderFileName refuses
    // with ".lnk" added.
    bool WriteShortcutFile(const std::string& name, const std::string& bytes);
    // The same for the file item `name`. A file item has no other way in:
    // WriteItem cannot make it from the item alone. False for a name
    // IsFolderFileName refuses, and for a path of 260 characters or more.
    bool WriteWholeFile(const std::string& name, const std::string& bytes);
    // True when the folder holds under that file name something that is no
    // item (a sub-folder, a hidden system file, a file over kLargestFileItem).
    bool LeavesOut(const std::string& name) const;
    // The whole shortcut file of the enabled item `name`, and the target the
    // shell reads from it when `target` is given, as the last reload read
    // them, so that nothing reads the file again; read now (the target left
    // empty) when the list has written the file since. False when there is no
    // such file, or one over kLargestShortcut.
    bool ShortcutFileBytes(const std::string& name, std::string& bytes, std::string* target = nullptr) const;

private:
    // What the folder walk returned for a shortcut file when the list last
    // read it, and what it read.
    struct KnownShortcut {
        bool Matches(const WIN32_FIND_DATAA& entry) const;

        DWORD sizeHigh;
        DWORD sizeLow;
        FILETIME creationTime;
        FILETIME lastWriteTime;
        std::string target;
        bool whole = false;  // `bytes` holds the file (not over kLargestShortcut)
        std::string bytes;
    };

    bool EnumerateFolder(const std::string& folderPath);
    bool WriteShortcuts(const std::string& folderPath, int selector);
    // Makes the next walk read the shortcut file `fileName` again.
    void Rewrote(const std::string& fileName);
    bool WasRewritten(const WIN32_FIND_DATAA& entry) const;

    std::string folder;
    HKEY disabledRoot;
    std::string disabledPath;
    // Keyed as the file system compares the file names the folder walk
    // returns; holds only files that the last walk returned and that parsed.
    std::map<std::wstring, KnownShortcut> known;
    // The file names (as written: a long name or its short form) of the
    // shortcut files the list wrote since the last walk.
    std::set<std::wstring> rewritten;
    bool missedShortcut = false;
};
