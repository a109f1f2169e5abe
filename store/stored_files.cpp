#include "store/stored_files.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/shortcut_folder_startup_list.h"

#include <set>

StoredValues ReadFileItems(const ShortcutFolderStartupList* folder) {
    StoredValues files;
    if (folder == nullptr) return files;
    std::string bytes;
    for (const StartupItem& item : folder->Items()) {
        if (item.IsFile() && ReadWholeFile(folder->FilePath(item.name), kLargestFileItem, bytes)) files[item.name] = bytes;
    }
    return files;
}

bool WriteStoredFiles(const StoredPaths& paths, const StartupList& live, const StoredValues& files,
                      const StoredValues& shortcutFiles) {
    if (paths.files.empty()) return true;
    const RegKey key = CreateRegistryKey(HKEY_CURRENT_USER, paths.files, kRegistryCreate);
    bool allStored = static_cast<bool>(key);
    const std::set<std::wstring> shared = NamesSharedWithShortcuts(live.Items());
    StoredValues marks;
    for (const StartupItem& item : live.Items()) {
        if (!item.IsFile()) continue;
        auto bytes = files.find(item.name);
        // A file that could not be read is not left out: the save fails.
        if (!key || bytes == files.end() || !SetRegistryBinary(key.get(), item.name, bytes->second)) allStored = false;
        // An empty Links value where the shortcut's bytes are not kept.
        if (shared.count(NameKey(item.name)) != 0 && shortcutFiles.count(item.name) == 0) marks[item.name] = "";
    }
    return WriteStoredValues(paths.links, marks) && allStored;
}
