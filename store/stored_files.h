#pragma once
// Windows opens every file of a Startup folder at logon, not only shortcuts.
// A configuration keeps each other file whole, in the location's "Files" key:
// one REG_BINARY value per file item, named after it, beside the item's
// Enabled value (its path). Every save makes the Files key of each Startup
// folder, even when empty, so that a load knows the configuration speaks for
// the folder's files; a configuration without it (saved by an earlier
// version) speaks for the shortcuts only, and a load leaves the other files
// alone.
//
// A shortcut and a file may share an item name (Foo.exe.lnk and Foo.exe). The
// Enabled value and the stored switch of that name stay the shortcut's, and
// the file is in Files alone. A save writes a Links value for such a
// shortcut even when its bytes are not kept (an empty one), which tells a
// reader that the name is both.

#include "startup/registry_startup_list.h"
#include "store/configuration_layout.h"

#include <string>
#include <vector>

class ShortcutFolderStartupList;
struct LocationPlan;

// The stored copy of a Startup folder: its Enabled and Disabled keys as a
// registry list, in which the enabled items Files holds are file items.
class StoredFolderList : public RegistryStartupList {
public:
    explicit StoredFolderList(const StoredPaths& paths);

    bool Reload() override;
    // Leaves Enabled to the shortcut of a name a file item of `changed` shares.
    bool WriteItems(const std::vector<StartupItem>& changed) override;

private:
    void MarkFileItems();

    std::string filesPath;
    std::string linksPath;
};

// The bytes of every file item of `live`, by item name, for its Files key;
// none for lists of other kinds. A file that cannot be read, or has grown too
// large since the list was read, is left out.
StoredValues ReadFileItems(const StartupList& live);

// Makes the Files key of the live Startup folder `live` and writes `files`
// into it; marks in Links each name a shortcut shares whose bytes
// `shortcutFiles` does not hold. False when a file item of `live` has no
// bytes in `files`, or a write failed.
bool WriteStoredFiles(const StoredPaths& paths, const StartupList& live, const StoredValues& files,
                      const StoredValues& shortcutFiles);

// Whether the configuration has the Files key, and the bytes of its file items.
void ReadStoredFiles(const StoredPaths& paths, StoredLocation& location);

// Plans, as writes of their items, the stored files the folder does not hold
// byte for byte. What the folder holds that is no item is left alone, though
// the configuration holds a file of that name. Without a Files key, the
// folder's file items are kept out of the removals.
void PlanStoredFiles(const StoredLocation& stored, const ShortcutFolderStartupList& folder, LocationPlan& plan);

// Makes the plan's writes: entries through the live list, file items whole
// from the stored bytes. True when every one succeeded.
bool WritePlannedItems(const LocationPlan& plan, StartupList& live);

// True when the plan writes no file item.
bool WritesNoFile(const LocationPlan& plan);
