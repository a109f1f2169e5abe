#pragma once

#include <windows.h>

#include <string>

// The startup locations, by location index: 0 the user's Startup folder, 1 the
// common Startup folder, 2 HKLM Run, 3 HKCU Run, 4 RunServices (Windows 95
// family only), 5 RunOnce, and on 64-bit Windows only 6 HKLM Run and 7 RunOnce
// of 32-bit programs. The key name ends the path of the location's disabled
// place and names the location inside a stored configuration.
const char* LocationKeyName(int locationIndex);

// HKEY_CURRENT_USER path of the location's disabled place.
std::string DisabledPlacePath(int locationIndex);

// The location's live place is a Startup folder (not a registry key).
inline bool IsFolderLocation(int locationIndex) { return locationIndex == 0 || locationIndex == 1; }

// A location of the 32-bit registry view, which configurations stored on
// 32-bit Windows (or by earlier versions) do not hold: it is always stored,
// and a configuration without it leaves it alone.
inline bool IsWow64Location(int locationIndex) { return locationIndex == 6 || locationIndex == 7; }

// The registry view of the location's live key on this system: both builds
// see the same key under the same location. 0 where the system has one view.
REGSAM LiveKeyView(int locationIndex);
