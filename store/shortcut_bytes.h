#pragma once
// A Startup-folder item keeps only the shortcut's name and target. So that a
// load brings back the very shortcut that was saved (arguments, working
// folder, icon, show command, hot key and all), a configuration also keeps the
// bytes of each shortcut file, in the location's "Links" key: one REG_BINARY
// value per item, named after it. Lists of other kinds have no such key.

#include "startup/startup_list.h"
#include "store/configuration_layout.h"

#include <string>

class ShellLinkFile;
class ShortcutFolderStartupList;

// The shortcut file of every enabled item of the Startup folder's list, by
// item name, for its "Links" key; none without a list. A file that cannot be
// read, or is too large, is left out.
StoredValues ReadShortcutFiles(const ShortcutFolderStartupList* folder);

// The whole file a load leaves for the enabled stored item `item`, whose
// stored shortcut file is `stored` (null when there is none): the stored
// file, when it loads as a shortcut whose target is the item's command
// (`fromStore` true); otherwise the plain shortcut to the command that the
// folder list's Add writes, made in memory. False when neither can be had.
// `reader` reads the stored file; one serves every item of a load, as one
// serves every file of a folder's walk.
bool ShortcutFileFor(ShellLinkFile& reader, const std::string* stored, const StartupItem& item, std::string& bytes,
                     bool& fromStore);
