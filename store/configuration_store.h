#pragma once

#include <string>

// Writes the three key paths (below HKEY_CURRENT_USER) of one location inside
// a stored configuration: the location key and its Enabled and Disabled keys.
void BuildConfigurationPaths(const std::string& name, int locationIndex, std::string& locationKeyPath,
                             std::string& enabledPath, std::string& disabledPath);

// Path of the program's own key; each subkey is one configuration.
extern const char kConfigurationsKey[];

// Every load first keeps what the locations hold under this name, so that
// loading it undoes the load. It is an ordinary configuration otherwise.
extern const char kBeforeLastLoad[];

// A name the store accepts: one key name of its own below the program's key.
bool IsConfigurationName(const std::string& name);

// A configuration name whose stored keys a load can all open: a save refuses
// any other, which it could store only in part.
bool IsStorableName(const std::string& name);

// Path (below HKEY_CURRENT_USER) of the configuration key of that name.
std::string ConfigurationKeyPath(const std::string& name);

// For tests: called during a load once a location holds the stored items
// beside its old ones, before the old ones are removed. Returning false ends
// the load there, as if the program had been stopped. The program never
// sets it.
using LoadFillObserver = bool (*)(int locationIndex);
void SetLoadFillObserver(LoadFillObserver observer);
