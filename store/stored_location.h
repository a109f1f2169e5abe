#pragma once

#include "startup/startup_list.h"

#include <memory>
#include <string>

// The keys of one location inside a stored configuration (below
// HKEY_CURRENT_USER).
struct StoredPaths {
    StoredPaths(const std::string& name, int locationIndex);

    std::string locationKey;
    std::string enabled;
    std::string disabled;
    std::string links;     // the shortcut files of a Startup folder
    std::string approved;  // Task Manager's switches
};

// The stored copy of one location: a registry list over its Enabled and
// Disabled keys inside the configuration, read in full.
std::unique_ptr<StartupList> OpenStoredLocation(const StoredPaths& paths);
