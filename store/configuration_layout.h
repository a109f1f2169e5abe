#pragma once
// How a configuration is laid out in the registry, below HKEY_CURRENT_USER:
//
//   Software\Ostrel\Veltrane                    the program's key; each subkey is one configuration
//     <name>\<location key name>\Enabled        one value per live entry, as the value it is
//     <name>\<location key name>\Disabled       one value per switched-off entry
//     <name>\<location key name>\Links          whole shortcut files of a Startup folder's entries
//     <name>\<location key name>\Files          whole other files of a Startup folder (made by every save,
//                                               so that a load knows the configuration speaks for them)
//     <name>\<location key name>\Approved       Task Manager's switches of the entries
//     <name>\SystemServices\Start                 the start type of each service, by its key name
//     <name>\SystemServices\Delayed               1 for each automatic service whose start is delayed
//     <name>\PackagedApps\<family>                the state of each startup task of the package family,
//                                               by its TaskId
//
// and the rules a configuration name keeps. Reading a configuration into
// memory belongs here too; the journal, the load plan and the store's
// operations build on this unit, and it on none of them (it reads a Startup
// folder's stored files through store/stored_files.h, whose list is part of
// the layout).

#include "catalog/location_table.h"
#include "startup/registry_startup_list.h"
#include "startup/startup_list.h"

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class StartupLocationSet;

// Path of the program's own key; each subkey is one configuration.
extern const char kConfigurationsKey[];

// A name the store accepts: one key name of its own below the program's key.
bool IsConfigurationName(const std::string& name);

// A configuration name whose stored keys a load can all open: a save refuses
// any other, which it could store only in part.
bool IsStorableName(const std::string& name);

// Path (below HKEY_CURRENT_USER) of the configuration key of that name.
std::string ConfigurationKeyPath(const std::string& name);

// Writes the three key paths (below HKEY_CURRENT_USER) of one location inside
// a stored configuration: the location key and its Enabled and Disabled keys.
void BuildConfigurationPaths(const std::string& name, int locationIndex, std::string& locationKeyPath,
                             std::string& enabledPath, std::string& disabledPath);

// The keys of one location inside a stored configuration (below
// HKEY_CURRENT_USER).
struct StoredPaths {
    StoredPaths(const std::string& name, int locationIndex);
    // The same keys below any key laid out as a configuration key.
    static StoredPaths Below(const std::string& configurationKey, int locationIndex);

    // Every key path the location uses, the location key first.
    std::vector<const std::string*> Keys() const;

    LocationKind kind = LocationKind::RegistryValues;
    std::string locationKey;
    // Each empty where the kind of location has no such key.
    std::string enabled;
    std::string disabled;
    std::string links;          // the shortcut files of a Startup folder
    std::string files;          // the other files of a Startup folder
    std::string approved;       // Task Manager's switches
    std::string startTypes;     // how services start
    std::string delayedStarts;  // which automatic starts of services are delayed

private:
    StoredPaths() = default;
};

// Windows writes 12 bytes for a switch; anything up to this is copied as it is.
constexpr size_t kLargestApproval = 64 * 1024;

// What a save stores, by kind: each check is true for a value of a kind a
// save writes there. Any other value was made by hand or by another program
// and is damaged, and a load refuses the configuration that holds it. (A
// Links value has no check: bytes that are no shortcut give way to a plain
// shortcut to the item's target.)
// An Enabled or Disabled value of a Startup folder: the target, as text.
bool IsFolderEntryKind(DWORD type);
// A Files value: the file's bytes.
bool IsStoredFileKind(DWORD type, size_t size);
// An Approved value: a switch, whose first 4 bytes say whether it is on.
bool IsStoredApprovalKind(DWORD type, size_t size);
using ValueKindCheck = bool (*)(DWORD type, size_t size);

// The stored copy of one location: a registry list over its Enabled and
// Disabled keys inside the configuration, read in full; for a Startup folder,
// a StoredFolderList; for services, a StoredServiceList; for packaged apps, a
// StoredPackagedTaskList.
std::unique_ptr<StartupList> OpenStoredLocation(const StoredPaths& paths);

// The stored copy of a Startup folder: its Enabled and Disabled keys as a
// registry list, in which the enabled items Files holds are file items.
//
// A shortcut and a file may share an item name (Foo.exe.lnk and Foo.exe). The
// Enabled value and the stored switch of that name stay the shortcut's, and
// the file is in Files alone. A save writes a Links value for such a
// shortcut even when its bytes are not kept (an empty one), which tells a
// reader that the name is both.
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

// Values stored beside a location's items, by item name. A location whose
// kind has no such key (an empty path) holds none.
using StoredValues = std::map<std::string, std::string>;

// The value named after each enabled item of `stored` in the key `keyPath`
// (below HKEY_CURRENT_USER), when it holds at most `largest` bytes. With a
// `check`, a value it refuses is left out and its item's name put into
// `damaged`.
StoredValues ReadStoredValues(const StartupList& stored, const std::string& keyPath, size_t largest,
                              ValueKindCheck check = nullptr, std::set<std::string>* damaged = nullptr);

// Writes each value as REG_BINARY into the key `keyPath` (below
// HKEY_CURRENT_USER), which is made with the first value so that no empty key
// is left. True when every value was written.
bool WriteStoredValues(const std::string& keyPath, const StoredValues& values);

// One location of a configuration, read into memory.
struct StoredLocation {
    int locationIndex = 0;
    std::unique_ptr<StartupList> items;
    StoredValues shortcutFiles;  // whole shortcut files of a Startup folder's items
    StoredValues files;          // whole other files of a Startup folder's file items
    // The configuration speaks for the Startup folder's other files, not only
    // for its shortcuts (it was saved with a Files key).
    bool holdsFiles = false;
    StoredValues approvals;      // Task Manager's switches of the items
    // The item names whose Files or Approved value is damaged (see
    // IsStoredFileKind and IsStoredApprovalKind), which `files` and
    // `approvals` leave out.
    std::set<std::string> damagedFiles;
    std::set<std::string> damagedApprovals;
};

// A configuration read into memory, so that what is done with it no longer
// depends on its keys: every present location it speaks for, in slot order.
struct StoredConfiguration {
    std::vector<StoredLocation> locations;
};
StoredConfiguration ReadConfiguration(const StartupLocationSet& locations, const std::string& name);
