#pragma once

#include <string>

// The six startup locations, by location index: 0 the user's Startup folder,
// 1 the common Startup folder, 2 HKLM Run, 3 HKCU Run, 4 RunServices (Windows
// 95 family only), 5 RunOnce. The key name ends the path of the location's
// disabled place and names the location inside a stored configuration.
const char* LocationKeyName(int locationIndex);

// HKEY_CURRENT_USER path of the location's disabled place.
std::string DisabledPlacePath(int locationIndex);

// The location's live place is a Startup folder (not a registry key).
inline bool IsFolderLocation(int locationIndex) { return locationIndex == 0 || locationIndex == 1; }
