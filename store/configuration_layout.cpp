#include "store/configuration_layout.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/registry_startup_list.h"
#include "startup/shortcut_folder_startup_list.h"
#include "store/stored_packaged_tasks.h"
#include "store/stored_services.h"

#include <algorithm>
#include <set>
#include <utility>

const char kConfigurationsKey[] = "Software\\Ostrel\\Veltrane";

std::string ConfigurationKeyPath(const std::string& name) { return std::string(kConfigurationsKey) + "\\" + name; }

bool IsConfigurationName(const std::string& name) {
    // A backslash would reach outside the configuration's own key.
    return !name.empty() && name.find('\\') == std::string::npos;
}

bool IsStorableName(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    // The staging key's paths are short and always fit; the final place's may not.
    for (int index = 0; index < kLocationCount; ++index) {
        for (const std::string* path : StoredPaths(name, index).Keys()) {
            if (!FitsRegistryPath(*path)) return false;
        }
    }
    return true;
}

StoredPaths::StoredPaths(const std::string& name, int locationIndex)
    : StoredPaths(Below(ConfigurationKeyPath(name), locationIndex)) {}

StoredPaths StoredPaths::Below(const std::string& configurationKey, int locationIndex) {
    StoredPaths paths;
    paths.kind = Location(locationIndex).kind;
    paths.locationKey = configurationKey + "\\" + LocationKeyName(locationIndex);
    // Its family keys are below the location key, and opened relative to it.
    if (paths.kind == LocationKind::PackagedApps) return paths;
    if (paths.kind == LocationKind::Services) {
        paths.startTypes = paths.locationKey + "\\Start";
        paths.delayedStarts = paths.locationKey + "\\Delayed";
        return paths;
    }
    paths.enabled = paths.locationKey + "\\Enabled";
    paths.disabled = paths.locationKey + "\\Disabled";
    paths.approved = paths.locationKey + "\\Approved";
    if (paths.kind == LocationKind::StartupFolder) {
        paths.links = paths.locationKey + "\\Links";
        paths.files = paths.locationKey + "\\Files";
    }
    return paths;
}

std::vector<const std::string*> StoredPaths::Keys() const {
    std::vector<const std::string*> keys;
    for (const std::string* path : {&locationKey, &enabled, &disabled, &links, &files, &approved, &startTypes,
                                    &delayedStarts}) {
        if (!path->empty()) keys.push_back(path);
    }
    return keys;
}

void BuildConfigurationPaths(const std::string& name, int locationIndex, std::string& locationKeyPath,
                             std::string& enabledPath, std::string& disabledPath) {
    const StoredPaths paths(name, locationIndex);
    locationKeyPath = paths.locationKey;
    enabledPath = paths.enabled;
    disabledPath = paths.disabled;
}

std::unique_ptr<StartupList> OpenStoredLocation(const StoredPaths& paths) {
    switch (paths.kind) {
        case LocationKind::StartupFolder: return std::make_unique<StoredFolderList>(paths);
        case LocationKind::Services: return std::make_unique<StoredServiceList>(paths);
        case LocationKind::PackagedApps: return std::make_unique<StoredPackagedTaskList>(paths);
        case LocationKind::RegistryValues: break;
    }
    return std::make_unique<RegistryStartupList>(0, HKEY_CURRENT_USER, paths.enabled, HKEY_CURRENT_USER,
                                                 paths.disabled);
}

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

bool IsFolderEntryKind(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

bool IsStoredFileKind(DWORD type, size_t) { return type == REG_BINARY; }

bool IsStoredApprovalKind(DWORD type, size_t size) { return type == REG_BINARY && size >= 4; }

StoredValues ReadStoredValues(const StartupList& stored, const std::string& keyPath, size_t largest,
                              ValueKindCheck check, std::set<std::string>* damaged) {
    StoredValues values;
    // An empty path would open HKEY_CURRENT_USER itself.
    if (keyPath.empty()) return values;
    const RegKey key = OpenRegistryKey(HKEY_CURRENT_USER, keyPath, kRegistryRead);
    if (!key) return values;
    // Names compare as the registry compares them.
    std::map<std::wstring, const std::string*> wanted;
    for (const StartupItem& item : stored.Items()) {
        if (item.enabled != 0) wanted.emplace(NameKey(item.name), &item.name);
    }
    // A value the check refuses is kept out, its item's name noted.
    auto keep = [&](const std::string& name, DWORD type, std::string_view data) {
        if (check == nullptr || check(type, data.size())) {
            values[name].assign(data);
        } else if (damaged != nullptr) {
            damaged->insert(name);
        }
    };
    // One walk over the key reads every value once, unless a value too large
    // to keep would make the walk's buffer that large: then each is asked for.
    if (LongestValueData(key.get()) <= largest) {
        ForEachRegistryValue(key.get(), [&](std::string_view name, DWORD type, std::string_view data) {
            auto found = wanted.find(NameKey(std::string(name)));
            if (found != wanted.end()) keep(*found->second, type, data);
        }, true);
        return values;
    }
    std::string bytes;
    DWORD type = REG_NONE;
    for (const auto& [nameKey, name] : wanted) {
        if (GetRegistryBinary(key.get(), *name, largest, bytes, &type)) keep(*name, type, bytes);
    }
    return values;
}

bool WriteStoredValues(const std::string& keyPath, const StoredValues& values) {
    if (values.empty()) return true;
    // A location without such a key keeps none of these values.
    if (keyPath.empty()) return false;
    const RegKey key = CreateRegistryKey(HKEY_CURRENT_USER, keyPath, kRegistryCreate);
    bool allWritten = static_cast<bool>(key);
    for (const auto& [name, bytes] : values) {
        if (key && !SetRegistryBinary(key.get(), name, bytes)) allWritten = false;
    }
    return allWritten;
}

namespace {

void ReadStoredFiles(const StoredPaths& paths, StoredLocation& location) {
    location.holdsFiles = static_cast<bool>(OpenRegistryKey(HKEY_CURRENT_USER, paths.files, kRegistryRead));
    const std::vector<StartupItem>& items = location.items->Items();
    if (std::any_of(items.begin(), items.end(), [](const StartupItem& item) { return item.IsFile(); })) {
        location.files =
            ReadStoredValues(*location.items, paths.files, kLargestFileItem, IsStoredFileKind, &location.damagedFiles);
    }
}

}  // namespace

StoredConfiguration ReadConfiguration(const StartupLocationSet& locations, const std::string& name) {
    StoredConfiguration configuration;
    for (int index = 0; index < kLocationCount; ++index) {
        if (locations.Slot(index) == nullptr) continue;
        const StoredPaths paths(name, index);
        // Configurations saved where these locations did not exist say
        // nothing about them, which must not read as "empty".
        if (Location(index).keyMarksPresence && !OpenRegistryKey(HKEY_CURRENT_USER, paths.locationKey, kRegistryRead)) continue;
        StoredLocation location;
        location.locationIndex = index;
        location.items = OpenStoredLocation(paths);
        if (IsFolderLocation(index)) location.shortcutFiles = ReadStoredValues(*location.items, paths.links, kLargestShortcut);
        if (IsFolderLocation(index)) ReadStoredFiles(paths, location);
        location.approvals = ReadStoredValues(*location.items, paths.approved, kLargestApproval, IsStoredApprovalKind,
                                              &location.damagedApprovals);
        configuration.locations.push_back(std::move(location));
    }
    return configuration;
}
