#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/system.h"
#include "startup/registry_startup_list.h"
#include "startup/shortcut_folder_startup_list.h"

#include <shlobj.h>

namespace {

const char* const kLocationKeyNames[kLocationCount] = {"UserStartup", "CommonStartup", "HKLM-Run",
                                                       "HKCU-Run",    "Services",      "RunOnce",
                                                       "HKLM-Run32",  "RunOnce32"};

const char kRunKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";

}  // namespace

const char* LocationKeyName(int locationIndex) { return kLocationKeyNames[locationIndex]; }

std::string DisabledPlacePath(int locationIndex) {
    return std::string("Software\\Ostrel\\Pellory\\Disabled\\") + LocationKeyName(locationIndex);
}

REGSAM LiveKeyView(int locationIndex) {
    if (!IsWindows64()) return 0;
    switch (locationIndex) {
    case 2:
    case 5:
        return KEY_WOW64_64KEY;
    case 6:
    case 7:
        return KEY_WOW64_32KEY;
    default:
        return 0;  // HKEY_CURRENT_USER is not redirected; RunServices has no views
    }
}

bool StartupLocationSet::BuildCatalog() {
    const int folders[2] = {CSIDL_STARTUP, CSIDL_COMMON_STARTUP};
    for (int index = 0; index < 2; ++index) {
        std::string path;
        if (GetSpecialFolderPath(path, folders[index])) {
            slots[index] = std::make_unique<ShortcutFolderStartupList>(index, path, HKEY_CURRENT_USER,
                                                                       DisabledPlacePath(index));
        }
    }
    auto registryList = [](int index, HKEY root, const char* key) {
        return std::make_unique<RegistryStartupList>(index, root, std::string(kRunKeys) + key, HKEY_CURRENT_USER,
                                                     DisabledPlacePath(index), LiveKeyView(index));
    };
    slots[2] = registryList(2, HKEY_LOCAL_MACHINE, "Run");
    slots[3] = registryList(3, HKEY_CURRENT_USER, "Run");
    if (!IsWindowsNT()) slots[4] = registryList(4, HKEY_LOCAL_MACHINE, "RunServices");
    slots[5] = registryList(5, HKEY_LOCAL_MACHINE, "RunOnce");
    if (IsWindows64()) {
        slots[6] = registryList(6, HKEY_LOCAL_MACHINE, "Run");
        slots[7] = registryList(7, HKEY_LOCAL_MACHINE, "RunOnce");
    }
    return true;
}
