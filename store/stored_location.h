#pragma once

#include "startup/startup_list.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

class StartupLocationSet;

// The keys of one location inside a stored configuration (below
// HKEY_CURRENT_USER).
struct StoredPaths {
    StoredPaths(const std::string& name, int locationIndex);
    // The same keys below any key laid out as a configuration key.
    static StoredPaths Below(const std::string& configurationKey, int locationIndex);

    std::string locationKey;
    std::string enabled;
    std::string disabled;
    std::string links;     // the shortcut files of a Startup folder
    std::string approved;  // Task Manager's switches

private:
    StoredPaths() = default;
};

// The stored copy of one location: a registry list over its Enabled and
// Disabled keys inside the configuration, read in full.
std::unique_ptr<StartupList> OpenStoredLocation(const StoredPaths& paths);

// Values stored beside a location's items, by item name.
using StoredValues = std::map<std::string, std::string>;

// The value named after each enabled item of `stored` in the key `keyPath`
// (below HKEY_CURRENT_USER), when it holds at most `largest` bytes.
StoredValues ReadStoredValues(const StartupList& stored, const std::string& keyPath, size_t largest);

// One location of a configuration, read into memory.
struct StoredLocation {
    int locationIndex = 0;
    std::unique_ptr<StartupList> items;
    StoredValues shortcutFiles;  // whole shortcut files of a Startup folder's items
    StoredValues approvals;      // Task Manager's switches of the items
};

// A configuration read into memory, so that what is done with it no longer
// depends on its keys: every present location it speaks for, in slot order.
struct StoredConfiguration {
    std::vector<StoredLocation> locations;
};
StoredConfiguration ReadConfiguration(const StartupLocationSet& locations, const std::string& name);
