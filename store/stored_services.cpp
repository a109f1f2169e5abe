#include "store/stored_services.h"

#include "platform/registry.h"
#include "platform/text.h"
#include "startup/service_startup_list.h"

#include <cstring>
#include <set>

namespace {

const DWORD kDelayed = 1;

// A value of the Start key as an item: the start it holds, or none.
StartupItem StoredStart(std::string_view name, DWORD type, std::string_view data, bool delayed) {
    DWORD startType = 0;
    if (type == REG_DWORD && data.size() == sizeof startType) {
        std::memcpy(&startType, data.data(), sizeof startType);
        const StartupItem item = ServiceItem(std::string(name), std::string(name), {startType, delayed});
        ServiceStart start;
        if (ReadServiceStart(item, start)) return item;
    }
    const std::string text(name);
    StartupItem damaged(text, text, 1);
    damaged.type = REG_NONE;
    damaged.data.clear();
    return damaged;
}

}  // namespace

StoredServiceList::StoredServiceList(const StoredPaths& paths)
    : SwitchStartupList(0), startPath(paths.startTypes), delayedPath(paths.delayedStarts) {
    StoredServiceList::Reload();
}

StoredServiceList::~StoredServiceList() = default;

bool StoredServiceList::Reload() {
    items.clear();
    std::set<std::wstring> delayed;
    if (const RegKey key = OpenRegistryKey(HKEY_CURRENT_USER, delayedPath, kRegistryRead)) {
        ForEachRegistryValue(key.get(), [&](std::string_view name, DWORD type, std::string_view data) {
            if (type == REG_DWORD && data == std::string_view(reinterpret_cast<const char*>(&kDelayed), sizeof kDelayed)) {
                delayed.insert(NameKey(std::string(name)));
            }
        });
    }
    if (const RegKey key = OpenRegistryKey(HKEY_CURRENT_USER, startPath, kRegistryRead)) {
        ForEachRegistryValue(key.get(), [&](std::string_view name, DWORD type, std::string_view data) {
            items.push_back(StoredStart(name, type, data, delayed.count(NameKey(std::string(name))) != 0));
        });
    }
    return true;
}

bool StoredServiceList::WriteItems(const std::vector<StartupItem>& changed) {
    const RegKey starts = CreateRegistryKey(HKEY_CURRENT_USER, startPath, kRegistryCreate);
    const RegKey delays = CreateRegistryKey(HKEY_CURRENT_USER, delayedPath, kRegistryCreate);
    bool allWritten = starts && delays;
    for (const StartupItem& item : changed) {
        ServiceStart start;
        if (!starts || !delays || !ReadServiceStart(item, start)) {
            allWritten = false;
            continue;
        }
        const std::string type(reinterpret_cast<const char*>(&start.startType), sizeof start.startType);
        if (!SetRegistryValue(starts.get(), item.name, REG_DWORD, type)) allWritten = false;
        const std::string one(reinterpret_cast<const char*>(&kDelayed), sizeof kDelayed);
        if (start.delayed && !SetRegistryValue(delays.get(), item.name, REG_DWORD, one)) allWritten = false;
    }
    return allWritten;
}

bool StoredServiceList::DeleteItem(const StartupItem& item) {
    const RegKey starts = OpenRegistryKey(HKEY_CURRENT_USER, startPath, kRegistryWrite);
    if (const RegKey delays = OpenRegistryKey(HKEY_CURRENT_USER, delayedPath, kRegistryWrite)) {
        DeleteRegistryValue(delays.get(), item.name);
    }
    return starts && DeleteRegistryValue(starts.get(), item.name);
}

bool StoredServiceList::Store() {
    DeleteRegistryTree(HKEY_CURRENT_USER, startPath);
    DeleteRegistryTree(HKEY_CURRENT_USER, delayedPath);
    return WriteItems(std::vector<StartupItem>(items));
}

bool StoredServiceList::MayChange(unsigned char enabled) const {
    return enabled != 0 && MayWriteRegistryKey(HKEY_CURRENT_USER, startPath, kRegistryCreate);
}
