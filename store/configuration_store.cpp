#include "store/configuration_store.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/registry_startup_list.h"
#include "store/approvals.h"
#include "store/shortcut_bytes.h"

#include <map>
#include <memory>
#include <utility>

const char kConfigurationsKey[] = "Software\\Ostrel\\Veltrane";

namespace {

constexpr UINT kMonitorLoadStarts = WM_USER + 314;  // 1338
constexpr UINT kMonitorLoadEnded = WM_USER + 315;   // 1339

LoadFillObserver loadFillObserver = nullptr;

std::string ConfigurationKeyPath(const std::string& name) { return std::string(kConfigurationsKey) + "\\" + name; }

// The three keys of one location inside a configuration.
struct StoredPaths {
    StoredPaths(const std::string& name, int locationIndex) {
        BuildConfigurationPaths(name, locationIndex, locationKey, enabled, disabled);
        links = locationKey + "\\Links";
        approved = locationKey + "\\Approved";
    }
    std::string locationKey;
    std::string enabled;
    std::string disabled;
    std::string links;     // the shortcut files of a Startup folder
    std::string approved;  // Task Manager's switches
};

// The stored copy of one location: a registry list over its Enabled and
// Disabled keys inside the configuration.
std::unique_ptr<StartupList> OpenStoredLocation(const StoredPaths& paths) {
    return std::make_unique<RegistryStartupList>(0, HKEY_CURRENT_USER, paths.enabled, HKEY_CURRENT_USER,
                                                 paths.disabled);
}

// True when every item of `source` is now in `target`: in the same place,
// under the same name, as a value of the same type and bytes. A shortcut's
// target reads back differently from the text set (the shell resolves it), so
// when `shortcutsByName` the enabled items are checked by name only.
// Of two source items with one name in one place the later one counts, as it
// is the one a registry key ends up holding.
bool Arrived(const StartupList& source, const StartupList& target, bool shortcutsByName) {
    using Entry = std::pair<bool, std::wstring>;
    std::map<Entry, const StartupItem*> expected;
    for (const StartupItem& item : source.Items()) expected[{item.enabled != 0, NameKey(item.name)}] = &item;
    std::map<Entry, const StartupItem*> present;
    for (const StartupItem& item : target.Items()) present[{item.enabled != 0, NameKey(item.name)}] = &item;
    for (const auto& [entry, item] : expected) {
        auto found = present.find(entry);
        if (found == present.end()) return false;
        if (!(shortcutsByName && entry.first) && !found->second->SameValue(*item)) return false;
    }
    return true;
}

// Copies a live location into its empty stored copy; true when everything
// arrived.
bool SaveLocation(const StartupList& live, StartupList& stored) {
    stored.RemoveAll();
    stored.AddAll(live);
    return Arrived(live, stored, false);
}

// The second half of copying a stored location onto its live one, which
// already holds the stored items beside its old ones: removes what the
// configuration does not hold. True when everything arrived.
bool PruneLocation(const StartupList& stored, StartupList& live, int locationIndex) {
    live.RemoveAllBut(stored);
    return Arrived(stored, live, IsFolderLocation(locationIndex));
}

}  // namespace

void BuildConfigurationPaths(const std::string& name, int locationIndex, std::string& locationKeyPath,
                             std::string& enabledPath, std::string& disabledPath) {
    locationKeyPath = ConfigurationKeyPath(name) + "\\" + LocationKeyName(locationIndex);
    enabledPath = locationKeyPath + "\\Enabled";
    disabledPath = locationKeyPath + "\\Disabled";
}

bool IsConfigurationName(const std::string& name) {
    // A backslash would reach outside the configuration's own key.
    return !name.empty() && name.find('\\') == std::string::npos;
}

bool StartupLocationSet::ConfigurationExists(const std::string& name) const {
    if (!IsConfigurationName(name)) return false;
    return static_cast<bool>(OpenRegistryKey(HKEY_CURRENT_USER, ConfigurationKeyPath(name) + "\\", kRegistryRead));
}

void SetLoadFillObserver(LoadFillObserver observer) { loadFillObserver = observer; }

bool StartupLocationSet::SaveConfiguration(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    if (ConfigurationExists(name)) DeleteConfiguration(name);
    // The key is made even when every location is empty: loading that
    // configuration empties them all, a clean start.
    bool complete = static_cast<bool>(CreateRegistryKey(HKEY_CURRENT_USER, ConfigurationKeyPath(name), kRegistryCreate));
    for (int index = 0; index < kLocationCount; ++index) {
        StartupList* live = slots[static_cast<size_t>(index)].get();
        if (live == nullptr) continue;
        const StoredPaths paths(name, index);
        // Its key tells a later load that this location was saved, empty or not.
        if (IsWow64Location(index) && !CreateRegistryKey(HKEY_CURRENT_USER, paths.locationKey, kRegistryCreate)) {
            complete = false;
        }
        std::unique_ptr<StartupList> stored = OpenStoredLocation(paths);
        live->Reload();
        if (!SaveLocation(*live, *stored)) complete = false;
        if (!SaveShortcutBytes(*live, paths.links)) complete = false;
        if (!SaveApprovals(index, *live, paths.approved)) complete = false;
    }
    return complete;
}

bool StartupLocationSet::LoadConfiguration(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    HWND monitor = FindWindowA("Wardlow", "Wardlow");
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadStarts, 0, 0);
    bool complete = true;
    for (int index = 0; index < kLocationCount; ++index) {
        StartupList* live = slots[static_cast<size_t>(index)].get();
        if (live == nullptr) continue;
        const StoredPaths paths(name, index);
        // Configurations saved where these locations did not exist say
        // nothing about them, which must not read as "empty".
        if (IsWow64Location(index) && !OpenRegistryKey(HKEY_CURRENT_USER, paths.locationKey, kRegistryRead)) continue;
        std::unique_ptr<StartupList> stored = OpenStoredLocation(paths);
        // Entries other programs added since the list was read are replaced too.
        live->Reload();
        // The stored items are written before the old ones go, so a load
        // that is ended midway has lost no entry.
        live->AddAll(*stored);
        if (loadFillObserver != nullptr && !loadFillObserver(index)) return false;
        if (!PruneLocation(*stored, *live, index)) complete = false;
        if (!RestoreShortcutBytes(*stored, *live, paths.links)) complete = false;
        if (!RestoreApprovals(index, *stored, paths.approved)) complete = false;
    }
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadEnded, 0, 0);
    return complete;
}

bool StartupLocationSet::DeleteConfiguration(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    for (int index = 0; index < kLocationCount; ++index) {
        const StoredPaths paths(name, index);
        // One deletion removes one key, so the deepest go first.
        for (const std::string* path :
             {&paths.enabled, &paths.disabled, &paths.links, &paths.approved, &paths.locationKey}) {
            DeleteRegistryKey(HKEY_CURRENT_USER, *path);
        }
    }
    DeleteRegistryKey(HKEY_CURRENT_USER, ConfigurationKeyPath(name));
    return true;
}
