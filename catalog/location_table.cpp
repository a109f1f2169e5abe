#include "catalog/location_table.h"

#include "platform/registry.h"
#include "platform/system.h"
#include "startup/packaged_task_startup_list.h"

#include <shlobj.h>

namespace {

bool Always() { return true; }
bool OnWindows95Family() { return !IsWindowsNT(); }
// Windows 8 and later keep a repository of the user's packages.
bool HasPackageRepository() {
    return static_cast<bool>(OpenRegistryKey(HKEY_CURRENT_USER, kPackageRepositoryKey, kRegistryRead));
}

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRunServices[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";

}  // namespace

const LocationRow& Location(int locationIndex) {
    // The predefined keys are no constants the compiler knows, so the table
    // is made on first use, not at static initialisation.
    const HKEY kUser = HKEY_CURRENT_USER;
    const HKEY kMachine = HKEY_LOCAL_MACHINE;
    const HKEY kNone = nullptr;
    // In the order of the earliest stored configurations; a new location
    // comes last.
    // Each row: key name, kind, Startup folder, live key (root, path, view),
    // Task Manager's switches (root, key), runs once, key marks presence,
    // exists here.
    static const LocationRow kLocations[kLocationCount] = {
        {"UserStartup", LocationKind::StartupFolder, CSIDL_STARTUP, kNone, nullptr, LiveView::Own,
         kUser, "StartupFolder", false, false, Always},
        {"CommonStartup", LocationKind::StartupFolder, CSIDL_COMMON_STARTUP, kNone, nullptr, LiveView::Own,
         kMachine, "StartupFolder", false, false, Always},
        {"HKLM-Run", LocationKind::RegistryValues, 0, kMachine, kRun, LiveView::Native64,
         kMachine, "Run", false, false, Always},
        {"HKCU-Run", LocationKind::RegistryValues, 0, kUser, kRun, LiveView::Own,
         kUser, "Run", false, false, Always},
        // RunServices belongs to systems without registry views.
        {"Services", LocationKind::RegistryValues, 0, kMachine, kRunServices, LiveView::Own,
         kNone, nullptr, false, false, OnWindows95Family},
        {"RunOnce", LocationKind::RegistryValues, 0, kMachine, kRunOnce, LiveView::Native64,
         kNone, nullptr, true, false, Always},
        {"HKLM-Run32", LocationKind::RegistryValues, 0, kMachine, kRun, LiveView::Wow32,
         kMachine, "Run32", false, true, IsWindows64},
        {"RunOnce32", LocationKind::RegistryValues, 0, kMachine, kRunOnce, LiveView::Wow32,
         kNone, nullptr, true, true, IsWindows64},
        // HKEY_CURRENT_USER is not redirected.
        {"HKCU-RunOnce", LocationKind::RegistryValues, 0, kUser, kRunOnce, LiveView::Own,
         kNone, nullptr, true, true, Always},
        // The programs the NT family starts before anyone logs on.
        {"SystemServices", LocationKind::Services, 0, kNone, nullptr, LiveView::Own,
         kNone, nullptr, false, true, IsWindowsNT},
        // The startup tasks of Store and MSIX apps, which Task Manager lists too.
        {"PackagedApps", LocationKind::PackagedApps, 0, kNone, nullptr, LiveView::Own,
         kNone, nullptr, false, true, HasPackageRepository},
    };
    return kLocations[locationIndex];
}

std::string DisabledPlacePath(int locationIndex) {
    return std::string("Software\\Ostrel\\Pellory\\Disabled\\") + LocationKeyName(locationIndex);
}

REGSAM LiveKeyView(int locationIndex) {
    if (!IsWindows64()) return 0;
    switch (Location(locationIndex).liveView) {
        case LiveView::Native64: return KEY_WOW64_64KEY;
        case LiveView::Wow32: return KEY_WOW64_32KEY;
        case LiveView::Own: break;
    }
    return 0;
}
