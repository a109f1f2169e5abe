#pragma once
// Fixtures over the live startup locations of the test prefix: the Run-type
// keys, the two Startup folders, and the disabled keys beside them.

#include <windows.h>

#include <string>
#include <vector>

namespace fixture {

extern const char kHkcuRun[];       // below HKEY_CURRENT_USER
extern const char kHklmRun[];       // below HKEY_LOCAL_MACHINE
extern const char kHklmRunOnce[];   // below HKEY_LOCAL_MACHINE
extern const char kHklmRunServices[];
extern const char kConfigurations[];  // below HKEY_CURRENT_USER

// HKEY_CURRENT_USER path of a location's disabled key ("HKCU-Run", ...).
std::string DisabledKey(const std::string& locationKeyName);

// A Startup folder (CSIDL_STARTUP or CSIDL_COMMON_STARTUP), ending in a backslash.
std::string StartupFolder(int csidl);

// Shortcut files through the shell link object, for setting up and checking.
bool MakeShortcut(const std::string& path, const std::string& target, const std::string& arguments = "");
std::string ShortcutTarget(const std::string& path);
// "name=target" for every *.lnk file of the folder, sorted.
std::vector<std::string> ShortcutsIn(const std::string& folder);

// Empties every live place and disabled place.
void ClearLiveLocations();
// Removes every stored configuration.
void ClearConfigurations();

// Everything the live locations hold, one line per entry, for comparing
// whole states.
std::vector<std::string> LiveState();

// COM for the calling thread, for as long as the object lives.
class OleSession {
public:
    OleSession() { OleInitialize(nullptr); }
    ~OleSession() { OleUninitialize(); }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
};

}  // namespace fixture
