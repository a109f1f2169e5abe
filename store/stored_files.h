#pragma once
// Windows opens every file of a Startup folder at logon, not only shortcuts.
// A save keeps each other file whole, in the location's "Files" key: one
// REG_BINARY value per file item, named after it, beside the item's Enabled
// value (its path). Every save makes the Files key of each Startup folder,
// even when empty, so that a load knows the configuration speaks for the
// folder's files; a configuration without it (saved by an earlier version)
// speaks for the shortcuts only, and a load leaves the other files alone.
// How a stored folder is read back: StoredFolderList.

#include "startup/startup_list.h"
#include "store/configuration_layout.h"

#include <string>

class ShortcutFolderStartupList;

// The bytes of every file item of the Startup folder's list, by item name,
// for its Files key; none without a list. A file that cannot be read, or has
// grown too large since the list was read, is left out.
StoredValues ReadFileItems(const ShortcutFolderStartupList* folder);

// Makes the Files key of the live Startup folder `live` and writes `files`
// into it; marks in Links each name a shortcut shares whose bytes
// `shortcutFiles` does not hold. False when a file item of `live` has no
// bytes in `files`, or a write failed.
bool WriteStoredFiles(const StoredPaths& paths, const StartupList& live, const StoredValues& files,
                      const StoredValues& shortcutFiles);
