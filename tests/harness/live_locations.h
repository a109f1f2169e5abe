#pragma once
// Fixtures over the live startup locations of the test prefix: the Run-type
// keys, the two Startup folders, and the disabled keys beside them.

#include "catalog/startup_location_set.h"
#include "harness/shell_fixtures.h"

#include <windows.h>

#include <string>
#include <vector>

namespace fixture {

extern const char kHkcuRun[];       // below HKEY_CURRENT_USER
extern const char kHklmRun[];       // below HKEY_LOCAL_MACHINE
extern const char kHklmRunOnce[];   // below HKEY_LOCAL_MACHINE
extern const char kHkcuRunOnce[];   // below HKEY_CURRENT_USER
extern const char kHklmRunServices[];  // in the view the program opens it in
extern const char kHklmRun32[];       // the 32-bit views of HKLM Run and RunOnce
extern const char kHklmRunOnce32[];
extern const char kConfigurations[];  // below HKEY_CURRENT_USER
// Task Manager's switches, below both roots; "\\Run", "\\Run32", "\\StartupFolder".
extern const char kStartupApproved[];

// HKEY_CURRENT_USER path of a location's disabled key ("HKCU-Run", ...).
std::string DisabledKey(const std::string& locationKeyName);

// A Startup folder (CSIDL_STARTUP or CSIDL_COMMON_STARTUP), ending in a backslash.
std::string StartupFolder(int csidl);

// "name=target" for every *.lnk file of the folder, sorted.
std::vector<std::string> ShortcutsIn(const std::string& folder);
// "name: size, digest of the bytes" for every other file of the folder, sorted.
std::vector<std::string> OtherFilesIn(const std::string& folder);

// Empties every live place and disabled place, and removes every switch.
void ClearLiveLocations();
// Removes every stored configuration.
void ClearConfigurations();

// A freshly read catalog of the live locations, over a clean slate (see
// ClearLiveLocations and ClearConfigurations).
struct Catalog {
    Catalog();
    ~Catalog();

    OleSession ole;
    StartupLocationSet set;
};

// Everything the live locations hold, one line per entry, for comparing
// whole states.
std::vector<std::string> LiveState();

}  // namespace fixture
