#include "store/stored_packaged_tasks.h"

#include "platform/registry.h"
#include "startup/packaged_task_startup_list.h"

StoredPackagedTaskList::StoredPackagedTaskList(const StoredPaths& paths)
    : SwitchStartupList(0), locationPath(paths.locationKey) {
    StoredPackagedTaskList::Reload();
}

StoredPackagedTaskList::~StoredPackagedTaskList() = default;

bool StoredPackagedTaskList::Reload() {
    items.clear();
    const RegKey location = OpenRegistryKey(HKEY_CURRENT_USER, locationPath, kRegistryRead);
    if (!location) return true;
    for (const std::string& familyName : EnumerateRegistrySubkeys(location.get())) {
        const RegKey family = OpenRegistryKey(location.get(), familyName, kRegistryRead);
        if (!family) continue;
        ForEachRegistryValue(family.get(), [&](std::string_view name, DWORD type, std::string_view data) {
            StartupItem task = TaskItem(familyName, std::string(name), "", 0);
            if (type == REG_DWORD && data.size() == sizeof(DWORD)) {
                task.data.assign(data);
            } else {
                task.type = REG_NONE;
                task.data.clear();
            }
            items.push_back(std::move(task));
        }, true);
    }
    return true;
}

bool StoredPackagedTaskList::WriteItems(const std::vector<StartupItem>& changed) {
    const RegKey location = CreateRegistryKey(HKEY_CURRENT_USER, locationPath, kRegistryCreate);
    bool allWritten = static_cast<bool>(location);
    std::string familyName;
    RegKey family;
    for (const StartupItem& item : changed) {
        DWORD state = 0;
        if (!location || !ReadTaskState(item, state)) {
            allWritten = false;
            continue;
        }
        // The tasks of a family come together: its key is made once for them.
        if (TaskFamily(item) != familyName || !family) {
            familyName = TaskFamily(item);
            family = CreateRegistryKey(location.get(), familyName, kRegistryCreate);
        }
        if (!family || !SetRegistryValue(family.get(), TaskIdOf(item), REG_DWORD, item.data)) allWritten = false;
    }
    return allWritten;
}

bool StoredPackagedTaskList::DeleteItem(const StartupItem& item) {
    const RegKey location = OpenRegistryKey(HKEY_CURRENT_USER, locationPath, kRegistryRead);
    const RegKey family = location ? OpenRegistryKey(location.get(), TaskFamily(item), kRegistryWrite) : RegKey();
    return family && DeleteRegistryValue(family.get(), TaskIdOf(item));
}

bool StoredPackagedTaskList::Store() {
    DeleteRegistryTree(HKEY_CURRENT_USER, locationPath);
    return WriteItems(std::vector<StartupItem>(items));
}

bool StoredPackagedTaskList::MayChange(unsigned char enabled) const {
    return enabled != 0 && MayWriteRegistryKey(HKEY_CURRENT_USER, locationPath, kRegistryCreate);
}
