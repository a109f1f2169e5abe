#include "store/stored_files.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/shortcut_folder_startup_list.h"
#include "store/load_plan.h"

#include <algorithm>
#include <set>
#include <utility>

StoredFolderList::StoredFolderList(const StoredPaths& paths)
    : RegistryStartupList(0, HKEY_CURRENT_USER, paths.enabled, HKEY_CURRENT_USER, paths.disabled),
      filesPath(paths.files),
      linksPath(paths.links) {
    // The base has read both keys.
    MarkFileItems();
}

bool StoredFolderList::Reload() {
    RegistryStartupList::Reload();
    MarkFileItems();
    return true;
}

void StoredFolderList::MarkFileItems() {
    const RegKey files = OpenRegistryKey(HKEY_CURRENT_USER, filesPath, kRegistryRead);
    if (!files) return;
    std::set<std::wstring> fileNames;
    for (const std::string& name : EnumerateRegistryValueNames(files.get())) fileNames.insert(NameKey(name));
    if (fileNames.empty()) return;
    const RegKey links = OpenRegistryKey(HKEY_CURRENT_USER, linksPath, kRegistryRead);
    const size_t read = items.size();
    for (size_t at = 0; at < read; ++at) {
        if (items[at].enabled == 0 || fileNames.count(NameKey(items[at].name)) == 0) continue;
        if (!links || !HasRegistryValue(links.get(), items[at].name)) {
            items[at].kind = ItemKind::File;
            continue;
        }
        // The Enabled value is the shortcut's; the file has none of its own.
        StartupItem file(items[at].name, items[at].name, 1);
        file.kind = ItemKind::File;
        items.push_back(std::move(file));
    }
}

bool StoredFolderList::WriteItems(const std::vector<StartupItem>& changed) {
    const std::set<std::wstring> shared = NamesSharedWithShortcuts(changed);
    if (shared.empty()) return RegistryStartupList::WriteItems(changed);
    std::vector<StartupItem> written;
    for (const StartupItem& item : changed) {
        if (!item.IsFile() || shared.count(NameKey(item.name)) == 0) written.push_back(item);
    }
    return RegistryStartupList::WriteItems(written);
}

StoredValues ReadFileItems(const StartupList& live) {
    StoredValues files;
    const auto* folder = dynamic_cast<const ShortcutFolderStartupList*>(&live);
    if (folder == nullptr) return files;
    std::string bytes;
    for (const StartupItem& item : live.Items()) {
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

void ReadStoredFiles(const StoredPaths& paths, StoredLocation& location) {
    location.holdsFiles = static_cast<bool>(OpenRegistryKey(HKEY_CURRENT_USER, paths.files, kRegistryRead));
    const std::vector<StartupItem>& items = location.items->Items();
    if (std::any_of(items.begin(), items.end(), [](const StartupItem& item) { return item.IsFile(); })) {
        location.files = ReadStoredValues(*location.items, paths.files, kLargestFileItem);
    }
}

void PlanStoredFiles(const StoredLocation& stored, const ShortcutFolderStartupList& folder, LocationPlan& plan) {
    if (!stored.holdsFiles) {
        plan.removals.erase(std::remove_if(plan.removals.begin(), plan.removals.end(),
                                           [](const StartupItem& item) { return item.IsFile(); }),
                            plan.removals.end());
        return;
    }
    std::string present;
    for (const StartupItem& item : stored.items->Items()) {
        if (!item.IsFile() || folder.LeavesOut(item.name)) continue;
        auto bytes = stored.files.find(item.name);
        // A file larger than the stored one is not read at all.
        if (bytes != stored.files.end() && ReadWholeFile(folder.FilePath(item.name), bytes->second.size(), present) &&
            present == bytes->second) {
            continue;
        }
        plan.writes.push_back(item);
    }
}

namespace {

bool WriteStoredFile(const LocationPlan& plan, const StartupItem& item, StartupList& live) {
    auto* folder = dynamic_cast<ShortcutFolderStartupList*>(&live);
    auto bytes = plan.stored->files.find(item.name);
    return folder != nullptr && bytes != plan.stored->files.end() && folder->WriteWholeFile(item.name, bytes->second);
}

}  // namespace

bool WritePlannedItems(const LocationPlan& plan, StartupList& live) {
    if (WritesNoFile(plan)) return live.WriteItems(plan.writes);
    std::vector<StartupItem> entries;
    bool written = true;
    for (const StartupItem& item : plan.writes) {
        if (!item.IsFile()) {
            entries.push_back(item);
        } else if (!WriteStoredFile(plan, item, live)) {
            written = false;
        }
    }
    return live.WriteItems(entries) && written;
}

bool WritesNoFile(const LocationPlan& plan) {
    return std::none_of(plan.writes.begin(), plan.writes.end(), [](const StartupItem& item) { return item.IsFile(); });
}
