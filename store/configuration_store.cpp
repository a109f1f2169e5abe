#include "store/configuration_store.h"

#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/registry_startup_list.h"
#include "store/shortcut_bytes.h"

#include <map>
#include <memory>
#include <utility>

const char kConfigurationsKey[] = "Software\\Ostrel\\Veltrane";

namespace {

constexpr UINT kMonitorLoadStarts = WM_USER + 314;  // 1338
constexpr UINT kMonitorLoadEnded = WM_USER + 315;   // 1339

std::string ConfigurationKeyPath(const std::string& name) { return std::string(kConfigurationsKey) + "\\" + name; }

// The stored copy of one location: a registry list over its Enabled and
// Disabled keys inside the configuration.
std::unique_ptr<StartupList> OpenStoredLocation(const std::string& name, int locationIndex) {
    std::string locationKey;
    std::string enabledPath;
    std::string disabledPath;
    BuildConfigurationPaths(name, locationIndex, locationKey, enabledPath, disabledPath);
    return std::make_unique<RegistryStartupList>(0, HKEY_CURRENT_USER, std::move(enabledPath), HKEY_CURRENT_USER,
                                                 std::move(disabledPath));
}

// True when every item of `source` is now in `target`: in the same place,
// under the same name and, when `compareCommands`, with the same command.
// Of two source items with one name in one place the later one counts, as it
// is the one a registry key ends up holding.
bool Arrived(const StartupList& source, const StartupList& target, bool compareCommands) {
    using Entry = std::pair<bool, std::wstring>;
    std::map<Entry, const std::string*> expected;
    for (const StartupItem& item : source.Items()) expected[{item.enabled != 0, NameKey(item.name)}] = &item.command;
    std::map<Entry, const std::string*> present;
    for (const StartupItem& item : target.Items()) present[{item.enabled != 0, NameKey(item.name)}] = &item.command;
    for (const auto& [entry, command] : expected) {
        auto found = present.find(entry);
        if (found == present.end()) return false;
        if (compareCommands && *found->second != *command) return false;
    }
    return true;
}

// Copies one location onto another; true when everything arrived.
bool CopyLocation(const StartupList& source, StartupList& target, bool compareCommands) {
    target.RemoveAll();
    target.AddAll(source);
    return Arrived(source, target, compareCommands);
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

bool StartupLocationSet::SaveConfiguration(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    if (ConfigurationExists(name)) DeleteConfiguration(name);
    bool complete = true;
    for (int index = 0; index < kLocationCount; ++index) {
        StartupList* live = slots[static_cast<size_t>(index)].get();
        if (live == nullptr) continue;
        std::unique_ptr<StartupList> stored = OpenStoredLocation(name, index);
        live->Reload();
        if (!CopyLocation(*live, *stored, true)) complete = false;
        if (!SaveShortcutBytes(name, index, *live)) complete = false;
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
        std::unique_ptr<StartupList> stored = OpenStoredLocation(name, index);
        // Entries other programs added since the list was read are replaced too.
        live->Reload();
        // A shortcut's target reads back differently from the text set (the
        // shell resolves it), so folder locations are checked by name only.
        if (!CopyLocation(*stored, *live, !IsFolderLocation(index))) complete = false;
        if (!RestoreShortcutBytes(name, index, *stored, *live)) complete = false;
    }
    if (monitor != nullptr) SendMessageA(monitor, kMonitorLoadEnded, 0, 0);
    return complete;
}

bool StartupLocationSet::DeleteConfiguration(const std::string& name) {
    if (!IsConfigurationName(name)) return false;
    for (int index = 0; index < kLocationCount; ++index) {
        std::string locationKey;
        std::string enabledPath;
        std::string disabledPath;
        BuildConfigurationPaths(name, index, locationKey, enabledPath, disabledPath);
        // One deletion removes one key, so the deepest go first.
        DeleteRegistryKey(HKEY_CURRENT_USER, enabledPath);
        DeleteRegistryKey(HKEY_CURRENT_USER, disabledPath);
        DeleteShortcutBytes(name, index);
        DeleteRegistryKey(HKEY_CURRENT_USER, locationKey);
    }
    DeleteRegistryKey(HKEY_CURRENT_USER, ConfigurationKeyPath(name));
    return true;
}
