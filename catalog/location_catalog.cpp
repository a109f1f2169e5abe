#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/system.h"
#include "startup/registry_startup_list.h"
#include "startup/packaged_task_startup_list.h"
#include "startup/service_startup_list.h"
#include "startup/shortcut_folder_startup_list.h"

namespace {

// The live list of the location, reading its places; null when its folder
// cannot be found.
std::unique_ptr<StartupList> MakeLiveList(int index, bool readSwitches) {
    const LocationRow& row = Location(index);
    switch (row.kind) {
        case LocationKind::StartupFolder: {
            std::string path;
            if (!GetSpecialFolderPath(path, row.specialFolder)) return nullptr;
            return std::make_unique<ShortcutFolderStartupList>(index, path, HKEY_CURRENT_USER, DisabledPlacePath(index));
        }
        case LocationKind::RegistryValues:
            return std::make_unique<RegistryStartupList>(index, row.liveRoot, row.liveKey, HKEY_CURRENT_USER,
                                                         DisabledPlacePath(index), LiveKeyView(index));
        case LocationKind::Services:
            return std::make_unique<ServiceStartupList>(index, readSwitches);
        case LocationKind::PackagedApps:
            return std::make_unique<PackagedTaskStartupList>(index, readSwitches);
    }
    return nullptr;
}

}  // namespace

bool StartupLocationSet::BuildCatalog(bool readSwitches) {
    for (int index = 0; index < kLocationCount; ++index) {
        if (Location(index).existsHere()) slots[static_cast<size_t>(index)] = MakeLiveList(index, readSwitches);
    }
    return true;
}

ShortcutFolderStartupList* StartupLocationSet::FolderList(int locationIndex) const {
    // The table's kind says what the catalog made for the slot.
    if (!IsFolderLocation(locationIndex)) return nullptr;
    return static_cast<ShortcutFolderStartupList*>(Slot(locationIndex));
}
