#pragma once
// Every startup location the program knows, one row each, in slot order. The
// row holds every fact of its location; the rest of the program asks the
// table rather than the location's index.

#include <windows.h>

#include <string>

// What a location's live place is, and so which kind of list mirrors it.
enum class LocationKind {
    StartupFolder,   // a Startup folder: its files, and a disabled key beside it
    RegistryValues,  // a Run-type key: its values, and a disabled key beside it
    Services,        // how the installed services start: switches, not entries
    PackagedApps,    // whether packaged apps' startup tasks run: switches, not entries
};

// The registry view a live key is seen in on 64-bit Windows, whatever the
// build: both builds see each key under the same location.
enum class LiveView { Own, Native64, Wow32 };

struct LocationRow {
    // Ends the path of the disabled place, and names the location inside a
    // stored configuration.
    const char* keyName;
    LocationKind kind;
    // StartupFolder: the shell's number (CSIDL) of the folder.
    int specialFolder;
    // RegistryValues: the live key.
    HKEY liveRoot;
    const char* liveKey;
    LiveView liveView;
    // Task Manager's switches of the entries (Windows 8 and later), below
    // ...\Explorer\StartupApproved; null where Task Manager lists none.
    HKEY approvalRoot;
    const char* approvalKey;
    // Windows deletes each live entry as it starts it.
    bool runsOnce;
    // Configurations saved before the location existed, or where it does not
    // exist, say nothing of it: a configuration without its key leaves it
    // alone, so every save makes the key, empty or not.
    bool keyMarksPresence;
    // Whether the location exists on the running system.
    bool (*existsHere)();
};

constexpr int kLocationCount = 11;

const LocationRow& Location(int locationIndex);

inline const char* LocationKeyName(int locationIndex) { return Location(locationIndex).keyName; }

inline bool IsFolderLocation(int locationIndex) {
    return Location(locationIndex).kind == LocationKind::StartupFolder;
}

// HKEY_CURRENT_USER path of the location's disabled place.
std::string DisabledPlacePath(int locationIndex);

// The registry view bit of the location's live key on this system;
// 0 where the system has one view.
REGSAM LiveKeyView(int locationIndex);
